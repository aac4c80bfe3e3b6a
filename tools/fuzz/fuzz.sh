#!/usr/bin/env bash
# Builds the fuzz targets (clang, address and undefined behaviour
# sanitizers) into ./build-fuzz, incrementally, and runs each for a while on
# its seed corpus in tools/fuzz/corpus.
#
#   tools/fuzz/fuzz.sh --short              every target for a few seconds (./test.sh)
#   tools/fuzz/fuzz.sh [SECONDS] [TARGET...] longer runs (default 600 s each, all targets)
#
# TARGET is a name of tools/fuzz/corpus (formula, requestengine, ...). Long
# runs keep the inputs they find in build-fuzz/corpus/TARGET and start from
# them next time; a short run throws them away. Findings (crash, slow input,
# broken assertion, leak) are written to build-fuzz/findings/ and end the
# script with status 1.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${KELVARA_FUZZ_BUILD_DIR:-$root/build-fuzz}"
# A target is a folder of seeds in tools/fuzz/corpus and a program fuzz_NAME.
mapfile -t all < <(cd "$root/tools/fuzz/corpus" && ls -d -- */ | tr -d /)

short=false
seconds=600
if [ "${1:-}" = "--short" ]; then
  short=true
  seconds=4
  shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds="$1"
  shift
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

mkdir -p "$build"
# Warnings are errors when KELVARA_WERROR=ON (.ci/run), as in ./build.
werror="${KELVARA_WERROR:-OFF}"
if [ ! -f "$build/CMakeCache.txt" ] || ! grep -qx "KELVARA_WERROR:BOOL=$werror" "$build/CMakeCache.txt"; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKELVARA_FUZZ=ON -DKELVARA_WERROR="$werror" > "$build/configure.log" 2>&1 \
    || { tail -40 "$build/configure.log"; exit 1; }
fi
cmake --build "$build" -j "$(nproc)" --target kelvara-fuzzers > "$build/build.log" 2>&1 \
  || { tail -40 "$build/build.log"; exit 1; }

# Per target: longest input, seconds after which one input counts as a hang,
# and the sanitizer options it needs.
options_of() {
  case "$1" in
    definitions) echo "4096 20 fast_unwind_on_malloc=0" ;; # Qt's frames for lsan.supp
    parameterfile) echo "4096 20" ;;
    replyjudgement) echo "512 5" ;;
    requestengine) echo "128 60" ;;
    *) echo "4096 10" ;;
  esac
}

findings="$build/findings"
mkdir -p "$findings" "$build/fuzz-logs"
passed=0
failed=0
for target in "${targets[@]}"; do
  if [ ! -d "$root/tools/fuzz/corpus/$target" ]; then
    echo "fuzz: no target named $target (one of: ${all[*]})"
    exit 2
  fi
  read -r max_len timeout asan_extra < <(options_of "$target")
  if $short; then
    work="$(mktemp -d)"
  else
    work="$build/corpus/$target"
    mkdir -p "$work"
  fi
  dict=()
  [ -f "$root/tools/fuzz/$target.dict" ] && dict=(-dict="$root/tools/fuzz/$target.dict")
  log="$build/fuzz-logs/$target.log"
  echo "fuzz: $target for ${seconds}s"
  status=0
  ASAN_OPTIONS="${asan_extra:+$asan_extra:}${ASAN_OPTIONS:-}" \
  LSAN_OPTIONS="suppressions=$root/tools/fuzz/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS="print_stacktrace=1" \
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout="$timeout" \
      -max_len="$max_len" -close_fd_mask=1 -print_final_stats=1 "${dict[@]}" \
      -artifact_prefix="$findings/$target-" "$work" "$root/tools/fuzz/corpus/$target" \
      > "$log" 2>&1 || status=$?
  if $short; then rm -rf "$work"; fi
  if [ $status -eq 0 ]; then
    passed=$((passed + 1))
    grep -E "^stat::number_of_executed_units" "$log" | sed "s/^stat::number_of_executed_units:/  inputs run:/" || true
  else
    failed=$((failed + 1))
    echo "fuzz: $target FAILED (status $status); log $log"
    grep -E "==== |ERROR|SUMMARY|Test unit written|^    #[0-9] " "$log" | head -30 || true
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ $failed -eq 0 ]
