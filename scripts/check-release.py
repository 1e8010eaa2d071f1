#!/usr/bin/env python3
"""Checks a release folder as a user who downloaded it would find it.

    check-release.py DIST [--again BUILD OUT]

- DIST/SHA256SUMS names Tarnwick-<version>.zip, and its hash is the zip's; the version is
  the tree's (`git describe` in a clone, else its VERSION file or "0.0.0-source", as
  scripts/source-version.py tells);
- the zip holds Tarnwick.exe, 使用说明.txt and README.txt, in that order, and nothing else,
  all with the tree's time (the commit's in a clone);
- the exe's version resource gives that version as its file and product version, and the
  exe is under 600 KB;
- both texts are UTF-8 with a byte-order mark and CR LF line ends, free of Markdown, and
  tell how to get windows back after a crash and where the settings are kept.

With --again, a second release is built in BUILD and written to OUT, and must be the same
bytes: a commit, or an unpacked archive, always gives the same download.
"""

import hashlib
import os
import re
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ENTRIES = ["Tarnwick.exe", "使用说明.txt", "README.txt"]
# What each text must tell: how to get windows back after a crash, where the settings live,
# how the program starts with Windows.
MUST_TELL = {
    "使用说明.txt": ["/restore", "System.ini", "%APPDATA%\\Tarnwick\\System.ini", "开机自动启动", "/hidden"],
    "README.txt": ["/restore", "Getting windows back after a crash", "Where the settings are kept",
                   "%APPDATA%\\Tarnwick\\System.ini"],
}

# The exe's promised ceiling, checked here because one more library object linked whole adds
# tens of KB at once, and nothing else would notice (docs/performance.md, Size).
EXE_LIMIT = 600 * 1024

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def source_version():
    """(version, epoch, origin), as the release asked for them."""
    out = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "source-version.py"), ROOT], check=True,
                         capture_output=True, text=True).stdout.splitlines()
    return out[0], int(out[1]), out[2]


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def version_strings(exe_bytes):
    """FileVersion and ProductVersion of the exe's version resource, as windres reads them."""
    with tempfile.TemporaryDirectory() as tmp:
        exe = os.path.join(tmp, "Tarnwick.exe")
        with open(exe, "wb") as f:
            f.write(exe_bytes)
        rc = subprocess.run(["i686-w64-mingw32-windres", "-i", exe, "-O", "rc"], check=True,
                            capture_output=True, text=True).stdout
    return dict(re.findall(r'VALUE "(FileVersion|ProductVersion)", "([^"]*)"', rc))


def check_text(name, data):
    check(data.startswith(b"\xef\xbb\xbf"), f"{name} does not start with a UTF-8 byte-order mark")
    check(b"\n" in data and data.count(b"\n") == data.count(b"\r\n") == data.count(b"\r"),
          f"{name} has line ends other than CR LF")
    try:
        text = data[3:].decode("utf-8")
    except UnicodeDecodeError as e:
        check(False, f"{name} is not UTF-8: {e}")
        return
    for phrase in MUST_TELL[name]:
        check(phrase in text, f"{name} does not mention {phrase!r}")
    for markup in ("**", "`", "\r\n#"):
        check(markup not in text, f"{name} still holds Markdown ({markup!r})")


def check_release(dist, version, epoch):
    zip_name = f"Tarnwick-{version}.zip"
    zip_path = os.path.join(dist, zip_name)
    if not check(os.path.isfile(zip_path), f"{zip_path} is missing"):
        return
    sums = os.path.join(dist, "SHA256SUMS")
    if check(os.path.isfile(sums), f"{sums} is missing"):
        with open(sums, encoding="ascii") as f:
            listed = dict(reversed(line.split("  ", 1)) for line in f.read().splitlines() if line)
        check(listed.get(zip_name) == sha256(zip_path), f"SHA256SUMS does not hold the hash of {zip_name}")

    with zipfile.ZipFile(zip_path) as archive:
        infos = archive.infolist()
        check([i.filename for i in infos] == ENTRIES, f"the zip holds {[i.filename for i in infos]}, not {ENTRIES}")
        stamp = time.gmtime(epoch)[:6]
        stamp = stamp[:5] + (stamp[5] // 2 * 2,)   # a zip keeps seconds in steps of two
        for info in infos:
            check(info.date_time == stamp, f"{info.filename} is dated {info.date_time}, not the tree's {stamp}")
            check(info.filename.isascii() or info.flag_bits & 0x800,
                  f"{info.filename} is not marked as a UTF-8 name")
        contents = {i.filename: archive.read(i) for i in infos}

    exe = contents.get("Tarnwick.exe", b"")
    if check(exe.startswith(b"MZ"), "Tarnwick.exe in the zip is not a program"):
        strings = version_strings(exe)
        for field in ("FileVersion", "ProductVersion"):
            check(strings.get(field) == version,
                  f"the exe's {field} is {strings.get(field)!r}, not {version!r}")
        check(len(exe) < EXE_LIMIT, f"Tarnwick.exe is {len(exe):,} bytes, not under {EXE_LIMIT:,} (600 KB)")
    for name in MUST_TELL:
        if name in contents:
            check_text(name, contents[name])


def main():
    args = sys.argv[1:]
    if len(args) not in (1, 4) or (len(args) == 4 and args[1] != "--again"):
        sys.exit(__doc__)
    dist = args[0]
    version, epoch, origin = source_version()
    check_release(dist, version, epoch)

    if len(args) == 4:
        build, out = args[2], args[3]
        subprocess.run([os.path.join(ROOT, "scripts", "release.sh"), "--build", build, "--out", out], check=True)
        for name in (f"Tarnwick-{version}.zip", "SHA256SUMS"):
            a, b = os.path.join(dist, name), os.path.join(out, name)
            check(os.path.isfile(b) and sha256(a) == sha256(b), f"a second build gave another {name}")

    for failure in failures:
        print(f"check-release: {failure}", file=sys.stderr)
    if failures:
        sys.exit(1)
    print(f"check-release: Tarnwick-{version}.zip ({origin}) is as a user should get it")


if __name__ == "__main__":
    main()
