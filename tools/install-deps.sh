#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, and nothing when all are there.
# Never adds the i386 architecture or wine32: this machine's kernel runs 64-bit programs only,
# and with wine32 present the wine wrapper picks a loader that cannot start.
set -euo pipefail

packages=(
    cmake make g++ googletest libgtest-dev clang libclang-rt-14-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine64 xvfb xdotool x11-utils imagemagick python3
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
