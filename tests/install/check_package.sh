#!/usr/bin/env bash
# Checks the .deb that `make package` made in BUILD_DIR: its control fields, that it holds
# every installed file under /usr, that its stripped programs run from the unpacked tree on
# the unpacked data, and that lintian finds no error.
#   check_package.sh BUILD_DIR
set -u
build=$1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/install/installed_files.sh
. "$here/installed_files.sh"

debs=("$build"/morva-tr510_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: want one morva-tr510_*.deb in $build, found: ${debs[*]}"; exit 1; }
deb=${debs[0]}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

echo "== $deb"
dpkg-deb --field "$deb" Package Version Architecture Section Depends Recommends
for field in Package Maintainer Description Section Homepage Depends; do
    [ -n "$(dpkg-deb --field "$deb" "$field")" ] || fail "control field $field is empty"
done
[ "$(dpkg-deb --field "$deb" Package)" = morva-tr510 ] || fail "package name"
# The SVG image plugin is loaded at run time, where dpkg-shlibdeps cannot see it.
dpkg-deb --field "$deb" Depends | grep -q 'libqt6svg6' || fail "Depends lacks libqt6svg6"
dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -qx './postinst' || fail "no postinst"
dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -qx './postrm' || fail "no postrm"

dpkg -c "$deb" >"$work/contents"
for f in "${installed_files[@]}"; do
    grep -q " \./usr/$f\$" "$work/contents" || fail "the package lacks /usr/$f"
done
echo "dpkg -c: $(grep -c '^-' "$work/contents") files, $(grep -c '^d' "$work/contents") folders; \
data $(grep -c '^-.* \./usr/share/morva-tr510/' "$work/contents") files"
grep ' \./usr/\(bin\|libexec\)/' "$work/contents" | grep '^-' | awk '{print $1, $3, $6}'

# The packaged programs run where they were unpacked, on their own data.
dpkg-deb -x "$deb" "$work/root"
mkdir -m 700 "$work/home"
paths=$(cd "$work" && env -u MORVA_RES_DIR -u XDG_DATA_HOME HOME="$work/home" "$work/root/usr/bin/morvactl" paths)
grep -qx "resources $work/root/usr/share/morva-tr510" <<<"$paths" || fail "unpacked morvactl paths: $paths"
show=$(cd "$work" && env -u MORVA_RES_DIR -u XDG_DATA_HOME HOME="$work/home" \
    "$work/root/usr/bin/morvactl" --simulate mouse mouse show 2>&1)
grep -q '^stage 0 ' <<<"$show" || fail "unpacked morvactl mouse show: $show"

echo "== lintian"
lintian --fail-on error --info "$deb" >"$work/lintian" 2>&1
status=$?
cat "$work/lintian"
echo "lintian: $(grep -c '^E:' "$work/lintian") errors, $(grep -c '^W:' "$work/lintian") warnings, $(grep -c '^I:' "$work/lintian") notes"
[ $status -eq 0 ] || fail "lintian exit status $status"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package checked: $(basename "$deb")"
