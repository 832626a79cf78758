#!/usr/bin/env bash
# Builds the fuzz preset and runs every libFuzzer target from the seed corpus in
# fuzz/corpus/<target>/. New inputs go to a working corpus in the build folder (the seeds in the
# tree stay as committed); an input that crashes, hangs or breaks an invariant is kept in
# build/fuzz/artifacts/ and makes the script fail.
#   scripts/fuzz.sh            # the short run of the test command: ten seconds per target
#   scripts/fuzz.sh 600        # a longer run: ten minutes per target
#   scripts/fuzz.sh --night    # the long run: ten million executions per target
# The long run takes the targets one per core (QUILLET_FUZZ_JOBS, default every core), each until
# it has run ten million inputs (QUILLET_FUZZ_RUNS). On 2 cores of an AMD EPYC it takes, by the
# rates of shorter runs, about seven hours, most of it history_reader and history_path_files
# (which writes files and saves settings for every input).
# The targets' scratch folders lie in /dev/shm where there is one: the targets that write files
# then wait for no disk (history_path_files runs four times as fast there).
set -euo pipefail
cd "$(dirname "$0")/.."

build="${QUILLET_FUZZ_BUILD:-build/fuzz}"
targets=(ini_text list_files clean_file_name history_path history_path_files translate_str
         history_reader)
if [[ "${1:-}" == --night ]]; then
  length=(-runs="${QUILLET_FUZZ_RUNS:-10000000}")
  jobs="${QUILLET_FUZZ_JOBS:-$(nproc)}"
else
  length=(-max_total_time="${1:-10}")
  jobs=1
fi
if [[ -d /dev/shm && -w /dev/shm ]]; then export TMPDIR=/dev/shm; fi

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target "${targets[@]/%/_fuzz}"

mkdir -p "$build/artifacts"
rm -f "$build"/artifacts/*.failed
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# Runs one target for the run's length; tells its executions, or its finding (and marks it).
run_target() {
  local target=$1 work="$build/corpus-work/$1" log="$build/artifacts/$1.log"
  mkdir -p "$work"
  if "$build/fuzz/${target}_fuzz" "$work" "fuzz/corpus/$target" "${length[@]}" \
       -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
       -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" >"$log" 2>&1; then
    local runs rate
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz: $target: ${runs:-?} executions, ${rate:-?} per second, no finding"
  else
    echo "fuzz: $target FAILED (log: $log)" >&2
    grep -E "invariant broken|ERROR:|SUMMARY:|Test unit written" -A2 "$log" >&2 || tail -20 "$log" >&2
    touch "$build/artifacts/$target.failed"
  fi
}

for target in "${targets[@]}"; do
  while (($(jobs -rp | wc -l) >= jobs)); do wait -n || true; done
  run_target "$target" &
done
wait

failed=("$build"/artifacts/*.failed)
if [[ -e "${failed[0]}" ]]; then
  failed=("${failed[@]##*/}")
  echo "fuzz: findings in ${failed[*]%.failed}" >&2
  exit 1
fi
