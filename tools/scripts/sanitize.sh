#!/usr/bin/env bash
# Builds the suite with AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer into ./build-sanitize and runs every test there. Any finding
# fails the run. Arguments are passed to ctest (e.g. -R link).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${KELVARA_SANITIZE_DIR:-$root/build-sanitize}"
jobs="${KELVARA_JOBS:-$(nproc)}"
"$root/tools/scripts/setup-and-build.sh" --packages-only

# Light optimisation and line tables only: a quicker build and run, with
# stack traces that still name file and line. A double out of an integer's
# range is undefined when converted, which -fsanitize=undefined leaves out.
sanitizers="address,undefined,float-cast-overflow"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="-fsanitize=$sanitizers -fno-omit-frame-pointer" \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=$sanitizers" \
  -DKELVARA_EXTRA_TOOLS=OFF -DKELVARA_WERROR="${KELVARA_WERROR:-OFF}" >/dev/null
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS="detect_leaks=1"
export LSAN_OPTIONS="suppressions=$root/tools/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
ctest --test-dir "$build" --output-on-failure -j "$jobs" "$@"
