#!/bin/sh
# Takes the README's picture of the window, docs/window.png, at the password prompt: builds the
# programs as run.sh does (or uses the given build folder), drives the end-to-end road, and keeps
# its picture of the main window.
# Usage: tests/e2e/screenshot-readme.sh [build folder]
set -eu
cd "$(dirname "$0")/../.."
build="${1:-build/release}"
if [ $# -eq 0 ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVOLEN_TESTS=OFF
    cmake --build "$build" -j "$(nproc)"
fi
bash tests/e2e/road.sh "$build"
cp "$build/e2e-screenshots/window.png" docs/window.png
echo "docs/window.png updated."
