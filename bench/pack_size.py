#!/usr/bin/env python3
"""Prints how large data.pak is beside NSIS installers of the same payload.

The payload is make_payload.py's real workload: Wine's 32-bit PE DLLs and the text files of
/usr/share/doc, about 250 MB in some 2,500 files. It is packed as:

  mkpak-default    data.pak at mkpak's default level, 12, libdeflate's best
  mkpak-l9, -l6    data.pak at mkpak's levels 9 and 6
  zlib-l9, -l6     data.pak as mkpak wrote it before libdeflate, with zlib at those levels (level
                   6 was the default): written here by Python's zipfile over the same zlib with
                   minizip's settings, which gives the sizes that mkpak gave, to the byte
  nsis-zlib        a silent NSIS installer of bench/nsis_install.nsi.in, each file a deflate
                   stream of its own, as each member of data.pak is
  nsis-lzma-solid  the same with "SetCompressor /SOLID lzma": one LZMA stream for all files

BENCH-PAK lines give each one's bytes, its ratio to nsis-zlib and, for what mkpak and makensis
make, their seconds. Every package mkpak made is then verified (mkpak verify). VERDICT
target=pak-vs-nsis-zlib passes when data.pak at the default level is no larger than nsis-zlib.

  bench/pack_size.py [--mkpak PATH]   environment: BENCH_DIR scratch folder (build/bench)

Without --mkpak it builds the native preset's mkpak, as bench/run does. Exit status: 0 the target
met, or no real workload on this machine (BENCH-INFO says so); 1 the target missed or a package
did not verify; 2 a tool is missing or the build failed.
"""

import argparse
import io
import os
import shutil
import struct
import subprocess
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
UNAVAILABLE = 77  # make_payload.py's answer when the machine lacks the files
PACK_NAME_SIZE = 260
NSIS_ZLIB_LINE = "SetCompressor zlib"


class ToolFailed(Exception):
    pass


def run_logged(command, log):
    """Runs command with its output in log; ToolFailed when it fails."""
    with open(log, "a") as out:
        if subprocess.run(command, stdout=out, stderr=subprocess.STDOUT).returncode != 0:
            raise ToolFailed("'%s' failed; log in %s" % (" ".join(command), log))


def timed(command, log):
    start = time.monotonic()
    run_logged(command, log)
    return time.monotonic() - start


def build_mkpak(log):
    run_logged(["cmake", "--preset", "native"], log)
    run_logged(["cmake", "--build", "--preset", "native", "--target", "mkpak"], log)
    return os.path.join(ROOT, "build", "native", "tools", "mkpak")


def members(payload):
    """(member name, path) of every file, in mkpak's order: sorted by member name."""
    found = []
    for folder, _, files in os.walk(payload):
        for name in files:
            path = os.path.join(folder, name)
            found.append((os.path.relpath(path, payload).replace(os.sep, "\\"), path))
    return sorted(found)


def write_zlib_pak(payload, out, level):
    """data.pak as mkpak wrote it with minizip over zlib: per member the 268-byte header, then a
    one-file zip whose member zlib deflated raw, with a 32 KiB window and memLevel 8."""
    with open(out, "wb") as pak:
        for name, path in members(payload):
            archive = io.BytesIO()
            with zipfile.ZipFile(archive, "w") as zip_file:
                info = zipfile.ZipInfo(name.replace("\\", "/"), date_time=(1980, 1, 1, 0, 0, 0))
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as f:
                    zip_file.writestr(info, f.read(), compresslevel=level)
            data = archive.getvalue()
            header = name.encode("ascii").ljust(PACK_NAME_SIZE, b"\0") + bytes(4)
            pak.write(header + struct.pack("<I", len(data)) + data)


def nsis_target():
    """The stub of the product's architecture (i686, ANSI), or amd64's where that is missing."""
    info = subprocess.run(["makensis", "-HDRINFO"], capture_output=True, text=True).stdout
    items = [item.strip() for item in info.replace(",", "\n").split("\n")]
    nsis_dir = next((item[len("NSISDIR="):] for item in items if item.startswith("NSISDIR=")), "")
    for target in ("x86-ansi", "amd64-unicode"):
        if os.path.isfile(os.path.join(nsis_dir, "Stubs", "zlib-" + target)):
            return target
    raise ToolFailed("makensis has no zlib stub for x86-ansi or amd64-unicode")


