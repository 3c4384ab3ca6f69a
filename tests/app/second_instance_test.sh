#!/usr/bin/env bash
# Starts the program twice: the second start must exit 0 at once and the first must be
# asked to come to the front.
set -u
app=$1
work=$(mktemp -d)
trap 'kill "$first" ${pair:-} 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
mkdir -m 700 "$work/run" "$work/home"
export XDG_RUNTIME_DIR=$work/run HOME=$work/home QT_QPA_PLATFORM=offscreen MORVA_DEBUG=1

"$app" >"$work/first.log" 2>&1 &
first=$!
for _ in $(seq 300); do [ -S "$work/run/morva-tr510.sock" ] && break; sleep 0.1; done
[ -S "$work/run/morva-tr510.sock" ] || { echo "the first instance did not open its socket"; cat "$work/first.log"; exit 1; }

start=$(date +%s%N)
timeout 10 "$app" >"$work/second.log" 2>&1
status=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$status" -eq 0 ] || { echo "second instance exited with $status"; cat "$work/second.log"; exit 1; }
[ "$elapsed_ms" -lt 5000 ] || { echo "second instance took ${elapsed_ms} ms"; exit 1; }

for _ in $(seq 50); do grep -q 'MsgActivateInstance' "$work/first.log" && break; sleep 0.1; done
grep -q 'MsgActivateInstance' "$work/first.log" || { echo "the first instance was not activated"; cat "$work/first.log"; exit 1; }
kill -0 "$first" || { echo "the first instance died"; exit 1; }
echo "second start exited 0 after ${elapsed_ms} ms; the first was activated"

# Two starts at the same moment, many times over: one runs, the other exits 0.
kill "$first"; wait "$first" 2>/dev/null
for round in $(seq "${ROUNDS:-20}"); do
    "$app" >"$work/a.log" 2>&1 & a=$!
    "$app" >"$work/b.log" 2>&1 & b=$!
    pair="$a $b"
    for _ in $(seq 200); do
        { kill -0 "$a" 2>/dev/null && kill -0 "$b" 2>/dev/null; } || break
        sleep 0.05
    done
    running=0
    for p in $a $b; do kill -0 "$p" 2>/dev/null && running=$((running + 1)); done
    [ "$running" -eq 1 ] || { echo "round $round: $running instances run"; cat "$work/a.log" "$work/b.log"; exit 1; }
    kill $a $b 2>/dev/null; wait $a $b 2>/dev/null
done
echo "$round simultaneous double starts each left one instance running"
