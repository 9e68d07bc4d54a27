#!/usr/bin/env python3
"""Compares the codecs for the one-file distribution's solid stream on the real workload.

The payload is make_payload.py's real workload, packed as the one-file program carries it: a
data.pak of stored members (mkpak -l 0), compressed as one stream by

  xz-9e            xz (liblzma) preset 9e: 64 MiB dictionary
  zstd-19-long26   zstd level 19, window capped at 64 MiB (windowLog 26)
  zstd-22-long26   zstd level 22, the same window

through the xz and zstd programs of the same libraries the project links. BENCH-STREAM lines
give each one's bytes, compression seconds, decode seconds (to /dev/null, one thread) and the
decoder's peak resident memory. With --nsis it also builds the solid-LZMA NSIS installer of the
same files (as pack_size.py does) for the size target; otherwise --nsis-bytes gives its size.
VERDICT lines: size at most 1.1 times that installer, decoder memory at most 128 MiB.

  bench/stream_size.py --mkpak PATH [--nsis | --nsis-bytes N]
  environment: BENCH_DIR scratch folder (build/bench)
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pack_size  # noqa: E402  (its NSIS builder and logging)

ROOT = pack_size.ROOT
SIZE_LIMIT = 1.1
MEMORY_LIMIT = 128 * 1024 * 1024
CODECS = (
    ("xz-9e", ["xz", "-9e", "-T1", "-c"], ["xz", "-d", "-T1", "-c"], ".xz"),
    ("zstd-19-long26", ["zstd", "-19", "--long=26", "-T1", "-c", "-q"],
     ["zstd", "-d", "--long=26", "-c", "-q"], ".zst"),
    ("zstd-22-long26", ["zstd", "--ultra", "-22", "--long=26", "-T1", "-c", "-q"],
     ["zstd", "-d", "--long=26", "-c", "-q"], ".zst"),
)


def run_measured(command, source, target):
    """Seconds and peak resident bytes of command reading source and writing target."""
    with open(source, "rb") as stdin, open(target, "wb") as stdout:
        start = time.monotonic()
        process = subprocess.Popen(command, stdin=stdin, stdout=stdout)
        _, status, usage = os.wait4(process.pid, 0)
        seconds = time.monotonic() - start
    if status != 0:
        raise pack_size.ToolFailed("'%s' failed" % " ".join(command))
    return seconds, usage.ru_maxrss * 1024


def measure(name, compress, decompress, suffix, pak, work):
    stream = os.path.join(work, "real-stream-" + name + suffix)
    packed_seconds, _ = run_measured(compress, pak, stream)
    decode_seconds, peak = run_measured(decompress, stream, os.devnull)
    size = os.path.getsize(stream)
    print("BENCH-STREAM workload=real method=%s bytes=%d pack_seconds=%.1f decode_seconds=%.2f "
          "decode_peak_mib=%.1f" % (name, size, packed_seconds, decode_seconds, peak / 2**20),
          flush=True)
    return size, peak


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mkpak", required=True, help="the native mkpak")
    group = parser.add_mutually_exclusive_group()
    group.add_argument("--nsis", action="store_true", help="build the solid-LZMA NSIS installer")
    group.add_argument("--nsis-bytes", type=int, help="its size, measured before")
    args = parser.parse_args()

    work = os.environ.get("BENCH_DIR", os.path.join(ROOT, "build", "bench"))
    os.makedirs(work, exist_ok=True)
    log = os.path.join(work, "stream_size.log")
    try:
        payload = pack_size.real_payload(work)
        if payload is None:
            return 0
        pak = os.path.join(work, "real-stored.pak")
        pack_size.run_logged([args.mkpak, "build", payload, "-o", pak, "-l", "0"], log)
        print("BENCH-INFO workload=real stored_pak_bytes=%d" % os.path.getsize(pak), flush=True)
        nsis_bytes = args.nsis_bytes
        if args.nsis:
            exe = os.path.join(work, "real-nsis-lzma-solid.exe")
            seconds = pack_size.build_nsis(payload, exe, "SetCompressor /SOLID lzma",
                                           pack_size.nsis_target(), log)
            nsis_bytes = os.path.getsize(exe)
            print("BENCH-STREAM workload=real method=nsis-lzma-solid bytes=%d pack_seconds=%.1f" %
                  (nsis_bytes, seconds), flush=True)
        results = {name: measure(name, c, d, s, pak, work) for name, c, d, s in CODECS}
    except pack_size.ToolFailed as failure:
        print("stream_size: %s" % failure, file=sys.stderr)
        return 2

    for name, (size, peak) in results.items():
        fits = peak <= MEMORY_LIMIT and (nsis_bytes is None or size <= SIZE_LIMIT * nsis_bytes)
        line = "VERDICT target=stream-%s %s bytes=%d peak=%d" % (
            name, "PASS" if fits else "MISS", size, peak)
        if nsis_bytes is not None:
            line += " of_nsis_lzma=%.3f" % (size / nsis_bytes)
        print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
