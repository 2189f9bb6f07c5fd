#!/usr/bin/env bash
# Fails, naming the files, when a tracked C++ file differs from what the committed .clang-format makes of it.
# `clang-format -i` on the named files mends them.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is missing (bash scripts/install-deps.sh test installs it)" >&2; exit 1; }
mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.hpp')
((${#files[@]})) || { echo "no C++ files found to check" >&2; exit 1; }
status=0
output=$(printf '%s\0' "${files[@]}" | xargs -0 -n 100 -P "$(nproc)" clang-format --dry-run -Werror 2>&1) || status=$?
((status == 0)) && exit 0
drifted=$(sed -n 's/^\(.*\):[0-9][0-9]*:[0-9][0-9]*: error: .*clang-format-violations.*$/\1/p' <<<"$output" | sort -u)
if [[ -z $drifted ]]; then
  # clang-format failed for another reason (a bad style file, an unreadable file): show its words.
  printf '%s\n' "$output" >&2
  echo "clang-format failed (exit $status)" >&2
  exit 1
fi
echo "not formatted as .clang-format asks (run clang-format -i on them):" >&2
sed 's/^/  /' <<<"$drifted" >&2
exit 1
