#!/usr/bin/env bash
# What the pet on the desktop costs beside a plain Qt window and a classic X11 pet, on a desktop of
# its own (Xvfb with icewm), without and then with a compositing manager (xcompmgr). The pet walks,
# stands idle (the idle clip at full rate, for the ten minutes after an agent's last event) and
# sleeps (the idle clip at half rate, as it does whenever the agents are quiet longer). The subjects
# run in turn for the same time, the rounds interleaved, so a change in the machine's load falls on
# all of them. For each it prints the processor time of the application, the X server and the
# window manager, and with compositing the compositing manager's too, as a share of one core (utime +
# stime from /proc/<pid>/stat), the net figure (all of those minus the same for the empty desktop),
# the application's resident memory (VmRSS) and the net figure's ratio to the plain Qt window's, a
# window that does the walking pet's work: one 24 Hz timer that moves it and repaints it.
#   bench/pet_surface_cpu.sh [build folder]
# Environment: SECONDS_PER_SUBJECT (default 20), ROUNDS (default 2), PLAIN_QT (the yardstick, default
# <build>/bench/plain_qt_window), PET_LOAD (the pet program,
# default <build>/bench/pet_window_load), PET_BEFORE (the pet program of another build: its walking
# and idle pet join the rounds as walking-before and idle-before).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${SECONDS_PER_SUBJECT:-20}
rounds=${ROUNDS:-2}
settle=3
pet=${PET_LOAD:-$build/bench/pet_window_load}
plain=${PLAIN_QT:-$build/bench/plain_qt_window}
sprites=$build/share/pupnik/Sprites
oneko=$(command -v oneko || echo /usr/games/oneko)
for tool in "$pet" "$plain" "$oneko" "$(command -v Xvfb)" "$(command -v icewm)" "$(command -v xcompmgr)" "$(command -v xdotool)"; do
  [[ -x $tool ]] || { echo "missing: $tool (build first; bash scripts/install-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
children=()
cleanup() {
  for pid in "${children[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
children+=("$server")
for _ in $(seq 200); do [[ -s $work/display ]] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
export QT_QPA_PLATFORM=xcb
mkdir -p "$work/icewm"
# No taskbar: its clock and processor graph cost icewm 0.4 to 0.7 % of a core on the empty desktop,
# more than that figure's noise would let an idle pet's cost be read from it.
echo "ShowTaskBar=0" >"$work/icewm/preferences"
ICEWM_PRIVCFG=$work/icewm icewm >/dev/null 2>&1 &
manager=$!
children+=("$manager")
sleep 2

hz=$(getconf CLK_TCK)
ticks() { [[ -r /proc/$1/stat ]] && awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat" || echo 0; }
rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }

declare -A app_ticks=() server_ticks=() manager_ticks=() compositor_ticks=() resident=()
compositor=""

# run SUBJECT MODE: one measured span of one subject.
run() {
  local subject=$1 mode=$2 pid="" mover=""
  case $subject in
    empty) ;;
    walking) "$pet" "$sprites" walk $((settle + seconds + 5)) 2>/dev/null & pid=$! ;;
    idle) "$pet" "$sprites" idle $((settle + seconds + 5)) 2>/dev/null & pid=$! ;;
    sleeping) "$pet" "$sprites" idle $((settle + seconds + 5)) 0.5 2>/dev/null & pid=$! ;;
    walking-before) "$PET_BEFORE" "$sprites" walk $((settle + seconds + 5)) 2>/dev/null & pid=$! ;;
    idle-before) "$PET_BEFORE" "$sprites" idle $((settle + seconds + 5)) 2>/dev/null & pid=$! ;;
    plain-qt) "$plain" $((settle + seconds + 5)) 2>/dev/null & pid=$! ;;
    oneko)
      "$oneko" 2>/dev/null & pid=$!
      # Something to chase: the pointer jumps across the screen every few seconds.
      (while :; do xdotool mousemove 100 400; sleep 3; xdotool mousemove 1100 400; sleep 3; done) >/dev/null 2>&1 &
      mover=$!
      ;;
  esac
  [[ -n $pid ]] && children+=("$pid")
  sleep "$settle"
  local a0=0 s0 m0 c0=0
  [[ -n $pid ]] && a0=$(ticks "$pid")
  s0=$(ticks "$server"); m0=$(ticks "$manager")
  [[ -n $compositor ]] && c0=$(ticks "$compositor")
  sleep "$seconds"
  local a1=0 s1 m1 c1=0
  [[ -n $pid ]] && a1=$(ticks "$pid")
  s1=$(ticks "$server"); m1=$(ticks "$manager")
  [[ -n $compositor ]] && c1=$(ticks "$compositor")
  local key=$mode/$subject
  app_ticks[$key]=$(( ${app_ticks[$key]:-0} + a1 - a0 ))
  server_ticks[$key]=$(( ${server_ticks[$key]:-0} + s1 - s0 ))
  manager_ticks[$key]=$(( ${manager_ticks[$key]:-0} + m1 - m0 ))
  compositor_ticks[$key]=$(( ${compositor_ticks[$key]:-0} + c1 - c0 ))
  [[ -n $pid ]] && resident[$key]=$(rss "$pid")
  [[ -n $mover ]] && { kill "$mover" 2>/dev/null; wait "$mover" 2>/dev/null || true; }
  [[ -n $pid ]] && { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true; }
  return 0
}

