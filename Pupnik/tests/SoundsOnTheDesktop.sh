#!/usr/bin/env bash
# The pet's voice through a real sound server (run inside scripts/with-desktop.sh): a private
# PulseAudio server with a null sink whose monitor is recorded. Permission requests from the real
# agent tool change the mood in a burst and every woof the log calls played is heard whole; with the
# sink muted the status report says so and the menu's sample is skipped, and once unmuted it sounds
# whole. Without a server the sample fails, one line says why, and the pet carries on.
# Usage: SoundsOnTheDesktop.sh <Pupnik> <pupnik-agent>
set -uo pipefail
pupnik=$1
agent=$2
source "$(dirname "$0")/DesktopTestSupport.sh"

use_private_home
export PUPNIK_SKIP_ONBOARDING=1 PUPNIK_DEBUG_FRAME_FILE=$work/frame
printf '{"pet.sounds": true}\n' >"$defaults"

# The server: its own socket, no autospawn, no other client of the machine's. Its sink renders ahead
# and rewinds to mix in a new sound, but what its monitor already handed to parec cannot be taken
# back: with rewinds, a sound starting inside that stretch is lost to the recording (seen with
# pactl play-sample alone on a loaded machine). Without them every sound is recorded, a moment later.
sound=$work/sound
mkdir -p "$sound"
export PULSE_SERVER=unix:$sound/native PULSE_RUNTIME_PATH=$sound PULSE_STATE_PATH=$sound
export PULSE_CLIENTCONFIG=$sound/client.conf
printf 'autospawn = no\n' >"$PULSE_CLIENTCONFIG"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
  -L "module-null-sink sink_name=pupnik_test rate=44100 channels=1 norewinds=1" \
  -L "module-native-protocol-unix socket=$sound/native auth-anonymous=1" 2>"$work/pulseaudio.log" &
pids+=($!)
server_up() { pactl info >/dev/null 2>&1; }
expect --seen 'pactl info 2>&1 | tail -n 1' 20 "a private sound server at $PULSE_SERVER" server_up || finish
pactl set-default-sink pupnik_test

