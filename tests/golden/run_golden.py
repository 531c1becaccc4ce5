#!/usr/bin/env python3
"""Golden script tests: every NAME.vl in the case folders runs through the real
vorla binary. Beside it: NAME.out (the exact stdout bytes, banner included),
optionally NAME.keys (bytes fed to stdin; none means empty input) and
NAME.status (the exit status; 0 when missing) and NAME.err (the exact stderr
bytes; not compared when missing). A case may instead be a NAME.args file
that holds the command line's arguments, one a line: the path of a script kept
elsewhere (the shipped examples), relative to the case's folder, or options.
Every case runs with the case's folder as its working directory. Standard
input is the keys file itself, not a pipe: it is no terminal either, and its
bytes are all there from the start, so InpChk_ answers the same on every run.

usage: run_golden.py VORLA CASES_DIR [--update]
"""
import pathlib
import subprocess
import sys


def run_case(vorla, case):
    keys_file = case.with_suffix(".keys")
    args = case.read_text().splitlines() if case.suffix == ".args" else [case.name]
    with open(keys_file if keys_file.exists() else "/dev/null", "rb") as keys:
        proc = subprocess.run([vorla, *args], stdin=keys, cwd=case.parent,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    return proc.stdout, proc.stderr, proc.returncode


def main():
    vorla, cases = sys.argv[1], pathlib.Path(sys.argv[2])
    update = "--update" in sys.argv[3:]
    scripts = sorted([*cases.rglob("*.vl"), *cases.rglob("*.args")])
    failed = 0
    for script in scripts:
        out, err, status = run_case(vorla, script)
        out_file, status_file = script.with_suffix(".out"), script.with_suffix(".status")
        err_file = script.with_suffix(".err")
        if update:
            out_file.write_bytes(out)
            if status:
                status_file.write_text(f"{status}\n")
            elif status_file.exists():
                status_file.unlink()
            if err_file.exists():
                err_file.write_bytes(err)
            continue
        want_out = out_file.read_bytes() if out_file.exists() else None
        want_status = int(status_file.read_text()) if status_file.exists() else 0
        want_err = err_file.read_bytes() if err_file.exists() else err
        name = script.relative_to(cases)
        if want_out != out or want_status != status or want_err != err:
            failed += 1
            print(f"FAIL {name}: status {status} (want {want_status})")
            print(f"  got:  {out!r}")
            print(f"  want: {want_out!r}")
            if want_err != err:
                print(f"  stderr got:  {err!r}")
                print(f"  stderr want: {want_err!r}")
    print(f"{len(scripts) - failed} passed, {failed} failed")
    return 1 if failed or not scripts else 0


if __name__ == "__main__":
    sys.exit(main())
