#!/usr/bin/env python3
"""Checks the TextMate grammar against the interpreter's own sources: every
keyword that the statement executor and the declarations match, every built-in
routine of builtins/table.cpp and every predefined variable must be coloured as
such, and the grammar must name no built-in that the table does not have.
Lines are scanned the way TextMate editors do: at each point the pattern whose
match starts first wins, the earlier pattern on a tie.

usage: test_grammar.py REPO_ROOT
"""
import json
import pathlib
import re
import sys


class Grammar:
    def __init__(self, path):
        self.data = json.loads(path.read_text())
        self.repo = self.data["repository"]

    def flat(self, patterns):
        """The patterns with every include replaced by what it names."""
        out = []
        for p in patterns:
            if "include" in p:
                target = self.repo[p["include"].lstrip("#")]
                out += self.flat(target["patterns"]) if "patterns" in target and not (
                    "match" in target or "begin" in target) else [target]
            else:
                out.append(p)
        return out

    def scopes(self, line):
        """The scope of every character of one line (None outside any match)."""
        result = [None] * len(line)
        top = self.flat(self.data["patterns"])
        pos, inside = 0, None
        while pos <= len(line):
            patterns = self.flat(inside.get("patterns", [])) if inside else top
            best = None
            for p in patterns + ([{"end_of": inside}] if inside else []):
                regex = p["end_of"]["end"] if "end_of" in p else p.get("match", p.get("begin"))
                m = re.compile(regex).search(line, pos)
                if m and (best is None or m.start() < best[1].start()):
                    best = (p, m)
            if best is None:
                if inside:
                    result[pos:] = [inside["name"]] * (len(line) - pos)
                break
            p, m = best
            if inside:
                result[pos:m.start()] = [inside["name"]] * (m.start() - pos)
            if "end_of" in p:
                result[m.start():m.end()] = [inside["name"]] * (m.end() - m.start())
                inside = None
            elif "begin" in p:
                result[m.start():m.end()] = [p["name"]] * (m.end() - m.start())
                inside = p
            else:
                if "name" in p:
                    result[m.start():m.end()] = [p["name"]] * (m.end() - m.start())
                for group, capture in p.get("captures", {}).items():
                    g = int(group)
                    result[m.start(g):m.end(g)] = [capture["name"]] * (m.end(g) - m.start(g))
            pos = max(m.end(), pos + 1) if m.end() == m.start() else m.end()
        return result


def scope_of(grammar, line, word):
    """The scope of every character of the first `word` in `line`, if all agree."""
    start = line.index(word)
    found = set(grammar.scopes(line)[start:start + len(word)])
    return found.pop() if len(found) == 1 else None


def main():
    root = pathlib.Path(sys.argv[1])
    grammar = Grammar(root / "editors" / "vorla.tmLanguage.json")
    failures = []
    checks = 0

    def check(ok, message):
        nonlocal checks
        checks += 1
        if not ok:
            failures.append(message)

    def expect(line, word, prefix):
        got = scope_of(grammar, line, word)
        check(got is not None and got.startswith(prefix), f"{word!r} in {line!r}: scope {got}, want {prefix}*")

    # Keywords, as the executor and the declarations spell them.
    sources = "".join(p.read_text() for p in sorted((root / "core").glob("*.cpp")))
    keywords = {m.group(1) for m in re.finditer(r'AcceptKeyword(?:AndBlank)?\(\w+, "(\w+)', sources)}
    check({"if", "else", "for", "do", "while", "var", "func", "proc"} <= keywords,
          f"keywords found in core/: {sorted(keywords)}")
    samples = {"if": "if (x) y = 1;", "for": "for (i = 0; i < 3; i = i + 1) ;", "do": "do x = 1; while (x);",
               "while": "} while (x < 3);", "else": "} else {", "var": "var a, b;", "func": "func f(n) ;",
               "proc": "proc main() {"}
    for word in sorted(keywords):
        check(word in samples, f"keyword {word!r} has no sample line in this test")
        if word not in samples:
            continue
        expect(samples[word], word, "storage.type" if word in ("var", "func", "proc") else "keyword.control")
    expect("func twice(n) ;", "twice", "entity.name.function")
    expect("  return = 1;", "return", "variable.language")
    # A keyword without its exact spacing is a name to vorla: it must not look like a keyword.
    for line, word in (("if(x) y = 1;", "if"), ("do{", "do"), ("}else{", "else")):
        got = scope_of(grammar, line, word)
        check(got is None or not got.startswith(("keyword", "storage")),
              f"{word!r} in {line!r} is coloured as a keyword, but vorla reads a name")

    # Built-in routines, from the table the interpreter uses.
    table = (root / "builtins" / "table.cpp").read_text()
    builtins = re.findall(r'\{"(\w+)", Kind::', table)
    check(len(builtins) >= 13, f"built-in rows found in builtins/table.cpp: {builtins}")
    for name in builtins:
        expect(f"x = {name}(1);", name, "support.function")
    coloured = set(re.search(r"\(([\w|]+)\)", grammar.repo["builtin-routine"]["match"]).group(1).split("|"))
    check(coloured == set(builtins), f"grammar built-ins {sorted(coloured)} differ from the table {sorted(builtins)}")

    # Predefined variables: the constants the state stores that end in '_', and Array_.
    state = (root / "core" / "state.cpp").read_text()
    predefined = {n for n in re.findall(r'StoreConstant\("(\w+)"\)', state) if n.endswith("_")} | {"Array_"}
    for name in sorted(predefined):
        expect(f"x = {name}[2] + {name};", name, "variable.language")

    # Literals, comments and byte variables.
    expect('PrnStr_("a # b\\n");', "a # b", "string.quoted")
    expect('PrnStr_("a # b\\n");', "\\n", "constant.character.escape")
    expect("c = '\"'; # note", "'\"'", "constant.character")
    expect("c = '#'; # note", "# note", "comment.line")
    expect("x = $fF + 12;", "$fF", "constant.numeric.hex")
    expect("x = $fF + 12;", "12", "constant.numeric.decimal")
    expect("_s[1] = 2;", "_s", "variable.other.byte")
    expect("x = a <> b;", "<>", "keyword.operator.comparison")

    for f in failures:
        print("FAIL", f)
    print(f"{checks - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
