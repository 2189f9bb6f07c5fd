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
  wait_for 20 pet_window >/dev/null || fail "the first start showed no pet ($log)"
  listening() { [[ -S $(socket_file) ]]; }
  wait_for 10 listening || fail "the first start does not listen for later starts"
}
socket_file() { compgen -G "$XDG_RUNTIME_DIR/pupnik/*.socket" | head -1; }
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
# The clip the running pet shows, from the frame file it keeps for checks.
clip() { sed -n 's/.* clip=\([a-z]*\).*/\1/p' "$work/frame" 2>/dev/null; }
clip_is() { [[ $(clip) == "$1" ]]; }
clip_is_not() { [[ -n $(clip) && $(clip) != "$1" ]]; }
lines_in() { grep -c "$2" "$1" 2>/dev/null; }
received() { (($(lines_in "$1" "url: 1 URL(s) from a later start") >= $2)); }

# 1. The first start with a URL is not affected: it runs, and takes its URL at the end of launch.
start_first "$work/first.log" pupnik://demo/run
grep -q "url: draining 1 URL(s) queued during launch" "$work/first.log" \
  && pass "the first start took its own URL at launch" || fail "the first start did not queue its URL"
alive "$pupnik_pid" || fail "the first start ended"
folder=$XDG_RUNTIME_DIR/pupnik
[[ $(stat -c %a "$folder") == 700 ]] && pass "the socket's folder is closed ($folder)" || fail "$folder has mode $(stat -c %a "$folder")"

# 2. A later start with a URL hands it over and ends at once with 0.
later second -- pupnik://demo/happy
if ((status == 0 && took < 15000)); then pass "a later start handed its URL over and ended with 0 in $took ms"; else fail "a later start ended with $status after $took ms"; fi
grep -q "url: handed 1 URL(s) to the running Pupnik" "$work/second.log" || fail "the later start did not say it handed the URL over"
wait_for 15 received "$work/first.log" 1 && pass "the running pet received it" || fail "the running pet logged no URL from a later start"
wait_for 10 clip_is happy || fail "the running pet shows $(clip), not the happy demo handed over"

# 3. Without a display too: the hand-over comes before the display is looked for.
later headless -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -- pupnik://demo/off
if ((status == 0)); then pass "a later start without a display handed its URL over"; else fail "a later start without a display ended with $status"; fi
wait_for 15 received "$work/first.log" 2 || fail "the running pet did not receive the URL of the start without a display"
wait_for 10 clip_is_not happy || fail "the running pet still shows the demo after pupnik://demo/off"

# 4. A later start without URLs only says so; one whose URLs cannot go over says why and ends with 1.
later plain --
((status == 0)) && grep -q "Pupnik already runs for this user" "$work/plain.log" \
  && pass "a later start without URLs ended with 0" || fail "a later start without URLs ended with $status"
later unsound -- "pupnik://demo/ happy"
((status == 1)) && grep -q "cannot hand the URLs to the running Pupnik" "$work/unsound.log" \
  && pass "URLs that cannot go over end the later start with 1 and a reason" || fail "an unsound URL ended the later start with $status: $(cat "$work/unsound.log")"
# A URL far past what the application reads is refused by name and limit; the one beside it goes.
later huge -- "pupnik://demo/$(head -c 102400 /dev/zero | tr '\0' a)" pupnik://demo/sick
expect 0 "the later start to end with 0 after handing over the valid URL" test "$status" = 0
expect --seen 'cat "$work/huge.log"' 0 "the 100 KB URL refused with the limit it broke" grep -q "^\[Pupnik\] url: refused pupnik://demo/a*…: it is longer than 8192 bytes (102414)$" "$work/huge.log"
expect --seen 'echo "$(clip)"' 15 "the running pet to play the URL handed with it" clip_is sick
alive "$pupnik_pid" || fail "the running pet ended"

# 5. A start with a support folder of its own is another pet: it runs by itself.
PUPNIK_SUPPORT_DIR=$work/other "$pupnik" pupnik://demo/run 2>"$work/other.log" &
other=$!
pids+=("$other")
if never_within 2 dead "$other"; then pass "a start with its own support folder runs by itself"; else fail "a start with its own support folder ended: $(cat "$work/other.log")"; fi
grep -q "handed" "$work/other.log" && fail "a start with its own support folder handed its URL over"
two_sockets() { (($(compgen -G "$XDG_RUNTIME_DIR/pupnik/*.socket" | wc -l) == 2)); }
wait_for 20 two_sockets || fail "the two pets do not have a socket each"
kill "$other"
wait_for 30 dead "$other" || fail "the second pet did not end"

# 6. After an orderly end the socket goes; after a crash the next start replaces the one left behind.
socket=$(socket_file)
kill -TERM "$pupnik_pid"
wait_for 30 dead "$pupnik_pid" || fail "the first pet did not end on SIGTERM"
gone() { [[ ! -e $socket ]]; }
wait_for 5 gone && pass "the socket went with the pet" || fail "the socket $socket stayed after the pet ended"

start_first "$work/third.log"
kill -KILL "$pupnik_pid"
wait_for 30 dead "$pupnik_pid" || fail "the crashed pet did not end"
[[ -S $socket ]] && pass "a crash left its socket behind" || fail "no socket left behind by the crash"
start_first "$work/fourth.log"
grep -q "later starts cannot reach" "$work/fourth.log" && fail "the start after a crash did not replace the socket: $(cat "$work/fourth.log")"
later fifth -- pupnik://demo/happy
((status == 0)) && wait_for 15 received "$work/fourth.log" 1 \
  && pass "the start after a crash listens again" || fail "the hand-over to the start after a crash failed: $(cat "$work/fifth.log")"
finish