subjects=(empty walking idle sleeping plain-qt oneko)
measured=(walking idle sleeping plain-qt oneko)
if [[ -n ${PET_BEFORE:-} ]]; then
  [[ -x $PET_BEFORE ]] || { echo "missing: $PET_BEFORE" >&2; exit 1; }
  subjects+=(walking-before idle-before)
  measured+=(walking-before idle-before)
fi
for mode in plain composited; do
  compositor=""
  if [[ $mode == composited ]]; then
    xcompmgr >/dev/null 2>&1 &
    compositor=$!
    children+=("$compositor")
    sleep 1
  fi
  for round in $(seq "$rounds"); do
    for subject in "${subjects[@]}"; do run "$subject" "$mode"; done
  done
  [[ -n $compositor ]] && { kill "$compositor"; wait "$compositor" 2>/dev/null || true; }
  compositor=""
done

total=$((seconds * rounds))
echo "percent of one core over ${rounds} x ${seconds} s per subject; load average now $(cut -d' ' -f1-3 /proc/loadavg)"
for mode in plain composited; do
  echo "-- $([[ $mode == plain ]] && echo "no compositing manager" || echo "with xcompmgr")"
  printf '%-14s %8s %8s %8s %8s %8s %9s %10s\n' subject app X wm comp net resident net/plain-qt
  base=$(( ${server_ticks[$mode/empty]} + ${manager_ticks[$mode/empty]} + ${compositor_ticks[$mode/empty]} ))
  plain_net=$(( ${app_ticks[$mode/plain-qt]} + ${server_ticks[$mode/plain-qt]} + ${manager_ticks[$mode/plain-qt]} + ${compositor_ticks[$mode/plain-qt]} - base ))
  for subject in "${measured[@]}"; do
    key=$mode/$subject
    awk -v a="${app_ticks[$key]}" -v s="${server_ticks[$key]}" -v m="${manager_ticks[$key]}" -v c="${compositor_ticks[$key]}" -v b="$base" -v p="$plain_net" \
        -v hz="$hz" -v t="$total" -v r="${resident[$key]:-0}" -v name="$subject" 'BEGIN {
      f = 100 / hz / t; net = a + s + m + c - b
      printf "%-14s %7.2f%% %7.2f%% %7.2f%% %7.2f%% %7.2f%% %6.1f MB %10s\n", name, a * f, s * f, m * f, c * f, net * f, r / 1024, (p > 0 ? sprintf("%.2f", net / p) : "-")
    }'
  done
done
echo "goals: walking net <= 0.7 x plain-qt without a compositing manager; idle net <= 0.5 %, idle app <= 0.3 % (sleeping: the same); resident <= 60 MB"
