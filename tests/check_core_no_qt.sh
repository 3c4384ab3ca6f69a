#!/usr/bin/env bash
# The core layers, the platform layers and morvactl's own code (its update command lives in
# src/update) must build without Qt: no Qt header and no Qt target in them.
set -u
root=$1
core=()
for d in base device profile macro sim platform tools; do
    [ -d "$root/src/$d" ] && core+=("$root/src/$d")
done
bad=$(grep -rnE '#\s*include\s*[<"]Q[A-Za-z]|#\s*include\s*[<"]Qt' "${core[@]}" 2>/dev/null)
bad+=$(grep -rnE 'Qt[56]?::|find_package\(Qt' --include=CMakeLists.txt "${core[@]}" 2>/dev/null)
if [ -n "$bad" ]; then
    echo "Qt found in the core layers:"
    echo "$bad"
    exit 1
fi
echo "core layers are free of Qt"
