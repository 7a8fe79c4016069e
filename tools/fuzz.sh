#!/bin/bash
# Fuzzes the parsers with libFuzzer, one target after another (the cores
# are shared), for the given seconds each (60 by default), and prints each
# target's executions and what it found:
#
#   tools/fuzz.sh [seconds [target...]]    # every target unless named
#
# Installs clang and its libFuzzer runtime when missing, builds the targets
# with -DZOR_FUZZ=ON in build/fuzz (or $ZOR_BUILD_DIR/fuzz), and starts each
# from its seeds in tests/fuzz/corpus/<target>. Inputs that reach new code
# are kept in build/fuzz/corpus/<target>; an input that fails a property or
# a sanitizer check is saved in build/fuzz/findings/<target>/. ZOR_FUZZ_SKIP
# lists properties to leave unchecked (names separated by ","), so that a
# run can go past faults already known.
set -euo pipefail
seconds=${1:-60}
[ $# -eq 0 ] || shift
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

tools/install-deps.sh cmake ninja-build g++ clang
# Debian ships libFuzzer's runtime with the compiler-rt of each clang
# version (libclang_rt.fuzzer*.a in libclang-rt-<major>-dev).
clang_version=$(clang -dumpversion)
tools/install-deps.sh "libclang-rt-${clang_version%%.*}-dev"

build=${ZOR_BUILD_DIR:-$top/build}/fuzz
targets=(options restart_entry integer_text config_document log_configuration layouts message_format product_folder
         registry_lists)
[ $# -eq 0 ] || targets=("$@")

echo "== building the fuzz targets (clang ${clang_version})"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOR_BUILD_TESTS=OFF \
  -DZOR_FUZZ=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

status=0
summary=()
for target in "${targets[@]}"; do
  echo "== fuzzing $target for ${seconds}s"
  mkdir -p "$build/corpus/$target" "$build/findings/$target"
  log="$build/findings/$target.log"
  # A width or a list that asks for gigabytes is a finding, not a reason to
  # take the machine's memory.
  if "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=20 \
    -malloc_limit_mb=1024 -rss_limit_mb=2048 -artifact_prefix="$build/findings/$target/" \
    "$build/corpus/$target" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    found="nothing"
  else
    status=1
    found=$(grep -m1 -E '^property .* failed|ERROR: (libFuzzer|AddressSanitizer)|runtime error' "$log" || true)
    found="${found:-failure, see $log}; input: $(grep -m1 -o "Test unit written to .*" "$log" | sed 's/Test unit written to //')"
  fi
  executions=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -n1)
  [ -n "$executions" ] || executions=$(grep -o '^#[0-9]*' "$log" | tail -n1 | tr -d '#')
  summary+=("$(printf '%-18s %12s executions  %s' "$target" "${executions:-?}" "$found")")
done

echo "== summary (${seconds}s each; logs in $build/findings)"
printf '%s\n' "${summary[@]}"
exit $status
