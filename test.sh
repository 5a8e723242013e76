#!/bin/sh
# Checks the sources (scripts/check.sh), builds the test configuration (with AddressSanitizer and
# UndefinedBehaviorSanitizer, warnings as errors) and runs every test, the end-to-end road
# included; then runs the cipher's tests again under ThreadSanitizer, which cannot share a build
# with AddressSanitizer.
set -eu
cd "$(dirname "$0")"
scripts/install-deps.sh test
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DTARVOLEN_SANITIZE=ON -DTARVOLEN_WERROR=ON
scripts/check.sh build/test
cmake --build build/test -j "$(nproc)"
(cd build/test && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")

cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DTARVOLEN_TSAN=ON -DTARVOLEN_WERROR=ON
cmake --build build/tsan -j "$(nproc)" --target cipher_tests
# Every process writes its reports to a file of its own: zentil's would be lost with its output.
reports=$PWD/build/tsan/races
rm -rf "$reports" && mkdir -p "$reports"
(cd build/tsan && TSAN_OPTIONS="log_path=$reports/race suppressions=$PWD/../../tests/tsan.supp" \
    ctest --output-on-failure -j "$(nproc)" -R '^test_(zentil|format)')
if [ -n "$(ls "$reports")" ]; then
    cat "$reports"/* >&2
    exit 1
fi

# Each fuzz target of tests/fuzz for a short while over its corpus; one that breaks fails the run.
scripts/fuzz.sh all 30
