#!/usr/bin/env bash
# The release as someone gets it who downloads the source instead of cloning it: HEAD exported
# with `git archive` into BUILD/source-archive (no history there, and the clone around it is
# not its own), released by the tree's own scripts and passed by its own check.
#
#   scripts/check-source-archive.sh BUILD
#
# The tree's build folder sits where a clone's does (source-archive/build/...), so that with
# the compiler cache and CCACHE_BASEDIR the objects `make win32` compiled are found again and
# the check costs a link, not a build.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
build=${1:?usage: check-source-archive.sh BUILD}

if [[ $(git -C "$root" rev-parse --show-toplevel 2>/dev/null) != "$root" ]]; then
    echo "check-source-archive: this tree has no history of its own; the release check above built it as an archive"
    exit 0
fi

mkdir -p "$build"
tree=$(cd "$build" && pwd)/source-archive
rm -rf "$tree"
mkdir -p "$tree"
git -C "$root" archive --format=tar HEAD | tar -x -C "$tree"

if command -v ccache >/dev/null && [[ -z ${CMAKE_CXX_COMPILER_LAUNCHER:-} ]]; then
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=1
# The tree's own time, as a user's build would take it.
unset SOURCE_DATE_EPOCH

"$tree/scripts/release.sh" --build "$tree/build/release" --out "$tree/dist"
"$tree/scripts/check-release.py" "$tree/dist"

fail() { echo "check-source-archive: $*" >&2; exit 1; }
[[ -f $tree/dist/Tarnwick-0.0.0-source.zip ]] || fail "an archive without a VERSION file is not released as 0.0.0-source"
# The files came out of the archive with the commit's time, and the build beside them must
# not move the time a second build would stamp.
commit_time=$(git -C "$root" log -1 --format=%ct HEAD)
[[ $(sed -n 2p <<<"$(python3 "$tree/scripts/source-version.py" "$tree")") == "$commit_time" ]] ||
    fail "the unpacked tree is not dated by its newest source file once built"
# A VERSION file names the release and dates it.
printf '2.1.0\n' >"$tree/VERSION"
touch -d @1700000000 "$tree/VERSION"
[[ $(python3 "$tree/scripts/source-version.py" "$tree" | head -2 | tr '\n' ' ') == "2.1.0 1700000000 " ]] ||
    fail "the VERSION file does not name and date the tree"
echo "check-source-archive: a source archive builds and passes as Tarnwick-0.0.0-source"
