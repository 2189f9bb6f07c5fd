#!/usr/bin/env bash
# Times the hook as the coding agent pays for it: a shell loop that starts `pupnik-agent hook PreToolUse`
# with the hook input on standard input, against the same loop starting /bin/true with the same input.
# The two loops alternate so that both see the same machine load; medians are compared.
#   bench/agent_hook_bench.sh [path/to/pupnik-agent]    (RUNS, ROUNDS override the loop sizes)
set -euo pipefail
cd "$(dirname "$0")/.."
agent=${1:-build/libexec/pupnik/pupnik-agent}
runs=${RUNS:-300}
rounds=${ROUNDS:-7}
[[ -x $agent ]] || { echo "no agent tool at $agent (build first)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PUPNIK_SUPPORT_DIR=$work/support

# A typical Bash call (about 0.6 KB) and a large Edit call (about 60 KB).
cat >"$work/small.json" <<JSON
{"session_id":"9f2c4b7e-1d3a-4e8b-a6c5-2f7d9e0b1c3a","transcript_path":"/home/user/.claude/projects/-home-user-src-pupnik/9f2c4b7e-1d3a-4e8b-a6c5-2f7d9e0b1c3a.jsonl","cwd":"/home/user/src/pupnik","permission_mode":"default","hook_event_name":"PreToolUse","tool_name":"Bash","tool_input":{"command":"cmake --build build -j4 && ctest --test-dir build -j4 --output-on-failure 2>&1 | tail -40","description":"Build the project and run the whole test suite, showing the last forty lines of output","timeout":600000},"tool_use_id":"toolu_01HkQm3zV8nXcYpR4tLwE2sD"}
JSON
repeat() { awk -v line="$1" 'BEGIN { while (length(s) < 29500) s = s line; printf "%s", s }'; }
old=$(repeat '    let total = values.reduce(0, +) / Double(values.count)\\n')
new=$(repeat '    let mean = values.isEmpty ? 0 : values.reduce(0, +) / Double(values.count)\\n')
printf '{"session_id":"9f2c4b7e-1d3a-4e8b-a6c5-2f7d9e0b1c3a","transcript_path":"/home/user/.claude/projects/x.jsonl","cwd":"/home/user/src/pupnik","permission_mode":"acceptEdits","hook_event_name":"PreToolUse","tool_name":"Edit","tool_input":{"file_path":"/home/user/src/pupnik/Sources/Stats.swift","old_string":"%s","new_string":"%s","replace_all":false},"tool_use_id":"toolu_01"}\n' \
    "$old" "$new" >"$work/edit.json"

# Microseconds for one loop of `runs` starts.
time_loop() {
    local program=$1 input=$2 start end i
    start=$(date +%s%N)
    for ((i = 0; i < runs; i++)); do
        "$program" hook PreToolUse <"$input"
    done
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

"$agent" selftest >/dev/null
for input in small edit; do
    bytes=$(wc -c <"$work/$input.json")
    : >"$work/agent.times"
    : >"$work/true.times"
    for ((round = 0; round < rounds; round++)); do
        time_loop "$agent" "$work/$input.json" >>"$work/agent.times"
        time_loop /bin/true "$work/$input.json" >>"$work/true.times"
    done
    agent_median=$(median <"$work/agent.times")
    true_median=$(median <"$work/true.times")
    awk -v name="$input" -v bytes="$bytes" -v runs="$runs" -v a="$agent_median" -v t="$true_median" 'BEGIN {
        printf "%-5s input %6d bytes: pupnik-agent %7.1f us/call, /bin/true %7.1f us/call, ratio %.2f\n",
            name, bytes, a / runs, t / runs, a / t
    }'
done
lines=$(wc -l <"$PUPNIK_SUPPORT_DIR/events.jsonl")
echo "events recorded: $lines"
