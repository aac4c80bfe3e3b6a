#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest; then
# (only when no arguments for ctest are given) builds the fuzz targets in
# ./build-fuzz, runs each for a few seconds, and checks that every C++ file
# is formatted as .clang-format says.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/tools/scripts/setup-and-build.sh"
ctest --test-dir "${KELVARA_BUILD_DIR:-$root/build}" --output-on-failure -j "$(nproc)" "$@"
if [ $# -eq 0 ]; then
  "$root/tools/fuzz/fuzz.sh" --short
  "$root/tools/scripts/format.sh" --check
fi
