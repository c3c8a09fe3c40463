#!/usr/bin/env python3
"""Fails on a read of the environment that the README does not list.

What users install reads four variables and no other: a new one is a new way to change the program's behaviour
from outside (and a test switch in the product would be one), so it is added here and to the README's list
together. Checked: every C and C++ source outside tests/ and bench/. A read goes through getenv, secure_getenv,
qgetenv or qEnvironmentVariable* with the variable's name as a string literal on the list; QProcessEnvironment,
QProcess::systemEnvironment, environ and a string literal naming a process's environ file in /proc (adjacent
literals joined) hand over the whole environment, whose names no check can see, and are refused wherever they
stand. The program start's execv, which passes the environment on without naming it, stays allowed.
"""
import os
import re
import sys

from check_numbers import arguments, report, tokens

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
SKIPPED = ("tests", "bench")
SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")
ALLOWED = ("HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "KZVIEW_EXIT_AFTER_FIRST_FRAME")
BY_NAME = re.compile(r"^(getenv|secure_getenv|qgetenv|qEnvironmentVariable\w*)$")
WHOLE = ("QProcessEnvironment", "systemEnvironment", "environ", "__environ")
# "/proc/self/environ", "/proc/<pid>/environ", "/proc/thread-self/environ": the environ file of any process.
PROC_ENVIRON = re.compile(r"/proc/.*\benviron\b|(?:^|/)environ$")


def next_not_string(toks, i):
    """The index after the run of adjacent string literals that begins at i."""
    while i < len(toks) and toks[i][0] == "string":
        i += 1
    return i


def problems(path):
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        toks = list(tokens(f.read()))
    for i, (kind, name, line) in enumerate(toks):
        if kind == "string" and (i == 0 or toks[i - 1][0] != "string"):
            joined = "".join(t[1] for t in toks[i:next_not_string(toks, i)])
            if PROC_ENVIRON.search(joined):
                yield line, f'"{joined}" names a process\'s whole environment: read a listed variable by name instead'
        if kind != "ident":
            continue
        if name in WHOLE:
            yield line, f"{name} reads the whole environment: read a listed variable by name instead"
        elif BY_NAME.match(name):
            args = arguments(toks, i + 1) if i + 1 < len(toks) and toks[i + 1][1] == "(" else None
            first = args[0] if args else []
            if len(first) != 1 or first[0][0] != "string":
                yield line, f"{name} with a variable name that is no literal"
            elif first[0][1] not in ALLOWED:
                yield line, f'{name}("{first[0][1]}"): a variable not on the list'


def checked_files():
    for folder, dirs, files in os.walk(ROOT):
        rel = os.path.relpath(folder, ROOT)
        dirs[:] = sorted(d for d in dirs if not d.startswith((".", "build")) and not (rel == "." and d in SKIPPED))
        for name in sorted(files):
            if name.endswith(SUFFIXES):
                yield os.path.join(folder, name)


def readme_misses():
    """The listed variables the README's "Other programs" section does not name."""
    text = open(os.path.join(ROOT, "README.md"), encoding="utf-8").read()
    section = re.search(r"^## Other programs\n(.*?)(?=^## )", text, re.S | re.M)
    body = section.group(1) if section else ""
    return [v for v in ALLOWED if f"`{v}`" not in body]


def main():
    found = report(checked_files(), problems)
    for name in readme_misses():
        print(f"README.md: the section \"Other programs\" does not name `{name}`", file=sys.stderr)
        found += 1
    if found:
        print(f"guards: {found} place(s) off the list of environment variables the product reads "
              f"({', '.join(ALLOWED)}; scripts/check_environment.py and the README's \"Other programs\" hold it)",
              file=sys.stderr)
        return 1
    print("guards: the product reads only the environment variables the README lists")
    return 0


if __name__ == "__main__":
    sys.exit(main())
