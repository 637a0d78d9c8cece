#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test offscreen; the last test builds the Debian package and checks it.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build="$src/build-test"

# A comma locale; pdftotext for the print; clang's libFuzzer for the fuzz targets.
"$src/scripts/install-deps.sh" locales poppler-utils clang-14 libclang-rt-14-dev
# The fuzz targets first, on a fixed number of inputs each; what they find fails the run at the end.
fuzzed=0
"$src/scripts/fuzz.sh" --runs 50000 || fuzzed=$?
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
    [ "$fuzzed" -eq 0 ] || echo "Fuzz ciljevi također nisu prošli (scripts/fuzz.sh, ispis prije gradnje)."
    exit 8
fi
if [ "$fuzzed" -ne 0 ]; then
    echo "Fuzz ciljevi nisu prošli: vidi ispis scripts/fuzz.sh prije gradnje."
    exit 9
fi
