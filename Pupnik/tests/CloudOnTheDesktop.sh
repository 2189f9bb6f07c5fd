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

received() { grep -m1 "$1" "$work/reader.out" 2>/dev/null; }
reader_tail() { tail -n 3 "$work/reader.out"; }
published_lines() { grep -c 'cloud: published' "$log" 2>/dev/null; }

# The follower starts first, before there is any record.
"$reader" "$store" 120 >"$work/reader.out" 2>"$work/reader.log" &
pids+=($!)

"$pupnik" 2>"$log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
expect 30 "Pupnik shows its window" pet_window

# 1. The first state is published at once and the follower receives it.
expect --seen log_tail 20 "the first state published" logged_like 'cloud: published [a-z]*/[a-z]* busy=0 \(first\) tag='
expect --seen reader_tail 20 "the follower receives the first snapshot" received 'busy=0'
owner_only() { [[ $(stat -c %a "$record" 2>/dev/null) == 600 ]]; }
expect --seen 'stat -c %a "$record"' 10 "the record file $record with mode 600" owner_only

# 2. A prompt makes the pet stroll with one busy session: published as a change and received.
hook UserPromptSubmit '{"session_id":"cloud-1","cwd":"/tmp","hook_event_name":"UserPromptSubmit"}'
expect --seen reader_tail 20 "the follower receives the strolling pet" received 'snapshot stroll/[a-z]* busy=1'
expect --seen log_tail 10 "the change logged as one" logged_like 'cloud: published stroll/[a-z]* busy=1 \(changed\) tag=' 

# 3. The turn ends: the idle pet follows.
hook Stop '{"session_id":"cloud-1","cwd":"/tmp","hook_event_name":"Stop"}'
idle_after_busy() { sed -n '/busy=1/,$p' "$work/reader.out" | grep -m1 'snapshot idle/'; }
expect --seen reader_tail 20 "the follower receives the idle pet after that" idle_after_busy

# 4. Four engine states a second, yet only first, changed and heartbeat saves: a quiet pet is not
# published again within a few seconds.
count=$(published_lines)
published_again() { (($(published_lines) != count)); }
expect_never --seen "grep 'cloud: published' \"\$log\" | tail -n 2" 4 "a quiet pet not published again" published_again

# 5. SIGTERM ends Pupnik in order, the record stays whole and readable.
quit_cleanly "$pupnik_pid"
whole() { jq -e '.recordName == "current" and (.fields.json.bytes | length > 0)' "$record" >/dev/null 2>&1; }
expect --seen 'head -c 300 "$record"' 0 "the record file whole after the end" whole

finish
