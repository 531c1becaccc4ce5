#!/usr/bin/env python3
"""Every shipped example and every golden script that runs without error passes
`vorla --check` with no error, and the examples with no warning either: the
check finds only what is certain to fault, and warns only of traps.

usage: check_kept_scripts.py VORLA SOURCE_DIR
"""
import pathlib
import subprocess
import sys


def check(vorla, script):
    proc = subprocess.run([vorla, "--check", script.name], cwd=script.parent, capture_output=True, timeout=60)
    return proc.returncode, proc.stderr.decode("latin-1")


def main():
    vorla, source = sys.argv[1], pathlib.Path(sys.argv[2])
    failed = 0
    examples = sorted((source / "examples").glob("*.vl"))
    golden = [s for s in sorted((source / "tests" / "golden").rglob("*.vl"))
              if not s.with_suffix(".status").exists()]
    for script in examples + golden:
        status, said = check(vorla, script)
        clean = status == 0 and (script not in examples or " 0 warnings in " in said)
        if not clean:
            failed += 1
            print(f"FAIL {script.relative_to(source)}: status {status}\n{said}")
    print(f"{len(examples) + len(golden) - failed} passed, {failed} failed")
    return 1 if failed or not examples or not golden else 0


if __name__ == "__main__":
    sys.exit(main())
