#!/usr/bin/env bash
# Runs every fuzzer in BUILD_DIR for SECONDS each, two at a time, starting
# from the checked-in corpus. New inputs go to a scratch directory, not into
# the repository; a crash leaves its input in the scratch directory and
# fails the run.
#   fuzz/run.sh BUILD_DIR [SECONDS]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$1
seconds=${2:-60}
scratch=$(mktemp -d /tmp/platovix-fuzz-XXXXXX)
export ASAN_OPTIONS="${ASAN_OPTIONS:-halt_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"

run_one() {
  local name=$1
  mkdir -p "$scratch/$name/corpus" "$scratch/$name/crashes"
  if "$bin/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
      -artifact_prefix="$scratch/$name/crashes/" "$scratch/$name/corpus" "$here/corpus/$name" \
      >"$scratch/$name/log" 2>&1; then
    echo "$name: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$scratch/$name/log" |
      grep -o '[0-9]*$') runs, no findings"
  else
    echo "$name: FAILED (log and input in $scratch/$name)"
    tail -n 40 "$scratch/$name/log"
    return 1
  fi
}

status=0
pids=()
names=()
for target in fuzz_link_reply fuzz_reply_parsers fuzz_data_blocks fuzz_settings fuzz_sim_commands \
    fuzz_plate_layout fuzz_spool $( [ -x "$bin/fuzz_sila_requests" ] && echo fuzz_sila_requests); do
  mkdir -p "$here/corpus/$target"
  run_one "$target" &
  pids+=($!)
  names+=("$target")
  # Two at a time: one per core of the CI machine.
  if [ ${#pids[@]} -eq 2 ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
[ $status -eq 0 ] && rm -rf "$scratch"
exit $status
