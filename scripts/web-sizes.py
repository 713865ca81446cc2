#!/usr/bin/env python3
"""The sizes of the page's files, as README.md shows them.

Usage: web-sizes.py BUILD_FOLDER [--check README | --write README]

Prints the part of README.md between its web-sizes marks as the files in BUILD_FOLDER make it;
--check fails when README.md says otherwise, --write puts it there. Sizes are in whole
kilobytes (1,000 bytes), so that a small change to the program does not make them wrong.
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
    if updated != current:
        print(f"FAIL: {readme}'s file sizes of the page are out of date; "
              f"scripts/web-sizes.py {arguments[0]} --write {readme} mends them")
        return 1
    print(f"pass: {readme}'s file sizes of the page are those of the build")
    return 0


if __name__ == "__main__":
    sys.exit(main())
