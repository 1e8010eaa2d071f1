#!/usr/bin/env bash
# A release: Tarnwick.exe built in an empty folder, the user's instructions taken from
# README.md, packed into OUT/Tarnwick-<version>.zip with OUT/SHA256SUMS beside it.
#
#   scripts/release.sh --build DIR --out DIR
#
# In a clone, <version> is `git describe --tags --always --dirty`, and the exe's version
# resource says the same, so a downloaded exe tells which commit it is (and "-dirty" that it
# is not quite one). A tree without its history (a source archive) is called by its VERSION
# file, or "0.0.0-source" (scripts/source-version.py). The same tree gives the same bytes:
# the linker writes no time stamp, and every entry of the zip carries one time
# (SOURCE_DATE_EPOCH: the commit's, or a time the archive carries), in one fixed order.
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

# Version, time and where the version came from, one a line; it refuses a version that
# cannot name the zip.
source_info=$(python3 "$root/scripts/source-version.py" "$root")
{ read -r version; read -r SOURCE_DATE_EPOCH; read -r origin; } <<<"$source_info"
export SOURCE_DATE_EPOCH
echo "release.sh: version $version ($origin), files dated $(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S') UTC"

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
