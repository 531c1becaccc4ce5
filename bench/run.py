#!/usr/bin/env python3
"""Benchmark runner: runs every workload in bench/workloads as a vorla script and
as its Python, Lua and C twins, checks that all of them print the same result,
times the whole processes interleaved over several runs and prints the medians,
the ratios of vorla to the others and how they stand against the speed targets.

It builds nothing but the C twins (with `cc -O2`, into a temporary directory);
build vorla first, preferably as a release build, and pass its path.

    python3 bench/run.py [--vorla build/vorla] [--runs 5 | --quick] [--only fib,loop]
"""

import argparse
import json
import math
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

BENCH_DIR = os.path.dirname(os.path.abspath(__file__))
REPO_DIR = os.path.dirname(BENCH_DIR)
WORKLOAD_DIR = os.path.join(BENCH_DIR, "workloads")

# (name, group): the compute group makes up the geometric means.
WORKLOADS = [
    ("loop", "compute"),
    ("fib", "compute"),
    ("sieve", "compute"),
    ("bytes", "compute"),
    ("calls", "compute"),
    ("store", "compute"),
    ("predefined", "compute"),
    ("nested", "compute"),
    ("recurse3", "compute"),
    ("longexpr", "compute"),
    ("strbuild", "compute"),
    ("output", "output"),
    ("startup", "startup"),
]
IMPLEMENTATIONS = ["vorla", "python", "lua", "c"]
SOURCE_SUFFIX = {"vorla": ".vl", "python": ".py", "lua": ".lua", "c": ".c"}

# Targets: reported, never asserted.
TARGET_GEOMEAN_PYTHON = 0.5  # geometric mean of vorla/python over compute workloads, at most
TARGET_WORST_PYTHON = 1.0    # every compute workload's vorla/python below
TARGET_GEOMEAN_LUA = 2.5     # geometric mean of vorla/lua over compute workloads, at most
TARGET_OUTPUT_C = 3.0        # output-heavy vorla/C, at most
TARGET_STARTUP_C = 2.0       # start-up vorla/C, at most

CHECK_TIMEOUT_S = 300


def fail(message):
    print(f"run.py: {message}", file=sys.stderr)
    sys.exit(2)


def first_line(command):
    try:
        done = subprocess.run(command, capture_output=True, text=True, timeout=30)
    except OSError:
        return None
    text = (done.stdout or done.stderr).strip()
    return text.splitlines()[0] if text else None


def machine_model():
    try:
        with open("/proc/cpuinfo") as cpuinfo:
            for line in cpuinfo:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or platform.machine()


def real_python(python):
    """The interpreter binary itself: a version-manager shim (a shell script
    that picks the version) would add its own start-up to every run."""
    path = shutil.which(python)
    if path is None:
        return None
    done = subprocess.run([path, "-c", "import sys; print(sys.executable)"],
                          capture_output=True, text=True)
    resolved = done.stdout.strip()
    return resolved if done.returncode == 0 and os.path.isfile(resolved) else path


class Tools:
    """The commands that run one workload in each implementation."""

    def __init__(self, args, c_dir):
        self.vorla = os.path.abspath(args.vorla)
        self.python = real_python(args.python)
        self.lua = shutil.which(args.lua)
        self.cc = shutil.which(args.cc)
        self.c_dir = c_dir
        self.c_built = {}

    def available(self, impl):
        return {"vorla": True, "python": self.python is not None,
                "lua": self.lua is not None, "c": self.cc is not None}[impl]

    def source(self, name, impl):
        return os.path.join(WORKLOAD_DIR, name + SOURCE_SUFFIX[impl])

    def build_c(self, name):
        binary = os.path.join(self.c_dir, name)
        done = subprocess.run([self.cc, "-O2", "-o", binary, self.source(name, "c")],
                              capture_output=True, text=True)
        if done.returncode != 0:
            print(f"{name}.c does not compile:\n{done.stderr}", file=sys.stderr)
            return None
        return binary

    def command(self, name, impl):
        if not self.available(impl) or not os.path.isfile(self.source(name, impl)):
            return None
        if impl == "vorla":
            return [self.vorla, self.source(name, impl)]
        if impl == "python":
            return [self.python, self.source(name, impl)]
        if impl == "lua":
            return [self.lua, self.source(name, impl)]
        if name not in self.c_built:
            self.c_built[name] = self.build_c(name)
        return [self.c_built[name]] if self.c_built[name] else None

    def versions(self):
        return {
            "vorla": self.vorla,
            "python": first_line([self.python, "--version"]) if self.python else "not found",
            "lua": first_line([self.lua, "-v"]) if self.lua else "not found",
            "c": first_line([self.cc, "--version"]) if self.cc else "not found",
        }


def result_of(impl, stdout):
    """What a run printed, without vorla's banner line."""
    if impl == "vorla":
        end = stdout.find(b"\n")
        return stdout[end + 1:] if stdout.startswith(b"vorla ") and end >= 0 else stdout
    return stdout


