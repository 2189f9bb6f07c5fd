#!/usr/bin/env bash
# The whole application on an X11 desktop with a window manager (run inside scripts/with-desktop.sh):
# the real agent tool moves the pet, the window manager keeps the pet above, sticky and out of the
# taskbar and never activates it, a drag moves it, SIGTERM saves its place, a permission request
# outlives a restart of the application, a second instance leaves the first alone, the signals are
# caught as they should be, and the agent tool waits for answers only while the application runs.
# Usage: PupnikOnTheDesktop.sh <Pupnik> <pupnik-agent>
set -uo pipefail
pupnik=$1
agent=$2
source "$(dirname "$0")/DesktopTestSupport.sh"

use_private_home
export PUPNIK_SKIP_ONBOARDING=1 PUPNIK_DEBUG_FRAME_FILE=$work/frame
approvals=$PUPNIK_SUPPORT_DIR/approvals

clip() { sed -n 's/.* clip=\([a-z]*\).*/\1/p' "$work/frame" 2>/dev/null; }
clip_is() { [[ $(clip) == "$1" ]]; }
# The frame file's "x,y,w,h": left and top edges in X11 coordinates.
frame_xy() { cut -d, -f1,2 "$work/frame" 2>/dev/null; }
geometry_xy() { xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Position: \([0-9-]*\),\([0-9-]*\).*/\1,\2/p'; }
active_window() { xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | sed -n 's/.*# \(0x[0-9a-f]*\).*/\1/p'; }
hex() { printf '0x%x' "$1"; }
request_files() { find "$approvals" -maxdepth 1 -name '*.json' ! -name '.*' 2>/dev/null; }
has_request() { [[ -n $(request_files) ]]; }
saved_number() { sed -n "s/.*\"$1\": *\([-0-9.e+]*\).*/\1/p" "$defaults" 2>/dev/null | head -n 1; }

# Starts Pupnik as a Wayland session with XWayland would: Qt is left to choose unless told.
start_pupnik() {
  local name=$1
  rm -f "$work/frame"
  env -u QT_QPA_PLATFORM XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=no-such-wayland-display "$pupnik" 2>"$work/pupnik-$name.log" &
  pupnik_pid=$!
  pids+=("$pupnik_pid")
}
started() { pet_window >/dev/null && grep -q 'codex: ' "$work/pupnik-$1.log"; }
hook() {
  local event=$1 body=$2
  printf '%s' "$body" | "$agent" hook "$event"
}

# Without any display Pupnik says so and fails.
if output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$pupnik" 2>&1); then
  fail "Pupnik without a display exited 0"
elif [[ $output != *"no display"* ]]; then
  fail "Pupnik without a display said: $output"
else
  pass "without a display: $output"
fi

# 1. Start: the window is shown, idle, with the window manager's states.
start_pupnik first
wait_for 20 started first || fail "Pupnik did not show its window"
window=$(pet_window)
wait_for 10 clip_is idle || fail "the first clip is $(clip), not idle"
states() { xprop -id "$window" _NET_WM_STATE 2>/dev/null; }
has_states() { [[ $(states) == *_NET_WM_STATE_ABOVE* && $(states) == *_NET_WM_STATE_STICKY* && $(states) == *_NET_WM_STATE_SKIP_TASKBAR* ]]; }
if wait_for 10 has_states; then pass "window states: $(states)"; else fail "window states: $(states)"; fi

# 2. A click on the pet leaves another application's window active.
xmessage -geometry 240x80+900+80 "another application" 2>/dev/null &
pids+=($!)
other_active() { [[ -n $(active_window) && $(active_window) != 0x0 && $(active_window) != "$(hex "$window")" ]]; }
wait_for 10 other_active || fail "the other window never became active"
before=$(active_window)
read -r x y < <(frame_xy | tr , ' ')
xdotool mousemove $((x + 65)) $((y + 60)) click 1
# With nothing pending and no session to bring forward the click opens the menu: once it shows, the
# click has been handled, by the window manager too.
wait_for 10 menu_open || fail "a click on the pet opened no menu"
after=$(active_window)
focus=$(xdotool getwindowfocus 2>/dev/null)
if [[ $after == "$(hex "$window")" || $focus == "$window" ]]; then
  fail "the click activated the pet (active $after, focus $focus)"
else
  pass "after a click the active window is still $after (was $before)"
fi
# The menu closes without a choice.
xdotool key Escape
wait_for 10 menu_closed || fail "Escape left the pet's menu open"

# 3. A drag moves the window to where it is dropped.
read -r x y < <(frame_xy | tr , ' ')
xdotool mousemove $((x + 65)) $((y + 60)) mousedown 1
for step in 1 2 3 4 5 6 7 8 9 10; do
  xdotool mousemove $((x + 65 - 20 * step)) $((y + 60 - 30 * step))
  sleep 0.03
done
xdotool mouseup 1
dropped="$((x - 200)),$((y - 300))"
moved() { [[ $(geometry_xy "$window") == "$dropped" && $(frame_xy) == "$dropped" ]]; }
if wait_for 10 moved; then pass "dragged from $x,$y to $dropped"; else fail "drag: window at $(geometry_xy "$window"), pet at $(frame_xy), wanted $dropped"; fi

# 4. A hook event written by the real agent tool changes the pet's clip. The pet strolls a
# moment and stops between two of its periodic saves, so only the shutdown saves where it stands.
hook UserPromptSubmit '{"session_id":"desk-1","cwd":"/tmp","hook_event_name":"UserPromptSubmit"}'
sent=$(milliseconds)
if wait_for 10 clip_is stroll; then
  pass "a prompt made the pet stroll after $(($(milliseconds) - sent)) ms"
else
  fail "after a prompt the clip is $(clip)"
fi
sleep 1
hook Stop '{"session_id":"desk-1","cwd":"/tmp","hook_event_name":"Stop"}'
wait_for 10 clip_is idle || fail "after the turn ended the clip is $(clip)"

# 5. With Pupnik running a permission request waits for its answer.
hook PermissionRequest '{"session_id":"desk-2","cwd":"/tmp","tool_name":"Bash","tool_input":{"command":"ls"}}' \
  >"$work/answer" 2>"$work/agent.log" &
waiting_agent=$!
pids+=("$waiting_agent")
sent=$(milliseconds)
wait_for 10 has_request || fail "no request appeared in the mailbox"
if wait_for 10 clip_is poop; then
  pass "a permission request showed the waiting clip after $(($(milliseconds) - sent)) ms"
else
  fail "with a request pending the clip is $(clip)"
fi
request=$(request_files | head -n 1)
id=$(basename "$request" .json)

# 6. SIGTERM ends Pupnik in order and saves the pet's place.
place="$(frame_xy)"
before=$(saved_number pet.x)
quit_cleanly "$pupnik_pid"
saved_x=$(saved_number pet.x)
saved_y=$(saved_number pet.groundY)
if [[ -n $saved_x && -n $saved_y && $(printf '%.0f' "$saved_x") -eq ${place%,*} ]]; then
  pass "SIGTERM saved the place x=$saved_x groundY=$saved_y (window at $place, saved x before: $before)"
else
  fail "after SIGTERM the defaults hold x=$saved_x groundY=$saved_y, the window was at $place"
fi

# 7. The waiting agent tool outlives the restart, its request stays, and the answer reaches it.
alive "$waiting_agent" || fail "the waiting agent tool ended with Pupnik: $(cat "$work/agent.log")"
start_pupnik second
wait_for 20 started second || fail "Pupnik did not start again"
placed_again() { [[ $(frame_xy) == "$place" ]]; }
wait_for 10 placed_again || fail "the restarted pet is at $(frame_xy), not at the saved $place"
if [[ -f $request ]] && ! grep -q "swept orphan" "$work/pupnik-second.log"; then
  pass "request $id kept across the restart"
else
  fail "request $id did not survive the restart"
fi
alive "$waiting_agent" || fail "the agent tool stopped waiting across the restart"
printf 'allow' >"$approvals/.$id.reply.tmp" && mv "$approvals/.$id.reply.tmp" "$approvals/$id.reply"
wait_for 20 dead "$waiting_agent" || fail "the agent tool did not take the answer"
wait "$waiting_agent"
if grep -q '"allow"' "$work/answer"; then pass "the agent tool answered: $(cat "$work/answer")"; else fail "the agent tool printed: $(cat "$work/answer")"; fi

# 8. A second Pupnik of the same user says the first runs and leaves.
if output=$(env -u QT_QPA_PLATFORM timeout 20 "$pupnik" 2>&1) && [[ $output == *"already runs"* ]]; then
  pass "second instance: $output"
else
  fail "a second instance said: $output"
fi
alive "$pupnik_pid" || fail "the first instance ended when the second started"

# 9. SIGUSR1 is Pupnik's own; SIGUSR2 is only caught with a snapshot folder, else it ends Pupnik.
# A signal that ends a process ends it before the process runs on, so Pupnik answering a prompt
# after the signal shows the signal was caught.
answers() {
  local session=$1
  hook UserPromptSubmit '{"session_id":"'"$session"'","cwd":"/tmp","hook_event_name":"UserPromptSubmit"}'
  wait_for 10 clip_is stroll || return 1
  hook Stop '{"session_id":"'"$session"'","cwd":"/tmp","hook_event_name":"Stop"}'
  wait_for 10 clip_is idle && alive "$pupnik_pid"
}
kill -USR1 "$pupnik_pid"
if answers usr1; then pass "SIGUSR1 caught"; else fail "after SIGUSR1 Pupnik did not answer (clip $(clip))"; fi
kill -USR2 "$pupnik_pid"
if wait_for 20 dead "$pupnik_pid"; then pass "SIGUSR2 without a snapshot folder ended Pupnik"; else fail "SIGUSR2 was caught without a snapshot folder"; fi
{ wait "$pupnik_pid"; } 2>/dev/null
export PUPNIK_DEBUG_SNAPSHOT_DIR=$work/snapshots
start_pupnik third
wait_for 20 started third || fail "Pupnik with a snapshot folder did not start"
wait_for 10 clip_is idle || fail "the third Pupnik's first clip is $(clip), not idle"
kill -USR2 "$pupnik_pid"
if answers usr2; then pass "SIGUSR2 caught with a snapshot folder"; else fail "after SIGUSR2 with a snapshot folder Pupnik did not answer (clip $(clip))"; fi
unset PUPNIK_DEBUG_SNAPSHOT_DIR

# 10. With Pupnik quit a permission request is not kept waiting.
kill -TERM "$pupnik_pid"
wait_for 20 dead "$pupnik_pid" || fail "Pupnik did not end on SIGTERM"
sent=$(milliseconds)
hook PermissionRequest '{"session_id":"desk-3","cwd":"/tmp","tool_name":"Bash","tool_input":{"command":"ls"}}' >/dev/null &
quick_agent=$!
pids+=("$quick_agent")
if wait_for 20 dead "$quick_agent" && ! has_request; then
  pass "without Pupnik the request returned after $(($(milliseconds) - sent)) ms, nothing left behind"
else
  fail "without Pupnik the agent tool waited or left a request: $(request_files)"
fi

finish
