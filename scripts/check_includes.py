#!/usr/bin/env python3
"""Fails on an include that points up the layers, or that brings a platform library outside platform/.

A library's files may include headers of that library and of the libraries it depends on (directly or through
them), as its kz_library() call in CMake names them. Qt, EGL, FFmpeg, libcurl, iconv and libacl headers belong to
platform/ alone (benchmarks may measure Qt as a peer). Tests and benchmarks are programs on top of everything and
are not checked for layers.
"""
import os
import re
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
PLATFORM_HEADER = re.compile(r'^\s*#\s*include\s*<(Q[A-Za-z]+|Qt[A-Za-z]*/|EGL/|curl/|iconv\.h|libav|libsw|sys/acl\.h|acl/)')
PROJECT_INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")


def cmake_libraries():
    """Each kz_library: its folders (the calling folder minus EXCLUDEd ones, plus ALSO folders) and DEPS."""
    libraries = {}
    for folder, dirs, files in os.walk(ROOT):
        dirs[:] = [d for d in dirs if not d.startswith(".") and not d.startswith("build")]
        if "CMakeLists.txt" not in files:
            continue
        text = open(os.path.join(folder, "CMakeLists.txt"), encoding="utf-8").read()
        text = re.sub(r"#[^\n]*", "", text)
        for call in re.finditer(r"kz_library\(([^)]*)\)", text):
            words = call.group(1).split()
            name, keyword, lists = words[0], None, {"DEPS": [], "PRIVATE_DEPS": [], "EXCLUDE": [], "ALSO": []}
            for word in words[1:]:
                if word in lists:
                    keyword = word
                elif keyword:
                    lists[keyword].append(word)
            here = os.path.relpath(folder, ROOT)
            libraries[name] = {
                "folders": [here] + lists["ALSO"],
                "excluded": [os.path.join(here, e) for e in lists["EXCLUDE"]],
                "deps": [d for d in lists["DEPS"] + lists["PRIVATE_DEPS"] if d.startswith("kz_")],
            }
    return libraries


def library_of(path, libraries):
    """The library whose folders hold path most closely (the longest folder wins: platform/crt over platform)."""
    best, best_length = None, -1
    for name, lib in libraries.items():
        if any(path.startswith(e + "/") for e in lib["excluded"]):
            continue
        for folder in lib["folders"]:
            if path.startswith(folder + "/") and len(folder) > best_length:
                best, best_length = name, len(folder)
    return best


def reachable(name, libraries, seen=None):
    seen = set() if seen is None else seen
    if name in seen or name not in libraries:
        return seen
    seen.add(name)
    for dep in libraries[name]["deps"]:
        reachable(dep, libraries, seen)
    return seen


def main():
    libraries = cmake_libraries()
    allowed = {name: reachable(name, libraries) for name in libraries}
    problems = []
    for folder, dirs, files in os.walk(ROOT):
        dirs[:] = [d for d in dirs if not d.startswith(".") and not d.startswith("build")]
        for file in files:
            if not file.endswith(SOURCE_SUFFIXES):
                continue
            path = os.path.relpath(os.path.join(folder, file), ROOT)
            in_platform = path.startswith("platform/") or path.startswith("tests/platform/")
            # Benchmarks may measure Qt itself as the peer of what the platform layer does over it.
            in_platform = in_platform or path.startswith("bench/")
            # The font generator is a build tool over FreeType, outside the program's layers.
            if path.startswith("resources/fontgen/"):
                continue
            own = library_of(path, libraries)
            with open(os.path.join(ROOT, path), encoding="utf-8", errors="replace") as source:
                for number, line in enumerate(source, 1):
                    if PLATFORM_HEADER.match(line) and not in_platform:
                        problems.append(f"{path}:{number}: platform library header outside platform/: {line.strip()}")
                    match = PROJECT_INCLUDE.match(line)
                    if not match or own is None:
                        continue
                    target = library_of(match.group(1), libraries)
                    if target is not None and target not in allowed[own]:
                        problems.append(f"{path}:{number}: {own} includes {match.group(1)} of {target}, "
                                        f"which is not among its CMake dependencies")
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print(f"check_includes: {len(problems)} include(s) point the wrong way", file=sys.stderr)
        return 1
    print(f"check_includes: {len(libraries)} libraries, every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
