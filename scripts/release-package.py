#!/usr/bin/env python3
"""Packs a built Tarnwick.exe with the user's instructions into Tarnwick-<version>.zip.

    release-package.py --version V --epoch SECONDS --exe PATH --readme README.md --out DIR

The instructions are README.md's own sections, made plain text, so that they never drift
from it: 使用说明.txt is the Chinese user section, README.txt the English introduction and
"Using it" (with the crash recovery and where the settings are kept). Both are UTF-8 with a
byte-order mark and CR LF line ends: Notepad on every Windows version then shows them right,
the Chinese included, whatever the system's code page.

The zip holds those three files and nothing else, always in the same order, each stamped
with the commit's time, so the same commit gives the same bytes. SHA256SUMS names the zip.
"""

import argparse
import hashlib
import os
import re
import sys
import time
import unicodedata
import zipfile

CHINESE_SECTION = "## 简介（用户说明）"
ENGLISH_TITLE = "# Tarnwick"
ENGLISH_SECTION = "## Using it"


def heading_level(line):
    match = re.match(r"^(#{1,6}) ", line)
    return len(match.group(1)) if match else 0


def section(lines, heading, stop_at_subsections=False):
    """The lines from `heading` up to the next heading of its level or above (or of any
    level, with `stop_at_subsections`)."""
    try:
        start = lines.index(heading)
    except ValueError:
        sys.exit(f"release-package: README.md has no heading '{heading}'")
    level = heading_level(heading)
    end = start + 1
    while end < len(lines):
        found = heading_level(lines[end])
        if found and (stop_at_subsections or found <= level):
            break
        end += 1
    return lines[start:end]


def display_width(text):
    # Chinese characters take two columns in Notepad's fixed fonts, as in a console.
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


def plain(lines):
    """Markdown as a reader of plain text expects it: headings underlined, no markup left."""
    out = []
    for line in lines:
        level = heading_level(line)
        if level:
            title = line[level + 1:].strip()
            if out and out[-1] != "":
                out.append("")
            out.append(title)
            out.append(("=" if level == 1 else "-") * display_width(title))
            continue
        line = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", line)   # links: their text
        line = re.sub(r"\*\*([^*]+)\*\*", r"\1", line)          # bold
        line = re.sub(r"`([^`]*)`", r"\1", line)                # code
        out.append(line.rstrip())
    # One blank line between blocks, none at the ends.
    text = re.sub(r"\n{3,}", "\n\n", "\n".join(out)).strip("\n")
    return text + "\n"


def windows_text(text):
    return b"\xef\xbb\xbf" + text.replace("\n", "\r\n").encode("utf-8")


def instructions(readme):
    lines = readme.splitlines()
    chinese = plain(section(lines, CHINESE_SECTION))
    english = plain(section(lines, ENGLISH_TITLE, stop_at_subsections=True) + [""] +
                    section(lines, ENGLISH_SECTION))
    return windows_text(chinese), windows_text(english)


def write_zip(path, entries, epoch):
    # A zip keeps local time without a zone; the commit's UTC time is the same everywhere.
    stamp = time.gmtime(max(epoch, 315532800))[:6]   # zip times start in 1980
    with zipfile.ZipFile(path, "w") as archive:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            # A name outside ASCII is stored as UTF-8 with the flag that says so (zipfile
            # sets it), which Windows 10 and 11's zip folders, 7-Zip and WinRAR read. Made on
            # Unix, so that Info-ZIP's unzip does not take the name for the DOS code page.
            info.create_system = 3
            info.external_attr = (0o100755 if name.endswith(".exe") else 0o100644) << 16
            archive.writestr(info, data, compresslevel=9)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--epoch", required=True, type=int)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--readme", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()

    with open(args.readme, encoding="utf-8") as f:
        chinese, english = instructions(f.read())
    with open(args.exe, "rb") as f:
        exe = f.read()

    os.makedirs(args.out, exist_ok=True)
    name = f"Tarnwick-{args.version}.zip"
    path = os.path.join(args.out, name)
    write_zip(path, [("Tarnwick.exe", exe), ("使用说明.txt", chinese), ("README.txt", english)], args.epoch)
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    # The format sha256sum -c reads: a text-mode line, two blanks between hash and name.
    with open(os.path.join(args.out, "SHA256SUMS"), "w", encoding="ascii", newline="\n") as f:
        f.write(f"{digest}  {name}\n")
    print(f"release: {path}")


if __name__ == "__main__":
    main()
