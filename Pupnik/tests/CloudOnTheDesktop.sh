#!/usr/bin/env bash
# Cloud publishing end to end (run inside scripts/with-desktop.sh): Pupnik publishes the pet's state,
# reached by hook events of the real agent tool, to the local record store, and another process
# following the store as a companion display receives each state; the record file is the user's own
# and a terminated Pupnik leaves it whole.
# Usage: CloudOnTheDesktop.sh <Pupnik> <pupnik-agent> <pupnik-test-record-reader>
set -uo pipefail
pupnik=$1
agent=$2
reader=$3
source "$(dirname "$0")/DesktopTestSupport.sh"

use_private_home
unset PUPNIK_NO_CLOUD
export PUPNIK_SKIP_ONBOARDING=1
store=$PUPNIK_SUPPORT_DIR/cloud/iCloud.com.ardlow.tailbase
record=$store/current.json

hook() { printf '%s' "$2" | "$agent" hook "$1"; }
received() { grep -q "$1" "$work/reader.out" 2>/dev/null; }
logged() { grep -q "$1" "$work/pupnik.log" 2>/dev/null; }
published_lines() { grep -c 'cloud: published' "$work/pupnik.log" 2>/dev/null; }

# The follower starts first, before there is any record.
"$reader" "$store" 120 >"$work/reader.out" 2>"$work/reader.log" &
pids+=($!)

"$pupnik" 2>"$work/pupnik.log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
wait_for 20 pet_window >/dev/null || fail "Pupnik did not show its window"

# 1. The first state is published at once and the follower receives it.
if wait_for 15 logged 'cloud: published [a-z]*/[a-z]* busy=0 (first) tag='; then
  pass "$(grep 'cloud: published' "$work/pupnik.log" | head -n 1)"
else
  fail "no first publish"
fi
wait_for 15 received 'busy=0' || fail "the follower received no first snapshot"
mode=$(stat -c %a "$record" 2>/dev/null)
[[ $mode == 600 ]] && pass "the record file has mode $mode" || fail "the record file has mode '$mode'"

# 2. A prompt makes the pet stroll with one busy session: published as a change and received.
hook UserPromptSubmit '{"session_id":"cloud-1","cwd":"/tmp","hook_event_name":"UserPromptSubmit"}'
if wait_for 15 received 'snapshot stroll/[a-z]* busy=1'; then
  pass "the follower received $(grep 'busy=1' "$work/reader.out" | head -n 1)"
else
  fail "the follower never saw the strolling pet: $(tail -n 3 "$work/reader.out")"
fi
logged 'cloud: published stroll/[a-z]* busy=1 (changed) tag=' || fail "the change was not logged as one"

# 3. The turn ends: the idle pet follows.
hook Stop '{"session_id":"cloud-1","cwd":"/tmp","hook_event_name":"Stop"}'
idle_after_busy() { sed -n '/busy=1/,$p' "$work/reader.out" | grep -q 'snapshot idle/'; }
if wait_for 15 idle_after_busy; then
  pass "then $(sed -n '/busy=1/,$p' "$work/reader.out" | grep 'snapshot idle/' | head -n 1)"
else
  fail "the follower never saw the pet idle again: $(tail -n 3 "$work/reader.out")"
fi

# 4. Four engine states a second, yet only first, changed and heartbeat saves: a quiet pet is not
# published again within a few seconds.
count=$(published_lines)
never_within 4 [ "$(published_lines)" != "$count" ] && pass "a quiet pet is not published again" ||
  fail "a quiet pet was published again: $(grep 'cloud: published' "$work/pupnik.log" | tail -n 2)"

# 5. SIGTERM ends Pupnik in order, the record stays whole and readable.
quit_cleanly "$pupnik_pid"
jq -e '.recordName == "current" and (.fields.json.bytes | length > 0)' "$record" >/dev/null 2>&1 &&
  pass "the record file is whole" || fail "the record file is not a whole record"

finish
