#!/usr/bin/env bash
# Runs a command on a desktop of its own: a fresh Xvfb on a free display number with the icewm
# window manager, both stopped afterwards. The command's exit status is the script's.
set -u
folder=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$folder/display" 2>"$folder/xvfb.log" &
server=$!
for _ in $(seq 200); do [[ -s "$folder/display" ]] && break; sleep 0.05; done
if [[ ! -s "$folder/display" ]]; then
  echo "with-desktop: Xvfb did not start" >&2
  cat "$folder/xvfb.log" >&2
  kill "$server" 2>/dev/null
  rm -rf "$folder"
  exit 1
fi
export DISPLAY=":$(cat "$folder/display")"
export QT_QPA_PLATFORM=xcb
icewm >"$folder/icewm.log" 2>&1 &
manager=$!
# The window manager announces itself on the root window; without xprop, give it a moment.
if command -v xprop >/dev/null; then
  for _ in $(seq 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.05
  done
else
  sleep 2
fi
"$@"
status=$?
kill "$manager" "$server" 2>/dev/null
wait "$manager" "$server" 2>/dev/null
rm -rf "$folder"
exit "$status"
