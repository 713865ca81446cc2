#!/usr/bin/env python3
"""The sizes of the page's files, as README.md shows them.

Usage: web-sizes.py BUILD_FOLDER [--check README | --write README]

Prints the part of README.md between its web-sizes marks as the files in BUILD_FOLDER make it;
--write puts it there, and --check fails when a size README.md gives is off by more than 2% (or
a kilobyte, for small files). Sizes are in whole kilobytes (1,000 bytes): a small change to the
program leaves them right.
"""
import gzip
import os
import re
import sys

FILES = ["index.html", "quillon.js", "quillon.wasm", "quillon.data"]
BEGIN = "<!-- web-sizes: made by scripts/web-sizes.py, checked by make test-web -->"
END = "<!-- end of web-sizes -->"


def kilobytes(count):
    return f"{(count + 500) // 1000:,} KB"


def sizes_text(build):
    rows, total, total_zipped = [], 0, 0
    for name in FILES:
        with open(os.path.join(build, name), "rb") as file:
            data = file.read()
        zipped = len(gzip.compress(data, 9, mtime=0))
        total, total_zipped = total + len(data), total_zipped + zipped
        rows.append(f"| `{name}` | {kilobytes(len(data))} | {kilobytes(zipped)} |")
    return "\n".join([
        BEGIN,
        f"Together {kilobytes(total)}, {kilobytes(total_zipped)} compressed file by file with gzip:",
        "",
        "| file | size | gzipped |",
        "| --- | --- | --- |",
        *rows,
        END,
    ])


def close_enough(given, built):
    """Whether every size in `given` is within 2% or a kilobyte of the same in `built`."""
    given_sizes = [int(n.replace(",", "")) for n in re.findall(r"([\d,]+) KB", given)]
    built_sizes = [int(n.replace(",", "")) for n in re.findall(r"([\d,]+) KB", built)]
    return len(given_sizes) == len(built_sizes) and all(
        abs(a - b) <= max(1, b * 0.02) for a, b in zip(given_sizes, built_sizes))


def main():
    arguments = sys.argv[1:]
    if len(arguments) not in (1, 3) or (len(arguments) == 3 and
                                        arguments[1] not in ("--check", "--write")):
        sys.exit(__doc__.strip())
    text = sizes_text(arguments[0])
    if len(arguments) == 1:
        print(text)
        return 0
    readme = arguments[2]
    with open(readme) as file:
        current = file.read()
    marked = re.compile(re.escape(BEGIN) + ".*?" + re.escape(END), re.S)
    if not marked.search(current):
        sys.exit(f"web-sizes: {readme} has no web-sizes marks")
    updated = marked.sub(lambda _: text, current)
    if arguments[1] == "--write":
        with open(readme, "w") as file:
            file.write(updated)
        return 0
    if not close_enough(marked.search(current).group(0), text):
        print(f"FAIL: {readme}'s file sizes of the page are out of date; "
              f"scripts/web-sizes.py {arguments[0]} --write {readme} mends them")
        return 1
    print(f"pass: {readme}'s file sizes of the page match the build's")
    return 0


if __name__ == "__main__":
    sys.exit(main())
