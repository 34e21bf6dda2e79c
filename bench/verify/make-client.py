#!/usr/bin/env python3
"""Writes a deterministic game client for the verify benchmark and its
publish layout.

    make-client.py CLIENT_FOLDER LAYOUT_FILE

About 2 GB in 5000 files: four files of 100 MiB and more, a hundred of a
few MiB, the rest between 1 KiB and 1 MiB (log-uniform, as game data is),
and a few empty ones, spread over 50 folders. The bytes are pseudo-random
from a fixed seed, so every run checksums the same data. Prints the file
count and the total size.
"""
import os
import random
import sys

SEED = 20261210
FOLDERS = 50
FOLDERS_PER_PACK = 10
PIECE = 16 << 20


def sizes(rng):
    result = [(100 + 20 * i) << 20 for i in range(4)]
    result += [int(2 ** rng.uniform(21, 24)) for _ in range(100)]
    result += [int(2 ** rng.uniform(10, 20)) for _ in range(4891)]
    result += [0] * 5
    rng.shuffle(result)
    return result


def write_file(path, size, rng):
    with open(path, "wb") as out:
        left = size
        while left:
            n = min(left, PIECE)
            out.write(rng.randbytes(n))
            left -= n


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    client, layout = sys.argv[1], sys.argv[2]
    rng = random.Random(SEED)
    os.makedirs(os.path.join(client, "big"), exist_ok=True)
    for f in range(FOLDERS):
        os.makedirs(os.path.join(client, "d%02d" % f), exist_ok=True)
    total = 0
    all_sizes = sizes(rng)
    for index, size in enumerate(all_sizes):
        folder = "big" if size >= 100 << 20 else "d%02d" % (index % FOLDERS)
        write_file(os.path.join(client, folder, "f%04d.bin" % index), size, rng)
        total += size
    # One package per ten folders and one for the big files: each stays far
    # below the 2 GiB a zip package can hold.
    lines = ["modification bench-%d" % SEED, "client-version 1.0.0", "pack big.pkg full", "  add big"]
    for p in range(FOLDERS // FOLDERS_PER_PACK):
        lines.append("pack g%d.pkg full" % p)
        for f in range(p * FOLDERS_PER_PACK, (p + 1) * FOLDERS_PER_PACK):
            lines.append("  add d%02d" % f)
    with open(layout, "w") as out:
        out.write("\n".join(lines) + "\n")
    print("%d files, %d bytes" % (len(all_sizes), total))


if __name__ == "__main__":
    main()
