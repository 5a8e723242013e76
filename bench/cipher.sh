#!/bin/bash
# Times zentil against the physical limit of atomic in-place replacement (and the same through
# the page cache), a plain copy, and age, on two lockers: one file of 512 MiB, and 1000 files of
# 256 KiB. Prints the medians of RUNS runs (5 by default) and the ratios to the in-place limit.
# Run by hand:
#   bench/cipher.sh            (needs about 3 GiB of free disk under /var/tmp)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-5}
command -v age >/dev/null || { apt-get update && apt-get install -y age; }

cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DTARVOLEN_TESTS=OFF >/dev/null
cmake --build build/bench -j "$(nproc)" --target zentil >/dev/null
g++ -O2 -std=c++20 -pthread -I. bench/inplace.cpp cipher/output.cpp -o build/bench/inplace

base=$(mktemp -d /var/tmp/zentil-bench-XXXXXX)
trap 'rm -rf "$base"' EXIT
export XDG_CONFIG_HOME="$base/config"
age-keygen -o "$base/age-key.txt" 2>/dev/null
recipient=$(age-keygen -y "$base/age-key.txt")

make_tree() { # tree folder
    mkdir -p "$2"
    if [ "$1" = big ]; then
        head -c $((512 << 20)) /dev/urandom >"$2/big.bin"
    else
        for i in $(seq 1000); do head -c $((256 << 10)) /dev/urandom >"$2/f$i.bin"; done
    fi
}

# A program folder with zentil, a stored password and the tree as its locker.
make_program() { # tree folder
    mkdir -p "$2"
    cp build/bench/bin/zentil "$2/"
    local section
    section=$(python3 -c "import sys; print(''.join('l%d' % (b + 32 if 65 <= b <= 90 else b) for b in sys.argv[1].encode('cp1252')))" "$2")
    mkdir -p "$XDG_CONFIG_HOME/tarvolen"
    printf '[%s]\nPsetting=l98l101l110l99l104\n\n' "$section" >>"$XDG_CONFIG_HOME/tarvolen/vemb.ini"
    cp -r "$base/master-$1" "$2/Locker"
    sync
}

# Freed memory goes back to the host here, and first writes into it are slow: touch some first.
warm() { python3 -c "b = bytearray(400 << 20); b[::4096] = b'x' * len(b[::4096])"; }

# Seconds that a command takes, after warming.
timed() {
    warm
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}

median() { sort -n | awk '{a[NR] = $1} END {m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; printf "%.3f", m}'; }

age_each() { # folder
    find "$1" -type f | while read -r f; do age -r "$recipient" -o "$f.age" "$f"; done
}

copy_sync() { cp -r "$1" "$2" && sync; }

for tree in big many; do
    make_tree "$tree" "$base/master-$tree"
    declare -A results=()
    for run in $(seq "$runs"); do
        p="$base/$tree-$run"
        make_program "$tree" "$p"
        results[inplace]+="$(timed build/bench/inplace "$p/Locker")"$'\n'
        results[buffered]+="$(timed build/bench/inplace --buffered "$p/Locker")"$'\n'
        results[cp]+="$(timed copy_sync "$p/Locker" "$p/copy")"$'\n'
        results[encrypt]+="$(timed "$p/zentil" encrypt)"$'\n'
        results[decrypt]+="$(timed "$p/zentil" decrypt)"$'\n'
        results[age]+="$(timed age_each "$p/copy")"$'\n'
        rm -rf "$p"
    done
    limit=$(printf '%s' "${results[inplace]}" | median)
    echo "== $tree: $( [ $tree = big ] && echo '1 file of 512 MiB' || echo '1000 files of 256 KiB'), median of $runs runs"
    for what in inplace buffered cp encrypt decrypt age; do
        m=$(printf '%s' "${results[$what]}" | median)
        printf '%-8s %8.3f s   %5.2f x in-place limit\n' "$what" "$m" "$(echo "$m / $limit" | bc -l)"
    done
    unset results
done
