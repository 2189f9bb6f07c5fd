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
if ! "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAILED: cmake --install" >&2
  exit 1
fi
[[ -x $pupnik ]] || fail "no installed program at $pupnik"
[[ -x $prefix/libexec/pupnik/pupnik-agent ]] || fail "no installed agent tool in $prefix/libexec/pupnik"
[[ -f $prefix/share/pupnik/i18n/en.json ]] || fail "no installed resources in $prefix/share/pupnik"
names_program "$prefix/share/applications/pupnik.desktop" || fail "the installed desktop entry does not name $pupnik"
((failures == 0)) || exit 1
pass "installed under $prefix"

use_private_home
export PUPNIK_SKIP_ONBOARDING=1 LANGUAGE=en LANG=C.UTF-8 LC_ALL=C.UTF-8 PUPNIK_DEBUG_FRAME_FILE=$work/frame
# No session bus: the tray is the window manager's own.
unset DBUS_SESSION_BUS_ADDRESS
entry=$XDG_CONFIG_HOME/autostart/pupnik.desktop

# From the bottom of the menu: quit, about, feedback, sync, agents, then Start at Login.
choose_login_row() {
  open_menu || { fail "the menu did not open"; return 1; }
  keys Up Up Up Up Up Up Return
  wait_for 10 menu_closed || fail "the menu stayed open after choosing Start at Login"
}

"$pupnik" 2>"$work/pupnik.log" &
pupnik_pid=$!
pids+=("$pupnik_pid")

if wait_for 20 embedded; then pass "the installed program's tray icon is embedded"; else fail "no tray icon in the tray"; fi
grep -q "offers no system tray" "$work/pupnik.log" && fail "Pupnik says there is no tray"
# The installed program draws from its own share folder: no placeholder frames.
grep -qE "no sprite directory|using placeholders|missing frame" "$work/pupnik.log" && fail "the installed program did not find its sprites"

# 2. Start at Login on: the entry appears and starts the installed program.
choose_login_row
written() { [[ -f $entry ]]; }
if wait_for 15 written; then
  exec_line=$(grep -m1 '^Exec=' "$entry")
  if names_program "$entry"; then pass "the autostart entry starts the installed program ($exec_line)"; else fail "the autostart entry's Exec line is \"$exec_line\""; fi
else
  fail "no autostart entry at $entry"
fi
never_within 1 alert_shown || fail "Start at Login showed an alert"

# 3. Start at Login off: the entry goes.
choose_login_row
removed() { [[ ! -e $entry ]]; }
if wait_for 15 removed; then pass "choosing Start at Login again removed the entry"; else fail "the autostart entry is still there: $(cat "$entry")"; fi
never_within 1 alert_shown || fail "Start at Login showed an alert"

# 4. xdg-open on this desktop, which it does not recognise, opens a link through the installed entry
# (found under the prefix, as the user's default for the scheme); the later start it runs hands the
# link to the running pet.
clip_is() { [[ $(sed -n 's/.* clip=\([a-z]*\).*/\1/p' "$work/frame" 2>/dev/null) == "$1" ]]; }
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
open_menu || fail "the menu did not open for connect"
keys Up Up Up Up Up Right Return
connected() { grep -qs 'pupnik-agent' "$HOME/.claude/settings.json"; }
if wait_for 60 connected; then pass "connect installed the hooks"; else fail "no hooks after connect: $(cat "$HOME/.claude/settings.json" 2>&1)"; fi
copied() { cmp -s "$prefix/libexec/pupnik/pupnik-agent" "$PUPNIK_SUPPORT_DIR/bin/pupnik-agent"; }
if wait_for 20 copied; then pass "the hooks run the installed agent tool"; else fail "$PUPNIK_SUPPORT_DIR/bin/pupnik-agent is not the installed agent tool"; fi
if wait_for 60 alert_shown; then pass "connect told its outcome"; else fail "connect showed no alert"; fi

quit_cleanly "$pupnik_pid"
finish
