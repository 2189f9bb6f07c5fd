#!/usr/bin/env bash
# Permission requests answered from the pet on an X11 desktop (run inside scripts/with-desktop.sh):
# the real agent tool waits on an Edit, a click on the pet opens the popover with the diff coloured,
# Allow and Deny reach the coding agent as its answer, Return answers nothing, and two requests are
# answered one after the other in one popover. Leaves a screenshot of the popover over the pet when
# PUPNIK_POPOVER_SCREENSHOT names a file.
# Usage: ApprovalOnTheDesktop.sh <Pupnik> <pupnik-agent>
set -uo pipefail
pupnik=$1
agent=$2
source "$(dirname "$0")/DesktopTestSupport.sh"

use_private_home
export PUPNIK_SKIP_ONBOARDING=1 PUPNIK_DEBUG_FRAME_FILE=$work/frame
# Edit of notes.txt, as the coding agent sends it; stdout is the answer.
ask() {
  local name=$1 session=$2
  printf '%s' '{"session_id":"'"$session"'","cwd":"/tmp/project","hook_event_name":"PermissionRequest",
"tool_name":"Edit","tool_input":{"file_path":"/tmp/project/notes.txt",
"old_string":"walk at noon\nfeed at six\nsleep early","new_string":"walk at noon\nfeed at five\nbrush the fur\nsleep early"}}' |
    "$agent" hook PermissionRequest >"$work/$name.answer" 2>"$work/$name.log" &
  asked=$!
  pids+=("$asked")
}

# Presses a button of the popover: Deny at its leading edge, Allow at its trailing edge.
press() {
  local x y w h
  read -r x y w h < <(window_box "$popover")
  case $1 in
    allow) xdotool mousemove $((x + w - 14 - 20)) $((y + h - 12 - 12)) click 1 ;;
    deny) xdotool mousemove $((x + 14 + 20)) $((y + h - 12 - 12)) click 1 ;;
  esac
}
answered() { # NAME DECISION
  grep -q '"hookSpecificOutput"' "$work/$1.answer" && grep -q '"behavior": *"'"$2"'"' "$work/$1.answer" && tr -d '\n' <"$work/$1.answer"
}
# answered_by NAME PID DECISION: the agent tool ended and printed that decision.
answered_by() { dead "$2" && answered "$1" "$3"; }
answer_seen() { echo "running: $(alive "$2" && echo yes || echo no), printed: $(cat "$work/$1.answer"), said: $(cat "$work/$1.log")"; }
# Counts a window's clearly green and clearly red pixels into $green and $red; the text is
# antialiased, so a hue stands for its colour.
tinted_pixels() {
  read -r green red < <(import -window "$1" -depth 8 txt:- 2>/dev/null | awk -F'[(),]' '/^[0-9]/ {
      r = $3; g = $4; b = $5
      if (g > r + 40 && g > b + 20) green++
      if (r > g + 60 && r > b + 60) red++
    } END { print green + 0, red + 0 }')
}
# The popover paints some time after it is mapped.
diff_coloured() { tinted_pixels "$popover" && ((green > 0 && red > 0)) && echo "$green green and $red red pixels"; }

"$pupnik" 2>"$log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
expect --seen log_tail 30 "Pupnik ends its launch" started

# 1. An Edit waits; a click on the pet opens the popover with the diff; Allow answers it.
ask allowed edit-1
allowed=$asked
expect --seen 'request_files' 20 "the Edit in the mailbox" has_requests 1
expect --seen 'shown_windows | tr "\n" " "' 0 "a click on the pet opens the popover" open_popover
green=0 red=0
[[ -n $popover ]] && expect --seen 'echo "$green green and $red red pixels"' 20 "the diff coloured" diff_coloured
if [[ -n ${PUPNIK_POPOVER_SCREENSHOT:-} ]]; then
  import -window root "$PUPNIK_POPOVER_SCREENSHOT" && pass "screenshot in $PUPNIK_POPOVER_SCREENSHOT"
fi
expect_never --seen 'answer_seen allowed "$allowed"' 0 "the agent tool waiting for an answer" dead "$allowed"
press allow
expect --seen 'answer_seen allowed "$allowed"' 20 "Allow answers the agent tool" answered_by allowed "$allowed" allow
expect --seen popover_window 10 "the popover closed after its only request was answered" popover_gone

# 2. Return answers nothing (a key pressed as the popover appears must not allow); Deny denies.
ask denied edit-2
denied=$asked
expect --seen 'request_files' 20 "the second Edit in the mailbox" has_requests 1
expect --seen 'shown_windows | tr "\n" " "' 0 "a popover for the second Edit" open_popover
xdotool key Return
press deny
expect --seen 'answer_seen denied "$denied"' 20 "Deny answers the agent tool (Return did not)" answered_by denied "$denied" deny
expect --seen popover_window 10 "the popover closed after Deny" popover_gone

# 3. Two requests at once: one answer each, the popover open in between.
ask first edit-3
first=$asked
ask second edit-4
second=$asked
expect --seen 'request_files' 20 "the two Edits in the mailbox" has_requests 2
expect --seen 'shown_windows | tr "\n" " "' 0 "a popover for two requests" open_popover
shown_with_two=$popover
press allow
one_answered() { dead "$first" || dead "$second"; }
both_answered() { dead "$first" && dead "$second"; }
expect 20 "Allow with two requests answers one" one_answered
expect_never --seen 'answer_seen first "$first"; answer_seen second "$second"' 1 "the other request still waiting" both_answered
still_open() { [[ $(popover_window) == "$shown_with_two" ]]; }
expect --seen 'echo "popover now: $(popover_window), was $shown_with_two"' 0 "the popover open for the second request" still_open
# The request that moved under the buttons settles anew.
sleep 0.6
press allow
expect --seen 'answer_seen first "$first"' 20 "the first of two requests allowed" answered_by first "$first" allow
expect --seen 'answer_seen second "$second"' 20 "the second of two requests allowed" answered_by second "$second" allow
expect --seen popover_window 10 "the popover closed after the last request" popover_gone

finish
