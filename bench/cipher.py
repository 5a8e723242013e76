#!/usr/bin/env python3
"""Times zentil on lockers of every shape against writing the same tree once durably.

For each tree, in one run, interleaved: `cp -r` of the tree and `sync` (the floor), `zentil
encrypt`, `zentil decrypt`, the in-place baseline (bench/inplace.cpp) and `age` on every file
and `sync`. Every measurement starts from a fresh copy of the tree, flushed to the disk and read
into the page cache, after touching the same amount of memory. Prints the medians, their ratios
to the floor and the peak resident memory. Started by bench/cipher.sh, which builds what it times.

Usage: cipher.py <zentil> <inplace> <age recipient> [tree ...]
Environment: RUNS (5 by default), BENCH_DIR (/var/tmp by default), SKIP (contenders to leave
out, by any word of their names, separated by commas: "age,baseline"), OTHER_ZENTIL (the zentil
of another build, timed as "other zentil encrypt" and "other zentil decrypt" beside this one).
"""
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

KIB = 1024
MIB = 1024 * KIB


def photo_folder():
    """Photos of 2 to 8 MiB with small sidecar and thumbnail files, in folders by month."""
    rng = random.Random(13)
    files = [(f"{i % 12 + 1:02}/IMG_{i:04}.jpg", rng.randint(2 * MIB, 8 * MIB)) for i in range(300)]
    files += [(f"{i % 12 + 1:02}/.thumbs/t{i:04}.jpg", rng.randint(2 * KIB, 64 * KIB)) for i in range(2000)]
    return files


# Files that someone put into the locker of the tree "planted": each begins like a locked file with
# a salt of its own, which a decrypt cannot open and, before keys were bounded, derived a key for.
PLANTED = 60


def plant(folder):
    for i in range(PLANTED):
        with open(os.path.join(folder, f"planted{i}"), "wb") as f:
            f.write(b"ZENTIL\x02\x00" + (2).to_bytes(8, "little") + (64 * MIB).to_bytes(8, "little")
                    + os.urandom(16 + 24 + 17))


# name: (description, files as (path, size), runs; None for RUNS)
TREES = {
    "256k": ("1000 x 256 KiB", [(f"f{i}", 256 * KIB) for i in range(1000)], None),
    "16k": ("10,000 x 16 KiB", [(f"d{i % 10}/f{i}", 16 * KIB) for i in range(10_000)], None),
    "1k": ("10,000 x 1 KiB", [(f"d{i % 10}/f{i}", KIB) for i in range(10_000)], None),
    "512m": ("1 x 512 MiB", [("big", 512 * MIB)], None),
    "photos": ("photo folder: 300 x 2-8 MiB + 2000 small", photo_folder(), None),
    "100k": ("100,000 x 1 KiB", [(f"d{i % 100}/f{i}", KIB) for i in range(100_000)], 1),
    "1000": ("1000 x 16 KiB", [(f"f{i}", 16 * KIB) for i in range(1000)], None),
    "planted": (f"1000 x 16 KiB + {PLANTED} planted", [(f"f{i}", 16 * KIB) for i in range(1000)], None),
}

OTHER_ZENTIL = os.environ.get("OTHER_ZENTIL")
CONTENDERS = ["cp -r + sync", "zentil encrypt", "zentil decrypt",
              *(["other zentil encrypt", "other zentil decrypt"] if OTHER_ZENTIL else []),
              "in-place baseline", "age + sync"]
FLOOR = CONTENDERS[0]
CONTENDERS = [FLOOR] + [c for c in CONTENDERS[1:]
                        if not any(w and w in c for w in os.environ.get("SKIP", "").split(","))]


def sh(command):
    subprocess.run(command, shell=True, check=True)


