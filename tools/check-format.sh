#!/usr/bin/env bash
# Fails, naming the files, when the C++ of host/, saver/, tools/ or tests/ is not laid out as
# the committed .clang-format says; with --fix, lays it out so. Pinned to clang-format 14:
# other versions lay the same code out differently.
set -euo pipefail
cd "$(dirname "$0")/.."
formatter=clang-format-14
if ! command -v "$formatter" >/dev/null; then
    echo "$formatter is missing: run tools/install-deps.sh" >&2
    exit 1
fi
mapfile -t files < <(find host saver tools tests -name '*.cpp' -o -name '*.h' | sort)
if [ "${1:-}" = "--fix" ]; then
    exec "$formatter" -i "${files[@]}"
fi
unformatted=()
for file in "${files[@]}"; do
    "$formatter" --dry-run --Werror "$file" 2>/dev/null || unformatted+=("$file")
done
if [ ${#unformatted[@]} -gt 0 ]; then
    printf 'not laid out as .clang-format says: %s\n' "${unformatted[@]}" >&2
    echo "fix with: make format   (or: clang-format-14 -i FILE...)" >&2
    exit 1
fi
echo "${#files[@]} files laid out as .clang-format says"
