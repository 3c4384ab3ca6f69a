#!/usr/bin/env bash
# The program on a simulated receiver: plugging the mouse's cable through morvactl moves the
# mouse to its cable, and the status report says so; pulling it hands the mouse back, and
# without the receiver the mouse is gone. Meanwhile the program keeps its data folder.
set -u
app=$1
ctl=$2
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
mkdir -m 700 "$work/run" "$work/home"
export XDG_RUNTIME_DIR=$work/run HOME=$work/home QT_QPA_PLATFORM=offscreen

"$app" --simulate mouse-receiver --data-dir "$work/data" >"$work/app.log" 2>&1 &
pid=$!

# Waits until `morvactl app status` prints the expected line for the mouse.
expect_mouse() {
    for _ in $(seq 150); do
        line=$("$ctl" app status 2>/dev/null | grep '^mouse ')
        [ "$line" = "$1" ] && return 0
        sleep 0.1
    done
    echo "expected '$1', last status:"; "$ctl" app status; cat "$work/app.log"
    exit 1
}

expect_mouse "mouse receiver connected shown selected"
"$ctl" app sim plug mouse || { echo "app sim plug failed"; exit 1; }
expect_mouse "mouse cable connected shown selected"
"$ctl" app sim unplug mouse || exit 1
expect_mouse "mouse receiver connected shown selected"
# The wireless mouse goes out of reach: its tab hides until it answers again.
"$ctl" app sim unreach mouse || exit 1
expect_mouse "mouse receiver connected hidden"
"$ctl" app sim reach mouse || exit 1
expect_mouse "mouse receiver connected shown selected"
"$ctl" app sim unplug mouse-receiver || exit 1
expect_mouse "mouse none disconnected hidden"
kill -0 "$pid" || { echo "the program died"; exit 1; }
# The program keeps its data folder while it runs: morvactl's writers refuse at once.
if out=$("$ctl" --simulate mouse --data-dir "$work/data" profile mouse add 2>&1); then
    echo "morvactl changed the data folder the program holds: $out"; exit 1
fi
grep -q "the program is running on this data folder" <<<"$out" || { echo "morvactl: $out"; exit 1; }
kill "$pid"; wait "$pid" 2>/dev/null
"$ctl" --simulate mouse --data-dir "$work/data" profile mouse add >/dev/null ||
    { echo "morvactl could not change the data folder once the program ended"; exit 1; }
echo "hot-plug followed through cable, receiver, out of reach and gone; the data folder held"
