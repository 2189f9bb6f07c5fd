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

# The frame file's "x,y,w,h": left and top edges in X11 coordinates.
frame_xy() { cut -d, -f1,2 "$work/frame" 2>/dev/null; }
geometry_xy() { xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Position: \([0-9-]*\),\([0-9-]*\).*/\1,\2/p'; }
saved_number() { sed -n "s/.*\"$1\": *\([-0-9.e+]*\).*/\1/p" "$defaults" 2>/dev/null | head -n 1; }

# Starts Pupnik as a Wayland session with XWayland would: Qt is left to choose unless told.
start_pupnik() {
  local name=$1
  rm -f "$work/frame"
  env -u QT_QPA_PLATFORM XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=no-such-wayland-display "$pupnik" 2>"$work/pupnik-$name.log" &
  pupnik_pid=$!
  pids+=("$pupnik_pid")
}
launched() { started "$work/pupnik-$1.log"; }
clip_seen() { echo "clip=$(clip)"; }

# Without any display Pupnik says so and fails.
output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$pupnik" 2>&1)
status=$?
said_no_display() { ((status != 0 && status != 124)) && [[ $output == *"no display"* ]] && echo "$output"; }
expect --seen 'echo "status $status: $output"' 0 "Pupnik without a display says so and fails" said_no_display

# 1. Start: the window is shown, idle, with the window manager's states.
start_pupnik first
expect --seen 'log_tail "$work/pupnik-first.log"' 30 "Pupnik shows its window" launched first
window=$(pet_window)
expect --seen clip_seen 10 "the first clip idle" clip_is idle
states() { xprop -id "$window" _NET_WM_STATE 2>/dev/null; }
has_states() { [[ $(states) == *_NET_WM_STATE_ABOVE* && $(states) == *_NET_WM_STATE_STICKY* && $(states) == *_NET_WM_STATE_SKIP_TASKBAR* ]] && states; }
expect --seen states 10 "the window above, sticky and out of the taskbar" has_states

# 2. A click on the pet leaves another application's window active.
xmessage -geometry 240x80+900+80 "another application" 2>/dev/null &
pids+=($!)
other_active() { [[ -n $(active_window) && $(active_window) != 0 && $(active_window) != "$window" ]]; }
expect --seen 'echo "active $(active_window), pet $window"' 10 "the other window active" other_active
before=$(active_window)
read -r x y < <(frame_xy | tr , ' ')
xdotool mousemove $((x + 65)) $((y + 60)) click 1
# With nothing pending and no session to bring forward the click opens the menu: once it shows, the
# click has been handled, by the window manager too.
expect --seen 'shown_windows | tr "\n" " "' 10 "a click on the pet opens a menu" menu_window
pet_not_activated() { [[ $(active_window) != "$window" && $(xdotool getwindowfocus 2>/dev/null) != "$window" ]]; }
expect --seen 'echo "active $(active_window), focus $(xdotool getwindowfocus 2>/dev/null), pet $window, before $before"' 0 \
  "the other window still active after a click on the pet" pet_not_activated
# The menu closes without a choice.
xdotool key Escape
expect --seen menu_window 10 "Escape closes the pet's menu" menu_closed

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
expect --seen 'echo "window at $(geometry_xy "$window"), pet at $(frame_xy)"' 10 "the pet dragged from $x,$y to $dropped" moved

# 4. A hook event written by the real agent tool changes the pet's clip. The pet strolls a
# moment and stops between two of its periodic saves, so only the shutdown saves where it stands.
hook UserPromptSubmit '{"session_id":"desk-1","cwd":"/tmp","hook_event_name":"UserPromptSubmit"}'
expect --seen clip_seen 10 "a prompt makes the pet stroll" clip_is stroll
sleep 1
hook Stop '{"session_id":"desk-1","cwd":"/tmp","hook_event_name":"Stop"}'
expect --seen clip_seen 10 "the pet idle after the turn ended" clip_is idle

# 5. With Pupnik running a permission request waits for its answer.
hook PermissionRequest '{"session_id":"desk-2","cwd":"/tmp","tool_name":"Bash","tool_input":{"command":"ls"}}' \
  >"$work/answer" 2>"$work/agent.log" &
waiting_agent=$!
pids+=("$waiting_agent")
expect --seen 'ls -a "$approvals"' 20 "the request in the mailbox" has_requests 1
expect --seen clip_seen 10 "a permission request shows the waiting clip" clip_is poop
request=$(request_files | head -n 1)
id=$(basename "$request" .json)

# 6. SIGTERM ends Pupnik in order and saves the pet's place.
place="$(frame_xy)"
before=$(saved_number pet.x)
quit_cleanly "$pupnik_pid"
saved_x=$(saved_number pet.x)
saved_y=$(saved_number pet.groundY)
saved_place() { [[ -n $saved_x && -n $saved_y && $(printf '%.0f' "$saved_x") -eq ${place%,*} ]] && echo "x=$saved_x groundY=$saved_y"; }
expect --seen 'echo "x=$saved_x groundY=$saved_y, the window was at $place, saved x before: $before"' 0 \
  "SIGTERM saves the pet's place" saved_place

# 7. The waiting agent tool outlives the restart, its request stays, and the answer reaches it.
expect_never --seen 'cat "$work/agent.log"' 0 "the waiting agent tool outliving Pupnik" dead "$waiting_agent"
start_pupnik second
expect --seen 'log_tail "$work/pupnik-second.log"' 30 "Pupnik starts again" launched second
placed_again() { [[ $(frame_xy) == "$place" ]]; }
expect --seen 'echo "pet at $(frame_xy)"' 10 "the restarted pet at the saved $place" placed_again
kept() { [[ -f $request ]] && ! grep -q "swept orphan" "$work/pupnik-second.log"; }
expect --seen 'ls -a "$approvals"; grep "swept" "$work/pupnik-second.log"' 0 "request $id kept across the restart" kept
expect_never 0 "the agent tool waiting across the restart" dead "$waiting_agent"
printf 'allow' >"$approvals/.$id.reply.tmp" && mv "$approvals/.$id.reply.tmp" "$approvals/$id.reply"
expect --seen 'cat "$work/agent.log"' 20 "the agent tool takes the answer" dead "$waiting_agent"
wait "$waiting_agent"
expect --seen 'cat "$work/answer"' 0 "the agent tool answers allow" grep -m1 '"allow"' "$work/answer"

# 8. A second Pupnik of the same user says the first runs and leaves.
output=$(env -u QT_QPA_PLATFORM timeout 20 "$pupnik" 2>&1)
status=$?
said_runs() { ((status == 0)) && [[ $output == *"already runs"* ]] && echo "$output"; }
expect --seen 'echo "status $status: $output"' 0 "a second instance says the first runs and leaves" said_runs
expect_never 0 "the first instance still running after the second started" dead "$pupnik_pid"

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
expect --seen 'echo "clip=$(clip), running: $(alive "$pupnik_pid" && echo yes || echo no)"' 0 "SIGUSR1 caught: Pupnik answers a prompt after it" answers usr1
kill -USR2 "$pupnik_pid"
expect 20 "SIGUSR2 without a snapshot folder ends Pupnik" dead "$pupnik_pid"
{ wait "$pupnik_pid"; } 2>/dev/null
export PUPNIK_DEBUG_SNAPSHOT_DIR=$work/snapshots
start_pupnik third
expect --seen 'log_tail "$work/pupnik-third.log"' 30 "Pupnik with a snapshot folder starts" launched third
expect --seen clip_seen 10 "the third Pupnik's first clip idle" clip_is idle
kill -USR2 "$pupnik_pid"
expect --seen 'echo "clip=$(clip), running: $(alive "$pupnik_pid" && echo yes || echo no)"' 0 "SIGUSR2 caught with a snapshot folder" answers usr2
unset PUPNIK_DEBUG_SNAPSHOT_DIR

# 10. With Pupnik quit a permission request is not kept waiting.
quit_cleanly "$pupnik_pid"
hook PermissionRequest '{"session_id":"desk-3","cwd":"/tmp","tool_name":"Bash","tool_input":{"command":"ls"}}' >/dev/null &
quick_agent=$!
pids+=("$quick_agent")
expect 20 "without Pupnik the request returns at once" dead "$quick_agent"
expect --seen request_files 0 "without Pupnik nothing left behind in the mailbox" has_requests 0

finish
