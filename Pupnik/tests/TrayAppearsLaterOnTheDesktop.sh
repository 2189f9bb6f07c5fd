#!/usr/bin/env bash
# A Pupnik started before the panel (a session's autostart may run it first) still gets its tray
# icon: on a desktop of its own with no window manager yet, Pupnik starts and shows its pet; then
# icewm, whose panel has a tray, starts, and the icon must be embedded there.
# Usage: TrayAppearsLaterOnTheDesktop.sh <Pupnik>
set -uo pipefail
pupnik=$1
source "$(dirname "$0")/DesktopTestSupport.sh"

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
displayed() { [[ -s $work/display ]]; }
wait_for 10 displayed || { fail "Xvfb did not start"; exit 1; }
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
# No session bus: the tray is the window manager's own.
unset DBUS_SESSION_BUS_ADDRESS
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
export PUPNIK_SUPPORT_DIR=$work/support PUPNIK_SKIP_ONBOARDING=1 PUPNIK_NO_CLOUD=1 PUPNIK_CODEX_SESSIONS_DIR=$work/codex
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

"$pupnik" 2>"$work/pupnik.log" &
pupnik_pid=$!
pids+=("$pupnik_pid")

pet_shown() { [[ -n $(xdotool search --onlyvisible --pid "$pupnik_pid" --name '^Pupnik$' 2>/dev/null) ]]; }
if wait_for 20 pet_shown; then pass "the pet is shown on a desktop without a tray"; else fail "no pet window"; fi
said_no_tray() { grep -q "no system tray yet" "$work/pupnik.log"; }
if wait_for 10 said_no_tray; then pass "Pupnik noted that there is no tray yet"; else fail "Pupnik did not notice the missing tray"; fi
embedded && fail "an icon is embedded although there is no tray"

icewm >"$work/icewm.log" 2>&1 &
pids+=($!)
if wait_for 30 embedded; then
  pass "the tray icon $(tray_window) is embedded in the tray that came later"
else
  fail "no tray icon after the tray appeared (windows: $(windows | tr '\n' ' '))"
fi

kill -TERM "$pupnik_pid"
ended() { ! kill -0 "$pupnik_pid" 2>/dev/null; }
wait_for 20 ended || fail "Pupnik did not end on SIGTERM"

((failures == 0)) || { echo "$failures check(s) failed" >&2; exit 1; }
echo "all checks passed"
