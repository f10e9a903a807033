#!/usr/bin/env bash
# Fails when a C++ file of the tree (tracked, or new and not ignored) differs from what clang-format 14 makes of it under the
# root .clang-format; with --fix, formats them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
# New files count before they are added, so a --fix before the commit covers them too.
mapfile -t files < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
  clang-format-14 -i "${files[@]}"
  exit 0
fi
if ! clang-format-14 --dry-run --Werror "${files[@]}" 2>/tmp/movitrel-format.$$; then
  grep -E '^[^ ].*: (error|warning):' /tmp/movitrel-format.$$ | cut -d: -f1 | sort -u |
    sed 's/^/format: differs from clang-format-14: /' >&2
  rm -f /tmp/movitrel-format.$$
  echo "format: run 'bash scripts/check-format.sh --fix'" >&2
  exit 1
fi
rm -f /tmp/movitrel-format.$$
echo "format: ${#files[@]} files as clang-format-14 makes them"
