#!/usr/bin/env bash
# Exits 0 when this machine's kernel runs 32-bit x86 programs, 1 when it does not, and 2 when
# it cannot tell; says which, and why, on stderr with -v. The test is a 96-byte i386 Linux
# program, written here, that only exits with 42: some kernels of the build machines have 32-bit
# support switched off, and there the 32-bit Wine cannot start anything at all. A native program
# run first from the same folder tells a broken folder (a TMPDIR mounted noexec, one that
# cannot be written) from a kernel without 32-bit support: both would stop the test program.
set -u
verbose=0
[ "${1:-}" = "-v" ] && verbose=1
say() {
    [ "$verbose" -eq 1 ] && echo "$1" >&2
    return 0
}
folder=$(mktemp -d "${TMPDIR:-/tmp}/runs-32bit.XXXXXX" 2>/dev/null) || {
    say "could not tell whether this machine runs 32-bit programs: no folder for the test program could be made in ${TMPDIR:-/tmp}"
    exit 2
}
trap 'rm -rf "$folder"' EXIT
native=$(type -P true)
if ! cp "$native" "$folder/native" 2>/dev/null || ! "$folder/native" 2>/dev/null; then
    say "could not tell whether this machine runs 32-bit programs: a native program in $folder would not run either (is ${TMPDIR:-/tmp} mounted noexec?)"
    exit 2
fi
program="$folder/i386"
# ELF header, one loadable segment, then: mov eax,1; mov ebx,42; int 0x80.
printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\273\52\0\0\0\315\200' >"$program"
chmod +x "$program"
"$program" 2>/dev/null
status=$?
if [ "$status" -eq 42 ]; then
    say "this machine runs 32-bit programs"
    exit 0
fi
say "this machine's kernel does not run 32-bit programs (a 32-bit test program ended with $status)"
exit 1
