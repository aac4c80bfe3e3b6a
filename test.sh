#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest; then
# builds the fuzz targets in ./build-fuzz and runs each for a few seconds
# (only when no arguments for ctest are given).
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/tools/scripts/setup-and-build.sh"
ctest --test-dir "${KELVARA_BUILD_DIR:-$root/build}" --output-on-failure -j "$(nproc)" "$@"
if [ $# -eq 0 ]; then
  "$root/tools/fuzz/fuzz.sh" --short
fi
