#!/usr/bin/env bash
# Exits 0 when this machine's kernel runs 32-bit x86 programs, 1 when it does not, and says
# which on stderr with -v. The test is a 96-byte i386 Linux program, written here, that only
# exits with 42: some kernels of the build machines have 32-bit support switched off, and there
# the 32-bit Wine cannot start anything at all.
set -u
verbose=0
[ "${1:-}" = "-v" ] && verbose=1
program=$(mktemp "${TMPDIR:-/tmp}/runs-32bit.XXXXXX") || exit 1
trap 'rm -f "$program"' EXIT
# ELF header, one loadable segment, then: mov eax,1; mov ebx,42; int 0x80.
printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\273\52\0\0\0\315\200' >"$program"
chmod +x "$program"
"$program" 2>/dev/null
status=$?
if [ "$status" -eq 42 ]; then
    [ "$verbose" -eq 1 ] && echo "this machine runs 32-bit programs" >&2
    exit 0
fi
[ "$verbose" -eq 1 ] && echo "this machine's kernel does not run 32-bit programs (a 32-bit test program ended with $status)" >&2
exit 1
