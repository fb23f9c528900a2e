#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, and nothing when all are there.
# Where the kernel runs 32-bit programs it also adds the i386 architecture and the 32-bit Wine,
# which runs the product itself (quillet.scr). Where it does not, wine32 would make the wine
# wrapper pick a loader that cannot start anything, so the machine keeps the 64-bit Wine only,
# and a 32-bit Wine found there (a disk moved from another kernel) is removed again. Where the
# probe cannot tell (its folder is broken), the 32-bit Wine is neither added nor removed.
# QUILLET_PROBE_32BIT and QUILLET_PACKAGE_QUERY name stand-ins for the probe and for the
# "is this package installed" question (given the package's name), for testing this script.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
probe=${QUILLET_PROBE_32BIT:-"$here/runs-32bit.sh"}

packages=(
    cmake make g++ googletest libgtest-dev clang libclang-rt-14-dev clang-format-14
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine64 xvfb xdotool x11-utils python3 python3-pil python3-pefile python3-xlib faketime nsis
)

# runs32: 1 yes, 0 no, 2 the probe could not tell (it says why on stderr).
probe_status=0
probe_says=$("$probe" -v 2>&1 >/dev/null) || probe_status=$?
case "$probe_status" in
    0) runs32=1; packages+=(wine32:i386) ;;
    1) runs32=0 ;;
    *) runs32=2 ;;
esac

installed() {
    if [ -n "${QUILLET_PACKAGE_QUERY:-}" ]; then
        "$QUILLET_PACKAGE_QUERY" "$1"
        return
    fi
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done

changed=0
if [ ${#missing[@]} -gt 0 ]; then
    changed=1
    echo "installing: ${missing[*]}"
    if [ "$runs32" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "$runs32" -eq 0 ] && installed wine32:i386; then
    changed=1
    echo "removing wine32:i386: this kernel does not run 32-bit programs, and with it installed" \
         "wine starts no program at all, 64-bit ones included"
    # dpkg refuses when another package depends on it, where apt-get would take that along.
    "${sudo[@]}" dpkg --remove wine32:i386 >/dev/null
fi

if [ "$runs32" -eq 0 ]; then
    echo "note: this kernel does not run 32-bit programs: quillet.scr cannot start here, so the" \
         "32-bit scenarios are skipped and the 64-bit build stands in for it"
elif [ "$runs32" -eq 2 ]; then
    echo "note: the 32-bit Wine is left as it is: ${probe_says:-the 32-bit probe could not tell}"
fi

# Whatever was installed or removed, wine must still start a 64-bit program; a fresh throwaway
# prefix running its own 64-bit cmd.exe shows it. If the 32-bit Wine broke that, it goes again.
wine_starts() {
    local prefix status
    prefix=$(mktemp -d "${TMPDIR:-/tmp}/quillet-wine-check.XXXXXX")
    WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= \
        timeout 300 wine cmd /c exit 0 >/dev/null 2>&1
    status=$?
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
    return "$status"
}

if [ "$changed" -eq 1 ] && ! wine_starts; then
    if [ "$runs32" -eq 1 ]; then
        echo "wine no longer starts 64-bit programs with the 32-bit Wine installed; removing it"
        "${sudo[@]}" dpkg --remove wine32:i386
    fi
    if ! wine_starts; then
        echo "error: wine cannot start a 64-bit program on this machine" >&2
        exit 1
    fi
fi
