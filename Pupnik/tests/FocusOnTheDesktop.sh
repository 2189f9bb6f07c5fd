#!/usr/bin/env bash
# A waiting agent's terminal brought to the front from the pet on an X11 desktop (run inside
# scripts/with-desktop.sh): two real xterms each run a shell that stands in for an agent; the
# second waits for the user. A click on the pet makes the second xterm the active window (as
# _NET_ACTIVE_WINDOW says), also when it was minimised, and leaves the first alone; the approval
# popover's "Open Terminal" does the same for a permission request of that agent. Prints the time
# from each click to the active window.
# Usage: FocusOnTheDesktop.sh <Pupnik> <pupnik-agent>
set -uo pipefail
pupnik=$1
agent=$2
source "$(dirname "$0")/DesktopTestSupport.sh"

use_private_home
export PUPNIK_SKIP_ONBOARDING=1 PUPNIK_DEBUG_FRAME_FILE=$work/frame

minimised() { xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_HIDDEN; }
shown() { ! minimised "$1" && viewable "$1"; }
xterm_window() { xdotool search --pid "$1" 2>/dev/null | head -n 1; }
waiting_line() { grep -m1 '"waiting-agent"' "$PUPNIK_SUPPORT_DIR/events.jsonl" 2>/dev/null; }
# What a verdict on the active window shows.
windows_seen() { echo "active $(active_window); first $first, second $second (minimised: $(minimised "$second" && echo yes || echo no))"; }
# Every change of the active window, as "milliseconds window" lines, stamped as the server reports it.
stdbuf -oL xprop -root -spy _NET_ACTIVE_WINDOW 2>/dev/null | while read -r line; do
  printf '%s %d\n' "$(milliseconds)" "$(sed -n 's/.*# \(0x[0-9a-f]*\).*/\1/p' <<<"$line")"
done >"$work/active" &
pids+=($!)
# When the window became active, counted from the start of the last click command, and how long
# that command itself took (starting xdotool costs more than the pet's work on a busy machine).
since_click() {
  local at
  at=$(awk -v w="$1" -v t="$clicking" '$2 == w && $1 >= t { print $1; exit }' "$work/active")
  [[ -n $at ]] && echo "$((at - clicking)) ms after the click started (the click command took $((clicked - clicking)) ms)"
}
# Focus requests that have ended: each logs its outcome once, about half a second after its click.
outcomes() { grep -c '^\[Pupnik\] focus: success=' "$log" 2>/dev/null; }
more_outcomes_than() { (($(outcomes) > $1)); }
# Clicks the pet until the window is active; tells when the click that did it took effect. A click
# is repeated only once the request it made has ended (or it made none: the walking pet was missed),
# so that no request is still under way when the script goes on to choose a window of its own.
click_until_active() {
  local window=$1 attempt before
  for attempt in 1 2 3 4 5; do
    before=$(outcomes)
    clicking=$(milliseconds)
    click_pet
    clicked=$(milliseconds)
    wait_for 10 more_outcomes_than "$before"
    if wait_for 3 is_active "$window"; then
      since_click "$window" || echo "(time not seen)"
      return 0
    fi
  done
  return 1
}

"$pupnik" 2>"$log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
expect --seen log_tail 30 "Pupnik ends its launch" started

# The working agent's shell only sleeps; the waiting one tells the agent tool it waits for the user,
# then, once asked to, sends a permission request from the same shell.
xterm -title working-agent -geometry 80x20+40+40 -e /bin/sh -c 'exec sleep 600' &
working=$!
pids+=("$working")
waiting_script='printf "{\"session_id\":\"waiting-agent\",\"cwd\":\"/tmp\",\"notification_type\":\"agent_needs_input\"}" | "$0" hook Notification agent_needs_input
while [ ! -e "$1" ]; do sleep 0.1; done
printf "{\"session_id\":\"waiting-agent\",\"cwd\":\"/tmp\",\"tool_name\":\"Bash\",\"tool_input\":{\"command\":\"ls\"}}" | "$0" hook PermissionRequest > "$1.answer"
exec sleep 600'
xterm -title waiting-agent -geometry 80x20+600+300 -e /bin/sh -c "$waiting_script" "$agent" "$work/ask" &
waiting=$!
pids+=("$waiting")
xterms_up() { [[ -n $(xterm_window "$working") && -n $(xterm_window "$waiting") ]]; }
expect 30 "the xterms show their windows" xterms_up
first=$(xterm_window "$working")
second=$(xterm_window "$waiting")
expect --seen 'cat "$PUPNIK_SUPPORT_DIR/events.jsonl"' 20 "the waiting agent's notification in the event file" waiting_line
# One engine tick takes it in.
sleep 0.5

# 1. The working agent's xterm is in front; a click on the pet brings the waiting one forward.
unchanged() { viewable "$first" && ! minimised "$first"; }
xdotool windowactivate --sync "$first" 2>/dev/null
expect --seen windows_seen 10 "the first xterm active to start with" is_active "$first"
expect --seen windows_seen 0 "a click on the pet makes the waiting agent's xterm active" click_until_active "$second"
expect --seen 'xwininfo -id "$first" | grep "Map State"; xprop -id "$first" _NET_WM_STATE' 0 "the working agent's xterm as it was" unchanged

# 2. The same when the waiting agent's xterm is minimised.
xdotool windowactivate --sync "$first" 2>/dev/null
xdotool windowminimize "$second"
expect --seen windows_seen 10 "the window manager minimises the waiting xterm" minimised "$second"
expect --seen windows_seen 10 "the first xterm active before the second click" is_active "$first"
expect --seen windows_seen 0 "a click on the pet makes the minimised xterm active" click_until_active "$second"
expect --seen windows_seen 10 "the minimised xterm shown again" shown "$second"
expect --seen 'xwininfo -id "$first" | grep "Map State"; xprop -id "$first" _NET_WM_STATE' 0 "the working agent's xterm still as it was" unchanged

# 3. A permission request of the waiting agent: the popover's "Open Terminal" brings its xterm forward.
xdotool windowactivate --sync "$first" 2>/dev/null
expect --seen windows_seen 10 "the first xterm active before the permission request" is_active "$first"
touch "$work/ask"
expect --seen 'ls -a "$PUPNIK_SUPPORT_DIR/approvals"' 20 "the permission request in the mailbox" has_requests 1
expect --seen 'shown_windows | tr "\n" " "' 0 "a click on the pet opens the popover" open_popover
if [[ -n $popover ]]; then
  # Deny has the keyboard focus; "Open Terminal" is the next button.
  clicking=$(milliseconds)
  xdotool key Tab space
  clicked=$(milliseconds)
  opened_terminal() { is_active "$second" && { since_click "$second" || echo "(time not seen)"; }; }
  expect --seen windows_seen 10 "Open Terminal makes the waiting agent's xterm active" opened_terminal
fi

grep 'focus: ' "$log"
finish
