#!/usr/bin/env bash
# Builds the PDU parser's fuzz target with clang (apart from the gcc builds) and
# runs it for a bounded time, first over the kept regression inputs, then from
# the seed corpus. FUZZ_SECONDS sets the time (default 60).
set -euo pipefail
cd "$(dirname "$0")/../.."

out=build-fuzz
mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I. \
  tests/fuzz/pdu_fuzz.cpp \
  server/sms/gsm_alphabet.cpp server/sms/hex_text.cpp server/sms/septets.cpp server/sms/sms_address.cpp \
  server/sms/tsms_build.cpp server/sms/tsms_parse.cpp \
  platform/codepage.cpp platform/date_time.cpp \
  -o "$out/pdu_fuzz"

# Every input that once failed must pass.
regressions=(tests/fuzz/pdu_regressions/*)
if [ -e "${regressions[0]}" ]; then
  "$out/pdu_fuzz" "${regressions[@]}" 2>"$out/regressions.log" || { cat "$out/regressions.log"; exit 1; }
fi

# New inputs go to the build folder; the seeds in the source tree stay as they are.
"$out/pdu_fuzz" -max_total_time="${FUZZ_SECONDS:-60}" -timeout=5 -max_len=1024 \
  -artifact_prefix="$out/" "$out/corpus" tests/fuzz/pdu_seeds 2>"$out/fuzz.log" || {
  tail -n 60 "$out/fuzz.log"
  echo "PDU fuzzing found a failure; the input is in $out/."
  exit 1
}
tail -n 2 "$out/fuzz.log"
