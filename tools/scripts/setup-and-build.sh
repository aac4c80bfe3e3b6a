#!/usr/bin/env bash
# Installs the Debian packages the suite needs (only those missing), then
# configures and builds into ./build. Shared by run.sh and test.sh; with
# --packages-only it stops after the packages (tools/scripts/sanitize.sh).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev
  libqcustomplot-dev fonts-liberation
  libbenchmark-dev mbpoll xvfb openbox libxcb1-dev
  clang libclang-rt-14-dev llvm clang-format
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "${1:-}" = "--packages-only" ]; then
  exit 0
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${KELVARA_BUILD_DIR:-$root/build}"
# KELVARA_WERROR=ON (set by .ci/run) builds with warnings as errors; without
# it a tree configured so before goes back to plain warnings.
werror="${KELVARA_WERROR:-OFF}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARA_WERROR="$werror"
elif ! grep -qx "KELVARA_WERROR:BOOL=$werror" "$build/CMakeCache.txt"; then
  cmake -S "$root" -B "$build" -DKELVARA_WERROR="$werror"
fi
cmake --build "$build" -j "$(nproc)"
