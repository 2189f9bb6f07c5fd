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
# wait_for SECONDS COMMAND...: polls every 20 ms until the command succeeds or the time is up; for
# the steps of an action that tries again. What a check asserts goes through expect.
wait_for() {
  local deadline=$(($(date +%s%N) + $(nanoseconds "$1")))
  shift
  until "$@"; do
    (($(date +%s%N) > deadline)) && return 1
    sleep 0.02
  done
}
# never_within SECONDS COMMAND...: succeeds when the command fails at every poll for that long.
never_within() {
  local deadline=$(($(date +%s%N) + $(nanoseconds "$1")))
  shift
  while (($(date +%s%N) <= deadline)); do
    "$@" && return 1
    sleep 0.05
  done
  return 0
}
# nanoseconds SECONDS: whole or with a fraction ("0.5").
nanoseconds() {
  local whole=${1%%.*} fraction=
  [[ $1 == *.* ]] && fraction=${1#*.}
  fraction=${fraction}000000000
  echo $((10#${whole:-0} * 1000000000 + 10#${fraction:0:9}))
}

# expect [--seen SHELL] SECONDS WHAT COMMAND...: every assertion of a desktop check. The command is
# tried every 20 ms (in this shell, so what it sets stays set) until it succeeds, then "ok: WHAT"
# with the time it took and what the command printed. When SECONDS pass without that, the check
# fails naming WHAT and what was last seen: the SHELL text evaluated then, else what the command
# printed at its last try. Its status is the command's, for a check that cannot go on without it.
# With SECONDS 0 the command is tried once, for what is settled already (a finished process's output).
expect() {
  local _seen=
  [[ $1 == --seen ]] && { _seen=$2; shift 2; }
  local _bound=$1 _what=$2
  shift 2
  local _began _deadline _out=$work/.expect.out
  _began=$(date +%s%N)
  _deadline=$((_began + $(nanoseconds "$_bound")))
  until "$@" >"$_out" 2>&1; do
    if (($(date +%s%N) > _deadline)); then
      [[ -n $_seen ]] && eval "$_seen" >"$_out" 2>&1
      fail "expected $_what; gave up after ${_bound} s; last seen: $(shown_text "$_out")"
      return 1
    fi
    sleep 0.02
  done
  pass "$_what ($((($(date +%s%N) - _began) / 1000000)) ms)$([[ -s $_out ]] && echo ": $(shown_text "$_out")")"
}
# expect_never [--seen SHELL] SECONDS WHAT COMMAND...: for what must not happen, which no event marks
# as settled: the command must fail at every try for SECONDS. When it succeeds the check fails naming
# WHAT and what was seen then (the SHELL text, else the command's output).
expect_never() {
  local _seen=
  [[ $1 == --seen ]] && { _seen=$2; shift 2; }
  local _bound=$1 _what=$2
  shift 2
  local _began _deadline _out=$work/.expect.out
  _began=$(date +%s%N)
  _deadline=$((_began + $(nanoseconds "$_bound")))
  while :; do
    if "$@" >"$_out" 2>&1; then
      [[ -n $_seen ]] && eval "$_seen" >"$_out" 2>&1
      fail "expected $_what; but after $((($(date +%s%N) - _began) / 1000000)) ms this was seen: $(shown_text "$_out")"
      return 1
    fi
    (($(date +%s%N) > _deadline)) && break
    sleep 0.05
  done
  pass "$_what (for ${_bound} s)"
}
# A captured output on one line, cut short: what a verdict quotes.
shown_text() {
  local text
  text=$(awk 'NR > 1 { printf " | " } { printf "%s", $0 }' "$1")
  [[ -n $text ]] || text="(nothing)"
  ((${#text} > 400)) && text="${text:0:400}..."
  printf '%s' "$text"
}
milliseconds() { echo $(($(date +%s%N) / 1000000)); }
alive() { kill -0 "$1" 2>/dev/null; }
dead() { ! kill -0 "$1" 2>/dev/null; }
# quit_cleanly PID [SECONDS]: SIGTERM to a Pupnik this script started; it must end within the time
# (20 s) with status 0. A crash on the way out is a failure too, which nothing else would notice.
quit_cleanly() {
  kill -TERM "$1"
  expect "${2:-20}" "Pupnik ends on SIGTERM" dead "$1" || return 1
  local status=0
  wait "$1" 2>/dev/null || status=$?
  expect --seen 'echo "status $status$( ((status > 128)) && echo " (signal $((status - 128)))")"' 0 \
    "Pupnik's status 0 after SIGTERM" test "$status" -eq 0
}

# Pupnik's log, unless a script names another.
log=$work/pupnik.log
# logged TEXT [LOG]: the log holds TEXT (as it stands), printed; logged_like takes an extended regex.
logged() { grep -m1 -F -- "$1" "${2:-$log}" 2>/dev/null; }
logged_like() { grep -m1 -E -- "$1" "${2:-$log}" 2>/dev/null; }
# The log's last lines, for a verdict to show.
log_tail() { tail -n "${2:-3}" "${1:-$log}" 2>/dev/null; }
# hook EVENT JSON: a hook event as the coding agent sends it, through the agent tool in $agent.
hook() { printf '%s' "$2" | "$agent" hook "$1"; }

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
# The pet: a tool window under the application's name (alerts carry that name too, as dialogs).
pet_window() { window_named Pupnik _NET_WM_WINDOW_TYPE_UTILITY; }
# Launch has ended: the pet is shown, has told where it stands (with PUPNIK_DEBUG_FRAME_FILE) and
# the log [LOG] says the agents' sources are looked at.
started() {
  pet_window && [[ -z ${PUPNIK_DEBUG_FRAME_FILE:-} || -s $PUPNIK_DEBUG_FRAME_FILE ]] && grep -q 'codex: ' "${1:-$log}" 2>/dev/null
}
# The clip the pet shows, from the frame file it keeps for checks ("x,y,w,h ... clip=NAME").
clip() { sed -n 's/.* clip=\([a-z]*\).*/\1/p' "$PUPNIK_DEBUG_FRAME_FILE" 2>/dev/null; }
clip_is() { [[ $(clip) == "$1" ]]; }
# The pet's "x y w h" on the screen; the pet walks, so it is clicked where the frame file says it is now.
pet_box() { cut -d' ' -f1 "$PUPNIK_DEBUG_FRAME_FILE" 2>/dev/null | tr , ' '; }
click_pet() {
  local x y w h
  read -r x y w h < <(pet_box)
  [[ -n $h ]] || return 1
  xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
}
# The active window as a decimal id, as xdotool gives window ids.
active_window() { printf '%d' "$(xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | sed -n 's/.*# \(0x[0-9a-f]*\).*/\1/p')" 2>/dev/null; }
is_active() { [[ $(active_window) == "$1" ]]; }
# Prints "x y width height" of a window on the screen.
window_box() {
  xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
# The approval popover: a shown window of ours other than the pet, 460 pixels wide.
popover_window() {
  local id pet
  pet=$(pet_window)
  for id in $(shown_windows); do
    [[ $id == "$pet" ]] && continue
    [[ $(xwininfo -id "$id" 2>/dev/null | sed -n 's/.*Width: *\([0-9]*\).*/\1/p') == 460 ]] && { echo "$id"; return 0; }
  done
  return 1
}
popover_shown() { popover_window; }
popover_gone() { ! popover_window >/dev/null; }
# Clicks the pet until the popover shows, whose window goes to $popover; the pet may take a step
# between a look and the click.
open_popover() {
  local attempt
  popover=
  for attempt in 1 2 3 4 5; do
    click_pet
    wait_for 3 popover_shown >/dev/null && break
  done
  popover=$(popover_window) || { popover=; return 1; }
  # The buttons ignore presses for half a second after the popover appears.
  sleep 0.6
  echo "$popover ($(window_box "$popover"))"
}
# Permission requests waiting in the mailbox, one file each.
request_files() { find "$PUPNIK_SUPPORT_DIR/approvals" -maxdepth 1 -name '*.json' ! -name '.*' 2>/dev/null; }
request_count() { request_files | wc -l; }
has_requests() { (($(request_count) == ${1:-1})); }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
parent_of() { xwininfo -id "$1" -tree 2>/dev/null | sed -n 's/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p'; }
root_window() { xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p'; }
# The tray icon: a shown window of ours that offers itself for embedding (_XEMBED_INFO), that no
# window manager manages (no WM_STATE) and yet has a parent other than the root, which only a tray
# gives it. A window the window manager is just taking in has a frame for a parent before it has its
# WM_STATE, which is why the embedding is asked for as well.
tray_window() {
  local w parent root
  root=$(root_window)
  for w in $(windows); do
    viewable "$w" || continue
    xprop -id "$w" _XEMBED_INFO 2>/dev/null | grep -q ' = ' || continue
    xprop -id "$w" WM_STATE 2>/dev/null | grep -q 'window state' && continue
    parent=$(parent_of "$w")
    [[ -n $parent && $parent != "$root" ]] || continue
    echo "$w"
    return 0
  done
  return 1
}
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
