#!/usr/bin/env bash
# Makes sure this Debian 12 machine can build and test Tarnwick, installing what is missing.
#
#   scripts/deps.sh [--locales DIR]
#
# Packages: as root, missing ones are installed (the i386 architecture is added first, and
# `apt-get update` runs only when something must be installed, so a ready machine costs a
# fraction of a second). Not root and something missing: prints the commands and fails.
#
# --locales DIR compiles zh_CN.UTF-8, en_US.UTF-8 and C.UTF-8 into DIR (for LOCPATH). Wine
# takes the ANSI code page from LANG only when the C library can load that locale: without a
# compiled zh_CN.UTF-8 this Wine reports code page 1252 for LANG=zh_CN.UTF-8, and non-ASCII
# file names (CreateDirectoryA of a GBK name) fail.
# Compiling into a folder of the build needs no root and leaves the system's locales alone.
# With LOCPATH set glibc looks nowhere else, hence the English and C locales beside it.
set -euo pipefail

locale_dir=
while [[ $# -gt 0 ]]; do
    case $1 in
        --locales) locale_dir=${2:?--locales needs a folder}; shift 2 ;;
        *) echo "deps.sh: unknown argument '$1'" >&2; exit 2 ;;
    esac
done

# wine64 and the x86-64 compiler: the tray is also tried against a 64-bit stand-in shell,
# as the real shell is on 64-bit Windows.
# fonts-wine: Wine's own Tahoma and Marlett (caption buttons, check marks, scroll arrows);
# without it the title bar buttons draw as letters.
# python3: `make release` packs the zip and its texts with it (zipfile: fixed times and order).
packages=(
    make cmake ninja-build g++ clang googletest locales
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
    wine wine32:i386 wine64 fonts-wine xvfb xauth x11-utils fonts-wqy-microhei imagemagick
    python3
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [[ $status == installed ]] || missing+=("$p")
done
need_i386=false
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=true

if [[ ${#missing[@]} -gt 0 || $need_i386 == true ]]; then
    if [[ $(id -u) -ne 0 ]]; then
        echo "deps.sh: missing packages: ${missing[*]:-none}; please run as root:" >&2
        [[ $need_i386 == true ]] && echo "  dpkg --add-architecture i386" >&2
        echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "deps.sh: installing: ${missing[*]}"
    [[ $need_i386 == true ]] && dpkg --add-architecture i386
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    # Recommends stay on: Wine loads FreeType and friends at run time and lists them only
    # as recommended, so without them no text would be drawn.
    apt-get install -y -q "${missing[@]}"
fi

if [[ -n $locale_dir ]]; then
    stamp=$locale_dir/.complete
    if [[ ! -f $stamp ]]; then
        mkdir -p "$locale_dir"
        for loc in zh_CN en_US C; do
            localedef -i "$loc" -f UTF-8 "$locale_dir/$loc.UTF-8"
        done
        touch "$stamp"
    fi
fi
