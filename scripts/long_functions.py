#!/usr/bin/env python3
"""Lists the functions of the given folders (default src/) that run to more
than LIMIT lines (default 80), longest first. Exits 1 when one of them has no
comment right above it saying why it is kept whole.

    scripts/long_functions.py [--limit N] [FOLDER...]

A function is counted from the first line of its signature to its closing
brace. The C++ is read with a light scanner (comments and literals blanked,
braces matched), which is enough for this code base's formatting.
"""
import argparse
import os
import re
import sys


DIGITS = re.compile(r"\b(0[xXbB])?[0-9][0-9a-fA-F']*$")


def blank(src):
    """The source with comments and string or character literals blanked,
    line breaks kept, so that braces and line numbers can be trusted."""
    out = []
    i, n = 0, len(src)
    while i < n:
        if src.startswith("//", i):
            j = src.find("\n", i)
            j = n if j < 0 else j
        elif src.startswith("/*", i):
            j = src.find("*/", i + 2)
            j = n if j < 0 else j + 2
        elif src.startswith('R"', i) and (i == 0 or not src[i - 1].isalnum()):
            m = re.match(r'R"([^(]*)\(', src[i:])
            end = src.find(")" + m.group(1) + '"', i)
            j = n if end < 0 else end + len(m.group(1)) + 2
        elif src[i] == "'" and DIGITS.search(src, max(0, i - 40), i):
            # A digit separator (0x5155'4F52) is part of its number.
            out.append(src[i])
            i += 1
            continue
        elif src[i] in "\"'":
            j = i + 1
            while j < n and src[j] != src[i]:
                j += 2 if src[j] == "\\" else 1
            j += 1
        else:
            out.append(src[i])
            i += 1
            continue
        out.append(re.sub(r"[^\n]", " ", src[i:j]))
        i = j
    return "".join(out)


SCOPE = re.compile(r"\b(namespace|class|struct|union|enum)\b[^;()]*$|extern\s*$")
FUNCTION = re.compile(
    r"\)\s*(const|override|noexcept|final|mutable|->\s*[\w:<>,\s*&]+|\s)*$"
    r"|\)\s*:[\s\S]*\)\s*$")


def functions(text):
    """(lines, first line, name) of every function body at namespace or class level."""
    s = blank(text)
    found = []
    scopes = []  # True for a namespace or class body, False for anything else
    start = 0    # where the text before the next brace begins
    i = 0
    while i < len(s):
        c = s[i]
        if c == "#":  # a preprocessor line
            j = s.find("\n", i)
            i = start = len(s) if j < 0 else j
            continue
        if c in ";}":
            if c == "}" and scopes:
                scopes.pop()
            start = i + 1
        elif c == "{":
            head = s[start:i].strip()
            if scopes and not scopes[-1]:
                scopes.append(False)
            elif SCOPE.search(head):
                scopes.append(True)
            elif FUNCTION.search(head):
                depth, j = 1, i + 1
                while j < len(s) and depth:
                    depth += {"{": 1, "}": -1}.get(s[j], 0)
                    j += 1
                first = s.count("\n", 0, start + len(s[start:i]) - len(s[start:i].lstrip())) + 1
                last = s.count("\n", 0, j) + 1
                names = re.findall(r"([~\w:]+)\s*\(", head)
                found.append((last - first + 1, first, names[0] if names else "?"))
                i = start = j
                continue
            else:
                scopes.append(False)
            start = i + 1
        i += 1
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--limit", type=int, default=80)
    parser.add_argument("folders", nargs="*", default=["src"])
    args = parser.parse_args()
    long_ones = []
    for folder in args.folders:
        for root, _, files in os.walk(folder):
            for f in files:
                if f.endswith((".cpp", ".h")):
                    path = os.path.join(root, f)
                    text = open(path, encoding="utf-8", errors="replace").read()
                    lines = text.split("\n")
                    for length, first, name in functions(text):
                        if length > args.limit:
                            said = first >= 2 and lines[first - 2].lstrip().startswith("//")
                            long_ones.append((length, path, first, name, said))
    unexplained = 0
    for length, path, first, name, said in sorted(long_ones, reverse=True):
        print(f"{length:4d}  {path}:{first}  {name}{'' if said else '  (no comment above)'}")
        unexplained += not said
    return 1 if unexplained else 0


if __name__ == "__main__":
    sys.exit(main())
