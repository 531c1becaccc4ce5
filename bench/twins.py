#!/usr/bin/env python3
"""Instructions per unit of work of vorla and of its Lua and CPython twins, as
callgrind counts them: per recursive call (fib), per pass of two routine
calls with parameters and locals (calls), per pass of the sieve over Array_
(sieve) and per pass of a counting loop (loop). Each program runs at a small
size, and what an empty program of the same language costs is taken off.
Counts are repeatable, so they show what a change buys where timings are
noisy; the targets are at most twice Lua's.

    python3 bench/twins.py [--vorla build-release/vorla] [--only fib,calls]
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile

BENCH_DIR = os.path.dirname(os.path.abspath(__file__))
WORKLOAD_DIR = os.path.join(BENCH_DIR, "workloads")

# (workload, size, units of work at that size, what a unit is)
TWINS = [
    ("fib", 23, 92735, "recursive call"),      # fib(23) makes 2 * fib(24) - 1 calls
    ("calls", 50000, 50000, "pass (2 calls)"),
    ("sieve", 8, 8, "pass of the sieve"),
    ("loop", 200000, 200000, "pass"),
]
EMPTY = {".vl": "proc main() ;\n", ".lua": "\n", ".py": "\n"}
SIZE = {".vl": re.compile(r"\bsize = \d+;"), ".lua": re.compile(r"\bsize = \d+"), ".py": re.compile(r"\bsize = \d+")}


def instructions(command):
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "callgrind.out")
        done = subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}", *command],
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                              text=True, check=True)
    return int(re.search(r"Collected : (\d+)", done.stderr).group(1))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--vorla", default=os.path.join(os.path.dirname(BENCH_DIR), "build", "vorla"))
    parser.add_argument("--only", help="comma-separated workloads (default: all)")
    args = parser.parse_args()
    runners = {".vl": [args.vorla], ".lua": ["lua5.4"], ".py": [sys.executable]}
    only = set(args.only.split(",")) if args.only else None
    with tempfile.TemporaryDirectory() as tmp:
        empty = {}
        for suffix, text in EMPTY.items():
            path = os.path.join(tmp, "empty" + suffix)
            with open(path, "w") as f:
                f.write(text)
            empty[suffix] = instructions(runners[suffix] + [path])
        print(f"{'workload':10} {'unit':20} {'vorla':>9} {'Lua':>9} {'CPython':>9} {'vorla/Lua':>10}")
        for name, size, units, unit in TWINS:
            if only and name not in only:
                continue
            per = {}
            for suffix in (".vl", ".lua", ".py"):
                with open(os.path.join(WORKLOAD_DIR, name + suffix)) as f:
                    text = SIZE[suffix].sub(f"size = {size}" + (";" if suffix == ".vl" else ""), f.read(), count=1)
                path = os.path.join(tmp, name + suffix)
                with open(path, "w") as f:
                    f.write(text)
                per[suffix] = (instructions(runners[suffix] + [path]) - empty[suffix]) / units
            print(f"{name:10} {unit:20} {per['.vl']:9,.0f} {per['.lua']:9,.0f} {per['.py']:9,.0f} "
                  f"{per['.vl'] / per['.lua']:10.2f}")


if __name__ == "__main__":
    main()
