#!/usr/bin/env python3
"""Writes the benchmark payloads, the same bytes on every machine for a given seed.

  small: 5,000 files of 4 KiB in 50 folders, each file part text and part random bytes, so
         deflate meets both kinds of data and the package is neither trivially small nor stored.
  large: one 256 MiB file, its first half random bytes and its second half text.

A payload is written beside its final place and renamed when complete, with a stamp naming the
generator's version and seed, so an interrupted run is never mistaken for a finished one.
"""

import argparse
import os
import random
import shutil
import sys

VERSION = 1
SMALL_FOLDERS = 50
SMALL_FILES = 5000
SMALL_FILE_SIZE = 4096
LARGE_SIZE = 256 * 1024 * 1024
TEXT_CHUNK = 1024 * 1024

# Plain words give text that compresses about as well as documentation or scripts do.
WORDS = (
    "the of and to in is was for that with as on by at from this be are or it an which have "
    "setup install folder file package member archive windows program user path name size data "
    "read write open close error value result system version copy remove create check list "
    "table buffer stream header length offset level default option message dialog window button "
    "license progress finish cancel target source registry shortcut uninstall update patch"
).split()


def text_bytes(rng, size):
    """Lines of words drawn at random, exactly size bytes long."""
    out = bytearray()
    while len(out) < size:
        line = " ".join(rng.choices(WORDS, k=rng.randint(4, 14)))
        out += line.encode("ascii") + b"\n"
    return bytes(out[:size])


def write_small(root, rng):
    per_folder = SMALL_FILES // SMALL_FOLDERS
    for f in range(SMALL_FOLDERS):
        folder = os.path.join(root, "dir%02d" % f)
        os.mkdir(folder)
        for i in range(per_folder):
            # Where the text ends and the random bytes begin differs from file to file.
            split = rng.randint(0, SMALL_FILE_SIZE)
            data = text_bytes(rng, split) + rng.randbytes(SMALL_FILE_SIZE - split)
            with open(os.path.join(folder, "file%04d.dat" % i), "wb") as out:
                out.write(data)


def write_large(root, rng):
    half = LARGE_SIZE // 2
    with open(os.path.join(root, "large.bin"), "wb") as out:
        for _ in range(half // TEXT_CHUNK):
            out.write(rng.randbytes(TEXT_CHUNK))
        for _ in range(half // TEXT_CHUNK):
            out.write(text_bytes(rng, TEXT_CHUNK))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("workload", choices=["small", "large"])
    parser.add_argument("dest", help="folder to create; left alone when its stamp matches")
    parser.add_argument("--seed", type=int, default=20261207)
    args = parser.parse_args()

    stamp = "make_payload v%d workload=%s seed=%d\n" % (VERSION, args.workload, args.seed)
    stamp_path = args.dest + ".stamp"
    if os.path.isdir(args.dest) and os.path.isfile(stamp_path):
        with open(stamp_path) as f:
            if f.read() == stamp:
                return 0

    partial = args.dest + ".partial"
    for stale in (partial, args.dest):
        if os.path.exists(stale):
            shutil.rmtree(stale)
    if os.path.exists(stamp_path):
        os.remove(stamp_path)
    os.makedirs(partial)
    rng = random.Random("%s-%d" % (args.workload, args.seed))
    (write_small if args.workload == "small" else write_large)(partial, rng)
    os.rename(partial, args.dest)
    with open(stamp_path, "w") as f:
        f.write(stamp)
    return 0


if __name__ == "__main__":
    sys.exit(main())
