#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test offscreen; the last test builds the Debian package and checks it.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build="$src/build-test"

"$src/scripts/install-deps.sh" locales poppler-utils # a comma locale; pdftotext for the print
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALVENDOR_SANITIZE=ON \
    -DKALVENDOR_WERROR=ON -DKALVENDOR_BENCH=OFF -DKALVENDOR_PACKAGE_CHECK=ON
cmake --build "$build" -j2
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1
cd "$build"
if ! ctest --output-on-failure -j2; then
    # A log shows only its end: the failed checks once more, where it will be read.
    echo "Neuspjele provjere:"
    grep -h -E -A2 '^FAIL!|ERROR: [A-Za-z]+Sanitizer|runtime error:' Testing/Temporary/LastTest*.log | grep -v '^--$' || true
    exit 8
fi
