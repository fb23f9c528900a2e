#!/usr/bin/env bash
# Builds the setup program from setup.nsi beside this script:
#   make_setup.sh <version> <quillet.scr> <quillet64.scr> <out.exe> [amd64]
# amd64 makes the 64-bit setup the tests use where 32-bit programs cannot run. The setup shows
# the licence with Windows line ends; makensis writes the output under a temporary name first,
# so a failed build leaves no setup of that name behind.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
version=$1 scr32=$(realpath "$2") scr64=$(realpath "$3") out=$4
target=()
[ "${5:-}" = "amd64" ] && target=(-DAMD64)
work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-setup.XXXXXX")
trap 'rm -rf "$work"' EXIT
sed 's/$/\r/' "$here/../../LICENSE" >"$work/LICENSE.txt"
mkdir -p "$(dirname "$out")"
makensis -V2 -NOCD -DVERSION="$version" -DSCR32="$scr32" -DSCR64="$scr64" \
    -DLICENSE="$work/LICENSE.txt" -DICON="$here/../../resources/quillet.ico" \
    -DOUTFILE="$work/$(basename "$out")" "${target[@]}" "$here/setup.nsi"
mv "$work/$(basename "$out")" "$out"
