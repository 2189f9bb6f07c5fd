#!/usr/bin/env bash
# URL commands and the debug signals on an X11 desktop with a window manager and a tray (run inside
# scripts/with-desktop.sh): a URL given at start plays its demo once launch has completed, SIGUSR1
# writes the status report with the driver's live counts after real hook events, and SIGUSR2 with a
# snapshot folder opens the tray menu, drives it with the debug keys, captures it and closes it. With
# the approval debug options a permission request opens the popover by itself, which is captured
# and answered with the button asked for.
# Usage: URLCommandsOnTheDesktop.sh <Pupnik> <pupnik-agent> [folder to keep the captures in]
set -uo pipefail
pupnik=$1
agent=$2
keep=${3:-}
source "$(dirname "$0")/DesktopTestSupport.sh"

use_private_home
snapshots=$work/snapshots
export PUPNIK_SKIP_ONBOARDING=1 PUPNIK_DEBUG_FRAME_FILE=$work/frame PUPNIK_DEBUG_SNAPSHOT_DIR=$snapshots
export PUPNIK_DEBUG_MENU_KEYS=down,down,nonsense,down PUPNIK_DEBUG_WAITING_SID=desk-wait PUPNIK_DEBUG_WAITING_PIDS=4242,4243
log=$work/pupnik.log

clip() { sed -n 's/.* clip=\([a-z]*\).*/\1/p' "$work/frame" 2>/dev/null; }
clip_is() { [[ $(clip) == "$1" ]]; }
hook() { printf '%s' "$2" | "$agent" hook "$1"; }
logged() { grep -qF -- "$1" "$log"; }
exists() { [[ -s $1 ]]; }
# report_has FILE LINE: the report holds exactly that line.
report_has() { grep -qxF -- "$2" "$1"; }

"$pupnik" pupnik://demo/happy "https://example.com/demo/run" 2>"$log" &
pupnik_pid=$!
pids+=("$pupnik_pid")

# 1. The URL given at start waits for launch, then plays its clip.
wait_for 20 pet_window >/dev/null || fail "Pupnik did not show its pet"
if wait_for 10 clip_is happy; then pass "pupnik://demo/happy given at start plays $(clip)"; else fail "the clip is $(clip), not happy"; fi
logged "[Pupnik] url: draining 1 URL(s) queued during launch" || fail "the URL given at start was not queued during launch"
logged "example.com" && fail "a URL of another scheme reached the handler"
wait_for 10 embedded || fail "the tray never took the icon"

# 2. Real hook events reach the driver, which keeps counting while the demo shows.
hook UserPromptSubmit '{"session_id":"desk-1","cwd":"/tmp","hook_event_name":"UserPromptSubmit"}'
hook PreToolUse '{"session_id":"desk-1","cwd":"/tmp","hook_event_name":"PreToolUse","tool_name":"Bash"}'
hook Stop '{"session_id":"desk-1","cwd":"/tmp","hook_event_name":"Stop"}'
# One dump at a time, finished before the next is asked for and half a second apart: signals sent
# faster than a slow (sanitizer) build writes its dumps keep its main loop busy with dumps alone, and
# the driver that counts the events never gets its turn.
dumps() { grep -c "\[Pupnik\] debug: hooks: upgradeNeeded=" "$log"; }
more_dumps_than() { (($(dumps) > $1)); }
counted() {
  local before
  before=$(dumps)
  kill -USR1 "$pupnik_pid"
  wait_for 10 more_dumps_than "$before" || return 1
  grep -qF "[Pupnik] debug: events: claude=3 codex=0 process=0" "$log" && return 0
  sleep 0.5
  return 1
}
# Each dump adds a snapshot; the first that shows all three events is the one looked at below.
wait_for 15 counted || fail "SIGUSR1 never reported the three hook events"
status=$(ls "$snapshots"/snap-*-happy-status.txt 2>/dev/null | tail -n 1)
if [[ -n $status ]]; then
  pid_line="^Hummo Pawlet [0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z pid $pupnik_pid launched=true\$"
  head -n 1 "$status" | grep -qE "$pid_line" || fail "first line: $(head -n 1 "$status")"
  for line in \
    "state: gait=idle mood=happy busy=0 known=0 waiting=0 sources=[:]" \
    "connection=connected installed=false demoClip=happy" \
    "events: claude=3 codex=0 process=0" \
    "approvals: pending=0 popover=false" \
    "hooks: upgradeNeeded=false"; do
    report_has "$status" "$line" || fail "the report lacks \"$line\""
  done
  grep -q '^cloud: state=no publisher (PUPNIK_NO_CLOUD) line=.' "$status" || fail "the report lacks the cloud line"
  grep -qE '^waiting: sid=desk-wait source=claude pids=\[4242, 4243\] names=\[\] tty=- since=[0-9-]+ [0-9:]+ \+0000$' "$status" \
    || fail "the report lacks the debug waiting target"
  [[ $(tail -c 1 "$status" | od -An -c | tr -d ' ') == '\n' ]] || fail "the report does not end with a line feed"
  pass "SIGUSR1 wrote $(basename "$status") ($(wc -l <"$status") lines)"
  number=$(basename "$status" | sed -n 's/^snap-\([0-9]*\)-.*/\1/p')
  exists "$snapshots/snap-$number-happy-window.png" || fail "the dump wrote no pet image"
  exists "$snapshots/snap-$number-happy-icon.png" || fail "the dump wrote no icon image"
