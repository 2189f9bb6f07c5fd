#!/usr/bin/env bash
# Runs a command on a desktop of its own: a fresh Xvfb on a free display number with the icewm
# window manager and its tray, both stopped afterwards. The command starts only once the window
# manager runs and its tray is shown; the command's exit status is the script's.
set -u
folder=$(mktemp -d)
server=
manager=
stop() {
  [[ -n $manager ]] && kill "$manager" 2>/dev/null
  [[ -n $server ]] && kill "$server" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$folder"
}
give_up() {
  echo "with-desktop: $1" >&2
  local log
  for log in "$folder"/*.log; do [[ -s $log ]] && { echo "--- $log" >&2; cat "$log" >&2; }; done
  stop
  exit 1
}
# within SECONDS COMMAND...: polls until the command succeeds or the time is up.
within() {
  local deadline=$(($(date +%s) + $1))
  shift
  until "$@"; do
    (($(date +%s) > deadline)) && return 1
    sleep 0.05
  done
}
for tool in Xvfb icewm xprop xwininfo; do
  command -v "$tool" >/dev/null || give_up "$tool is missing (bash scripts/install-deps.sh test installs it)"
done

# A display number of its own, drawn at random: the lowest free number, which Xvfb -displayfd would
# take, is the one a server that is just ending still holds, and such a server was seen to remove
# the socket file of the next one on that number.
serving() { kill -0 "$server" 2>/dev/null || give_up "Xvfb ended"; }
alive() { kill -0 "$server" 2>/dev/null; }
settled() { ! alive || xprop -root >/dev/null 2>&1; }
# -noreset: an X server resets itself whenever its last client leaves, and a client that connects
# meanwhile can be turned away; the readiness probe below is such a last client, and icewm was seen
# to find no display right after it.
for attempt in 1 2 3 4 5 6 7 8; do
  number=$((RANDOM % 9000 + 1000))
  [[ -e /tmp/.X$number-lock || -e /tmp/.X11-unix/X$number ]] && continue
  Xvfb ":$number" -screen 0 1280x800x24 -nolisten tcp -noreset 2>"$folder/xvfb.log" &
  server=$!
  export DISPLAY=":$number"
  within 30 settled && alive && break
  # Taken meanwhile by another server, or not started: try another number.
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
  server=
done
[[ -n $server ]] || give_up "Xvfb did not start"
export QT_QPA_PLATFORM=xcb

# The window manager with no configuration of the user's, so that its tray is always there.
mkdir -p "$folder/icewm"
ICEWM_PRIVCFG=$folder/icewm icewm >"$folder/icewm.log" 2>&1 &
manager=$!
# It announces itself on the root window; its tray takes the selection that tray icons look for
# through a window of its own, "YXTrayProxy".
manages() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
tray_owned() { xwininfo -root -tree 2>/dev/null | grep -q '"YXTrayProxy"'; }
running() { serving && { kill -0 "$manager" 2>/dev/null || give_up "icewm ended"; }; }
ready() { running && manages && tray_owned; }
within 30 ready || give_up "icewm did not show its tray"

"$@"
status=$?
stop
exit "$status"
