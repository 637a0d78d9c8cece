#!/usr/bin/env bash
# The fuzz targets of tests/fuzz (both readers of "Baza.xml", the import, typed numbers), built
# with clang's libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer in a tree of their own.
#
#   scripts/fuzz.sh [SECONDS]   each target in turn fuzzes for SECONDS (60 unless given), from its
#                               seeds, in a fresh working corpus outside the checkout
#   scripts/fuzz.sh --runs N    each target runs N inputs from its seeds with a fixed seed, as the
#                               test command does
#   scripts/fuzz.sh --prove     each target, built on a core file with a fault put in, must fail
#                               on its seeds
#
# Without clang the targets are built with g++ and only replay their seeds under the sanitizers.
# KALVENDOR_FUZZ_CXX names another compiler.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
fuzz="$src/tests/fuzz"
targets=(FuzzLoader FuzzImport FuzzNumbers)

mode=time
seconds=60
case "${1:-}" in
--runs) mode=runs runs=${2:?"--runs treba broj"} ;;
--prove) mode=prove ;;
'') ;;
*[!0-9]* | 0) echo "Upotreba: $0 [SEKUNDE | --runs N | --prove]" >&2; exit 2 ;;
*) seconds=$1 ;;
esac

"$src/scripts/install-deps.sh" clang-14 libclang-rt-14-dev || true
cxx=${KALVENDOR_FUZZ_CXX:-}
if [ -z "$cxx" ]; then
    cxx=g++
    if command -v clang++-14 >/dev/null &&
        compgen -G "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
        cxx=clang++-14
    fi
fi
libfuzzer=false
build="$src/build-fuzz-replay"
if [[ $(basename "$cxx") == clang* ]]; then
    libfuzzer=true
    build="$src/build-fuzz"
fi
[ "$mode" = prove ] && build="$build-prove"
options=(-DKALVENDOR_FUZZ_PROVE=$([ "$mode" = prove ] && echo ON || echo OFF))
cmake -S "$fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" "${options[@]}" >/dev/null
cmake --build "$build" -j2

# Each run works in a fresh folder outside the checkout: the corpus, the logs, what it finds.
work=$(mktemp -d "${TMPDIR:-/tmp}/kalvendor-fuzz.XXXXXX")
failed=()

if [ "$mode" = prove ]; then
    # Each target stops on a seed that meets its fault.
    for t in "${targets[@]}"; do
        if "$build/$t" "$fuzz/seeds/$t"/* >"$work/$t.log" 2>&1; then
            failed+=("$t")
            echo "$t: greška NIJE uhvaćena"
        else
            seed=$(grep -a 'Running: ' "$work/$t.log" | tail -n1 | sed 's|.*/||')
            echo "$t: greška uhvaćena ($(grep -a -o -m1 '[A-Za-z]*\.cpp:[0-9]*' "$work/$t.log"))${seed:+ na $seed}"
        fi
    done
elif ! $libfuzzer; then
    for t in "${targets[@]}"; do
        "$build/$t" "$fuzz/seeds/$t"/* || failed+=("$t")
    done
    echo "Fuzzing preskočen: nema clanga s libFuzzerom ($cxx); primjeri su samo ponovno pokrenuti pod sanitizerima."
else
    limits=(-runs="${runs:-}" -seed=1)
    [ "$mode" = time ] && limits=(-max_total_time="$seconds")
    for t in "${targets[@]}"; do
        mkdir "$work/$t"
        # The working corpus first: libFuzzer adds what it finds there, never to the seeds.
        if "$build/$t" "${limits[@]}" -dict="$fuzz/$t.dict" -artifact_prefix="$work/$t-" \
            "$work/$t" "$fuzz/seeds/$t" >"$work/$t.log" 2>&1; then
            echo "$t: $(grep -a -o 'Done [0-9]* runs in [0-9]* second(s)' "$work/$t.log")," \
                "$(grep -a -o 'cov: [0-9]*' "$work/$t.log" | tail -n1)"
        else
            failed+=("$t")
            grep -a -E -A12 'ERROR|runtime error|Assertion' "$work/$t.log" | head -n 30 || true
            echo "$t: GREŠKA, ulaz je u $(ls -t "$work/$t-"* 2>/dev/null | head -n1)"
        fi
    done
fi

if [ ${#failed[@]} -eq 0 ] && [ "$mode" != time ]; then
    rm -rf "$work"
else
    echo "Radni korpus, ispisi i nalazi: $work"
fi
[ ${#failed[@]} -eq 0 ]
