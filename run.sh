#!/bin/sh
# Builds Tarvolen, lays out the program folder in dist/Tarvolen/ and starts it from there.
set -eu
cd "$(dirname "$0")"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); Tarvolen needs a desktop to show its window." >&2
    exit 1
fi
scripts/install-deps.sh run
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTARVOLEN_TESTS=OFF
cmake --build build/release -j "$(nproc)"
cmake --install build/release --prefix "$PWD/dist/Tarvolen"
exec "$PWD/dist/Tarvolen/Tarvolen"
