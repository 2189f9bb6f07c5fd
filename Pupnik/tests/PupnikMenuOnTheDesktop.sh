#!/usr/bin/env bash
# The tray menu of the whole application on an X11 desktop whose window manager has a tray (run
# inside scripts/with-desktop.sh): the icon is embedded in the tray, a click on it opens the menu,
# a switch chosen there is saved, a language chosen there reaches the open welcome window, connect
# from that window installs working hooks into the user's agent settings and disconnect from the
# menu gives the file back as it was.
# Usage: PupnikMenuOnTheDesktop.sh <Pupnik> <share folder>
# With PUPNIK_SCREENSHOT_DIR set, the open menu is captured there in both languages.
set -uo pipefail
pupnik=$1
share=$2
source "$(dirname "$0")/DesktopTestSupport.sh"

use_private_home
export LANGUAGE=en LANG=C.UTF-8 LC_ALL=C.UTF-8
unset PUPNIK_SKIP_ONBOARDING
# No session bus: the tray is the window manager's own.
unset DBUS_SESSION_BUS_ADDRESS
claude=$HOME/.claude/settings.json
printf '%s\n' '{"model":"opus","hooks":{"Stop":[{"hooks":[{"type":"command","command":"~/bin/done.sh"}]}]}}' >"$claude"
original=$(cat "$claude")
# Out of discreet mode the status line tells what the agents do.
printf '%s\n' '{"pet.discreet":false,"pet.sourceProcess":false}' >"$defaults"

# The text of a key in a language's table.
text_of() { jq -r --arg key "$2" '.[$key]' "$share/i18n/$1.json"; }
# A saved setting as JSON, empty when it is not saved.
saved() { jq -c --arg key "$1" 'if .[$key] == null then empty else .[$key] end' "$defaults" 2>/dev/null; }
# Answers the alert in front with its first button; an alert that follows it stays.
dismiss_alert() {
  local w
  w=$(alert_window) || return 1
  timeout 10 xdotool windowactivate --sync "$w" 2>/dev/null
  xdotool key Return
  gone() { ! viewable "$w"; }
  wait_for 10 gone
}
screenshot() {
  [[ -n ${PUPNIK_SCREENSHOT_DIR:-} ]] || return 0
  mkdir -p "$PUPNIK_SCREENSHOT_DIR"
  sleep 0.3
  import -window root "$PUPNIK_SCREENSHOT_DIR/$1.png" && echo "screenshot: $PUPNIK_SCREENSHOT_DIR/$1.png"
}

"$pupnik" 2>"$log" &
pupnik_pid=$!
pids+=("$pupnik_pid")

# 1. First run: the welcome window and the tray icon.
welcome=$(text_of en onboarding.title)
titles() { for w in $(shown_windows); do echo "$w $(title_of "$w")"; done; }
expect --seen titles 30 "the welcome window \"$welcome\" shown" window_named "$welcome"
expect --seen 'windows | tr "\n" " "' 30 "the tray icon embedded in the tray" tray_window
expect_never 0 "a tray found by Pupnik" logged "offers no system tray"

# 2. A click on the icon opens the menu; a language chosen in its language list is saved and
# reaches the open welcome window at once.
expect --seen 'windows | tr "\n" " "' 0 "the menu opens from the tray" open_menu
keys Down Down Down Down Down Down Down Right Down Down Down Down Return
expect --seen menu_window 10 "the menu closed after choosing a language" menu_closed
chosen() { saved pet.language | grep .; }
title=$welcome
code=en
if expect --seen 'cat "$defaults"' 10 "a language saved" chosen; then
  code=$(saved pet.language | tr -d '"')
  title=$(text_of "$code" onboarding.title)
  expect --seen titles 10 "language $code reaching the welcome window: \"$title\"" window_named "$title"
fi

# 3. Connect from the welcome window: the hooks go into the settings file and the self-test passes.
window=$(window_named "$title")
timeout 10 xdotool windowactivate --sync "$window" 2>/dev/null
xdotool key Return
connected() { grep -q 'pupnik-agent' "$claude" && grep -q '"model"' "$claude"; }
expect --seen 'cat "$claude"' 60 "connect installs the hooks beside the user's own settings" connected
selftest_seen() { grep -qs '"ev":"selftest"' "$PUPNIK_SUPPORT_DIR"/events.jsonl*; }
expect --seen 'ls "$PUPNIK_SUPPORT_DIR"' 60 "the self-test line in the event file" selftest_seen
expect --seen titles 30 "connect tells its outcome in an alert" alert_window
expect --seen titles 0 "the connect alert goes when answered" dismiss_alert

# 4. A working session with usage figures, through the hooks just installed; the menu then shows
# its status line and bars (seen in the screenshots). The second choice pins the pet, and that is saved.
agent=$PUPNIK_SUPPORT_DIR/bin/pupnik-agent
printf '%s' '{"session_id":"menu-1","cwd":"/tmp","hook_event_name":"UserPromptSubmit"}' | "$agent" hook UserPromptSubmit
printf '%s' '{"session_id":"menu-1","cwd":"/tmp","rate_limits":{"five_hour":{"used_percentage":42},"seven_day":{"used_percentage":81}}}' \
  | "$agent" statusline >/dev/null
sleep 1
expect --seen 'windows | tr "\n" " "' 0 "the menu opens in $code" open_menu
screenshot "menu-$code"
before=$(saved pet.pinned)
keys Down Down Return
expect --seen menu_window 10 "the menu closed after a choice" menu_closed
flipped() { [[ -n $(saved pet.pinned) && $(saved pet.pinned) != "${before:-false}" ]] && echo "pet.pinned=$(saved pet.pinned) (was ${before:-unset})"; }
expect --seen 'echo "pet.pinned=$(saved pet.pinned) (was ${before:-unset})"' 10 "pinning saved" flipped

# 5. The first row of the language list follows the system again, which forgets the choice.
expect --seen 'windows | tr "\n" " "' 0 "the menu opens for the language list" open_menu
keys Down Down Down Down Down Down Down Right Return
expect --seen menu_window 10 "the menu closed after following the system" menu_closed
forgotten() { [[ -z $(saved pet.language) ]]; }
expect --seen 'echo "pet.language=$(saved pet.language)"' 10 "following the system again forgets $code" forgotten
expect --seen 'windows | tr "\n" " "' 0 "the menu opens in English" open_menu
screenshot menu-en
keys Escape
expect --seen menu_window 10 "Escape closes the menu" menu_closed

# 6. Disconnect from the menu's agents list; the first answer keeps the support folder.
expect --seen 'windows | tr "\n" " "' 0 "the menu opens for disconnect" open_menu
keys Up Up Up Up Up Right Return
# While it asks, the hooks are still in place.
asks() { alert_window && connected; }
expect --seen 'titles; cat "$claude"' 30 "disconnect asks first, the hooks still in place" asks
expect --seen titles 0 "the disconnect question goes when answered" dismiss_alert
wait_for 20 alert_shown && dismiss_alert
restored() { [[ $(jq -S -c . "$claude" 2>/dev/null) == "$(jq -S -c . <<<"$original")" ]]; }
expect --seen 'cat "$claude"' 30 "disconnect gives the settings file back as it was" restored
# The running application keeps the folder anyway: its data is what shows the choice.
kept() { [[ -x $PUPNIK_SUPPORT_DIR/bin/pupnik-agent && -f $PUPNIK_SUPPORT_DIR/events.jsonl ]]; }
expect --seen 'ls -R "$PUPNIK_SUPPORT_DIR"' 10 "keeping the data keeps the agent tool and the event file" kept

quit_cleanly "$pupnik_pid"
finish
