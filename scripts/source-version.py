#!/usr/bin/env python3
"""The version a release of this tree is called and the time its files are stamped with.

    source-version.py [ROOT]

Prints three lines: the version, the time in seconds since 1970, and where the version
came from. The release and its check both ask here, so they cannot disagree.

- In a clone (git installed, ROOT the top of its work tree): `git describe --tags --always
  --dirty` and the time of the commit.
- In a tree without its history (a forge's "Download ZIP", a source tarball): the first line
  of ROOT/VERSION when there is one, else "0.0.0-source"; the time from SOURCE_DATE_EPOCH
  when set, else the VERSION file's modification time, else that of the newest file the
  tree's .gitignore does not leave out. Build folders and the release are left out, so two
  builds of one tree stamp the same time and give the same bytes.
"""

import fnmatch
import os
import re
import subprocess
import sys

FALLBACK_VERSION = "0.0.0-source"
# Also what a zip entry's name may hold: a tag such as "release/1.0" would name a folder.
VERSION_PATTERN = re.compile(r"^[A-Za-z0-9._+-]+$")


def git(root, *args):
    try:
        done = subprocess.run(["git", "-C", root, *args], capture_output=True, text=True)
    except OSError:   # no git at all
        return None
    return done.stdout.strip() if done.returncode == 0 else None


def in_clone(root):
    # An unpacked archive may sit inside some other repository (a home folder kept in git,
    # a build folder of this one): only a work tree whose top is ROOT is this tree's history.
    top = git(root, "rev-parse", "--show-toplevel")
    return top is not None and os.path.realpath(top) == os.path.realpath(root)


def ignore_patterns(root):
    """The .gitignore's plain patterns (no negations, no inner slashes), as (pattern, dirs only)."""
    patterns = [(".git", True), ("__pycache__", True)]
    try:
        with open(os.path.join(root, ".gitignore"), encoding="utf-8") as f:
            for line in f.read().splitlines():
                line = line.strip()
                if not line or line.startswith(("#", "!")):
                    continue
                dirs_only = line.endswith("/")
                patterns.append((line.strip("/"), dirs_only))
    except OSError:
        pass
    return patterns


def ignored(name, is_dir, patterns):
    return any(fnmatch.fnmatchcase(name, p) and (is_dir or not dirs_only) for p, dirs_only in patterns)


def newest_mtime(root):
    patterns = ignore_patterns(root)
    newest = 0
    for folder, dirs, files in os.walk(root):
        # A build folder named otherwise still holds CMake's cache.
        dirs[:] = [d for d in dirs if not ignored(d, True, patterns)
                   and not os.path.exists(os.path.join(folder, d, "CMakeCache.txt"))]
        for name in files:
            if not ignored(name, False, patterns):
                try:
                    newest = max(newest, int(os.lstat(os.path.join(folder, name)).st_mtime))
                except OSError:
                    pass
    return newest


def source_version(root):
    """(version, epoch, origin) for the tree at `root`."""
    if in_clone(root):
        version = git(root, "describe", "--tags", "--always", "--dirty")
        epoch = git(root, "log", "-1", "--format=%ct")
        if version and epoch:
            return version, int(epoch), "git describe"
    version_file = os.path.join(root, "VERSION")
    if os.path.isfile(version_file):
        with open(version_file, encoding="utf-8") as f:
            lines = f.read().splitlines()
        version = lines[0].strip() if lines else ""
        origin = "VERSION"
    else:
        version, origin = FALLBACK_VERSION, "no VERSION file"
    if os.environ.get("SOURCE_DATE_EPOCH"):
        try:
            epoch = int(os.environ["SOURCE_DATE_EPOCH"])
        except ValueError:
            sys.exit(f"source-version: SOURCE_DATE_EPOCH is not a number of seconds: {os.environ['SOURCE_DATE_EPOCH']!r}")
    elif os.path.isfile(version_file):
        epoch = int(os.stat(version_file).st_mtime)
    else:
        epoch = newest_mtime(root)
    return version, epoch, origin


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    version, epoch, origin = source_version(root)
    if not VERSION_PATTERN.match(version):
        sys.exit(f"source-version: cannot name a file after version '{version}' ({origin})")
    print(version)
    print(epoch)
    print(origin)


if __name__ == "__main__":
    main()
