#!/usr/bin/env bash
# Pictures of Tarnwick for the documentation: runs the screenshot driver
# (tests/screens/screenshots.cpp, built by `make win32`) in the test bed, where each of its
# cases saves NAME.bmp, and turns those into docs/screenshots/NAME.png; then once more at
# 144 DPI for NAME-144dpi.png.
#
#   scripts/screenshots.sh [BUILD_DIR] [--gtest_filter=...]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build}
shift || true
mkdir -p "$build"
build=$(cd "$build" && pwd)
cd "$root"

exe=$build/win32/tests/screens/screenshots.exe
[[ -f $exe ]] || { echo "screenshots: $exe is missing; run make win32 first" >&2; exit 1; }

shots=$build/screens
rm -rf "$shots"
mkdir -p "$shots" docs/screenshots
TW_SHOTS_DIR=$shots scripts/testbed.sh --build "$build" -- scripts/wine-exec "$exe" "$@"
# The same pictures at 150 % (NAME-144dpi.png), as users of high-DPI laptops see them.
TW_SHOTS_DIR=$shots TW_SHOTS_DPI=144 scripts/testbed.sh --build "$build" -- scripts/wine-exec "$exe" "$@"

shopt -s nullglob
count=0
for bmp in "$shots"/*.bmp; do
    png=docs/screenshots/$(basename "$bmp" .bmp).png
    # No time stamps in the file: the same picture gives the same bytes.
    convert "$bmp" -strip -define png:exclude-chunks=date,time "$png"
    echo "screenshots: $png"
    count=$((count + 1))
done
[[ $count -gt 0 ]] || { echo "screenshots: the driver saved no picture" >&2; exit 1; }
