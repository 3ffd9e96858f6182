#!/usr/bin/env bash
# Runs the bitmap fuzzer for a bounded time, starting from the seed corpus,
# and fails on any crash, sanitizer report or broken promise.
# Usage: run_bounded.sh FUZZER CORPUS_DIR SECONDS
set -uo pipefail
fuzzer=$1
corpus=$2
seconds=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/found"

# Reports must end the run; the seed corpus itself is never written to.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/" "$work/found" "$corpus" >"$work/log" 2>&1
status=$?

if [[ $status -ne 0 ]] ||
  grep -qE "ERROR: [A-Za-z]+Sanitizer|runtime error:|fuzz_bitmap: |deadly signal" "$work/log"; then
  cat "$work/log"
  for artifact in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*; do
    [[ -e $artifact ]] || continue
    cp "$artifact" .
    echo "kept $(pwd)/$(basename "$artifact")"
  done
  echo "fuzz_bitmap: problem found (exit status $status)"
  exit 1
fi
grep -E "^(#[0-9]+.*DONE|stat::)" "$work/log"
echo "fuzz_bitmap: no problem in ${seconds} s"
