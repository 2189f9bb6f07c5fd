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
expect --seen 'cat "$work/xvfb.log"' 30 "Xvfb tells its display" displayed || finish
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
# No session bus: the tray is the window manager's own.
unset DBUS_SESSION_BUS_ADDRESS
use_private_home
export PUPNIK_SKIP_ONBOARDING=1

"$pupnik" 2>"$log" &
pupnik_pid=$!
pids+=("$pupnik_pid")

expect --seen log_tail 30 "the pet shown on a desktop without a tray" pet_window
expect --seen log_tail 20 "Pupnik notes that there is no tray yet" logged "no system tray yet"
expect_never --seen 'windows | tr "\n" " "' 1 "no icon embedded while there is no tray" tray_window

icewm >"$work/icewm.log" 2>&1 &
pids+=($!)
expect --seen 'windows | tr "\n" " "' 30 "the tray icon embedded in the tray that came later" tray_window

quit_cleanly "$pupnik_pid"
finish
