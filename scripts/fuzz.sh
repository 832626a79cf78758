#!/usr/bin/env bash
# Builds the fuzz preset and runs every libFuzzer target for SECONDS seconds each (default 10),
# starting from the seed corpus in fuzz/corpus/<target>/. New inputs go to a working corpus in
# the build folder (the seeds in the tree stay as committed); an input that crashes, hangs or
# breaks an invariant is kept in build/fuzz/artifacts/ and makes the script fail.
#   scripts/fuzz.sh          # the short run of the test command
#   scripts/fuzz.sh 600      # a longer run: ten minutes per target
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-10}"
build="${QUILLET_FUZZ_BUILD:-build/fuzz}"
targets=(ini_text list_files clean_file_name history_path translate_str history_reader)

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target "${targets[@]/%/_fuzz}"

mkdir -p "$build/artifacts"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
for target in "${targets[@]}"; do
  work="$build/corpus-work/$target"
  mkdir -p "$work"
  log="$build/artifacts/$target.log"
  if "$build/fuzz/${target}_fuzz" "$work" "fuzz/corpus/$target" \
       -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
       -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $target: ${runs:-?} executions in ${seconds}s, no finding"
  else
    echo "fuzz: $target FAILED (log: $log)" >&2
    grep -E "invariant broken|ERROR:|SUMMARY:|Test unit written" -A2 "$log" >&2 || tail -20 "$log" >&2
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
