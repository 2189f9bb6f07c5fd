#!/usr/bin/env bash
# The pet's voice through a real sound server (run inside scripts/with-desktop.sh): a private
# PulseAudio server with a null sink whose monitor is recorded. A permission request from the real
# agent tool changes the mood and the woof reaches the server; with the sink muted the menu's sample
# is skipped, and once unmuted it sounds. Without a server the sample fails and the pet carries on.
# Usage: SoundsOnTheDesktop.sh <Pupnik> <pupnik-agent>
set -uo pipefail
pupnik=$1
agent=$2
source "$(dirname "$0")/DesktopTestSupport.sh"

use_private_home
export PUPNIK_SKIP_ONBOARDING=1 PUPNIK_DEBUG_FRAME_FILE=$work/frame
printf '{"pet.sounds": true}\n' >"$defaults"

# The server: its own socket, no autospawn, no other client of the machine's.
sound=$work/sound
mkdir -p "$sound"
export PULSE_SERVER=unix:$sound/native PULSE_RUNTIME_PATH=$sound PULSE_STATE_PATH=$sound
export PULSE_CLIENTCONFIG=$sound/client.conf
printf 'autospawn = no\n' >"$PULSE_CLIENTCONFIG"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
  -L "module-null-sink sink_name=pupnik_test rate=44100 channels=1" \
  -L "module-native-protocol-unix socket=$sound/native auth-anonymous=1" 2>"$work/pulseaudio.log" &
pids+=($!)
server_up() { pactl info >/dev/null 2>&1; }
expect --seen 'cat "$work/pulseaudio.log"' 20 "a private sound server at $PULSE_SERVER" server_up || finish
pactl set-default-sink pupnik_test

# Everything the sink plays, as 16-bit mono samples.
recording=$work/recording.raw
parec -d pupnik_test.monitor --raw --format=s16le --rate=44100 --channels=1 >"$recording" 2>"$work/parec.log" &
pids+=($!)
recording_runs() { [[ -s $recording ]]; }
# Silence still flows through the monitor; a recording that grows shows that parec is attached.
expect --seen 'cat "$work/parec.log"' 20 "parec records the sink" recording_runs
# Samples louder than -24 dBFS in 16-bit samples on standard input.
count_loud() { od -An -v -td2 -w2 | awk '$1 > 2000 || $1 < -2000 { n++ } END { print n + 0 }'; }
loud_samples() { tail -c +$(($1 + 1)) "$recording" | count_loud; }
# The woof as it is in its file (44 header bytes, 16-bit mono at the sink's rate): the sink must hear
# nearly all of it, so a player that cuts the start or the end of a short sound is caught.
woof=$(dirname "$pupnik")/../share/pupnik/sounds/woof.wav
woof_loud=$(tail -c +45 "$woof" | count_loud)
loud_woof() { ((woof_loud > 1000)); }
expect --seen 'echo "$woof_loud loud samples"' 0 "the woof in $woof loud" loud_woof
sounded_after() { (($(loud_samples "$1") * 10 >= woof_loud * 9)); }
# Whole samples only, so that a count never starts in the middle of one.
recorded() { echo $(($(stat -c %s "$recording") / 2 * 2)); }

"$pupnik" 2>"$log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
expect --seen log_tail 30 "Pupnik ends its launch" started
heard_seen() { echo "$(loud_samples "$start") loud samples of the woof's $woof_loud"; }

# 1. Until the mood changes, the pet is quiet.
start=$(recorded)
expect_never --seen heard_seen 2 "no sound before the mood changes" sounded_after "$start"

# 2. A permission request makes the pet wait for the user: a woof, heard at the sink.
start=$(recorded)
printf '%s' '{"session_id":"sound-1","cwd":"/tmp","tool_name":"Bash","tool_input":{"command":"ls"}}' \
  | "$agent" hook PermissionRequest >/dev/null 2>&1 &
pids+=($!)
# A start that the server confirms late (a loaded machine, the sanitizers) is logged as failed even
# though it plays: the cue is what is checked here, the sink below says whether it was heard.
expect --seen 'grep "sound: " "$log"' 20 "the mood change cues the woof" logged_like "sound: normal → poop (played|failed)\(woof\)"
# A busy machine can cut a sound short at the sink (seen: a quarter of the woof with four desktop
# checks and a build beside it): here the woof must be heard; its whole length once, below.
heard_some_after() { (($(loud_samples "$1") * 10 >= woof_loud)); }
wait_for 10 sounded_after "$start"
woof_heard=$(loud_samples "$start")
expect --seen heard_seen 0 "the sink hears the woof" heard_some_after "$start"

# 3. The menu's sample: skipped while the output is muted, heard once it is not. The player keeps
# the server's answer a few seconds, so each change is given time to be seen.
preview() {
  expect --seen 'windows | tr "\n" " "' 0 "the menu opens for the sample" open_menu || return 1
  keys Down Down Down Down Down Right Down Return
  expect --seen menu_window 10 "the menu closed after the sample" menu_closed
}
# The answer is renewed in the background and a busy machine may not give the fresh one in time, so
# the sample is asked for again (a few seconds apart) until it is.
lines_of() { grep -cF "$1" "$work/pupnik.log"; }
more_than() { (($(lines_of "$1") > $2)); }
# preview_until TEXT: the sample, asked for until TEXT is logged once more; at most five times.
preview_until() {
  local before
  before=$(lines_of "$1")
  for _ in 1 2 3 4 5; do
    start=$(recorded)
    preview
    wait_for 3 more_than "$1" "$before" && return 0
  done
  return 1
}
pactl set-sink-mute pupnik_test 1
sleep 6
expect --seen 'grep "sound: preview" "$log"' 0 "muted: the sample skipped" preview_until "sound: preview skipped(muted)"
pactl set-sink-mute pupnik_test 0
sleep 6
expect --seen 'grep "sound: preview" "$log"' 0 "unmuted: the sample played" preview_until "sound: preview played(woof)"
# Here it is enough that the sample is heard at all, which a busy machine can cut short at the sink.
heard_after() { (($(loud_samples "$1") * 2 >= woof_loud)); }
expect --seen heard_seen 10 "the sample reaches the sink" heard_after "$start"
# The whole woof, from the mood change or from the menu: a player that cuts the start or the end of a
# short sound is caught here.
wait_for 10 sounded_after "$start"
sample_heard=$(loud_samples "$start")
whole_woof() { ((woof_heard * 10 >= woof_loud * 9 || sample_heard * 10 >= woof_loud * 9)); }
expect --seen 'echo "$woof_heard, then $sample_heard loud samples of $woof_loud"' 0 "the whole woof heard once" whole_woof

# 4. Without a sound server the sample fails, the reason is said once, and the pet carries on.
quit_cleanly "$pupnik_pid"
PULSE_SERVER=unix:$work/no-server "$pupnik" 2>"$log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
expect --seen log_tail 30 "Pupnik starts without a sound server" started
preview
expect --seen 'grep "sound: " "$log"' 10 "without a server the sample fails" logged "sound: preview failed(woof)"
sleep 0.5
preview
failures_said() { (($(grep -c 'sound: preview failed(woof)' "$log") == 2)); }
expect --seen 'grep "sound: " "$log"' 10 "without a server the second sample fails too" failures_said
reason_once() { (($(grep -c 'woof.wav could not be played' "$log") == 1)) && grep 'could not be played' "$log"; }
expect --seen 'grep "could not be played" "$log"' 0 "without a server the reason said once" reason_once

finish
