#!/usr/bin/env python3
"""Runs every example of the language manual through the real vorla binary.

A ```vorla block is a script; when it defines no `proc main`, it runs as the
body of one. The fenced blocks right after it hold what it prints: an optional
```keys block (the bytes typed, fed as standard input), an ```output block
(standard output without the banner line and without carriage returns,
leading line ends and trailing blanks ignored) and an optional ```stderr block
(the error output exactly, the script being named example.vl), then an
optional ```check block (what `vorla --check example.vl` says on standard
error, exactly). A run whose output holds an error report or "main() ?" must
end with status 1, any other with 0; a check that finds an error, too.

usage: check_manual.py VORLA MANUAL.md
"""
import pathlib
import re
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^( *)```(\w*)\s*$")


def fenced_blocks(text):
    """(info string, content, line number) of every fenced block, dedented."""
    blocks, lines, i = [], text.split("\n"), 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if not m:
            i += 1
            continue
        indent, info, start = len(m.group(1)), m.group(2), i + 1
        i += 1
        body = []
        while i < len(lines) and lines[i].strip() != "```":
            body.append(lines[i][indent:] if lines[i][:indent].strip() == "" else lines[i])
            i += 1
        blocks.append((info, "\n".join(body) + "\n", start))
        i += 1
    return blocks


def run(vorla, script, keys, options=()):
    with tempfile.TemporaryDirectory() as tmp:
        path = pathlib.Path(tmp, "example.vl")
        path.write_text(script)
        keys_path = pathlib.Path(tmp, "keys")
        keys_path.write_text(keys)
        with open(keys_path, "rb") as stdin:
            proc = subprocess.run([vorla, *options, path.name], stdin=stdin, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, cwd=tmp, timeout=30)
    out = proc.stdout.split(b"\n", 1)[1] if b"\n" in proc.stdout else b""
    return out.decode("latin-1").replace("\r", ""), proc.stderr.decode("latin-1"), proc.returncode


def main():
    vorla, manual = str(pathlib.Path(sys.argv[1]).resolve()), pathlib.Path(sys.argv[2])
    blocks = fenced_blocks(manual.read_text())
    checked = failed = 0
    for n, (info, script, line) in enumerate(blocks):
        if info != "vorla":
            continue
        keys, expect, expect_err, expect_check = "", None, None, None
        rest = blocks[n + 1:n + 5]
        if rest and rest[0][0] == "keys":
            keys, rest = rest[0][1], rest[1:]
        if rest and rest[0][0] == "output":
            expect, rest = rest[0][1], rest[1:]
        if rest and rest[0][0] == "stderr":
            expect_err, rest = rest[0][1], rest[1:]
        if rest and rest[0][0] == "check":
            expect_check = rest[0][1]
        if expect is None:
            failed += 1
            print(f"FAIL line {line}: no ```output block follows the example")
            continue
        if "proc main(" not in script:
            script = "proc main() {\n" + script + "}\n"
        out, err, status = run(vorla, script, keys)
        want_status = 1 if ("err at " in out or "main() ?" in out) else 0
        checked += 1
        if (out.lstrip("\n").rstrip() != expect.lstrip("\n").rstrip() or status != want_status
                or (expect_err is not None and err != expect_err)):
            failed += 1
            print(f"FAIL line {line}: status {status} (want {want_status})")
            print(f"  got:  {out!r}")
            print(f"  want: {expect!r}")
            if expect_err is not None:
                print(f"  stderr got:  {err!r}")
                print(f"  stderr want: {expect_err!r}")
        if expect_check is not None:
            _, said, status = run(vorla, script, "", ["--check"])
            if said != expect_check or status != (1 if " error: " in said else 0):
                failed += 1
                print(f"FAIL line {line}: --check said, with status {status}:\n{said}")
                print(f"  want:\n{expect_check}")
    print(f"{checked - failed} passed, {failed} failed")
    return 1 if failed or not checked else 0


if __name__ == "__main__":
    sys.exit(main())
