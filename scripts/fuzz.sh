#!/usr/bin/env bash
# Runs every fuzz harness for a bounded time from its seed corpus; a crash or sanitizer report fails.
set -euo pipefail
bin_dir=$1
seconds=${2:-15}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
shopt -s nullglob
found=0
for harness in "$bin_dir"/fuzz_*; do
  [[ -x "$harness" && -f "$harness" ]] || continue
  name=$(basename "$harness")
  corpus="$work/$name"
  mkdir -p "$corpus"
  seeds="$root/fuzz/corpus/${name#fuzz_}"
  [[ -d "$seeds" ]] && cp "$seeds"/* "$corpus"/ 2>/dev/null || true
  echo "fuzzing $name for ${seconds}s"
  "$harness" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 \
    -artifact_prefix="$work/" -print_final_stats=0 "$corpus" >"$work/$name.log" 2>&1 || {
      tail -n 60 "$work/$name.log"; echo "fuzz harness $name failed"; exit 1; }
  tail -n 1 "$work/$name.log"
  found=$((found + 1))
done
echo "fuzz harnesses run: $found"
