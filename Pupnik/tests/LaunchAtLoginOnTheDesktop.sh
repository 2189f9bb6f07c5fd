#!/usr/bin/env bash
# Start at Login and "pupnik:" links through an installed copy on an X11 desktop whose window manager
# has a tray (run inside scripts/with-desktop.sh): the build tree is installed under a temporary
# prefix, the installed program runs from there, and choosing the menu row writes the user's
# autostart entry naming that program; choosing it again removes the entry. The real xdg-open, on a
# desktop it does not know, opens a link through the installed entry and reaches the running pet.
# Usage: LaunchAtLoginOnTheDesktop.sh <cmake> <build folder>
set -uo pipefail
cmake=$1
build=$2
source "$(dirname "$0")/DesktopTestSupport.sh"

# 1. An installed copy: program, agent tool, resources and the desktop's entry, all under the prefix.
# names_program FILE: the desktop entry's Exec line starts the installed program, unquoted: the
# scratch path holds no character the Exec key reserves, and xdg-open would take quotes for a name.
names_program() {
  local command
  command=$(grep -m1 '^Exec=' "$1" 2>/dev/null) || return 1
  command=${command#Exec=}
  [[ $command == "$pupnik" || $command == "$pupnik "* ]]
}
prefix=$work/prefix
pupnik=$prefix/bin/Pupnik
installs() { "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; }
expect --seen 'tail -n 5 "$work/install.log"' 0 "cmake --install installs under $prefix" installs || finish
# What is installed is settled once cmake --install has ended: each is looked at once.
expect --seen 'ls "$prefix/bin"' 0 "the installed program at $pupnik" test -x "$pupnik"
expect --seen 'ls -R "$prefix/libexec"' 0 "the installed agent tool in $prefix/libexec/pupnik" test -x "$prefix/libexec/pupnik/pupnik-agent"
expect --seen 'ls "$prefix/share/pupnik"' 0 "the installed resources in $prefix/share/pupnik" test -f "$prefix/share/pupnik/i18n/en.json"
expect --seen 'grep "^Exec=" "$prefix/share/applications/pupnik.desktop"' 0 "the installed desktop entry names $pupnik" \
  names_program "$prefix/share/applications/pupnik.desktop"
((failures == 0)) || finish

use_private_home
export PUPNIK_SKIP_ONBOARDING=1 LANGUAGE=en LANG=C.UTF-8 LC_ALL=C.UTF-8 PUPNIK_DEBUG_FRAME_FILE=$work/frame
# No session bus: the tray is the window manager's own.
unset DBUS_SESSION_BUS_ADDRESS
entry=$XDG_CONFIG_HOME/autostart/pupnik.desktop

# From the bottom of the menu: quit, about, feedback, sync, agents, then Start at Login.
choose_login_row() {
  expect --seen 'windows | tr "\n" " "' 0 "the menu opens from the tray" open_menu || return 1
  keys Up Up Up Up Up Up Return
  expect --seen menu_window 10 "the menu closed after choosing Start at Login" menu_closed
}

"$pupnik" 2>"$log" &
pupnik_pid=$!
pids+=("$pupnik_pid")

expect --seen 'windows | tr "\n" " "' 30 "the installed program's tray icon embedded" tray_window
expect --seen log_tail 30 "the installed program ends its launch" started
expect_never 0 "Pupnik to find a tray" logged "offers no system tray"
# The installed program draws from its own share folder: no placeholder frames.
expect_never 1 "the installed program to find its sprites" logged_like "no sprite directory|using placeholders|missing frame"

# 2. Start at Login on: the entry appears and starts the installed program.
choose_login_row
written() { [[ -f $entry ]]; }
expect --seen 'ls "${entry%/*}"' 15 "the autostart entry at $entry" written &&
  expect --seen 'grep "^Exec=" "$entry"' 0 "the autostart entry starts the installed program" names_program "$entry"
expect_never --seen 'title_of "$(alert_window)"' 1 "Start at Login to show no alert" alert_window

# 3. Start at Login off: the entry goes.
choose_login_row
removed() { [[ ! -e $entry ]]; }
expect --seen 'cat "$entry"' 15 "choosing Start at Login again removes the entry" removed
expect_never --seen 'title_of "$(alert_window)"' 1 "Start at Login off to show no alert" alert_window

# 4. xdg-open on this desktop, which it does not recognise, opens a link through the installed entry
# (found under the prefix, as the user's default for the scheme); the later start it runs hands the
# link to the running pet.
open_link() { timeout 60 xdg-open pupnik://demo/sick >"$work/xdg-open.log" 2>&1 && cat "$work/xdg-open.log"; }
if expect 0 "xdg-open and xdg-mime (xdg-utils)" command -v xdg-open xdg-mime; then
  export XDG_DATA_DIRS=$prefix/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}
  unset XDG_CURRENT_DESKTOP DESKTOP_SESSION
  xdg-mime default pupnik.desktop x-scheme-handler/pupnik
  expect 0 "the installed entry as the default for pupnik: links" test "$(xdg-mime query default x-scheme-handler/pupnik)" = pupnik.desktop
  expect --seen 'cat "$work/xdg-open.log"' 0 "xdg-open pupnik://demo/sick to succeed" open_link \
    && expect --seen 'cat "$work/frame"' 30 "the running pet to play the link's clip" clip_is sick
fi

# 5. Connect from the agents list: the installed program finds its own agent tool and installs it.
expect --seen 'windows | tr "\n" " "' 0 "the menu opens for connect" open_menu
keys Up Up Up Up Up Right Return
connected() { grep -qs 'pupnik-agent' "$HOME/.claude/settings.json"; }
expect --seen 'cat "$HOME/.claude/settings.json"' 60 "connect installs the hooks" connected
copied() { cmp -s "$prefix/libexec/pupnik/pupnik-agent" "$PUPNIK_SUPPORT_DIR/bin/pupnik-agent"; }
expect --seen 'ls -l "$PUPNIK_SUPPORT_DIR/bin"' 20 "the hooks run the installed agent tool" copied
expect --seen log_tail 60 "connect tells its outcome in an alert" alert_window

quit_cleanly "$pupnik_pid"
finish
