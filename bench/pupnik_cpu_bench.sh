#!/usr/bin/env bash
# CPU and memory of Pupnik on a desktop of its own (Xvfb with icewm), beside the X server's: once
# while the pet walks (the walking demo clip), once live with nothing happening (the idle pet, the
# process source on as a user runs it), once with a permission request waiting in the open popover.
# CPU time comes from /proc/<pid>/stat (utime + stime) over the measured window, memory from VmRSS.
# Run by hand: bench/pupnik_cpu_bench.sh [seconds, default 30] [folder for a screenshot]
# Environment: PUPNIK (the program, default build/bin/Pupnik; another beside it finds the same files).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
shots=${2:-}
pupnik=${PUPNIK:-$root/build/bin/Pupnik}
agent=$root/build/libexec/pupnik/pupnik-agent
[[ -x $pupnik ]] || { echo "build Pupnik first (cmake --build build)" >&2; exit 1; }

work=$(mktemp -d)
children=()
cleanup() {
  for pid in "${children[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
children+=("$server")
for _ in $(seq 200); do [[ -s $work/display ]] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
icewm >/dev/null 2>&1 &
children+=($!)
sleep 2

ticks_per_second=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
resident_mb() { awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }
percent() { awk -v t="$1" -v hz="$ticks_per_second" -v s="$seconds" 'BEGIN { printf "%.2f", t / hz / s * 100 }'; }

measure() {
  local name=$1
  shift
  local home=$work/$name
  mkdir -p "$home/home" "$home/runtime"
  chmod 700 "$home/runtime"
  env HOME="$home/home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" PUPNIK_SUPPORT_DIR="$home/support" \
    PUPNIK_SKIP_ONBOARDING=1 PUPNIK_NO_CLOUD=1 PUPNIK_CODEX_SESSIONS_DIR="$home/codex" "$@" "$pupnik" 2>"$home/log" &
  local pid=$!
  children+=("$pid")
  sleep 3
  if [[ -n ${ASK:-} ]]; then
    # An Edit the agent tool waits on; the popover opens for it on its own.
    printf '%s' '{"session_id":"s1","cwd":"/tmp/project","hook_event_name":"PermissionRequest","tool_name":"Edit",
"tool_input":{"file_path":"/tmp/project/notes.txt","old_string":"walk at noon\nfeed at six","new_string":"walk at noon\nfeed at five"}}' |
      env HOME="$home/home" XDG_RUNTIME_DIR="$home/runtime" PUPNIK_SUPPORT_DIR="$home/support" "$agent" hook PermissionRequest >/dev/null 2>&1 &
    children+=($!)
    sleep 3
  fi
  local app_start server_start app_end server_end
  app_start=$(cpu_ticks "$pid")
  server_start=$(cpu_ticks "$server")
  sleep "$seconds"
  app_end=$(cpu_ticks "$pid")
  server_end=$(cpu_ticks "$server")
  if [[ -n $shots ]] && command -v import >/dev/null; then
    mkdir -p "$shots"
    import -window root "$shots/pupnik-$name.png"
  fi
  printf '%-8s Pupnik %6s %% of a core, %6s MB resident | X server %6s %% of a core, %6s MB resident\n' "$name" \
    "$(percent $((app_end - app_start)))" "$(resident_mb "$pid")" "$(percent $((server_end - server_start)))" "$(resident_mb "$server")"
  kill -TERM "$pid"
  wait "$pid" || true
}

echo "over ${seconds} s on $DISPLAY (goals: walking <= 1 %, idle <= 0.2 %, <= 60 MB resident, with a request waiting too)"
measure walking PUPNIK_DEMO_STATE=walk
# Without a driver: what the animation alone costs.
[[ -n ${PUPNIK_BENCH_ANIMATION_ONLY:-} ]] && measure idle-demo PUPNIK_DEMO_STATE=idle
measure idle
ASK=1 measure waiting PUPNIK_DEBUG_OPEN_APPROVAL_ON_LAUNCH=1
