#!/usr/bin/env bash
# A release: Tarnwick.exe built in an empty folder, the user's instructions taken from
# README.md, packed into OUT/Tarnwick-<version>.zip with OUT/SHA256SUMS beside it.
#
#   scripts/release.sh --build DIR --out DIR
#
# <version> is `git describe --tags --always --dirty`, and the exe's version resource says
# the same, so a downloaded exe tells which commit it is (and "-dirty" that it is not quite
# one). The same commit gives the same bytes: the linker writes no time stamp, and every
# entry of the zip carries the commit's time (SOURCE_DATE_EPOCH), in one fixed order.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=
out=
while [[ $# -gt 0 ]]; do
    case $1 in
        --build) build=${2:?--build needs a folder}; shift 2 ;;
        --out) out=${2:?--out needs a folder}; shift 2 ;;
        *) echo "release.sh: unknown argument '$1'" >&2; exit 2 ;;
    esac
done
[[ -n $build && -n $out ]] || { echo "usage: release.sh --build DIR --out DIR" >&2; exit 2; }

version=$(git -C "$root" describe --tags --always --dirty)
# It names the zip; a tag such as "release/1.0" would name a folder instead.
[[ $version =~ ^[A-Za-z0-9._+-]+$ ]] || { echo "release.sh: cannot name a file after version '$version'" >&2; exit 1; }
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
export SOURCE_DATE_EPOCH

# Nothing left over from an earlier build may find its way in: the folder starts empty.
mkdir -p "$build"
build=$(cd "$build" && pwd)
case $build in
    /|"$root"|"$HOME") echo "release.sh: refusing to empty $build" >&2; exit 1 ;;
esac
rm -rf "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DTW_VERSION="$version"
cmake --build "$build" -j "${JOBS:-2}" --target Tarnwick

python3 "$root/scripts/release-package.py" --version "$version" --epoch "$SOURCE_DATE_EPOCH" \
    --exe "$build/Tarnwick.exe" --readme "$root/README.md" --out "$out"
