#!/usr/bin/env bash
# What the pet window costs on an idle desktop: the pet on a private Xvfb with icewm, walking and then
# idle, each for SECONDS (default 20) after a short settling time. For the pet's process, the X server
# and the window manager it prints the processor time used over that span (utime + stime from
# /proc/<pid>/stat) as a share of one core, and the pet's resident memory (VmRSS).
#   bench/pet_window_cpu.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [[ ${PET_WINDOW_CPU_INSIDE:-} != 1 ]]; then
    program=$build/bench/pet_window_load
    [[ -x $program ]] || { echo "no $program (build first)" >&2; exit 1; }
    echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
    PET_WINDOW_CPU_INSIDE=1 exec bash scripts/with-desktop.sh bash "$0" "$build"
fi

seconds=${SECONDS_PER_CLIP:-20}
settle=3
ticks=$(getconf CLK_TCK)
# The desktop script started the X server and the window manager; they are its children.
server=$(pgrep -P "$PPID" -x Xvfb)
manager=$(pgrep -P "$PPID" -x icewm || true)

cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
share() { awk -v t="$1" -v hz="$ticks" -v s="$seconds" 'BEGIN { printf "%.2f %%", 100 * t / hz / s }'; }

for clip in walk idle; do
    "$build/bench/pet_window_load" "$build/share/pupnik/Sprites" "$clip" $((settle + seconds + 2)) &
    pet=$!
    sleep "$settle"
    declare -A before=()
    for name in pet server manager; do
        pid=${!name}
        [[ -n $pid ]] && before[$name]=$(cpu_ticks "$pid")
    done
    sleep "$seconds"
    line="$clip:"
    for name in pet server manager; do
        pid=${!name}
        [[ -n $pid ]] || continue
        line+=" $name $(share $(($(cpu_ticks "$pid") - ${before[$name]})))"
    done
    rss=$(awk '/^VmRSS/ { print $2 / 1024 " MB" }' "/proc/$pet/status")
    echo "$line, pet resident $rss"
    wait "$pet"
done
