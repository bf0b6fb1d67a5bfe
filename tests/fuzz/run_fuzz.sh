#!/usr/bin/env bash
# Fuzzes one target from its seed corpus and prints executions, coverage and findings.
# Usage: run_fuzz.sh FUZZER SEED-FOLDER WORK-FOLDER [SECONDS]
# SECONDS defaults to $PATHMERE_FUZZ_SECONDS, else 30. New inputs go to WORK-FOLDER/corpus,
# never to the committed seeds; a finding is kept as WORK-FOLDER/artifacts/crash-* (or leak-,
# timeout-, oom-), to be turned into a regular test.
set -uo pipefail
fuzzer=$1
seeds=$2
work=$3
seconds=${4:-${PATHMERE_FUZZ_SECONDS:-30}}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work/corpus" "$work/artifacts"
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -dict="$here/protocol.dict" -artifact_prefix="$work/artifacts/" \
    "$work/corpus" "$seeds" >"$work/log" 2>&1
status=$?
grep -E '^(INFO: Seed|#[0-9]+ +(INITED|DONE))|^stat::|ERROR|SUMMARY|^==|artifact' "$work/log" | tail -n 40
findings=$(find "$work/artifacts" -type f | wc -l)
echo "$(basename "$fuzzer"): exit $status, $(grep -m1 -o 'number_of_executed_units: [0-9]*' "$work/log"), $(grep 'DONE' "$work/log" | grep -o 'ft: [0-9]*' | tail -1), findings: $findings"
[ "$status" -eq 0 ] && [ "$findings" -eq 0 ]
