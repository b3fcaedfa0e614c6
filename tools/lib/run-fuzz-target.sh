#!/usr/bin/env bash
# Runs one libFuzzer target for a number of seconds on a scratch copy of its seed corpus.
# Usage: run-fuzz-target.sh TARGET SEED_DIR SECONDS
set -euo pipefail
target="$(realpath "$1")"; seeds="$(realpath -m "$2")"; seconds="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus"
[ -d "$seeds" ] && cp -r "$seeds/." "$work/corpus/" 2>/dev/null || true
cd "$work"
"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
          -artifact_prefix="$work/" corpus 2>"$work/log" || {
  tail -50 "$work/log"
  for crash in "$work"/crash-* "$work"/timeout-* "$work"/leak-* "$work"/oom-*; do
    [ -e "$crash" ] && { echo "input ($crash):"; od -c "$crash" | head -20; }
  done
  exit 1
}
grep -E '^Done|#[0-9]+ *DONE' "$work/log" | tail -1