else
  fail "SIGUSR1 wrote no status file into $snapshots"
  number=00
fi

# 3. SIGUSR2: the menu opens, is captured while open and closes again; the counter goes on.
next=$(printf '%02d' $((10#$number + 1)))
kill -USR2 "$pupnik_pid"
wait_for 5 menu_open || fail "SIGUSR2 opened no menu"
wait_for 10 exists "$snapshots/menu-$next-t200-menu.png" || fail "SIGUSR2 wrote no capture menu-$next-t200-menu.png"
wait_for 5 menu_closed || fail "the menu snapshot left the menu open"
wait_for 5 exists "$snapshots/menu-$next-window.png" || fail "the menu snapshot wrote no pet image"
for delay in 025 045 070 095 125 160 200; do
  exists "$snapshots/menu-$next-t$delay-menu.png" || fail "no capture at t$delay"
done
logged "[Pupnik] menu anchor (screencapture -R coords): " || fail "no anchor line for the tray icon"
logged "[Pupnik] menu: popUp -> Optional(true) after " || fail "no line for the closed menu"
grep -qE '^\[Pupnik\] menu snapshot: window id=[0-9]+ bounds=[0-9.-]+,[0-9.-]+,[0-9.-]+,[0-9.-]+ layer=101$' "$log" \
  || fail "the captures logged no menu window"
pass "SIGUSR2 captured menu-$next: $(ls "$snapshots" | grep -c "^menu-$next-t") captures"
alive "$pupnik_pid" || fail "Pupnik ended during the snapshots"

# 4. Restarted with the approval debug options: the first request opens the popover, which is
# captured and denied through its button; the coding agent gets "deny".
kill -TERM "$pupnik_pid"
wait_for 20 dead "$pupnik_pid" || fail "Pupnik did not end on SIGTERM"
log=$work/pupnik-approval.log
PUPNIK_DEBUG_OPEN_APPROVAL_ON_LAUNCH=1 PUPNIK_DEBUG_APPROVE=deny "$pupnik" 2>"$log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
wait_for 20 logged "[Pupnik] debug: waiting for a click-to-approve request (PUPNIK_DEBUG_OPEN_APPROVAL_ON_LAUNCH)" \
  || fail "the approval debug timer did not start"
wait_for 20 pet_window >/dev/null || fail "the restarted Pupnik showed no pet"
printf '%s' '{"session_id":"desk-3","cwd":"/tmp/project","hook_event_name":"PermissionRequest","tool_name":"Bash",
"tool_input":{"command":"rm -rf build"}}' | "$agent" hook PermissionRequest >"$work/asked.answer" 2>"$work/asked.log" &
asked=$!
pids+=("$asked")
wait_for 20 logged "[Pupnik] debug: opening the approval popover for 1 request(s): " || fail "the popover did not open by itself"
wait_for 10 logged "[Pupnik] debug: clicking deny" || fail "the deny button was not pressed"
if wait_for 10 dead "$asked" && grep -q '"behavior": *"deny"' "$work/asked.answer"; then
  pass "the approval debug path denied: $(tr -d '\n' <"$work/asked.answer")"
else
  fail "the agent tool printed: $(cat "$work/asked.answer")"
fi
exists "$snapshots/approve-popover-menu.png" || fail "no capture of the popover"
logged "[Pupnik] debug: wrote approve-popover-menu.png to $snapshots" || fail "the capture was not logged"

[[ -n $keep ]] && mkdir -p "$keep" && cp "$snapshots"/* "$keep"/
finish