# Everything the sink plays, as 16-bit mono samples.
recording=$work/recording.raw
parec -d pupnik_test.monitor --raw --format=s16le --rate=44100 --channels=1 >"$recording" 2>"$work/parec.log" &
pids+=($!)
recording_runs() { [[ -s $recording ]]; }
# Silence still flows through the monitor; a recording that grows shows that parec is attached.
expect --seen 'ls -l "$recording"' 20 "parec records the sink" recording_runs
# Samples louder than -24 dBFS in 16-bit samples on standard input.
count_loud() { od -An -v -td2 -w2 | awk '$1 > 2000 || $1 < -2000 { n++ } END { print n + 0 }'; }
loud_samples() { tail -c +$(($1 + 1)) "$recording" | count_loud; }
# Whole samples only, so that a count never starts in the middle of one.
recorded() { echo $(($(stat -c %s "$recording") / 2 * 2)); }
# Each sound heard, one line each: its loud samples, and its length from its first to its last sample
# above -40 dBFS, "count/length"; sounds closer together than a quarter of a second are one.
sounds_in() { od -An -v -td2 -w2 | awk '
  { a = $1 < 0 ? -$1 : $1 }
  a > 300 { if (!n || NR - last > 11025) { if (n) print loud "/" last - first + 1; n = 1; loud = 0; first = NR } last = NR }
  a > 2000 { loud++ }
  END { if (n) print loud "/" last - first + 1 }'; }
sounds_after() { tail -c +$(($1 + 1)) "$recording" | sounds_in; }
# Where each sound heard since START_BYTES begins, in seconds, for the give-up message.
sound_times_after() { tail -c +$(($1 + 1)) "$recording" | od -An -v -td2 -w2 | awk '
  $1 > 2000 || $1 < -2000 { if (NR - last > 11025 || !last) printf "%.2f ", NR / 44100; last = NR }'; }
sounded_at_all() { (($(loud_samples "$1") > 0)); }
# The sink plays in real time and parec hands its recording over in pieces of up to two seconds:
# caught_up START_BYTES START_MS UNTIL_MS: the recording from START_BYTES (taken at START_MS) reaches
# the moment UNTIL_MS.
caught_up() { ((($(recorded) - $1) * 10 / 882 >= $3 - $2)); }
# The woof as it is in its file (44 header bytes, 16-bit mono at the sink's rate), played unchanged:
# whole, the sink hears the same loud samples over the same length, give or take a few at the edges;
# a player that cuts the start or the end of the sound shortens it.
woof=$(dirname "$pupnik")/../share/pupnik/sounds/woof.wav
woof_sound=$(tail -c +45 "$woof" | sounds_in)
woof_loud=${woof_sound%/*}
woof_length=${woof_sound#*/}
((woof_loud > 1000)) && [[ $woof_sound != *$'\n'* ]] || fail "the woof in $woof does not read as one loud sound: $woof_sound"
whole() {
  local loud=${1%/*} length=${1#*/}
  ((loud * 100 >= woof_loud * 99 && loud * 100 <= woof_loud * 101 && length * 100 >= woof_length * 99 && length * 100 <= woof_length * 101))
}

"$pupnik" 2>"$work/pupnik.log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
started() { pet_window >/dev/null && grep -q 'codex: ' "$work/pupnik.log"; }
expect --seen 'tail -n 3 "$work/pupnik.log"' 20 "Pupnik ends its launch" started
logged() { grep -qF "$1" "$work/pupnik.log"; }
lines_of() { grep -cF "$1" "$work/pupnik.log"; }
more_than() { (($(lines_of "$1") > $2)); }

# 1. Until the mood changes, the pet is quiet.
start=$(recorded)
expect_never --seen 'echo "$(loud_samples "$start") loud samples"' 2 "no sound before the mood changes" sounded_at_all "$start"

# 2. A burst of mood changes, as a user meets it: the agent asks for permission (a woof), the user
# answers with a prompt, again and again a second apart, then once more after a pause. Every cue the
# log calls played is heard whole at the sink, the last one included.
hook() { printf "%s" "$2" | "$agent" hook "$1" "${@:3}" >/dev/null 2>&1; }
cue_lines() { grep -E 'sound: [a-z]+ → poop [a-z]+(\([a-z-]+\))?' "$work/pupnik.log"; }
cues() { cue_lines | wc -l; }
more_cues_than() { (($(cues) > $1)); }
# Should a loaded machine still lose a moment of the sink's output, a burst is tried up to three
# times; a player that cuts or loses sounds fails every time.
burst() {
  local pause before played cut n
  first=$(recorded)
  first_ms=$(milliseconds)
  cue_times=()
  for pause in 1 1 1 1 1 3; do
    before=$(cues)
    cue_times+=("$(((($(milliseconds) - first_ms) / 10)))")
    ask_permission
    wait_for 15 more_cues_than "$before" || echo "no cue for permission request $((before + 1))"
    hook UserPromptSubmit '{"session_id":"sound-1","cwd":"/tmp","hook_event_name":"UserPromptSubmit","prompt":"go on"}'
    sleep "$pause"
  done
  before=$(cues)
  cue_times+=("$(((($(milliseconds) - first_ms) / 10)))")
  ask_permission
  wait_for 15 more_cues_than "$before" || echo "no cue for the last permission request"
  # The last woof has ended well before four seconds after it was cued, however far ahead the sink renders.
  wait_for 30 caught_up "$first" "$first_ms" $(($(milliseconds) + 4000)) || echo "the recording fell behind"
  played=$(cue_lines | tail -n 7 | grep -c 'played(woof)')
  mapfile -t heard < <(sounds_after "$first")
  echo "cues: $(cue_lines | tail -n 7 | sed 's/.*→ poop //' | tr '\n' ' ')"
  echo "heard (loud samples/length of the woof: $woof_sound): ${heard[*]}"
  cut=0
  for n in "${heard[@]}"; do whole "$n" || cut=$((cut + 1)); done
  if ((played >= 6 && ${#heard[@]} == played && cut == 0)); then
    pass "all $played woofs the log calls played were heard whole"
    return 0
  fi
  burst_said="$played of 7 cues played, ${#heard[@]} heard, $cut of them not whole: ${heard[*]} (asked for at ${cue_times[*]} cs, heard at $(sound_times_after "$first")s)"
  echo "$burst_said; the server plays: $(pactl list sink-inputs short | tr '\n' ';') on $(pactl list sinks short | tr '\n' ';')"
  # The next burst starts from a mood that cues again.
  hook UserPromptSubmit '{"session_id":"sound-1","cwd":"/tmp","hook_event_name":"UserPromptSubmit","prompt":"go on"}'
  sleep 1
  return 1
}
ask_permission() {
  hook Notification '{"session_id":"sound-1","cwd":"/tmp","hook_event_name":"Notification","message":"Claude needs your permission to use Bash","notification_type":"permission_prompt"}' permission_prompt
}
burst || burst || burst || fail "three bursts, each with a woof lost or cut; the last: $burst_said"

# 3. The output muted: the status report says so, and the menu's sample is skipped; unmuted, the
# sample is heard whole.
preview() {
  open_menu || { fail "the menu did not open"; return 1; }
  keys Down Down Down Down Down Right Down Return
  wait_for 10 menu_closed || fail "the menu stayed open after the sample"
}
# preview_until TEXT: the sample, asked for until TEXT is logged once more; at most five times.
preview_until() {
  local before
  before=$(lines_of "$1")
  for _ in 1 2 3 4 5; do
    start=$(recorded)
    start_ms=$(milliseconds)
    preview
    wait_for 5 more_than "$1" "$before" && return 0
  done
  return 1
}
# One status dump at a time, finished before the next is asked for.
dumps() { lines_of "[Pupnik] debug: sound: enabled="; }
reports_silent() {
  local before
  before=$(dumps)
  kill -USR1 "$pupnik_pid"
  wait_for 10 more_than "[Pupnik] debug: sound: enabled=" "$before" || return 1
  grep -F "[Pupnik] debug: sound: enabled=" "$work/pupnik.log" | tail -n 1 | grep -qF "systemOutputSilent=$1" && return 0
  sleep 0.5
  return 1
}
expect --seen 'grep "systemOutputSilent=" "$work/pupnik.log" | tail -n 1' 10 "unmuted, the status report says systemOutputSilent=false" reports_silent false
pactl set-sink-mute pupnik_test 1
expect --seen 'grep "systemOutputSilent=" "$work/pupnik.log" | tail -n 1' 20 "muted, the status report says systemOutputSilent=true" reports_silent true
if preview_until "sound: preview skipped(muted)"; then pass "muted: the sample was skipped"; else fail "muted: no skipped sample"; fi
pactl set-sink-mute pupnik_test 0
expect --seen 'grep "systemOutputSilent=" "$work/pupnik.log" | tail -n 1' 20 "unmuted again, the status report says systemOutputSilent=false" reports_silent false
if preview_until "sound: preview played(woof)"; then pass "unmuted: the sample played"; else fail "unmuted: the sample did not play"; fi
wait_for 30 caught_up "$start" "$start_ms" $(($(milliseconds) + 4000)) || fail "the recording fell behind"
sample=$(sounds_after "$start" | tail -n 1)
if whole "${sample:-0/0}"; then pass "the sample was heard whole ($sample, the woof $woof_sound)"; else fail "the sample was not heard whole (${sample:-nothing}, the woof $woof_sound)"; fi

# 4. Without a sound server the sample fails, the reason is said once, and the pet carries on.
quit_cleanly "$pupnik_pid"
PULSE_SERVER=unix:$work/no-server "$pupnik" 2>"$work/pupnik.log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
expect --seen 'tail -n 3 "$work/pupnik.log"' 20 "Pupnik ends its launch without a sound server" started
preview
expect --seen 'grep "sound: preview" "$work/pupnik.log"' 10 "without a server the sample fails" logged "sound: preview failed(woof)"
sleep 0.5
preview
failures_said() { (($(lines_of "sound: preview failed(woof)") == 2)); }
expect --seen 'grep "sound: preview" "$work/pupnik.log"' 10 "without a server both samples fail" failures_said
# One line of our own says why, once; nothing else in the log speaks of the server.
said=$(grep -iE 'sound server|pulse|could not be played' "$work/pupnik.log")
if [[ $(grep -ciE 'sound server|pulse|could not be played' "$work/pupnik.log") == 1 && $said == "[Pupnik] sound: no sound server"* ]]; then
  pass "without a server, said once: $said"
else
  fail "without a server the log should say why once, in a line of our own: $said"
fi
quit_cleanly "$pupnik_pid"

finish
