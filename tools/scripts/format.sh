#!/usr/bin/env bash
# Formats the project's C++ sources with .clang-format (Debian's
# clang-format 14; setup-and-build.sh installs it).
#
#   tools/scripts/format.sh           formats every source file in place
#   tools/scripts/format.sh --check   lists the files that differ, exit 1 if any
#
# The files are the .cpp and .h files of the checkout that git does not
# ignore (outside a git checkout: those below the root but the build
# directories); generated code lives in the build directories only.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"

check=false
case "${1:-}" in
  --check) check=true ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

formatter="${CLANG_FORMAT:-clang-format}"
if ! command -v "$formatter" >/dev/null; then
  echo "format: $formatter not found (Debian package clang-format)" >&2
  exit 2
fi

if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' \
    | while read -r f; do [ -f "$f" ] && echo "$f"; done | sort -u)
else
  mapfile -t files < <(find . \( -path './build*' -o -path './.git' \) -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||' | sort)
fi

# A broken .clang-format would make every file look formatted.
"$formatter" --style=file --dump-config < /dev/null > /dev/null

if ! $check; then
  printf '%s\0' "${files[@]}" | xargs -0 -n 50 "$formatter" -i --style=file
  exit 0
fi

# One dry run over all files; it names each file that would change.
mapfile -t unformatted < <(printf '%s\0' "${files[@]}" \
  | xargs -0 "$formatter" --dry-run --Werror --style=file 2>&1 \
  | sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
if [ ${#unformatted[@]} -gt 0 ]; then
  printf '%s\n' "${unformatted[@]}"
  echo "format: these ${#unformatted[@]} file(s) differ from .clang-format;" \
    "run tools/scripts/format.sh to format them in place" >&2
  exit 1
fi
