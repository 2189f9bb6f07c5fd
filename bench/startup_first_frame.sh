#!/usr/bin/env bash
# Start-up to the first frame: how long Pupnik takes from its start to the pet's window on the
# screen, beside a plain Qt window's first showing, on a display of their own without a window
# manager. The two start in turn, several rounds, so a change in the machine's load falls on both;
# it prints the median of each and their ratio.
#   bench/startup_first_frame.sh [build folder]
# Environment: ROUNDS (default 9), PUPNIK_BEFORE (the Pupnik of another build, beside the tree's
# bin/Pupnik so it finds the same files: it joins the rounds).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
rounds=${ROUNDS:-9}
pupnik=$build/bin/Pupnik
plain=$build/bench/plain_qt_window
watch=$build/bench/first_window_shown
for tool in "$pupnik" "$plain" "$watch" "$(command -v Xvfb)"; do
  [[ -x $tool ]] || { echo "missing: $tool (build first)" >&2; exit 1; }
done

work=$(mktemp -d)
server=""
cleanup() {
  [[ -n $server ]] && kill "$server" 2>/dev/null
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
for _ in $(seq 200); do [[ -s $work/display ]] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb

# Each start of Pupnik as a first run of a user: a home of its own, no onboarding, no cloud.
pupnik_start() {
  local home=$work/pupnik-$1 program=${2:-$pupnik}
  rm -rf "$home"
  mkdir -p "$home/home" "$home/runtime"
  chmod 700 "$home/runtime"
  env HOME="$home/home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" PUPNIK_SUPPORT_DIR="$home/support" \
    PUPNIK_SKIP_ONBOARDING=1 PUPNIK_NO_CLOUD=1 PUPNIK_CODEX_SESSIONS_DIR="$home/codex" "$watch" "$program" 2>/dev/null
}

pupnik_times=() plain_times=() before_times=()
for round in $(seq "$rounds"); do
  pupnik_times+=("$(pupnik_start "$round")")
  [[ -n ${PUPNIK_BEFORE:-} ]] && before_times+=("$(pupnik_start "before-$round" "$PUPNIK_BEFORE")")
  plain_times+=("$("$watch" "$plain" 30 2>/dev/null)")
done
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
pupnik_median=$(median "${pupnik_times[@]}")
plain_median=$(median "${plain_times[@]}")
echo "start-up to the first window on the screen, median of $rounds; load average now $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Pupnik          ${pupnik_median} ms   (${pupnik_times[*]})"
echo "plain Qt window ${plain_median} ms   (${plain_times[*]})"
[[ -n ${PUPNIK_BEFORE:-} ]] && echo "Pupnik before   $(median "${before_times[@]}") ms   (${before_times[*]})"
awk -v a="$pupnik_median" -v b="$plain_median" 'BEGIN { printf "ratio %.2f (goal: at most 2)\n", a / b }'
