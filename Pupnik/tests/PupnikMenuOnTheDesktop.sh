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

"$pupnik" 2>"$work/pupnik.log" &
pupnik_pid=$!
pids+=("$pupnik_pid")

# 1. First run: the welcome window and the tray icon.
welcome=$(text_of en onboarding.title)
if wait_for 20 shown_named "$welcome"; then pass "the welcome window \"$welcome\" is shown"; else fail "no welcome window"; fi
if wait_for 20 embedded; then
  pass "the tray icon $(tray_window) is embedded in the tray"
else
  fail "no tray icon in the tray (windows: $(windows | tr '\n' ' '))"
fi
grep -q "offers no system tray" "$work/pupnik.log" && fail "Pupnik says there is no tray"

# 2. A click on the icon opens the menu; a language chosen in its language list is saved and
# reaches the open welcome window at once.
if open_menu; then pass "the menu opens from the tray"; else fail "the menu did not open"; fi
keys Down Down Down Down Down Down Down Right Down Down Down Down Return
wait_for 10 menu_closed || fail "the menu stayed open after choosing a language"
chosen() { [[ -n $(saved pet.language) ]]; }
title=$welcome
code=en
if wait_for 10 chosen; then
  code=$(saved pet.language | tr -d '"')
  title=$(text_of "$code" onboarding.title)
  if wait_for 10 shown_named "$title"; then pass "language $code chosen: the welcome window reads \"$title\""; else fail "after choosing $code the welcome window is not \"$title\""; fi
else
  fail "no language was saved"
fi

# 3. Connect from the welcome window: the hooks go into the settings file and the self-test passes.
window=$(window_named "$title")
timeout 10 xdotool windowactivate --sync "$window" 2>/dev/null
xdotool key Return
connected() { grep -q 'pupnik-agent' "$claude" && grep -q '"model"' "$claude"; }
if wait_for 60 connected; then pass "connect installed the hooks"; else fail "the settings file after connect: $(cat "$claude")"; fi
selftest_seen() { grep -qs '"ev":"selftest"' "$PUPNIK_SUPPORT_DIR"/events.jsonl*; }
if wait_for 60 selftest_seen; then pass "the self-test line reached the event file"; else fail "no self-test line in $PUPNIK_SUPPORT_DIR"; fi
if wait_for 20 alert_shown; then pass "connect told its outcome"; else fail "connect showed no alert"; fi
dismiss_alert || fail "the connect alert did not go"

# 4. A working session with usage figures, through the hooks just installed; the menu then shows
# its status line and bars (seen in the screenshots). The second choice pins the pet, and that is saved.
agent=$PUPNIK_SUPPORT_DIR/bin/pupnik-agent
printf '%s' '{"session_id":"menu-1","cwd":"/tmp","hook_event_name":"UserPromptSubmit"}' | "$agent" hook UserPromptSubmit
printf '%s' '{"session_id":"menu-1","cwd":"/tmp","rate_limits":{"five_hour":{"used_percentage":42},"seven_day":{"used_percentage":81}}}' \
  | "$agent" statusline >/dev/null
sleep 1
open_menu || fail "the menu did not open in $code"
screenshot "menu-$code"
before=$(saved pet.pinned)
keys Down Down Return
wait_for 10 menu_closed || fail "the menu stayed open after a choice"
flipped() { [[ -n $(saved pet.pinned) && $(saved pet.pinned) != "${before:-false}" ]]; }
if wait_for 10 flipped; then pass "pinning saved pet.pinned=$(saved pet.pinned) (was ${before:-unset})"; else fail "pet.pinned is $(saved pet.pinned), was ${before:-unset}"; fi

# 5. The first row of the language list follows the system again, which forgets the choice.
open_menu || fail "the menu did not open for the language list"
keys Down Down Down Down Down Down Down Right Return
wait_for 10 menu_closed || fail "the menu stayed open after following the system"
forgotten() { [[ -z $(saved pet.language) ]]; }
if wait_for 10 forgotten; then pass "following the system again forgot $code"; else fail "pet.language is still $(saved pet.language)"; fi
open_menu || fail "the menu did not open in English"
screenshot menu-en
keys Escape
wait_for 10 menu_closed || fail "Escape left the menu open"

# 6. Disconnect from the menu's agents list; the first answer keeps the support folder.
open_menu || fail "the menu did not open for disconnect"
keys Up Up Up Up Up Right Return
# While it asks, the hooks are still in place.
if wait_for 20 alert_shown && connected; then pass "disconnect asks first"; else fail "disconnect asked nothing (settings file: $(cat "$claude"))"; fi
dismiss_alert || fail "the disconnect question did not go"
wait_for 20 alert_shown && dismiss_alert
restored() { [[ $(jq -S -c . "$claude" 2>/dev/null) == "$(jq -S -c . <<<"$original")" ]]; }
if wait_for 20 restored; then pass "disconnect gave the settings file back: $(cat "$claude")"; else fail "after disconnect the settings file is $(cat "$claude")"; fi
# The running application keeps the folder anyway: its data is what shows the choice.
if [[ -x $PUPNIK_SUPPORT_DIR/bin/pupnik-agent && -f $PUPNIK_SUPPORT_DIR/events.jsonl ]]; then
  pass "keeping the data kept the agent tool and the event file"
else
  fail "keeping the data removed it: $(ls -R "$PUPNIK_SUPPORT_DIR" 2>&1 | tr '\n' ' ')"
fi

quit_cleanly "$pupnik_pid"
finish