def check_outputs(name, commands):
    """Runs each implementation once; true when all printed the same result."""
    results = {}
    for impl, command in commands.items():
        try:
            done = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True,
                                  timeout=CHECK_TIMEOUT_S)
        except subprocess.TimeoutExpired:
            print(f"  {name}/{impl}: no end within {CHECK_TIMEOUT_S} s", file=sys.stderr)
            return False
        if done.returncode != 0:
            print(f"  {name}/{impl}: exit status {done.returncode}\n"
                  f"{done.stdout[-500:].decode(errors='replace')}"
                  f"{done.stderr[-500:].decode(errors='replace')}", file=sys.stderr)
            return False
        results[impl] = result_of(impl, done.stdout)
    reference_impl = next(iter(results))
    reference = results[reference_impl]
    agree = True
    for impl, result in results.items():
        if result != reference:
            agree = False
            print(f"  {name}: {impl} printed {summary(result)}, "
                  f"{reference_impl} printed {summary(reference)}", file=sys.stderr)
    return agree


def summary(output):
    if len(output) <= 80:
        return repr(output)
    return f"{len(output)} bytes ending {output[-40:]!r}"


def time_process(command, to_pipe):
    """Times one whole process: its wall time from spawn to its end, and the
    processor time (user and system) it used. Standard input is /dev/null,
    standard output /dev/null or a pipe that is drained."""
    stdin_fd = os.open(os.devnull, os.O_RDONLY)
    if to_pipe:
        read_fd, out_fd = os.pipe()
    else:
        read_fd, out_fd = None, os.open(os.devnull, os.O_WRONLY)
    actions = [(os.POSIX_SPAWN_DUP2, stdin_fd, 0), (os.POSIX_SPAWN_DUP2, out_fd, 1)]
    try:
        start = time.perf_counter()
        pid = os.posix_spawn(command[0], command, os.environ, file_actions=actions)
        os.close(out_fd)
        out_fd = None
        if read_fd is not None:
            while os.read(read_fd, 1 << 20):
                pass
        _, status, usage = os.wait4(pid, 0)
        elapsed = time.perf_counter() - start
    finally:
        os.close(stdin_fd)
        if out_fd is not None:
            os.close(out_fd)
        if read_fd is not None:
            os.close(read_fd)
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError(f"{' '.join(command)} ended with status {status}")
    return elapsed, usage.ru_utime + usage.ru_stime


def geometric_mean(values):
    return math.exp(sum(math.log(v) for v in values) / len(values)) if values else None


def format_time(seconds):
    if seconds is None:
        return "-"
    if seconds < 0.01:
        return f"{seconds * 1000:.2f} ms"
    if seconds < 1:
        return f"{seconds * 1000:.0f} ms"
    return f"{seconds:.2f} s"


def format_ratio(ratio):
    return "-" if ratio is None else f"{ratio:.2f}"


def ratio(medians, name, other):
    a, b = medians[name].get("vorla"), medians[name].get(other)
    return a / b if a is not None and b else None


def print_table(names, medians, launches):
    headers = ["workload", "vorla", "python", "lua", "C", "vorla/py", "vorla/lua", "vorla/C"]
    rows = []
    for name in names:
        rows.append([name] + [format_time(medians[name].get(i)) for i in IMPLEMENTATIONS] +
                    [format_ratio(ratio(medians, name, o)) for o in ("python", "lua", "c")])
    compute = [n for n, g in WORKLOADS if g == "compute" and n in names]
    if compute:
        means = []
        for other in ("python", "lua", "c"):
            ratios = [ratio(medians, n, other) for n in compute]
            means.append(format_ratio(geometric_mean(ratios) if None not in ratios else None))
        rows.append(["geomean (compute)", "", "", "", ""] + means)
    widths = [max(len(r[c]) for r in rows + [headers]) for c in range(len(headers))]
    line = lambda cells: "  ".join(
        cell.ljust(widths[c]) if c == 0 else cell.rjust(widths[c]) for c, cell in enumerate(cells))
    print(line(headers))
    print(line(["-" * w for w in widths]))
    for row in rows:
        if row[0].startswith("geomean"):
            print(line(["-" * w for w in widths]))
        print(line(row))
    if "startup" in names:
        print(f"startup: time per launch, each sample the mean of {launches} launches")


