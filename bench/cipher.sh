#!/bin/bash
# Times zentil on lockers of every shape against `cp -r` + `sync` of the same tree, the in-place
# baseline and age: see bench/cipher.py. Run by hand, on a quiet machine:
#   bench/cipher.sh [tree ...]    (trees: 256k 16k 1k 512m photos 100k 1000 planted; all by
#                                  default)
# RUNS sets the runs per tree (5 by default); OTHER_ZENTIL=path times the zentil of another build
# beside this one. Needs about 8 GiB of free disk under /var/tmp.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x /usr/bin/time ] && command -v age >/dev/null || { apt-get update && apt-get install -y age time; }

cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DTARVOLEN_TESTS=OFF >/dev/null
cmake --build build/bench -j "$(nproc)" --target zentil >/dev/null
g++ -O2 -std=c++20 -pthread -I. bench/inplace.cpp cipher/output.cpp common/fd.cpp \
    common/filereplacement.cpp -o build/bench/inplace

keys=$(mktemp -d)
trap 'rm -rf "$keys"' EXIT
age-keygen -o "$keys/key" 2>/dev/null
python3 bench/cipher.py build/bench/bin/zentil build/bench/inplace "$(age-keygen -y "$keys/key")" "$@"
