#!/usr/bin/env python3
"""Builds the fuzz seed corpus: every script of tests/golden and examples, with
its keys when it has a NAME.keys beside it, joined as fuzz_script reads its
input (script, NUL, up to 32 keys; see fuzz/run_input.h), plus fuzz/seeds.

usage: make_corpus.py REPO_DIR OUT_DIR
"""
import hashlib
import pathlib
import sys

MAX_KEYS = 32
MAX_INPUT = 4200


def join_input(script, keys):
    if keys or b"\0" in script:
        return script + b"\0" + keys[:MAX_KEYS]
    return script


def main():
    repo, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    out.mkdir(parents=True, exist_ok=True)
    scripts = sorted((repo / "tests" / "golden").rglob("*.vl")) + sorted((repo / "examples").glob("*.vl"))
    written = 0
    for script in scripts:
        keys_file = script.with_suffix(".keys")
        keys = keys_file.read_bytes() if keys_file.exists() else b""
        data = join_input(script.read_bytes(), keys)
        if len(data) > MAX_INPUT:
            continue
        (out / hashlib.sha1(data).hexdigest()).write_bytes(data)
        written += 1
    for seed in sorted((repo / "fuzz" / "seeds").iterdir()):
        data = seed.read_bytes()
        (out / hashlib.sha1(data).hexdigest()).write_bytes(data)
        written += 1
    print(f"{written} seeds in {out}")


if __name__ == "__main__":
    main()
