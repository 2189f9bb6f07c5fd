# Shared by the desktop test scripts (sourced; they run inside scripts/with-desktop.sh): a scratch
# folder removed at the end with every process the script started, failure bookkeeping, bounded
# waits, and how Pupnik's windows are told apart (pet, tray icon, open menu, alert).
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
# wait_for SECONDS COMMAND...: polls every 20 ms until the command succeeds or the time is up.
wait_for() {
  local deadline=$(($(date +%s%N) + $1 * 1000000000))
  shift
  until "$@"; do
    (($(date +%s%N) > deadline)) && return 1
    sleep 0.02
  done
}
milliseconds() { echo $(($(date +%s%N) / 1000000)); }

# Windows of the Pupnik whose process id is in $pupnik_pid.
windows() { xdotool search --pid "$pupnik_pid" 2>/dev/null; }
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
# An open menu: a viewable override-redirect window of ours, taller than a row.
menu_window() {
  local w height
  for w in $(windows); do
    xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' || continue
    viewable "$w" || continue
    height=$(xwininfo -id "$w" | sed -n 's/.*Height: \([0-9]*\).*/\1/p')
    ((height > 100)) && { echo "$w"; return 0; }
  done
  return 1
}
menu_open() { menu_window >/dev/null; }
menu_closed() { ! menu_open; }
# An alert: a dialog of ours under the application's name.
alert_window() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$pupnik_pid" --name '^Pupnik$' 2>/dev/null); do
    xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG && { echo "$w"; return 0; }
  done
  return 1
}
alert_shown() { alert_window >/dev/null; }
no_alert() { ! alert_shown; }
