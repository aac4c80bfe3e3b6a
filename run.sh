#!/usr/bin/env bash
# Installs what is missing, builds, and starts the suite.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/tools/scripts/setup-and-build.sh"
exec "${KELVARA_BUILD_DIR:-$root/build}/kelvara-suite" "$@"
