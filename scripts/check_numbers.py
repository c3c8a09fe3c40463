#!/usr/bin/env python3
"""Fails on number text that would follow the process locale.

Qt sets LC_NUMERIC from the environment when it starts, so under a decimal-comma locale the C library reads "12.75"
as 12 and writes 12,750000. Outside platform/crt numbers are read and written only through kz::crt's calls
(platform/crt/c_numbers.h). Refused here: strtod, strtof, strtold, atof, std::stod/stof/stold and the scanf family;
printf-family calls whose format holds a floating conversion, or whose format is no literal this check can read;
and every v*printf call, since a wrapper that forwards its arguments hides the format its callers give it; and
std::to_string, which writes a floating value as "%f" does in the process locale ("12,750000") while this check
cannot see the type it is given (kz::crt::int_text writes integers).
Member functions of the same names (out.printf, QString::asprintf) are other functions and pass.
"""
import os
import re
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
CHECKED = ("app", "platform", "geometry", "modeller", "drawing2d")
EXEMPT = (os.path.join("platform", "crt"),)
SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")

READS = {"strtod", "strtof", "strtold", "atof", "stod", "stof", "stold", "sscanf", "fscanf", "scanf", "vsscanf",
         "vfscanf", "vscanf"}
# Writes integers in any locale but floating values in the process's; which one it gets, a text check cannot see.
WRITES = {"to_string", "to_wstring"}
FORWARDS = {"vprintf", "vfprintf", "vsprintf", "vsnprintf", "vdprintf", "vasprintf", "vswprintf", "vwprintf",
            "vfwprintf"}
# Index of the format among the arguments.
PRINTS = {"printf": 0, "wprintf": 0, "fprintf": 1, "fwprintf": 1, "sprintf": 1, "dprintf": 1, "asprintf": 1,
          "snprintf": 2, "swprintf": 2}
# Words after which a name is called rather than declared.
STATEMENT_WORDS = {"return", "else", "do", "case", "throw", "co_return", "co_yield"}
CONVERSION = re.compile(r"%(?:%|[-+ #0']*(?:\*|\d+)?(?:\.(?:\*|\d+)?)?(?:hh|h|ll|l|L|q|j|z|t)?([A-Za-z]))")
TOKEN = re.compile(
    r"""(?P<space>\s+)
      | (?P<comment>//[^\n]*|/\*.*?\*/)
      | (?P<raw>(?:u8|[uUL])?R"(?P<delim>[^(\s]*)\((?P<rawbody>.*?)\)(?P=delim)")
      | (?P<string>(?:u8|[uUL])?"(?P<body>(?:\\.|[^"\\\n])*)")
      | (?P<char>(?:u8|[uUL])?'(?:\\.|[^'\\\n])+')
      | (?P<number>\.?\d(?:[\w.]|'(?=\w)|[eEpP][+-])*)
      | (?P<ident>[A-Za-z_]\w*)
      | (?P<punct>::|->|.)""",
    re.S | re.X,
)


def tokens(text):
    """(kind, value, line) of every token but blanks and comments; a literal's value is its text inside quotes."""
    line = 1
    for m in TOKEN.finditer(text):
        kind = m.lastgroup if m.lastgroup not in ("delim", "rawbody", "body") else None
        for name in ("space", "comment", "raw", "string", "char", "number", "ident", "punct"):
            if m.group(name) is not None:
                kind = name
                break
        if kind == "raw":
            yield "string", m.group("rawbody"), line
        elif kind == "string":
            yield "string", m.group("body"), line
        elif kind not in ("space", "comment"):
            yield kind, m.group(0), line
        line += m.group(0).count("\n")


def is_library_call(toks, i):
    """The name at i names the C library's function: unqualified or std::/::-qualified, not a member or a
    declaration of one's own."""
    before = toks[i - 1] if i > 0 else ("punct", ";", 0)
    if before[1] in (".", "->"):
        return False
    if before[1] == "::":
        qualifier = toks[i - 2] if i > 1 else ("punct", ";", 0)
        return qualifier[0] != "ident" or qualifier[1] == "std"
    return not (before[0] == "ident" and before[1] not in STATEMENT_WORDS)


def arguments(toks, i):
    """The arguments of the call whose '(' is at i, each a list of tokens; None when unbalanced."""
    depth, args, current = 0, [], []
    for kind, value, line in toks[i:]:
        if value in ("(", "[", "{"):
            depth += 1
            if depth == 1:
                continue
        elif value in (")", "]", "}"):
            depth -= 1
            if depth == 0:
                args.append(current)
                return args
        elif value == "," and depth == 1:
            args.append(current)
            current = []
            continue
        current.append((kind, value, line))
    return None


def problems(path):
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        toks = list(tokens(f.read()))
    for i, (kind, name, line) in enumerate(toks):
        if kind != "ident" or not is_library_call(toks, i):
            continue
        if name in READS:
            yield line, f"{name} reads numbers in the process locale: use kz::crt::c_strtod / c_atof"
        elif name in WRITES:
            yield line, f"{name} writes a floating value in the process locale: use kz::crt::int_text for integers"
        elif name in FORWARDS:
            yield line, f"{name} forwards a format the caller chose: use kz::crt::c_vsnprintf"
        elif name in PRINTS and i + 1 < len(toks) and toks[i + 1][1] == "(":
            args = arguments(toks, i + 1)
            at = PRINTS[name]
            if args is None or len(args) <= at:
                yield line, f"{name} call this check cannot read"
                continue
            literals = [value for kind, value, _ in args[at] if kind == "string"]
            if not literals:
                yield line, f"{name} with a format that is no literal: use kz::crt::c_snprintf / c_fprintf"
            elif any(c and c in "fFeEgGaA" for c in CONVERSION.findall("".join(literals))):
                yield line, f"{name} writes a floating number in the process locale: use kz::crt::c_snprintf / c_fprintf"


def checked_files():
    for top in CHECKED:
        for folder, dirs, files in os.walk(os.path.join(ROOT, top)):
            rel = os.path.relpath(folder, ROOT)
            dirs[:] = sorted(d for d in dirs if os.path.join(rel, d) not in EXEMPT and not d.startswith("."))
            for name in sorted(files):
                if name.endswith(SUFFIXES):
                    yield os.path.join(folder, name)


def report(paths, problems_of):
    """Prints each problem of each file as "path:line: message" on standard error; how many there were."""
    found = 0
    for path in paths:
        for line, message in problems_of(path):
            print(f"{os.path.relpath(path, ROOT)}:{line}: {message}", file=sys.stderr)
            found += 1
    return found


def main():
    found = report(checked_files(), problems)
    if found:
        print(f"guards: {found} number conversion(s) that follow the process locale (platform/crt/c_numbers.h "
              "has the locale-free calls)", file=sys.stderr)
        return 1
    print("guards: every number text outside platform/crt ignores the process locale")
    return 0


if __name__ == "__main__":
    sys.exit(main())
