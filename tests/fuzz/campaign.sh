#!/usr/bin/env bash
# A fuzzing campaign over the harnesses of build-fuzz (./build.sh build fuzz first): each harness in turn,
# one libFuzzer process at a time, until it has run RUNS inputs (default 10,000,000) or SECONDS have passed.
# A finding is kept in build-fuzz/findings/<harness>/ and the harness goes on for the rest of its time.
# The table of executions, time, coverage (libFuzzer's cov and ft), corpus size and findings is written to
# build-fuzz/campaign.tsv as each harness finishes.
#   tests/fuzz/campaign.sh SECONDS [RUNS] [HARNESS...]
# TW_FUZZ_BIN names another folder of harness binaries (a copy, so that a rebuild does not replace a running
# harness); TW_FUZZ_NICE the niceness (default 5). Two campaigns over different harnesses may run side by side.
# An input counts as hung after TW_FUZZ_TIMEOUT seconds (default 120): libFuzzer measures wall time, and on a
# busy machine a nice'd harness can wait that long for a core while compiling a large expression under ASan.
set -uo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:?seconds per harness}
runs=${2:-10000000}
shift 2 2>/dev/null || shift $#
dir=build-fuzz
bin_dir=${TW_FUZZ_BIN:-$dir/tests/fuzz}
harnesses=("$@")
if ((${#harnesses[@]} == 0)); then
  for bin in "$bin_dir"/fuzz_*; do harnesses+=("${bin##*/fuzz_}"); done
fi
summary=$dir/campaign.tsv
[ -f "$summary" ] || printf 'harness\texecutions\tseconds\tcov\tft\tcorpus\tfindings\n' >"$summary"
for harness in "${harnesses[@]}"; do
  mkdir -p "$dir/corpus/$harness" "$dir/findings/$harness" "$dir/logs"
  log=$dir/logs/campaign-$harness.log
  : >"$log"
  start=$(date +%s)
  done_runs=0 findings=0 cov=0 ft=0
  while :; do
    left_time=$((seconds - ($(date +%s) - start)))
    left_runs=$((runs - done_runs))
    ((left_time > 0 && left_runs > 0)) || break
    nice -n "${TW_FUZZ_NICE:-5}" "$bin_dir/fuzz_$harness" -runs="$left_runs" -max_total_time="$left_time" \
      -timeout="${TW_FUZZ_TIMEOUT:-120}" -rss_limit_mb=2560 -dict=tests/fuzz/tablewright.dict -print_final_stats=1 \
      -artifact_prefix="$dir/findings/$harness/" \
      "$dir/corpus/$harness" "tests/fuzz/corpus/$harness" "tests/fuzz/regressions/$harness" >>"$log" 2>&1
    status=$?
    # Executions of this session: the final statistics, or (after a finding) the last status line.
    last=$(grep -E '^stat::number_of_executed_units' "$log" | tail -n 1 | awk '{print $2}')
    if [ $status -ne 0 ]; then
      findings=$((findings + 1))
      last=$(grep -oE '^#[0-9]+' "$log" | tail -n 1 | tr -d '#')
    fi
    done_runs=$((done_runs + ${last:-0}))
    line=$(grep -E '^#[0-9]+[[:space:]].*cov: ' "$log" | tail -n 1)
    cov=$(sed -E 's/.*cov: ([0-9]+).*/\1/' <<<"$line")
    ft=$(sed -E 's/.*ft: ([0-9]+).*/\1/' <<<"$line")
    [ $status -eq 0 ] && break
    ((findings < 5)) || break  # the same fault again and again: leave the rest of the time
    echo "== finding, restarting" >>"$log"
  done
  elapsed=$(($(date +%s) - start))
  corpus=$(find "$dir/corpus/$harness" -type f | wc -l)
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$harness" "$done_runs" "$elapsed" "${cov:-?}" "${ft:-?}" "$corpus" \
    "$findings" >>"$summary"
done
