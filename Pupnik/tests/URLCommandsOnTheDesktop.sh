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

exists() { [[ -s $1 ]]; }
# report_has FILE LINE: the report holds exactly that line.
report_has() { grep -qxF -- "$2" "$1"; }

"$pupnik" pupnik://demo/happy "https://example.com/demo/run" 2>"$log" &
pupnik_pid=$!
pids+=("$pupnik_pid")

# 1. The URL given at start waits for launch, then plays its clip.
expect 20 "Pupnik shows its pet" pet_window
expect --seen 'echo "clip=$(clip)"' 10 "pupnik://demo/happy given at start plays the happy clip" clip_is happy
expect --seen log_tail 20 "the URL given at start queued during launch" logged "[Pupnik] url: draining 1 URL(s) queued during launch"
expect_never 0 "no URL of another scheme reaching the handler" logged "example.com"
expect --seen 'windows | tr "\n" " "' 10 "the tray takes the icon" tray_window

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
expect --seen 'grep "debug: events:" "$log" | tail -n 1' 30 "SIGUSR1 reports the three hook events" counted
status_file() { ls "$snapshots"/snap-*-happy-status.txt 2>/dev/null | tail -n 1; }
if expect --seen 'ls "$snapshots"' 10 "SIGUSR1 writes a status file" status_file; then
  status=$(status_file)
  pid_line="^Hummo Pawlet [0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z pid $pupnik_pid launched=true\$"
  expect --seen 'head -n 1 "$status"' 0 "the report's first line names the process" grep -qE "$pid_line" "$status"
  for line in \
    "state: gait=idle mood=happy busy=0 known=0 waiting=0 sources=[:]" \
    "connection=connected installed=false demoClip=happy" \
    "events: claude=3 codex=0 process=0" \
    "approvals: pending=0 popover=false" \
    "hooks: upgradeNeeded=false"; do
    expect --seen 'cat "$status"' 0 "the report holds \"$line\"" report_has "$status" "$line"
  done
  expect --seen 'cat "$status"' 0 "the report's cloud line" grep -m1 '^cloud: state=no publisher (PUPNIK_NO_CLOUD) line=.' "$status"
  expect --seen 'cat "$status"' 0 "the report's debug waiting target" \
    grep -qE '^waiting: sid=desk-wait source=claude pids=\[4242, 4243\] names=\[\] tty=- since=[0-9-]+ [0-9:]+ \+0000$' "$status"
  ends_with_line_feed() { [[ $(tail -c 1 "$status" | od -An -c | tr -d ' ') == '\n' ]]; }
  expect --seen 'tail -c 20 "$status" | od -c' 0 "the report ends with a line feed" ends_with_line_feed
  number=$(basename "$status" | sed -n 's/^snap-\([0-9]*\)-.*/\1/p')
  # The dump writes the pet's image and then the icon's after the report.
  expect --seen 'ls "$snapshots"' 10 "the dump's pet image snap-$number-happy-window.png" exists "$snapshots/snap-$number-happy-window.png"
  expect --seen 'ls "$snapshots"' 10 "the dump's icon image snap-$number-happy-icon.png" exists "$snapshots/snap-$number-happy-icon.png"
else
  number=00
fi

# 3. SIGUSR2: the menu opens, is captured while open and closes again; the counter goes on.
next=$(printf '%02d' $((10#$number + 1)))
kill -USR2 "$pupnik_pid"
expect --seen 'shown_windows | tr "\n" " "' 10 "SIGUSR2 opens the menu" menu_window
expect --seen 'ls "$snapshots"' 20 "SIGUSR2's capture menu-$next-t200-menu.png" exists "$snapshots/menu-$next-t200-menu.png"
expect --seen 'menu_window' 10 "the menu snapshot closes the menu" menu_closed
expect --seen 'ls "$snapshots"' 10 "the menu snapshot's pet image" exists "$snapshots/menu-$next-window.png"
for delay in 025 045 070 095 125 160 200; do
  expect --seen 'ls "$snapshots"' 10 "a capture at t$delay" exists "$snapshots/menu-$next-t$delay-menu.png"
done
expect --seen log_tail 10 "an anchor line for the tray icon" logged "[Pupnik] menu anchor (screencapture -R coords): "
expect --seen log_tail 10 "a line for the closed menu" logged "[Pupnik] menu: popUp -> Optional(true) after "
expect --seen log_tail 10 "the captures' menu window logged" \
  logged_like '^\[Pupnik\] menu snapshot: window id=[0-9]+ bounds=[0-9.-]+,[0-9.-]+,[0-9.-]+,[0-9.-]+ layer=101$'
expect_never 0 "Pupnik alive after the snapshots" dead "$pupnik_pid"

# 4. Restarted with the approval debug options: the first request opens the popover, which is
# captured and denied through its button; the coding agent gets "deny".
quit_cleanly "$pupnik_pid"
log=$work/pupnik-approval.log
PUPNIK_DEBUG_OPEN_APPROVAL_ON_LAUNCH=1 PUPNIK_DEBUG_APPROVE=deny "$pupnik" 2>"$log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
expect --seen log_tail 20 "the approval debug timer starts" \
  logged "[Pupnik] debug: waiting for a click-to-approve request (PUPNIK_DEBUG_OPEN_APPROVAL_ON_LAUNCH)"
expect 20 "the restarted Pupnik shows its pet" pet_window
printf '%s' '{"session_id":"desk-3","cwd":"/tmp/project","hook_event_name":"PermissionRequest","tool_name":"Bash",
"tool_input":{"command":"rm -rf build"}}' | "$agent" hook PermissionRequest >"$work/asked.answer" 2>"$work/asked.log" &
asked=$!
pids+=("$asked")
expect --seen log_tail 20 "the popover opens by itself" logged "[Pupnik] debug: opening the approval popover for 1 request(s): "
expect --seen log_tail 10 "the deny button pressed" logged "[Pupnik] debug: clicking deny"
denied() { dead "$asked" && grep -q '"behavior": *"deny"' "$work/asked.answer" && tr -d '\n' <"$work/asked.answer"; }
expect --seen 'echo "running: $(alive "$asked" && echo yes || echo no), printed: $(cat "$work/asked.answer")"' 20 \
  "the approval debug path denies the request" denied
expect --seen 'ls "$snapshots"' 10 "a capture of the popover" exists "$snapshots/approve-popover-menu.png"
expect --seen log_tail 10 "the capture logged" logged "[Pupnik] debug: wrote approve-popover-menu.png to $snapshots"

[[ -n $keep ]] && mkdir -p "$keep" && cp "$snapshots"/* "$keep"/
finish
