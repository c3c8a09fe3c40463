#!/usr/bin/env python3
"""Prints the numbers of the failed tests whose only failure was LeakSanitizer's tracer crashing at exit.

Usage: tracer_crash_only.py CONSOLE_LOG LAST_TEST_LOG

CONSOLE_LOG is what ctest printed (its closing list "The following tests FAILED:" gives each failed test's number
and how it ended), LAST_TEST_LOG ctest's Testing/Temporary/LastTest.log (every test's whole output). Under heavy
load the leak checker's tracer can crash while Mesa's worker threads wind down ("Tracer caught signal ...", then
"LeakSanitizer has encountered a fatal error."), failing a test whose checks all passed; scripts/test.sh runs such
a test once more. A test counts as that only when it ended by its exit code (not by a signal or a timeout), its
output holds both lines, and nothing in it reports a failure: no check of GoogleTest's ("[  FAILED  ]", a
"file:line: Failure" or "unknown file: Failure" location, "[ FATAL ]"), colour codes around them or not, and no
sanitizer's report (an ERROR, WARNING or SUMMARY line of any sanitizer, UndefinedBehaviorSanitizer's "runtime
error:", a sanitizer's own "CHECK failed"). Whatever is not sure to be the tracer alone stands as a failure.
"""
import re
import sys

TRACER = ("Tracer caught signal", "LeakSanitizer has encountered a fatal error")
# Searched anywhere in the output, not from a line's start: colour codes, or another process's text on the same
# line, may come first.
FAILURE = re.compile(
    r"\[  FAILED  \]|: Failure|\[ FATAL \]|runtime error:|(?:ERROR|WARNING|SUMMARY): \w*Sanitizer"
    r"|Sanitizer CHECK failed"
)
# "  12 - Suite.Name (Failed)" in ctest's closing list; "Failed" is a non-zero exit code, anything else (SEGFAULT,
# Subprocess aborted, Timeout, ...) a test that did not end by itself.
LISTED = re.compile(r"^\s*(\d+) - .* \(([^()]*)\)\s*$")


def ended_by_exit_code(console):
    """The numbers of the failed tests that ended with a non-zero exit code."""
    closing = console.rsplit("The following tests FAILED:", 1)
    if len(closing) < 2:
        return set()
    found = set()
    for line in closing[1].splitlines():
        m = LISTED.match(line)
        if m and m.group(2) == "Failed":
            found.add(m.group(1))
    return found


def outputs(log):
    """Each test's output in LastTest.log, by its number."""
    blocks = re.finditer(r"^(\d+)/\d+ Test: .*?\nOutput:\n-+\n(.*?)<end of output>\n", log, re.S | re.M)
    return {m.group(1): m.group(2) for m in blocks}


def tracer_crash_only(console, log):
    out = outputs(log)
    return sorted(
        (n for n in ended_by_exit_code(console)
         if all(t in out.get(n, "") for t in TRACER) and not FAILURE.search(out.get(n, ""))),
        key=int,
    )


def main():
    if len(sys.argv) != 3:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    read = lambda path: open(path, encoding="utf-8", errors="replace").read()
    for number in tracer_crash_only(read(sys.argv[1]), read(sys.argv[2])):
        print(number)
    return 0


if __name__ == "__main__":
    sys.exit(main())
