#!/usr/bin/env bash
# Builds the PDU parser's fuzz target with clang (apart from the gcc builds) and
# runs it for a bounded time, first over the kept regression inputs, then from
# the seed corpus. FUZZ_SECONDS sets the time (default 60).
set -euo pipefail
cd "$(dirname "$0")/../.."

out=build-fuzz
# The fuzz target links the codec's own library target, so it builds what the
# programs build; clang in a build folder of its own, without Qt or the tests.
cmake -S . -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="-O1 -g" \
  -DTRELM_SANITIZE=fuzzer -DTRELM_WITH_QT=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$out" --target pdu_fuzz -j "$(nproc)"
fuzz="$out/bin/pdu_fuzz"
mkdir -p "$out/corpus"

# Every input that once failed must pass.
regressions=(tests/fuzz/pdu_regressions/*)
if [ -e "${regressions[0]}" ]; then
  "$fuzz" "${regressions[@]}" 2>"$out/regressions.log" || { cat "$out/regressions.log"; exit 1; }
fi

# New inputs go to the build folder; the seeds in the source tree stay as they are.
"$fuzz" -max_total_time="${FUZZ_SECONDS:-60}" -timeout=5 -max_len=1024 \
  -artifact_prefix="$out/" "$out/corpus" tests/fuzz/pdu_seeds 2>"$out/fuzz.log" || {
  tail -n 60 "$out/fuzz.log"
  echo "PDU fuzzing found a failure; the input is in $out/."
  exit 1
}
tail -n 2 "$out/fuzz.log"