def make_tree(folder, files):
    for path, size in files:
        full = os.path.join(folder, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            while size > 0:
                part = min(size, 8 * MIB)
                f.write(os.urandom(part))
                size -= part


def read_all(folder):
    for root, _, names in os.walk(folder):
        for name in names:
            with open(os.path.join(root, name), "rb") as f:
                while f.read(8 * MIB):
                    pass


def fresh_copy(master, target):
    """A new copy of master at target, on the disk and in the page cache."""
    sh(f"cp -r '{master}' '{target}' && sync")
    read_all(target)


def remove(*folders):
    for folder in folders:
        shutil.rmtree(folder, ignore_errors=True)
    os.sync()


def warm_memory():
    # Freed memory goes back to the host on this machine, and first writes into it are slow.
    block = bytearray(400 * MIB)
    block[:: 4096] = b"x" * len(block[:: 4096])
    del block


def timed(argv, env=None, failures=False):
    """Seconds that argv takes and the peak resident memory, in MiB, of it and its children. With
    failures, argv may end with 1: some files failed, as planted ones do."""
    warm_memory()
    # GNU time measures the memory: a child of this process would count this process's own.
    with tempfile.NamedTemporaryFile("r") as rss:
        start = time.monotonic()
        done = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", rss.name, *argv], env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        seconds = time.monotonic() - start
        if done.returncode not in ((0, 1) if failures else (0,)):
            sys.exit(f"failed ({done.returncode}): {' '.join(argv)}")
        # Its last line: before it, GNU time says so when argv failed.
        return seconds, int(rss.read().split()[-1]) / KIB


class Bench:
    def __init__(self, zentil, inplace, recipient, base):
        self.inplace = inplace
        self.recipient = recipient
        self.base = base
        # A program folder with zentil and a stored password: its Locker is the tree at hand.
        self.program = os.path.join(base, "program")
        self.locker = os.path.join(self.program, "Locker")
        os.makedirs(self.program)
        shutil.copy(zentil, self.program)
        self.zentil = os.path.join(self.program, "zentil")
        # Beside it under another name, it finds the same settings and locker.
        self.other = os.path.join(self.program, "zentil-other")
        if OTHER_ZENTIL:
            shutil.copy(OTHER_ZENTIL, self.other)
        self.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(base, "config"))
        # The section under the path's own letters, and under the path with A to Z folded, as
        # earlier versions name it: each zentil of an A/B run finds its own.
        path = self.program.encode("cp1252")
        sections = {"".join(f"l{b}" for b in path),
                    "".join(f"l{b + 32 if 65 <= b <= 90 else b}" for b in path)}
        os.makedirs(os.path.join(base, "config", "tarvolen"))
        with open(os.path.join(base, "config", "tarvolen", "vemb.ini"), "w") as f:
            for section in sorted(sections):
                f.write(f"[{section}]\nPsetting=l98l101l110l99l104\n\n")  # "bench"

    def prepare(self, name, files):
        """The plain and the encrypted master copies of a tree, with the planted files in both."""
        plain = os.path.join(self.base, f"master-{name}")
        encrypted = plain + "-encrypted"
        make_tree(plain, files)
        sh(f"cp -r '{plain}' '{self.locker}'")
        timed([self.zentil, "encrypt"], self.env)
        os.rename(self.locker, encrypted)
        self.failures = name == "planted"
        if self.failures:
            plant(plain)
            plant(encrypted)
        os.sync()
        return plain, encrypted

    def measure(self, contender, plain, encrypted):
        copy = os.path.join(self.base, "copy")
        if contender == FLOOR:
            fresh_copy(plain, self.locker)
            result = timed(["sh", "-c", f"cp -r '{self.locker}' '{copy}' && sync"])
        elif contender.endswith(("zentil encrypt", "zentil decrypt")):
            mode = contender.split()[-1]
            fresh_copy(plain if mode == "encrypt" else encrypted, self.locker)
            result = timed([self.other if contender.startswith("other") else self.zentil, mode],
                           self.env, self.failures)
        elif contender == "in-place baseline":
            fresh_copy(plain, self.locker)
            result = timed([self.inplace, self.locker])
        else:
            fresh_copy(plain, self.locker)
            age = (f"find '{self.locker}' -type f -print0 | "
                   f"xargs -0 -P {os.cpu_count()} -I{{}} age -r {self.recipient} -o {{}}.age {{}} && sync")
            result = timed(["sh", "-c", age])
        remove(self.locker, copy)
        return result


def report(title, runs, samples):
    """Prints a tree's figures and returns its row for the summary."""
    floor = statistics.median(s for s, _ in samples[FLOOR])
    print(f"== {title}: median of {runs} run{'s' if runs > 1 else ''}", flush=True)
    row = {}
    for contender in CONTENDERS:
        seconds = [s for s, _ in samples[contender]]
        median = statistics.median(seconds)
        rss = max(r for _, r in samples[contender])
        row[contender] = (median, median / floor, rss)
        print(f"  {contender:<18} {median:8.3f} s  {median / floor:5.2f} x  "
              f"(range {min(seconds):.3f}-{max(seconds):.3f} s)  peak RSS {rss:6.1f} MiB", flush=True)
    return row


def summary(rows):
    print("\n| tree | " + " | ".join(CONTENDERS) + " |")
    print("|---" * (len(CONTENDERS) + 1) + "|")
    for title, row in rows.items():
        cells = [f"{m:.3f} s ({r:.2f} x)" for m, r, _ in (row[c] for c in CONTENDERS)]
        print(f"| {title} | " + " | ".join(cells) + " |")
    print("\nPeak RSS:\n\n| tree | " + " | ".join(CONTENDERS) + " |")
    print("|---" * (len(CONTENDERS) + 1) + "|")
    for title, row in rows.items():
        print(f"| {title} | " + " | ".join(f"{row[c][2]:.1f} MiB" for c in CONTENDERS) + " |")
    small, large = TREES["1k"][0], TREES["100k"][0]
    if small in rows and large in rows:
        for contender in CONTENDERS:
            print(f"\n{large} / {small}, {contender}: {rows[large][contender][0] / rows[small][contender][0]:.1f} x",
                  end="")
        print()


def main():
    zentil, inplace, recipient, *names = sys.argv[1:]
    runs = int(os.environ.get("RUNS", "5"))
    base = tempfile.mkdtemp(prefix="zentil-bench-", dir=os.environ.get("BENCH_DIR", "/var/tmp"))
    try:
        bench = Bench(zentil, inplace, recipient, base)
        rows = {}
        for name in names or TREES:
            title, files, tree_runs = TREES[name]
            plain, encrypted = bench.prepare(name, files)
            tree_runs = tree_runs or runs
            samples = {c: [] for c in CONTENDERS}
            for run in range(tree_runs):
                # Each run takes the contenders in another order, so none always follows the same one.
                order = CONTENDERS[run % len(CONTENDERS):] + CONTENDERS[: run % len(CONTENDERS)]
                for contender in order:
                    samples[contender].append(bench.measure(contender, plain, encrypted))
            rows[title] = report(title, tree_runs, samples)
            remove(plain, encrypted)
        summary(rows)
    finally:
        shutil.rmtree(base, ignore_errors=True)


if __name__ == "__main__":
    main()
