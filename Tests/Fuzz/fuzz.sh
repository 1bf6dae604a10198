#!/bin/sh
# Runs each fuzzer for a bounded time from the project's seed corpus, keeping what it learns in
# the build folder. A crash stops here with the input that caused it: fix the decoder, then
# add the input to Tests/Fuzz/Regressions/, where the tests replay it on every run.
#
# usage: Tests/Fuzz/fuzz.sh FUZZ_BUILD_DIR SECONDS_EACH
set -e
build="$1"
seconds="$2"
regressions="$(dirname "$0")/Regressions"
"$build/MakeSeeds" "$build/seeds"
for kind in png wav; do
  target="$build/Fuzz$(echo $kind | sed 's/./\U&/')"
  mkdir -p "$build/corpus/$kind" "$build/crashes"
  "$target" -runs=0 "$regressions/$kind" >/dev/null 2>&1 || {
    echo "fuzz: a kept regression input breaks $target again" >&2
    exit 1
  }
  echo "fuzz: $target for $seconds s"
  "$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="$build/crashes/$kind-" -print_final_stats=1 \
    "$build/corpus/$kind" "$build/seeds/$kind" 2>"$build/$kind.log" || {
    tail -20 "$build/$kind.log" >&2
    echo "fuzz: $target found a failing input, kept in $build/crashes/" >&2
    exit 1
  }
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$build/$kind.log" | sed "s/^/fuzz: $kind /"
done
