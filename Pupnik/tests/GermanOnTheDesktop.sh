#!/usr/bin/env bash
# A pet whose stored language is German on an X11 desktop (run inside scripts/with-desktop.sh):
# hovering the waiting pet shows its tooltip although the pet never takes the focus, and the approval
# popover's buttons, as the widgets themselves read, are German. Leaves screenshots of both in the
# folder given.
# Usage: GermanOnTheDesktop.sh <Pupnik> <pupnik-agent> [folder to keep the screenshots in]
set -uo pipefail
pupnik=$1
agent=$2
keep=${3:-}
source "$(dirname "$0")/DesktopTestSupport.sh"

use_private_home
# The system speaks English; only the stored choice says German.
export PUPNIK_SKIP_ONBOARDING=1 LANGUAGE=en LANG=C.UTF-8 LC_ALL=C.UTF-8 PUPNIK_DEBUG_SNAPSHOT_DIR=$work/snapshots
export PUPNIK_DEBUG_OPEN_APPROVAL_ON_LAUNCH=1 PUPNIK_DEBUG_APPROVE=deny
printf '%s\n' '{"pet.language":"de","pet.discreet":false}' >"$defaults"
log=$work/pupnik.log
logged() { grep -qF -- "$1" "$log"; }
# Prints "x y width height" of a window on the screen.
box_of() {
  xdotool getwindowgeometry --shell "$1" 2>/dev/null | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print x, y, w, h}'
}
tooltip_window() {
  local w
  for w in $(shown_windows); do
    [[ $(type_of "$w") == _NET_WM_WINDOW_TYPE_TOOLTIP ]] && { echo "$w"; return 0; }
  done
  return 1
}
tooltip_shown() { tooltip_window >/dev/null; }
# Rests the pointer on the pet, which may have taken a step since the last look, and waits there.
hover_pet() {
  local pet x y w h
  pet=$(pet_window) || return 1
  read -r x y w h < <(box_of "$pet")
  [[ -n $h ]] || return 1
  xdotool mousemove $((x + w / 2 - 2)) $((y + h / 2)) sleep 0.1 mousemove $((x + w / 2)) $((y + h / 2 + 2))
  wait_for 4 tooltip_shown
}

buttons_read() { sed -n 's/^\[Pupnik\] debug: approval buttons: //p' "$log" | tail -n 1; }
buttons_are() { [[ $(buttons_read) == "$1" ]] && buttons_read; }
answered_deny() { dead "$asked" && grep -q '"behavior": *"deny"' "$work/asked.answer"; }
not_focused() { [[ $(xdotool getactivewindow 2>/dev/null) != "$(pet_window)" ]]; }

"$pupnik" 2>"$log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
expect 30 "the pet on the desktop" pet_window || finish

# 1. An agent waits for its user; the pointer rests on the pet, which is not the active window.
printf '%s' '{"session_id":"de-wait","cwd":"/tmp","hook_event_name":"Notification","notification_type":"agent_needs_input","message":"Claude needs your input"}' \
  | "$agent" hook Notification agent_needs_input
expect --seen 'shown_windows | while read -r w; do echo "$w $(type_of "$w")"; done' 30 "a tooltip over the waiting pet" hover_pet \
  && import -window root "$work/tooltip.png" 2>/dev/null
expect 0 "the pet without the focus" not_focused
xdotool mousemove 0 0

# 2. A permission request opens the popover by itself; its buttons are read and Deny is pressed.
printf '%s' '{"session_id":"de-ask","cwd":"/tmp/project","hook_event_name":"PermissionRequest","tool_name":"Bash","tool_input":{"command":"rm -rf build"}}' \
  | "$agent" hook PermissionRequest >"$work/asked.answer" 2>"$work/asked.log" &
asked=$!
pids+=("$asked")
expect --seen buttons_read 30 "the popover's buttons in German" buttons_are "Ablehnen | Terminal öffnen | Erlauben"
expect --seen 'cat "$work/asked.answer"' 30 "Ablehnen to answer the request with deny" answered_deny
expect 10 "a capture of the popover" test -s "$work/snapshots/approve-popover-menu.png"

quit_cleanly "$pupnik_pid"
if [[ -n $keep ]]; then
  mkdir -p "$keep"
  cp "$work"/tooltip.png "$work"/snapshots/approve-popover-menu.png "$keep"/ 2>/dev/null
fi
finish
