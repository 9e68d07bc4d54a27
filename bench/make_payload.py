#!/usr/bin/env python3
"""Writes the benchmark payloads, the same bytes on every machine for a given seed.

  small: 5,000 files of 4 KiB in 50 folders, each file part text and part random bytes, so
         deflate meets both kinds of data and the package is neither trivially small nor stored.
  large: one 256 MiB file, its first half random bytes and its second half text.
  tiny1k, tiny5k, tiny20k: 1,000, 5,000 and 20,000 files of 1 KiB, 100 to a folder, made like
         the small ones. The folders are equally full in all three, so the cost per file can
         only change with the number of files and not with the size of a folder.
  empty: no files, for what each method costs before and after its first file.

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
TINY_FILE_SIZE = 1024
TINY_PER_FOLDER = 100
TINY_COUNTS = {"tiny1k": 1000, "tiny5k": 5000, "tiny20k": 20000}
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


def write_files(root, rng, folders, per_folder, size, folder_format):
    for f in range(folders):
        folder = os.path.join(root, folder_format % f)
        os.mkdir(folder)
        for i in range(per_folder):
            # Where the text ends and the random bytes begin differs from file to file.
            split = rng.randint(0, size)
            data = text_bytes(rng, split) + rng.randbytes(size - split)
            with open(os.path.join(folder, "file%04d.dat" % i), "wb") as out:
                out.write(data)


def write_small(root, rng):
    write_files(root, rng, SMALL_FOLDERS, SMALL_FILES // SMALL_FOLDERS, SMALL_FILE_SIZE, "dir%02d")


def write_tiny(root, rng, count):
    write_files(root, rng, count // TINY_PER_FOLDER, TINY_PER_FOLDER, TINY_FILE_SIZE, "dir%03d")


def write_large(root, rng):
    half = LARGE_SIZE // 2
    with open(os.path.join(root, "large.bin"), "wb") as out:
        for _ in range(half // TEXT_CHUNK):
            out.write(rng.randbytes(TEXT_CHUNK))
        for _ in range(half // TEXT_CHUNK):
            out.write(text_bytes(rng, TEXT_CHUNK))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("workload", choices=["empty", "small", "large"] + sorted(TINY_COUNTS))
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
    if args.workload == "small":
        write_small(partial, rng)
    elif args.workload == "large":
        write_large(partial, rng)
    elif args.workload != "empty":
        write_tiny(partial, rng, TINY_COUNTS[args.workload])
    os.rename(partial, args.dest)
    with open(stamp_path, "w") as f:
        f.write(stamp)
    return 0


if __name__ == "__main__":
    sys.exit(main())
