#!/usr/bin/env bash
# Command two: builds everything and runs every test, three times over:
#   build/       the ordinary build (gcc), warnings as errors;
#   build-asan/  AddressSanitizer + UndefinedBehaviorSanitizer, the whole suite, built
#                with clang and warnings as errors, so both compilers build every test;
#   build-tsan/  ThreadSanitizer (gcc), the tests without Qt (Qt's own library reports
#                false races);
#   build-fuzz/  the PDU parser under libFuzzer (clang) for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

jobs=$(nproc)
status=0
passed=0
failed=0

run_suite() {  # dir, ctest args...
  local dir=$1; shift
  local log
  log=$(mktemp)
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@") 2>&1 | tee "$log" || status=1
  # "97% tests passed, 2 tests failed out of 60"
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -n "$line" ]; then
    local bad all
    bad=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+)/\1/' <<<"$line")
    all=$(sed -E 's/.* out of ([0-9]+)/\1/' <<<"$line")
    passed=$((passed + all - bad))
    failed=$((failed + bad))
  else
    status=1
  fi
  rm -f "$log"
}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRELM_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
run_suite build

# A folder configured earlier with gcc starts afresh: on a change of compiler CMake
# drops its cache, the sanitizer option with it, and would build without them.
if [ -f build-asan/CMakeCache.txt ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang++$' build-asan/CMakeCache.txt; then
  rm -rf build-asan
fi
cmake -S . -B build-asan -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DTRELM_SANITIZE=address \
  -DTRELM_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_suite build-asan

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTRELM_SANITIZE=thread -DTRELM_WITH_QT=OFF >/dev/null
cmake --build build-tsan -j "$jobs"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run_suite build-tsan -L noqt

# The PDU parser under libFuzzer (clang, its own build folder), for about a minute.
if bash tools/fuzz/run-pdu-fuzz.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi

if [ $status -ne 0 ]; then echo "Some tests failed."; fi
echo "All builds: $passed passed, $failed failed"
exit $status
