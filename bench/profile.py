#!/usr/bin/env python3
"""Instruction profile of vorla on every benchmark workload: runs a smaller copy
of each script (its `size = N;` line scaled down) under valgrind's callgrind,
which counts instructions repeatably even on a busy machine, and prints the
functions that execute the most instructions with their self and inclusive
shares of the whole run, and at the end each workload's total instruction count.

    python3 bench/profile.py [--vorla build/vorla] [--only fib,loop] [--top 12] [--keep DIR]
                             [--json FILE]

Inclusive shares of functions that recurse (the evaluator, the executor, the
calls) are not meaningful in callgrind's accounting and show as "rec".
For line-level detail, build with -g and run callgrind_annotate on a kept file.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

BENCH_DIR = os.path.dirname(os.path.abspath(__file__))
REPO_DIR = os.path.dirname(BENCH_DIR)
WORKLOAD_DIR = os.path.join(BENCH_DIR, "workloads")

# The size each workload runs with under callgrind, a few percent of the timed one.
PROFILE_SIZES = {
    "loop": 200000,
    "fib": 23,
    "sieve": 8,
    "bytes": 500,
    "calls": 50000,
    "store": 12,
    "predefined": 6000,
    "nested": 10000,
    "recurse3": 15,
    "longexpr": 6000,
    "strbuild": 75,
    "output": 20000,
    "startup": None,  # runs as it stands
}

SIZE_LINE = re.compile(r"\bsize = (\d+);")
ANNOTATE_LINE = re.compile(r"^\s*([\d,]+) \(\s*[\d.]+%\)\s+(.*)$")


def fail(message):
    print(f"profile.py: {message}", file=sys.stderr)
    sys.exit(2)


def scaled_script(name, size, directory):
    with open(os.path.join(WORKLOAD_DIR, name + ".vl"), "rb") as f:
        text = f.read().decode("latin-1")
    if size is not None:
        text, count = SIZE_LINE.subn(f"size = {size};", text, count=1)
        if count != 1:
            fail(f"{name}.vl has no `size = N;` line")
    path = os.path.join(directory, name + ".vl")
    with open(path, "wb") as f:
        f.write(text.encode("latin-1"))
    return path


def short_name(entry):
    """`???:vorla::FindVariable(unsigned int, vorla::Scope) [/path/vorla]` ->
    (`FindVariable`, recursive copy?)."""
    entry = re.sub(r"\s+\[[^\]]*\]$", "", entry)
    entry = entry.split(":", 1)[1] if re.match(r"^[^:(]*:[^:]", entry) else entry
    recursive = bool(re.search(r"'\d+$", entry))
    entry = re.sub(r"'\d+$", "", entry)
    entry = entry.replace("(anonymous namespace)::", "").replace("{anonymous}::", "")
    depth, plain = 0, []
    for ch in entry:  # drop argument lists and template arguments
        if ch in "(<":
            depth += 1
        elif ch in ")>":
            depth -= 1
        elif depth == 0:
            plain.append(ch)
    name = "".join(plain).replace("vorla::", "")
    return name.strip() or entry, recursive


def annotate(out_file, inclusive):
    command = ["callgrind_annotate", "--threshold=100", out_file]
    if inclusive:
        command.insert(1, "--inclusive=yes")
    text = subprocess.run(command, capture_output=True, text=True, check=True).stdout
    total, costs, recursive = None, {}, set()
    for line in text.splitlines():
        m = ANNOTATE_LINE.match(line)
        if not m:
            continue
        cost, what = int(m.group(1).replace(",", "")), m.group(2)
        if what.strip() == "PROGRAM TOTALS":
            total = cost
            continue
        name, is_copy = short_name(what)
        if is_copy:
            recursive.add(name)
        if inclusive:
            costs[name] = max(costs.get(name, 0), cost)
        else:
            costs[name] = costs.get(name, 0) + cost
    return total, costs, recursive


def profile(vorla, name, script, keep_dir):
    out_dir = keep_dir or os.path.dirname(script)
    out_file = os.path.join(out_dir, f"callgrind.{name}.out")
    subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out_file}", vorla,
                    script], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True)
    total, self_costs, recursive = annotate(out_file, inclusive=False)
    _, incl_costs, recursive_too = annotate(out_file, inclusive=True)
    return total, self_costs, incl_costs, recursive | recursive_too, out_file


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--vorla", default=os.path.join(REPO_DIR, "build", "vorla"))
    parser.add_argument("--only", help="comma-separated workloads (default: all)")
    parser.add_argument("--top", type=int, default=12, help="functions shown per workload")
    parser.add_argument("--keep", help="keep the callgrind output files in this directory")
    parser.add_argument("--json", help="also write each workload's size and total instructions "
                        "to this file")
    args = parser.parse_args()
    names = list(PROFILE_SIZES) if not args.only else [n.strip() for n in args.only.split(",")]
    for n in names:
        if n not in PROFILE_SIZES:
            fail(f"no workload {n!r}; there are {', '.join(PROFILE_SIZES)}")
    if not os.access(args.vorla, os.X_OK):
        fail(f"no vorla binary at {args.vorla}; build it first or pass --vorla PATH")
    for tool in ("valgrind", "callgrind_annotate"):
        if shutil.which(tool) is None:
            fail(f"{tool} is not installed")
    if args.keep:
        os.makedirs(args.keep, exist_ok=True)

    totals = {}
    with tempfile.TemporaryDirectory(prefix="vorla-profile-") as work:
        for name in names:
            size = PROFILE_SIZES[name]
            script = scaled_script(name, size, work)
            total, self_costs, incl_costs, recursive, out_file = profile(
                os.path.abspath(args.vorla), name, script, args.keep)
            totals[name] = {"size": size, "instructions": total}
            print(f"\n{name} (size {size if size is not None else 'as is'}): "
                  f"{total:,} instructions")
            print(f"  {'self':>6}  {'incl':>6}  function")
            top = sorted(self_costs.items(), key=lambda kv: -kv[1])[:args.top]
            for function, cost in top:
                incl = "rec" if function in recursive else \
                    f"{100 * incl_costs.get(function, cost) / total:5.1f}%"
                print(f"  {100 * cost / total:5.1f}%  {incl:>6}  {function}")
            if args.keep:
                print(f"  (kept {out_file})")
            sys.stdout.flush()

    print("\nTotal instructions (callgrind Ir) at the profile sizes:")
    width = max(len(n) for n in totals)
    for name, entry in totals.items():
        size = entry["size"] if entry["size"] is not None else "as is"
        print(f"  {name.ljust(width)}  {str(size):>7}  {entry['instructions']:>15,}")
    if args.json:
        with open(args.json, "w") as out:
            json.dump({"vorla": os.path.abspath(args.vorla), "workloads": totals}, out, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
