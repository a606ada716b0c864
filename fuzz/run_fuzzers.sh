#!/usr/bin/env bash
# Builds the `fuzz` preset and runs every fuzzer for N seconds (default 60).
#   fuzz/run_fuzzers.sh [seconds] [extra libFuzzer flags...]
# New corpus entries go to build/fuzz/fuzz/corpus/<name>, crashes to
# build/fuzz/fuzz/artifacts/; the seeds in fuzz/corpus/<name> are only read.
# Replay a crash with: build/fuzz/fuzz/link_fuzzer <crash-file>
# (LINK_FUZZER_VERBOSE=1 lists every call it makes).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true

[ -f build/fuzz/build.ninja ] || cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target link_fuzzer menu_fuzzer choice_fuzzer playlist_fuzzer charset_fuzzer \
  call_fuzzer

out=build/fuzz/fuzz
mkdir -p "$out/artifacts"
status=0
for name in link menu choice playlist charset call; do
  mkdir -p "$out/corpus/$name"
  echo "== ${name}_fuzzer for ${seconds} s"
  "$out/${name}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -len_control=20 -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/" "$@" \
    "$out/corpus/$name" "fuzz/corpus/$name" || status=$?
done
exit "$status"
