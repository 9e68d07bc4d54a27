#!/usr/bin/env python3
"""Writes the benchmark payloads, the same bytes on every machine for a given seed (but real).

  small: 5,000 files of 4 KiB in 50 folders, each file part text and part random bytes, so
         deflate meets both kinds of data and the package is neither trivially small nor stored.
  large: one 256 MiB file, its first half random bytes and its second half text.
  tiny1k, tiny5k, tiny20k: 1,000, 5,000 and 20,000 files of 1 KiB, 100 to a folder, made like
         the small ones. The folders are equally full in all three, so the cost per file can
         only change with the number of files and not with the size of a folder.
  empty: no files, for what each method costs before and after its first file.
  real: files of this machine, for package sizes: Wine's 32-bit PE DLLs (a prefix of their
        sorted names, up to 200 MB) in dll/, and the text files of /usr/share/doc (a prefix of
        their sorted paths, up to 50 MB) in doc/. Which files depends on the packages installed;
        the stamp names the selection. Exit status 77 when the machine has no such files.

A payload is written beside its final place and renamed when complete, with a stamp naming the
generator's version and seed (for real, the selection), so an interrupted run is never mistaken
for a finished one.
"""

import argparse
import hashlib
import os
import random
import re
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

REAL_DLL_DIRS = ("/usr/lib/wine/i386-windows", "/usr/lib/i386-linux-gnu/wine/i386-windows")
REAL_DOC_DIR = "/usr/share/doc"
REAL_DLL_BYTES = 200 * 1000 * 1000
REAL_TEXT_BYTES = 50 * 1000 * 1000
UNAVAILABLE = 77
PLAIN_COMPONENT = re.compile(r"^[A-Za-z0-9_+-][A-Za-z0-9._+-]*(?<!\.)$")
DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL"} | {
    port + str(n) for port in ("COM", "LPT") for n in range(1, 10)}

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


def plain_name(relative):
    """A name that mkpak takes on any host and Windows keeps as it is: plain ASCII, no device."""
    parts = relative.split("/")
    return len(relative) < 200 and all(
        PLAIN_COMPONENT.match(part) and part.split(".")[0].upper() not in DEVICE_NAMES
        for part in parts)


def prefix_within(candidates, budget):
    """The paths of the leading (path, size) pairs whose sizes add up to at most budget."""
    chosen, total = [], 0
    for path, size in candidates:
        if total + size > budget:
            break
        chosen.append(path)
        total += size
    return chosen


def is_text(path):
    with open(path, "rb") as f:
        return b"\0" not in f.read(4096)


def real_selection():
    """(source, relative destination) pairs of the real workload, or None."""
    dll_dir = next((d for d in REAL_DLL_DIRS if os.path.isdir(d)), None)
    if dll_dir is None or not os.path.isdir(REAL_DOC_DIR):
        return None
    dlls = []
    for name in sorted(os.listdir(dll_dir)):
        path = os.path.join(dll_dir, name)
        if name.endswith(".dll") and os.path.isfile(path) and not os.path.islink(path):
            dlls.append((path, os.path.getsize(path)))
    docs = []
    for folder, subfolders, files in os.walk(REAL_DOC_DIR):
        subfolders.sort()
        for name in files:
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, REAL_DOC_DIR)
            if os.path.isfile(path) and not os.path.islink(path) and plain_name(relative):
                docs.append((relative, path))
    docs.sort()
    texts = [(path, os.path.getsize(path)) for _, path in docs if is_text(path)]
    chosen_dlls = prefix_within(dlls, REAL_DLL_BYTES)
    chosen_texts = prefix_within(texts, REAL_TEXT_BYTES)
    if not chosen_dlls or not chosen_texts:
        return None
    return ([(p, os.path.join("dll", os.path.basename(p))) for p in chosen_dlls] +
            [(p, os.path.join("doc", os.path.relpath(p, REAL_DOC_DIR))) for p in chosen_texts])


def selection_digest(selection):
    digest = hashlib.sha256()
    for source, _ in selection:
        digest.update(("%s %d\n" % (source, os.path.getsize(source))).encode())
    return digest.hexdigest()[:16]


def write_real(root, selection):
    for source, relative in selection:
        dest = os.path.join(root, relative)
        os.makedirs(os.path.dirname(dest), exist_ok=True)
        shutil.copyfile(source, dest)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("workload",
                        choices=["empty", "small", "large", "real"] + sorted(TINY_COUNTS))
    parser.add_argument("dest", help="folder to create; left alone when its stamp matches")
    parser.add_argument("--seed", type=int, default=20261207)
    args = parser.parse_args()

    stamp = "make_payload v%d workload=%s seed=%d\n" % (VERSION, args.workload, args.seed)
    selection = None
    if args.workload == "real":
        selection = real_selection()
        if selection is None:
            print("make_payload: no Wine DLLs in %s or no text in %s" %
                  (" or ".join(REAL_DLL_DIRS), REAL_DOC_DIR), file=sys.stderr)
            return UNAVAILABLE
        stamp = "make_payload v%d workload=real files=%d selection=%s\n" % (
            VERSION, len(selection), selection_digest(selection))
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
    elif args.workload == "real":
        write_real(partial, selection)
    elif args.workload != "empty":
        write_tiny(partial, rng, TINY_COUNTS[args.workload])
    os.rename(partial, args.dest)
    with open(stamp_path, "w") as f:
        f.write(stamp)
    return 0


if __name__ == "__main__":
    sys.exit(main())
