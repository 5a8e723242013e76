#!/bin/sh
# Builds the test configuration (with AddressSanitizer and UndefinedBehaviorSanitizer, warnings as
# errors) and runs every test, the end-to-end road included.
set -eu
cd "$(dirname "$0")"
scripts/install-deps.sh test
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DTARVOLEN_SANITIZE=ON -DTARVOLEN_WERROR=ON
cmake --build build/test -j "$(nproc)"
cd build/test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
