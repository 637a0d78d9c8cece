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

if [ "$mode" = prove ]; then
    # Each target stops on a seed that meets its fault.
    missed=()
    for t in "${targets[@]}"; do
        if "$build/$t" "$fuzz/seeds/$t"/* >"$build/$t.log" 2>&1; then
            missed+=("$t")
            echo "$t: greška NIJE uhvaćena"
        else
            seed=$(grep 'Running: ' "$build/$t.log" | tail -n1 | sed 's|.*/||')
            echo "$t: greška uhvaćena ($(grep -o -m1 '[A-Za-z]*\.cpp:[0-9]*' "$build/$t.log"))${seed:+ na $seed}"
        fi
    done
    [ ${#missed[@]} -eq 0 ] || exit 1
    exit 0
fi

if ! $libfuzzer; then
    for t in "${targets[@]}"; do
        "$build/$t" "$fuzz/seeds/$t"/*
    done
    echo "Fuzzing preskočen: nema clanga s libFuzzerom ($cxx); primjeri su samo ponovno pokrenuti pod sanitizerima."
    exit 0
fi

if [ "$mode" = runs ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    findings="$build/findings"
    limits=(-runs="$runs" -seed=1)
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/kalvendor-fuzz.XXXXXX")
    findings="$work/findings"
    limits=(-max_total_time="$seconds")
fi
mkdir -p "$findings"
failed=()
for t in "${targets[@]}"; do
    mkdir -p "$work/$t"
    # The working corpus first: libFuzzer adds what it finds there, never to the seeds.
    if "$build/$t" "${limits[@]}" -dict="$fuzz/$t.dict" -artifact_prefix="$findings/$t-" \
        "$work/$t" "$fuzz/seeds/$t" >"$build/$t.log" 2>&1; then
        echo "$t: $(grep -m1 -o 'Done [0-9]* runs in [0-9]* second(s)' "$build/$t.log")," \
            "$(grep -o 'cov: [0-9]*' "$build/$t.log" | tail -n1)"
    else
        failed+=("$t")
        grep -E -A12 '^==[0-9]+==ERROR|runtime error|deadly signal' "$build/$t.log" | head -n 30 || true
        echo "$t: GREŠKA, ulaz je u $(ls -t "$findings/$t-"* 2>/dev/null | head -n1)"
    fi
done
[ "$mode" = time ] && echo "Radni korpus i nalazi: $work"
[ ${#failed[@]} -eq 0 ]