def print_targets(names, all_medians):
    """One line per target, judged on wall time and on processor time."""
    def judged(values, test, label=lambda m: ""):
        return ", ".join(f"{metric} {label(metric)}{value:.2f} {'met' if test(value) else 'MISSED'}"
                         for metric, value in values.items())

    print("\nTargets (reported, not asserted):")
    compute = [n for n, g in WORKLOADS if g == "compute" and n in names]
    means, worst, lua = {}, {}, {}
    for metric, medians in all_medians.items():
        ratios = {n: ratio(medians, n, "python") for n in compute}
        if compute and None not in ratios.values():
            means[metric] = geometric_mean(list(ratios.values()))
            worst[metric] = max(ratios.items(), key=lambda kv: kv[1])
        lua_ratios = [ratio(medians, n, "lua") for n in compute]
        if compute and None not in lua_ratios:
            lua[metric] = geometric_mean(lua_ratios)
    if means:
        print(f"  geomean vorla/python over compute <= {TARGET_GEOMEAN_PYTHON}: "
              + judged(means, lambda v: v <= TARGET_GEOMEAN_PYTHON))
        print(f"  every compute vorla/python < {TARGET_WORST_PYTHON}: "
              + judged({m: w[1] for m, w in worst.items()}, lambda v: v < TARGET_WORST_PYTHON,
                       lambda m: f"worst {worst[m][0]} "))
    if lua:
        print(f"  geomean vorla/lua over compute <= {TARGET_GEOMEAN_LUA}: "
              + judged(lua, lambda v: v <= TARGET_GEOMEAN_LUA))
    for name, limit, text in (("output", TARGET_OUTPUT_C, "output-heavy"),
                              ("startup", TARGET_STARTUP_C, "start-up")):
        ratios = {m: ratio(medians, name, "c") for m, medians in all_medians.items()
                  if name in names}
        if ratios and None not in ratios.values():
            print(f"  {text} vorla/C <= {limit}: " + judged(ratios, lambda v: v <= limit))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--vorla", default=os.path.join(REPO_DIR, "build", "vorla"),
                        help="the vorla binary (default: build/vorla in the repository)")
    parser.add_argument("--runs", type=int, default=5, help="timed runs of each program (default 5)")
    parser.add_argument("--quick", action="store_true", help="2 runs and fewer start-up launches")
    parser.add_argument("--only", help="comma-separated workloads to run (default: all)")
    parser.add_argument("--pipe", action="store_true",
                        help="time with standard output to a pipe instead of /dev/null")
    parser.add_argument("--launches", type=int, default=20,
                        help="launches per timed start-up sample (default 20)")
    parser.add_argument("--python", default="python3")
    parser.add_argument("--lua", default="lua5.4")
    parser.add_argument("--cc", default="cc")
    parser.add_argument("--json", help="also write the medians and samples to this file")
    args = parser.parse_args()
    if args.quick:
        args.runs, args.launches = 2, 5
    if args.runs < 1 or args.launches < 1:
        fail("--runs and --launches must be at least 1")

    known = [n for n, _ in WORKLOADS]
    names = known if not args.only else [n.strip() for n in args.only.split(",") if n.strip()]
    for n in names:
        if n not in known:
            fail(f"no workload {n!r}; there are {', '.join(known)}")
    if not os.access(args.vorla, os.X_OK):
        fail(f"no vorla binary at {args.vorla}; build it first, for example\n"
             f"  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release && cmake --build build -j2\n"
             f"or pass --vorla PATH")

    with tempfile.TemporaryDirectory(prefix="vorla-bench-") as c_dir:
        tools = Tools(args, c_dir)
        versions = tools.versions()
        print(f"machine: {machine_model()}, {os.cpu_count()} CPUs, {platform.system()} "
              f"{platform.release()}")
        for impl in IMPLEMENTATIONS:
            print(f"{impl}: {versions[impl]}")
        print(f"{args.runs} runs, interleaved, of whole processes; medians; "
              f"standard output to {'a pipe' if args.pipe else '/dev/null'}", flush=True)

        commands, agreed = {}, True
        for name in names:
            commands[name] = {i: c for i in IMPLEMENTATIONS
                              if (c := tools.command(name, i)) is not None}
            print(f"checking {name} ...", file=sys.stderr)
            if not check_outputs(name, commands[name]):
                agreed = False
                print(f"  {name}: outputs differ or a program failed; not timed", file=sys.stderr)
                del commands[name]

        samples = {m: {n: {i: [] for i in commands[n]} for n in commands} for m in ("wall", "cpu")}
        for run in range(args.runs):
            print(f"run {run + 1}/{args.runs} ...", file=sys.stderr)
            for name in commands:
                impls = list(commands[name])
                shift = run % len(impls)
                for impl in impls[shift:] + impls[:shift]:
                    launches = args.launches if name == "startup" else 1
                    times = [time_process(commands[name][impl], args.pipe)
                             for _ in range(launches)]
                    for m, metric_times in zip(("wall", "cpu"), zip(*times)):
                        samples[m][name][impl].append(sum(metric_times) / launches)

    all_medians = {m: {n: {i: statistics.median(s) for i, s in per_impl.items()}
                       for n, per_impl in per_name.items()}
                   for m, per_name in samples.items()}
    timed = [n for n in names if n in all_medians["wall"]]
    print("\nWall time:")
    print_table(timed, all_medians["wall"], args.launches)
    print("\nProcessor time (user + system; steadier than wall time on a busy machine):")
    print_table(timed, all_medians["cpu"], args.launches)
    print_targets(timed, all_medians)
    if args.json:
        with open(args.json, "w") as out:
            json.dump({"machine": machine_model(), "versions": versions, "runs": args.runs,
                       "pipe": args.pipe, "medians_s": all_medians, "samples_s": samples},
                      out, indent=1)
    if not agreed:
        print("\nSome workloads printed different results; see above.")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
