#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/tools/scripts/setup-and-build.sh"
ctest --test-dir "${KELVARA_BUILD_DIR:-$root/build}" --output-on-failure -j "$(nproc)" "$@"