def build_nsis(payload, exe, compressor, target, log):
    """An NSIS installer of payload from bench/nsis_install.nsi.in with compressor's line."""
    nsh = exe[:-len(".exe")] + ".nsh"
    run_logged([sys.executable, os.path.join(ROOT, "bench", "removal_lists.py"), "plain",
                payload, nsh], log)
    with open(os.path.join(ROOT, "bench", "nsis_install.nsi.in")) as f:
        script = f.read()
    if NSIS_ZLIB_LINE + "\n" not in script:
        raise ToolFailed("bench/nsis_install.nsi.in has no line '%s'" % NSIS_ZLIB_LINE)
    script = script.replace(NSIS_ZLIB_LINE + "\n", compressor + "\n")
    for key, value in (("@PAYLOAD@", payload), ("@OUTFILE@", exe), ("@UNINSTALL@", nsh),
                       ("@TARGET@", target)):
        script = script.replace(key, value)
    nsi = exe[:-len(".exe")] + ".nsi"
    with open(nsi, "w") as f:
        f.write(script)
    return timed(["makensis", "-V1", nsi], log)


def report(method, path, seconds, reference):
    size = os.path.getsize(path)
    line = "BENCH-PAK workload=real method=%s bytes=%d" % (method, size)
    if reference:
        line += " of_nsis_zlib=%.3f" % (size / reference)
    if seconds is not None:
        line += " seconds=%.1f" % seconds
    print(line, flush=True)


def real_payload(work):
    """make_payload.py's real workload, made in work; None (said in a BENCH-INFO line) when this
    machine lacks its files."""
    payload = os.path.join(work, "payload-real")
    made = subprocess.run([sys.executable, os.path.join(ROOT, "bench", "make_payload.py"), "real",
                           payload])
    if made.returncode == UNAVAILABLE:
        print("BENCH-INFO workload=real unavailable: this machine lacks its files")
        return None
    if made.returncode != 0:
        raise ToolFailed("make_payload.py real failed")
    return payload


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mkpak", help="the mkpak to measure (default: build the native one)")
    args = parser.parse_args()

    work = os.environ.get("BENCH_DIR", os.path.join(ROOT, "build", "bench"))
    os.makedirs(work, exist_ok=True)
    log = os.path.join(work, "pack_size.log")
    needed = ["makensis"] + ([] if args.mkpak else ["cmake"])
    missing = [tool for tool in needed if shutil.which(tool) is None]
    if missing:
        print("pack_size: %s missing; cmake/bootstrap.sh installs the project's tools" %
              ", ".join(missing), file=sys.stderr)
        return 2

    try:
        payload = real_payload(work)
        if payload is None:
            return 0
        mkpak = os.path.abspath(args.mkpak) if args.mkpak else build_mkpak(log)
        files = members(payload)
        with open(payload + ".stamp") as f:
            selection = f.read().split()[-1]
        print("BENCH-INFO workload=real files=%d bytes=%d %s" %
              (len(files), sum(os.path.getsize(path) for _, path in files), selection))

        target = nsis_target()
        print("BENCH-INFO nsis_target=%s" % target)
        nsis_zlib = os.path.join(work, "real-nsis-zlib.exe")
        zlib_seconds = build_nsis(payload, nsis_zlib, NSIS_ZLIB_LINE, target, log)
        reference = os.path.getsize(nsis_zlib)
        report("nsis-zlib", nsis_zlib, zlib_seconds, reference)
        nsis_lzma = os.path.join(work, "real-nsis-lzma-solid.exe")
        seconds = build_nsis(payload, nsis_lzma, "SetCompressor /SOLID lzma", target, log)
        report("nsis-lzma-solid", nsis_lzma, seconds, reference)

        for level in (9, 6):
            pak = os.path.join(work, "real-zlib-l%d.pak" % level)
            write_zlib_pak(payload, pak, level)
            report("zlib-l%d" % level, pak, None, reference)

        status = 0
        for level in ("default", "9", "6"):
            method = "mkpak-" + (level if level == "default" else "l" + level)
            pak = os.path.join(work, "real-%s.pak" % method)
            command = [mkpak, "build", payload, "-o", pak]
            seconds = timed(command + ([] if level == "default" else ["-l", level]), log)
            report(method, pak, seconds, reference)
            if subprocess.run([mkpak, "verify", pak], stdout=subprocess.DEVNULL).returncode != 0:
                print("pack_size: %s does not verify" % pak, file=sys.stderr)
                status = 1
    except ToolFailed as failure:
        print("pack_size: %s" % failure, file=sys.stderr)
        return 2

    pak_bytes = os.path.getsize(os.path.join(work, "real-mkpak-default.pak"))
    passed = pak_bytes <= reference
    print("VERDICT target=pak-vs-nsis-zlib %s bytes=%d limit=%d" %
          ("PASS" if passed else "MISS", pak_bytes, reference))
    return status if passed else 1


if __name__ == "__main__":
    sys.exit(main())
