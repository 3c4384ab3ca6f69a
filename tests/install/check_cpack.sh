#!/usr/bin/env bash
# Makes the .deb of the build tree BUILD_DIR (for /usr, into a temporary folder) and checks
# it like `make package` does.
#   check_cpack.sh BUILD_DIR
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -B "$out" -D CPACK_PACKAGING_INSTALL_PREFIX=/usr) >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log"; echo "FAIL: cpack"; exit 1; }
rm -rf "$out/_CPack_Packages"
"$here/check_package.sh" "$out"
