#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Probnik developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Gives every source file of the repository its two-line licence header.

    scripts/spdx-headers.py [--check] [FILE...]     (without files: every file git knows of)

The header is a SPDX-FileCopyrightText and a SPDX-License-Identifier line in the file's own
comment syntax, after a "#!" line, an XML declaration or an HTML doctype, and followed by an
empty line. A file that already names a licence in its first lines is left as it is, so running
the script again changes nothing. Files that cannot hold a comment (pictures, JSON, the
Debian-format texts) are listed and left to .reuse/dep5. With --check nothing is written and
the status is 1 when a file still lacks its header. `reuse lint` checks the result.
"""

import pathlib
import subprocess
import sys

COPYRIGHT = "2026 The Probnik developers"
LICENCE = "GPL-3.0-or-later"

# (line start, line end) of a one-line comment, by file name ending.
HASH = ("# ", "")
SLASHES = ("// ", "")
MARKUP = ("<!-- ", " -->")
ROFF = ('.\\" ', "")
STYLES = {
    ".cpp": SLASHES, ".h": SLASHES, ".hpp": SLASHES, ".cc": SLASHES, ".c": SLASHES,
    ".cmake": HASH, "CMakeLists.txt": HASH, ".sh": HASH, ".py": HASH, ".desktop": HASH,
    ".dict": HASH, ".gitignore": HASH, ".gitattributes": HASH, ".clang-format": HASH,
    ".clang-tidy": HASH, ".yml": HASH, ".yaml": HASH, ".toml": HASH,
    ".html": MARKUP, ".htm": MARKUP, ".svg": MARKUP, ".xml": MARKUP, ".md": MARKUP,
    ".1": ROFF,
}
# Kept out: the licence texts and the REUSE data themselves.
SKIPPED_PREFIXES = ("LICENSE", "LICENSES/", ".reuse/")
HEAD_LINES = 12
# Spelt in two pieces so that licence scanners do not take these lines for this file's own tags.
COPYRIGHT_TAG = "SPDX-" "FileCopyrightText:"
LICENCE_TAG = "SPDX-" "License-Identifier:"


def style_of(path: pathlib.Path, first_line: str):
    name = path.name
    if name.endswith(".in"):  # a template has the syntax of what it becomes
        name = name[: -len(".in")]
    for ending, style in STYLES.items():
        if name == ending or name.endswith(ending):
            return style
    if first_line.startswith("#!"):
        return HASH
    return None


def insertion_point(lines, style) -> int:
    """The line the header goes before: after a line that must stay first."""
    if not lines:
        return 0
    first = lines[0].lstrip("\ufeff")
    if first.startswith("#!"):
        if len(lines) > 1 and "coding" in lines[1] and lines[1].startswith("#"):
            return 2
        return 1
    if style is MARKUP and (first.startswith("<?xml") or first.lower().startswith("<!doctype")):
        return 1
    return 0


def annotate(path: pathlib.Path, write: bool) -> str:
    """"added", "present" or "no-comment"."""
    try:
        text = path.read_text(encoding="utf-8")
    except UnicodeDecodeError:
        return "no-comment"
    lines = text.splitlines(keepends=True)
    if any(LICENCE_TAG in line for line in lines[:HEAD_LINES]):
        return "present"
    style = style_of(path, lines[0] if lines else "")
    if style is None:
        return "no-comment"
    begin, end = style
    header = [
        f"{begin}{COPYRIGHT_TAG} {COPYRIGHT}{end}\n",
        f"{begin}{LICENCE_TAG} {LICENCE}{end}\n",
    ]
    at = insertion_point(lines, style)
    if at > 0 and not lines[at - 1].endswith("\n"):
        lines[at - 1] += "\n"
    rest = lines[at:]
    # An empty line parts the header from what follows, unless one is there already.
    if rest and rest[0].strip():
        header.append("\n")
    if write:
        path.write_text("".join(lines[:at] + header + rest), encoding="utf-8")
    return "added"


def main() -> int:
    args = sys.argv[1:]
    check = "--check" in args
    files = [a for a in args if a != "--check"]
    root = pathlib.Path(__file__).resolve().parent.parent
    if not files:
        listed = subprocess.run(
            ["git", "ls-files", "--cached", "--others", "--exclude-standard", "-z"],
            cwd=root, check=True, capture_output=True, text=True).stdout
        files = sorted({f for f in listed.split("\0") if f})
    counts = {"added": 0, "present": 0, "no-comment": 0}
    for name in files:
        if name.startswith(SKIPPED_PREFIXES):
            continue
        path = root / name
        if not path.is_file():
            continue
        result = annotate(path, write=not check)
        counts[result] += 1
        if result == "added":
            print(f"{'lacks a header' if check else 'header added'}: {name}")
        elif result == "no-comment":
            print(f"no comment possible, left to .reuse/dep5: {name}")
    print(f"{counts['added']} {'lacking' if check else 'added'}, {counts['present']} present, "
          f"{counts['no-comment']} left to .reuse/dep5")
    return 1 if check and counts["added"] else 0


if __name__ == "__main__":
    sys.exit(main())
