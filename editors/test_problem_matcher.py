#!/usr/bin/env python3
"""Checks the problem matcher of editors/package.json against the diagnostics
vorla prints, as the golden tests keep them (tests/golden/**/NAME.err, the
exact standard error of NAME.vl or NAME.args): every line
`vorla: FILE:LINE:COLUMN: error|warning: MESSAGE` about a script must match,
with its file, line, column, severity and message in the matcher's groups;
no other line may match (the source line and its caret, notes, a place in a
line typed for Input_, a message about the command line or a file that could
not be opened).

usage: test_problem_matcher.py REPO_ROOT
"""
import json
import pathlib
import re
import sys

# What a finding about a script looks like, told apart from the other lines
# by the name of a script of the case's folder.
FINDING = r"^vorla: {file}:(\d+):(\d+): (error|warning): (.*)$"


def main():
    root = pathlib.Path(sys.argv[1])
    package = json.loads((root / "editors" / "package.json").read_text())
    matcher = next(m for m in package["contributes"]["problemMatchers"] if m["name"] == "vorla")
    pattern = matcher["pattern"]
    regexp = re.compile(pattern["regexp"])
    failures, findings, others, severities = [], 0, 0, set()

    for err in sorted((root / "tests" / "golden").rglob("*.err")):
        # The scripts of the case's folder, which a check names besides NAME.vl.
        scripts = sorted(p.name for p in err.parent.iterdir() if p.suffix in (".vl", ".src"))
        finding = re.compile(FINDING.format(file="(" + "|".join(map(re.escape, scripts)) + ")"))
        for line in err.read_text(encoding="latin-1").splitlines():
            want = finding.match(line)
            got = regexp.match(line)
            if want:
                findings += 1
                severities.add(want.group(4))
                fields = want.groups()
                matched = got and tuple(got.group(pattern[k]) for k in ("file", "line", "column", "severity",
                                                                          "message"))
                if matched != fields:
                    failures.append(f"{err.name}: {line!r} gives {matched}, want {fields}")
            else:
                others += 1
                if got:
                    failures.append(f"{err.name}: {line!r} matches, but is no finding about a script")

    if findings < 20 or severities != {"error", "warning"}:
        failures.append(f"{findings} findings in the golden diagnostics, of {sorted(severities)}: want errors "
                        "and warnings")
    for f in failures:
        print("FAIL", f)
    print(f"{findings} findings and {others} other lines checked, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
