# Shared by the desktop test scripts (sourced; they run inside scripts/with-desktop.sh): a scratch
# folder removed at the end with every process the script started, failure bookkeeping, bounded
# waits, a private home, and how Pupnik's windows are told apart (pet, welcome window, tray icon,
# open menu, alert) and driven.
work=$(mktemp -d)
pids=()
failures=0

cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
  local log
  for log in "$work"/*.log; do [[ -f $log ]] && { echo "--- $log" >&2; cat "$log" >&2; }; done
}
pass() { echo "ok: $*"; }
# The script's verdict, last.
finish() {
  ((failures == 0)) || { echo "$failures check(s) failed" >&2; exit 1; }
  echo "all checks passed"
  exit 0
}
# wait_for SECONDS COMMAND...: polls every 20 ms until the command succeeds or the time is up.
wait_for() {
  local deadline=$(($(date +%s%N) + $1 * 1000000000))
  shift
  until "$@"; do
    (($(date +%s%N) > deadline)) && return 1
    sleep 0.02
  done
}
# never_within SECONDS COMMAND...: succeeds when the command fails at every poll for that long; for
# what must not happen, which no event marks as settled.
never_within() {
  local deadline=$(($(date +%s%N) + $1 * 1000000000))
  shift
  while (($(date +%s%N) <= deadline)); do
    "$@" && return 1
    sleep 0.05
  done
  return 0
}
milliseconds() { echo $(($(date +%s%N) / 1000000)); }
alive() { kill -0 "$1" 2>/dev/null; }
dead() { ! kill -0 "$1" 2>/dev/null; }
# quit_cleanly PID [SECONDS]: SIGTERM to a Pupnik this script started; it must end within the time
# (20 s) with status 0. A crash on the way out is a failure too, which nothing else would notice.
quit_cleanly() {
  kill -TERM "$1"
  wait_for "${2:-20}" dead "$1" || { fail "Pupnik did not end on SIGTERM"; return 1; }
  local status=0
  wait "$1" 2>/dev/null || status=$?
  if ((status == 0)); then pass "Pupnik ended with status 0 on SIGTERM"; return 0; fi
  fail "Pupnik ended with status $status on SIGTERM$( ((status > 128)) && echo " (signal $((status - 128)))")"
  return 1
}

# Points the user's folders into the scratch folder; the cloud record and the Codex sessions too.
use_private_home() {
  export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
  export PUPNIK_SUPPORT_DIR=$work/support PUPNIK_NO_CLOUD=1 PUPNIK_CODEX_SESSIONS_DIR=$work/codex
  unset PUPNIK_LANG PUPNIK_CLAUDE_SETTINGS
  mkdir -p "$HOME/.claude" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/Pupnik"
  chmod 700 "$XDG_RUNTIME_DIR"
  defaults=$XDG_CONFIG_HOME/Pupnik/com.ardlow.pupnik.json
}

# Windows of the Pupnik whose process id is in $pupnik_pid, all of them or the shown ones. xdotool
# joins its conditions with "or", so a window is searched by process only and told apart here.
windows() { xdotool search --pid "$pupnik_pid" 2>/dev/null; }
shown_windows() { xdotool search --onlyvisible --pid "$pupnik_pid" 2>/dev/null; }
title_of() { xdotool getwindowname "$1" 2>/dev/null; }
type_of() { xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | sed -n 's/.* = \([A-Z_]*\).*/\1/p'; }
# window_named TITLE [TYPE]: a shown window of ours whose title is exactly TITLE (and whose first
# window type is TYPE, e.g. _NET_WM_WINDOW_TYPE_DIALOG).
window_named() {
  local w
  for w in $(shown_windows); do
    [[ $(title_of "$w") == "$1" ]] || continue
    [[ -z ${2:-} || $(type_of "$w") == "$2" ]] || continue
    echo "$w"
    return 0
  done
  return 1
}
shown_named() { window_named "$@" >/dev/null; }
# The pet: a tool window under the application's name (alerts carry that name too, as dialogs).
pet_window() { window_named Pupnik _NET_WM_WINDOW_TYPE_UTILITY; }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
parent_of() { xwininfo -id "$1" -tree 2>/dev/null | sed -n 's/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p'; }
root_window() { xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p'; }
# The tray icon: a shown window of ours that no window manager manages (no WM_STATE) and yet has
# a parent other than the root, which only a tray gives it.
tray_window() {
  local w parent root
  root=$(root_window)
  for w in $(windows); do
    viewable "$w" || continue
    xprop -id "$w" WM_STATE 2>/dev/null | grep -q 'window state' && continue
    parent=$(parent_of "$w")
    [[ -n $parent && $parent != "$root" ]] || continue
    echo "$w"
    return 0
  done
  return 1
}
embedded() { tray_window >/dev/null; }
# An open menu: a shown override-redirect window of ours, taller than a row (which the tray icon and
# a tooltip are not). Qt marks it with no menu type.
menu_window() {
  local w info height
  for w in $(shown_windows); do
    info=$(xwininfo -id "$w" 2>/dev/null)
    [[ $info == *'Override Redirect State: yes'* ]] || continue
    height=$(sed -n 's/.*Height: \([0-9]*\).*/\1/p' <<<"$info")
    ((height > 100)) && { echo "$w"; return 0; }
  done
  return 1
}
menu_open() { menu_window >/dev/null; }
menu_closed() { ! menu_open; }
# An alert: a dialog of ours under the application's name.
alert_window() { window_named Pupnik _NET_WM_WINDOW_TYPE_DIALOG; }
alert_shown() { alert_window >/dev/null; }
no_alert() { ! alert_shown; }

# Opens the tray icon's menu with a click.
open_menu() {
  local w x y
  w=$(tray_window) || return 1
  read -r x y < <(xdotool getwindowgeometry "$w" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
  # A click that lands while an alert goes away may be lost: a few tries, each bounded.
  for _ in 1 2 3; do
    xdotool mousemove $((x + 8)) $((y + 8)) click 1
    wait_for 4 menu_open && return 0
  done
  return 1
}
# keys KEY...: one key at a time, each after the menu took the last.
keys() {
  local key
  for key in "$@"; do
    xdotool key "$key"
    sleep 0.15
  done
}
