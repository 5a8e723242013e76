#!/bin/sh
# Builds the fuzz targets of tests/fuzz with clang in build/fuzz and runs one of them, or each in
# turn, for a number of seconds over its corpus. The inputs it finds go to build/fuzz/corpus, not
# to the repository; an input that breaks a target is kept as build/fuzz/<target>-crash-* and the
# script fails.
# Usage: scripts/fuzz.sh format|inifile|report|makecode|all SECONDS [libFuzzer options...]
set -eu
cd "$(dirname "$0")/.."
targets="format inifile report makecode"
if [ $# -lt 2 ]; then
    echo "usage: $0 $(echo "$targets" | tr ' ' '|')|all SECONDS [libFuzzer options...]" >&2
    exit 2
fi
target=$1 seconds=$2
shift 2
[ "$target" = all ] || targets=$target

CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVOLEN_FUZZ=ON -DTARVOLEN_TESTS=OFF -DTARVOLEN_WERROR=ON >/dev/null
for name in $targets; do
    cmake --build build/fuzz -j "$(nproc)" --target "fuzz_$name"
done

for name in $targets; do
    grown=build/fuzz/corpus/$name
    mkdir -p "$grown"
    seeds=tests/fuzz/corpus/$name
    [ "$name" = format ] && seeds="$seeds tests/cipher/samples"
    echo "fuzz_$name for $seconds s" >&2
    # shellcheck disable=SC2086 # the seed folders are words
    "build/fuzz/bin/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="build/fuzz/$name-" "$@" "$grown" $seeds
done
