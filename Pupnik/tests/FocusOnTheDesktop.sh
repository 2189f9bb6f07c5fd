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

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
export PUPNIK_SUPPORT_DIR=$work/support PUPNIK_SKIP_ONBOARDING=1 PUPNIK_NO_CLOUD=1
export PUPNIK_DEBUG_FRAME_FILE=$work/frame PUPNIK_CODEX_SESSIONS_DIR=$work/codex
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
approvals=$PUPNIK_SUPPORT_DIR/approvals

active_window() { printf '%d' "$(xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | sed -n 's/.*# \(0x[0-9a-f]*\).*/\1/p')" 2>/dev/null; }
is_active() { [[ $(active_window) == "$1" ]]; }
minimised() { xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_HIDDEN; }
shown() { ! minimised "$1" && viewable "$1"; }
xterm_window() { xdotool search --pid "$1" 2>/dev/null | head -n 1; }
pet_window() { xdotool search --onlyvisible --pid "$pupnik_pid" --name '^Pupnik$' 2>/dev/null | head -n 1; }
has_request() { [[ -n $(find "$approvals" -maxdepth 1 -name '*.json' ! -name '.*' 2>/dev/null) ]]; }
waiting_line() { grep -q '"waiting-agent"' "$PUPNIK_SUPPORT_DIR/events.jsonl" 2>/dev/null; }
popover_shown() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$pupnik_pid" 2>/dev/null); do
    [[ $id == "$pet" ]] && continue
    [[ $(xwininfo -id "$id" 2>/dev/null | sed -n 's/.*Width: *\([0-9]*\).*/\1/p') == 460 ]] && return 0
  done
  return 1
}

# The pet walks: it is clicked where the frame file says it is now.
click_pet() {
  local x y w h
  read -r x y w h < <(cut -d' ' -f1 "$work/frame" | tr , ' ')
  xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
}
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
outcomes() { grep -c '^\[Pupnik\] focus: success=' "$work/pupnik.log" 2>/dev/null; }
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

"$pupnik" 2>"$work/pupnik.log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
started() { [[ -n $(pet_window) && -s $work/frame ]] && grep -q 'codex: ' "$work/pupnik.log"; }
wait_for 20 started || fail "Pupnik did not show its pet"
pet=$(pet_window)

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
wait_for 20 xterms_up || fail "the xterms did not show their windows"
first=$(xterm_window "$working")
second=$(xterm_window "$waiting")
wait_for 10 waiting_line || fail "the waiting agent's notification did not reach the event file"
# One engine tick takes it in.
sleep 0.5

# 1. The working agent's xterm is in front; a click on the pet brings the waiting one forward.
xdotool windowactivate --sync "$first" 2>/dev/null
wait_for 5 is_active "$first" || fail "the first xterm could not be made active to start with"
if took=$(click_until_active "$second"); then
  pass "a click on the pet made the waiting agent's xterm active $took"
else
  fail "after clicks on the pet the active window is $(active_window), not the waiting xterm $second"
fi
if viewable "$first" && ! minimised "$first"; then pass "the working agent's xterm stayed as it was"; else fail "the working agent's xterm changed"; fi

# 2. The same when the waiting agent's xterm is minimised.
xdotool windowactivate --sync "$first" 2>/dev/null
xdotool windowminimize "$second"
wait_for 5 minimised "$second" || fail "the window manager did not minimise the waiting xterm"
wait_for 5 is_active "$first" || fail "the first xterm is not active before the second click"
if took=$(click_until_active "$second") && wait_for 5 shown "$second"; then
  pass "a click on the pet brought the minimised xterm back and made it active $took"
else
  fail "the minimised xterm: active window $(active_window), minimised: $(minimised "$second" && echo yes || echo no)"
fi
if viewable "$first" && ! minimised "$first"; then pass "the working agent's xterm still stayed"; else fail "the working agent's xterm changed"; fi

# 3. A permission request of the waiting agent: the popover's "Open Terminal" brings its xterm forward.
xdotool windowactivate --sync "$first" 2>/dev/null
wait_for 5 is_active "$first" || fail "the first xterm is not active before the permission request"
touch "$work/ask"
wait_for 10 has_request || fail "the permission request did not reach the mailbox"
for attempt in 1 2 3 4 5; do
  click_pet
  wait_for 3 popover_shown && break
done
if popover_shown; then
  # Deny has the keyboard focus; "Open Terminal" is the next button.
  clicking=$(milliseconds)
  xdotool key Tab space
  clicked=$(milliseconds)
  if wait_for 5 is_active "$second"; then
    pass "Open Terminal made the waiting agent's xterm active $(since_click "$second" || echo "(time not seen)")"
  else
    fail "after Open Terminal the active window is $(active_window), not the waiting xterm $second"
  fi
else
  fail "no popover for the permission request"
fi

grep 'focus: ' "$work/pupnik.log"
((failures == 0)) || { echo "$failures check(s) failed" >&2; exit 1; }
echo "all checks passed"
