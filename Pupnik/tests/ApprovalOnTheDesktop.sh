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
approvals=$PUPNIK_SUPPORT_DIR/approvals

request_count() { find "$approvals" -maxdepth 1 -name '*.json' ! -name '.*' 2>/dev/null | wc -l; }
has_requests() { (($(request_count) == $1)); }
# The popover: a shown window of ours other than the pet, 460 pixels wide.
popover_window() {
  local id
  for id in $(shown_windows); do
    [[ $id == "$pet" ]] && continue
    [[ $(xwininfo -id "$id" 2>/dev/null | sed -n 's/.*Width: *\([0-9]*\).*/\1/p') == 460 ]] && { echo "$id"; return 0; }
  done
  return 1
}
popover_shown() { [[ -n $(popover_window) ]]; }
popover_gone() { [[ -z $(popover_window) ]]; }
# Prints "x y width height" of a window on the screen.
window_box() {
  xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}

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

# Clicks the pet until the popover shows; the pet may take a step between a look and the click.
open_popover() {
  local attempt x y w h
  for attempt in 1 2 3 4 5; do
    read -r x y w h < <(cut -d' ' -f1 "$work/frame" | tr , ' ')
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
    wait_for 3 popover_shown && break
  done
  popover=$(popover_window) || { popover=; return 1; }
  # The buttons ignore presses for half a second after the popover appears.
  sleep 0.6
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
  grep -q '"hookSpecificOutput"' "$work/$1.answer" && grep -q '"behavior": *"'"$2"'"' "$work/$1.answer"
}
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
diff_coloured() { tinted_pixels "$popover" && ((green > 0 && red > 0)); }

"$pupnik" 2>"$work/pupnik.log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
started() { pet_window >/dev/null && [[ -s $work/frame ]] && grep -q 'codex: ' "$work/pupnik.log"; }
wait_for 20 started || fail "Pupnik did not show its pet"
pet=$(pet_window)

# 1. An Edit waits; a click on the pet opens the popover with the diff; Allow answers it.
ask allowed edit-1
allowed=$asked
wait_for 10 has_requests 1 || fail "the Edit did not reach the mailbox"
if open_popover; then pass "a click on the pet opened the popover $popover ($(window_box "$popover"))"; else fail "no popover after clicks on the pet"; fi
green=0 red=0
if [[ -n $popover ]] && wait_for 10 diff_coloured; then pass "the diff is coloured: $green green and $red red pixels"; else fail "diff colours: $green green, $red red pixels"; fi
if [[ -n ${PUPNIK_POPOVER_SCREENSHOT:-} ]]; then
  import -window root "$PUPNIK_POPOVER_SCREENSHOT" && pass "screenshot in $PUPNIK_POPOVER_SCREENSHOT"
fi
alive "$allowed" || fail "the agent tool did not wait: $(cat "$work/allowed.log")"
press allow
if wait_for 10 dead "$allowed" && answered allowed allow; then
  pass "Allow answered: $(cat "$work/allowed.answer")"
else
  fail "after Allow the agent tool printed: $(cat "$work/allowed.answer")"
fi
wait_for 10 popover_gone || fail "the popover stayed open after its only request was answered"

# 2. Return answers nothing (a key pressed as the popover appears must not allow); Deny denies.
ask denied edit-2
denied=$asked
wait_for 10 has_requests 1 || fail "the second Edit did not reach the mailbox"
open_popover || fail "no popover for the second Edit"
xdotool key Return
press deny
if wait_for 10 dead "$denied" && answered denied deny; then
  pass "Deny answered: $(cat "$work/denied.answer")"
else
  fail "after Deny the agent tool printed: $(cat "$work/denied.answer")"
fi
wait_for 10 popover_gone || fail "the popover stayed open after Deny"

# 3. Two requests at once: one answer each, the popover open in between.
ask first edit-3
first=$asked
ask second edit-4
second=$asked
wait_for 10 has_requests 2 || fail "the two Edits did not reach the mailbox"
open_popover || fail "no popover for two requests"
shown_with_two=$popover
press allow
one_answered() { dead "$first" || dead "$second"; }
wait_for 10 one_answered || fail "Allow with two requests answered none"
if alive "$first" || alive "$second"; then pass "one of two requests answered, the other still waits"; else fail "one Allow answered both requests"; fi
if [[ $(popover_window) == "$shown_with_two" ]]; then pass "the popover stayed open for the second request"; else fail "the popover closed with a request still waiting"; fi
# The request that moved under the buttons settles anew.
sleep 0.6
press allow
both_answered() { dead "$first" && dead "$second"; }
if wait_for 10 both_answered && answered first allow && answered second allow; then
  pass "both requests allowed one after the other"
else
  fail "two requests: first printed $(cat "$work/first.answer"), second printed $(cat "$work/second.answer")"
fi
wait_for 10 popover_gone || fail "the popover stayed open after the last request"

finish
