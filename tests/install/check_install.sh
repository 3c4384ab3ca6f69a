#!/usr/bin/env bash
# Installs the build tree with prefix /usr into a temporary DESTDIR and checks the result:
# every file in place, the data a complete copy of res/, icons of their sizes, the installed
# morvactl and program using the installed data and helper (never the source tree's), and
# the desktop entries and metainfo valid.
#   check_install.sh BUILD_DIR SOURCE_DIR
set -u
build=$1
source=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/install/installed_files.sh
. "$here/installed_files.sh"

work=$(mktemp -d)
app_pid=
xvfb_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

dest=$work/dest
usr=$dest/usr
if ! DESTDIR=$dest cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi

for f in "${installed_files[@]}"; do
    [ -f "$usr/$f" ] || fail "missing /usr/$f"
done
for f in bin/morva-tr510 bin/morvactl libexec/morva-tr510/morva-audio-capture; do
    [ -x "$usr/$f" ] || fail "/usr/$f is not executable"
done
# Nothing lands outside the prefix (an absolute DESTINATION would).
outside=$(cd "$dest" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$outside" ] || fail "installed outside /usr: $outside"

# The data is res/ whole, less the icon sources.
(cd "$source/res" && find . -type f ! -path './skin/src-svg/*' | sort) >"$work/res.list"
(cd "$usr/share/morva-tr510" && find . -type f | sort) >"$work/data.list"
diff "$work/res.list" "$work/data.list" >"$work/data.diff" || fail "share/morva-tr510 differs from res/: $(head -5 "$work/data.diff")"

for size in "${icon_sizes[@]}"; do
    png=$usr/share/icons/hicolor/${size}x${size}/apps/morva-tr510.png
    got=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]) if d[:8]==b"\x89PNG\r\n\x1a\n" else "not a PNG")' "$png" 2>&1)
    [ "$got" = "${size}x${size}" ] || fail "$png is $got"
done

# The installed programs, from a folder outside the source tree, with a private home.
mkdir -m 700 "$work/cwd" "$work/home" "$work/run"
run_installed() {
    (cd "$work/cwd" && env -u MORVA_RES_DIR -u MORVA_CAPTURE_HELPER -u XDG_DATA_HOME \
        -u XDG_CONFIG_HOME HOME="$work/home" XDG_RUNTIME_DIR="$work/run" "$@")
}
want_paths="resources $usr/share/morva-tr510
helper $usr/libexec/morva-tr510/morva-audio-capture
data $work/home/.local/share/MORVA TR510 Device/"
paths=$(run_installed "$usr/bin/morvactl" paths 2>&1)
[ "$paths" = "$want_paths" ] || fail "morvactl paths:
$paths
wanted:
$want_paths"
show=$(run_installed "$usr/bin/morvactl" --simulate mouse mouse show 2>&1)
status=$?
[ $status -eq 0 ] && grep -q '^stage 0 ' <<<"$show" || fail "morvactl mouse show ($status): $show"

# Each program answers --help, without a display.
for program in bin/morva-tr510 bin/morvactl libexec/morva-tr510/morva-audio-capture; do
    out=$(run_installed env -u DISPLAY -u WAYLAND_DISPLAY "$usr/$program" --help 2>&1)
    status=$?
    [ $status -eq 0 ] && grep -q '^usage: ' <<<"$out" || fail "$program --help ($status): $(head -3 <<<"$out")"
done

# Without the installed data the installed morvactl names the installed folder: it never
# falls back to the source tree's res/.
mv "$usr/share/morva-tr510/skin/res.xml" "$work/res.xml.away"
resources=$(run_installed "$usr/bin/morvactl" paths | sed -n 's/^resources //p')
[ "$resources" = "$usr/share/morva-tr510" ] || fail "without its data, morvactl uses $resources"
mv "$work/res.xml.away" "$usr/share/morva-tr510/skin/res.xml"

# The installed program under a private X server: its window appears, and it says which data
# folder it loaded.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
exec 3>&-
display=":$(head -n1 "$work/display")"
run_installed env DISPLAY="$display" QT_QPA_PLATFORM=xcb MORVA_DEBUG=1 \
    "$usr/bin/morva-tr510" --simulate mouse >"$work/app.log" 2>&1 &
app_pid=$!
if DISPLAY=$display timeout 60 xdotool search --sync --onlyvisible --name '^MORVA TR510$' >/dev/null; then
    grep -qxF "resources: $usr/share/morva-tr510" "$work/app.log" ||
        fail "the program did not load the installed data: $(grep '^resources' "$work/app.log")"
else
    fail "the installed program's window did not appear: $(tail -20 "$work/app.log")"
fi
kill "$app_pid" 2>/dev/null
wait "$app_pid" 2>/dev/null
app_pid=

for entry in share/applications/morva-tr510.desktop share/morva-tr510/autostart/morva-tr510.desktop; do
    out=$(desktop-file-validate "$usr/$entry" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate $entry: $out"
done
out=$(appstreamcli validate --no-net --pedantic "$usr/share/metainfo/org.morva.tr510.metainfo.xml" 2>&1) ||
    fail "appstreamcli validate: $out"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "installed tree complete: ${#installed_files[@]} files, data, programs and entries checked"
