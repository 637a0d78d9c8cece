#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it in the current folder, where it
# keeps "Baza.xml".
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build="$src/build-release"

"$src/scripts/install-deps.sh"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVENDOR_TESTS=OFF \
    -DKALVENDOR_BENCH=OFF >/dev/null
cmake --build "$build" -j2
exec "$build/kalvendor"
