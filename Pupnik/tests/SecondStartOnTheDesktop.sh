#!/usr/bin/env bash
# One pet per user on an X11 desktop (run inside scripts/with-desktop.sh): a later start of Pupnik
# with "pupnik:" URLs hands them to the running one and ends, with or without a display; a start
# with a support folder of its own, or after the running one ended (even by a crash), runs itself.
# Usage: SecondStartOnTheDesktop.sh <Pupnik>
set -uo pipefail
pupnik=$1
source "$(dirname "$0")/DesktopTestSupport.sh"
use_private_home
export PUPNIK_SKIP_ONBOARDING=1 LANGUAGE=en LANG=C.UTF-8 LC_ALL=C.UTF-8 PUPNIK_DEBUG_FRAME_FILE=$work/frame
unset DBUS_SESSION_BUS_ADDRESS

# start_first LOG [URL...]: the running pet, whose process id goes to $pupnik_pid.
start_first() {
  local log=$1
  shift
  "$pupnik" "$@" 2>"$log" &
  pupnik_pid=$!
  pids+=("$pupnik_pid")
  expect --seen "log_tail $log" 30 "the start with ${log##*/} ends its launch" started "$log"
  expect --seen 'ls -l "$XDG_RUNTIME_DIR/pupnik"' 10 "the start with ${log##*/} listens for later starts" listening
}
socket_file() { compgen -G "$XDG_RUNTIME_DIR/pupnik/*.socket" | head -1; }
listening() { [[ -S $(socket_file) ]] && socket_file; }
# later NAME [ENV...] -- URL...: a later start, timed; its status in $status, its time in $took.
later() {
  local name=$1
  shift
  local environment=()
  while [[ $1 != -- ]]; do environment+=("$1"); shift; done
  shift
  local started
  started=$(milliseconds)
  timeout 15 env "${environment[@]}" "$pupnik" "$@" >"$work/$name.out" 2>"$work/$name.log"
  status=$?
  took=$(($(milliseconds) - started))
}
clip_is_not() { [[ -n $(clip) && $(clip) != "$1" ]]; }
lines_in() { grep -c "$2" "$1" 2>/dev/null; }
received() { (($(lines_in "$1" "url: 1 URL(s) from a later start") >= $2)); }

# 1. The first start with a URL is not affected: it runs, and takes its URL at the end of launch.
start_first "$work/first.log" pupnik://demo/run
expect --seen 'log_tail "$work/first.log"' 20 "the first start takes its own URL at the end of launch" \
  logged "url: draining 1 URL(s) queued during launch" "$work/first.log"
expect_never 0 "the first start still running" dead "$pupnik_pid"
folder=$XDG_RUNTIME_DIR/pupnik
closed() { [[ $(stat -c %a "$folder") == 700 ]]; }
expect --seen 'stat -c %a "$folder"' 0 "the socket's folder $folder closed to others" closed

# 2. A later start with a URL hands it over and ends at once with 0.
# ended_with STATUS: the later start just run ended with that status (a timeout is 124).
ended_with() { ((status == $1)); }
later_said() { echo "status $status after $took ms: $(cat "$work/$1.log")"; }
later second -- pupnik://demo/happy
expect --seen 'later_said second' 0 "a later start hands its URL over and ends with 0" ended_with 0
expect --seen 'later_said second' 0 "the later start says it handed the URL over" logged "url: handed 1 URL(s) to the running Pupnik" "$work/second.log"
expect --seen 'log_tail "$work/first.log"' 15 "the running pet receives it" received "$work/first.log" 1
expect --seen 'echo "clip=$(clip)"' 10 "the running pet shows the happy demo handed over" clip_is happy

# 3. Without a display too: the hand-over comes before the display is looked for.
later headless -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -- pupnik://demo/off
expect --seen 'later_said headless' 0 "a later start without a display hands its URL over" ended_with 0
expect --seen 'log_tail "$work/first.log"' 15 "the running pet receives the URL of the start without a display" received "$work/first.log" 2
expect --seen 'echo "clip=$(clip)"' 10 "the demo ended by pupnik://demo/off" clip_is_not happy

# 4. A later start without URLs only says so; one whose URLs cannot go over says why and ends with 1.
later plain --
expect --seen 'later_said plain' 0 "a later start without URLs ends with 0" ended_with 0
expect --seen 'later_said plain' 0 "a later start without URLs says Pupnik runs" logged "Pupnik already runs for this user" "$work/plain.log"
later unsound -- "pupnik://demo/ happy"
expect --seen 'later_said unsound' 0 "URLs that cannot go over end the later start with 1" ended_with 1
expect --seen 'later_said unsound' 0 "URLs that cannot go over are said why" logged "cannot hand the URLs to the running Pupnik" "$work/unsound.log"
expect_never 0 "the running pet still running" dead "$pupnik_pid"
# A URL far past what the application reads is refused by name and limit; the one beside it goes.
later huge -- "pupnik://demo/$(head -c 102400 /dev/zero | tr '\0' a)" pupnik://demo/sick
expect --seen 'later_said huge' 0 "the later start to end with 0 after handing over the valid URL" ended_with 0
expect --seen 'cat "$work/huge.log"' 0 "the 100 KB URL refused with the limit it broke" grep -q "^\[Pupnik\] url: refused pupnik://demo/a*…: it is longer than 8192 bytes (102414)$" "$work/huge.log"
expect --seen 'echo "$(clip)"' 15 "the running pet to play the URL handed with it" clip_is sick
expect_never 0 "the running pet still running" dead "$pupnik_pid"

# 5. A start with a support folder of its own is another pet: it runs by itself.
PUPNIK_SUPPORT_DIR=$work/other "$pupnik" pupnik://demo/run 2>"$work/other.log" &
other=$!
pids+=("$other")
expect_never --seen 'cat "$work/other.log"' 2 "a start with its own support folder runs by itself" dead "$other"
two_sockets() { (($(compgen -G "$XDG_RUNTIME_DIR/pupnik/*.socket" | wc -l) == 2)); }
expect --seen 'ls "$XDG_RUNTIME_DIR/pupnik"' 20 "the two pets have a socket each" two_sockets
expect_never 0 "a start with its own support folder handing nothing over" logged "handed" "$work/other.log"
kill "$other"
expect 30 "the second pet ends" dead "$other"

# 6. After an orderly end the socket goes; after a crash the next start replaces the one left behind.
socket=$(socket_file)
quit_cleanly "$pupnik_pid" 30
gone() { [[ ! -e $socket ]]; }
expect --seen 'ls -l "$socket"' 10 "the socket $socket gone with the pet" gone

start_first "$work/third.log"
kill -KILL "$pupnik_pid"
expect 30 "the crashed pet ends" dead "$pupnik_pid"
left() { [[ -S $socket ]]; }
expect --seen 'ls -l "$XDG_RUNTIME_DIR/pupnik"' 0 "a crash leaves its socket behind" left
start_first "$work/fourth.log"
expect_never --seen 'cat "$work/fourth.log"' 0 "the start after a crash to take the socket over" logged "later starts cannot reach" "$work/fourth.log"
later fifth -- pupnik://demo/happy
expect --seen 'later_said fifth' 0 "the start after a crash takes a hand-over" ended_with 0
expect --seen 'log_tail "$work/fourth.log"' 15 "the start after a crash receives the URL" received "$work/fourth.log" 1
finish
