#!/usr/bin/env python3
"""Measures the one-file distribution on the real workload against NSIS installers of it.

The payload is make_payload.py's real workload. mkpak dist makes its distribution folder and,
with --one-file, the single program that carries that folder as one xz stream.

Sizes (BENCH-ONEFILE), each with its ratio to both NSIS installers, built as pack_size.py
builds them:
  data-pak         data.pak at mkpak dist's default level
  dist-folder      every file of the distribution folder: data.pak, setup.exe, setup.ini and
                   the log template (no face.bmp)
  one-file         the single program
  nsis-zlib        the silent NSIS installer, a deflate stream per file
  nsis-lzma-solid  the same with one LZMA stream for all files
They use the i686 programs a publisher ships (setup.exe, uninstall.exe, onefile.exe from
--programs) and NSIS's x86 stub. VERDICT lines: data.pak no larger than nsis-zlib, the single
program at most 1.1 times nsis-lzma-solid.

Under Wine (BENCH lines, medians over BENCH_REPS; the architecture as bench/run picks it, so
the x86_64 build of the same sources and NSIS's amd64 stub where the host runs no 32-bit code),
each program is started from the host through cmake/wine-run.sh and timed until its process
ends, Wine's start of it included; one wineserver and X server serve the whole run:
  onefile-wine     the single program as a user runs it: it checks and unpacks its folder into
                   the temporary folder and starts setup.exe, whose main dialog wine_helper.exe
                   fills in with the install folder and Install; setup.exe unpacks data.pak
                   there, shows "Install completed!", which the helper answers, and ends; the
                   single program removes its temporary folder and ends. to_box_s is the time
                   from the start to that message, seconds the whole run.
  nsis-lzma-wine   the solid LZMA installer run silently (/S) into a folder of the same disk.
VERDICT: the single program's time to its message no longer than the NSIS installer's whole
run (the user is done when the message shows; what follows is the removal of the temporary
folder). Its peak memory is the peak working set that Wine reports for the single program's
own process (not setup.exe's), read by the helper until it ends: VERDICT at most 128 MiB.

  bench/one_file.py --mkpak PATH [--programs DIR] [--wine-programs DIR]
  environment: BENCH_DIR scratch folder (build/bench), BENCH_REPS (3), BENCH_PAUSE (2)

--programs is a win32 build folder (default build/win32), --wine-programs one of the
architecture Wine runs here (default build/win32 or build/win64). bench/run onefile builds them
and runs this. Exit status: 0 every target met, or no real workload here; 1 a target missed or
an installation differed from the payload; 2 a tool is missing or a step failed.
"""

import argparse
import collections
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pack_size  # noqa: E402  (its payload, NSIS builder and logging)

ROOT = pack_size.ROOT
SIZE_LIMIT = 1.1
MEMORY_LIMIT_KB = 128 * 1024
WINE_TIMEOUT = 900
SETTLE_AFTER_DELETE = 60
TITLE = "Bench Setup"
# No shortcuts, as bench/run's dialog-wine: the shell's link object is no part of either.
SETUP_INI = "[main]\r\ntitle=%s\r\nlocation=C:\\Bench\r\n\r\n[shortcut]\r\ngroup=Bench\r\n" \
            "itemnum=0\r\n" % TITLE
LZMA_LINE = "SetCompressor /SOLID lzma"


def fresh(output, inputs):
    """True when output exists and is newer than every input."""
    return os.path.exists(output) and all(os.path.getmtime(output) > os.path.getmtime(path)
                                          for path in inputs)


def nsis_installer(payload, name, compressor, target, log):
    exe = os.path.join(os.path.dirname(payload), name)
    inputs = [payload + ".stamp", os.path.join(ROOT, "bench", "nsis_install.nsi.in")]
    if not fresh(exe, inputs):
        pack_size.build_nsis(payload, exe, compressor, target, log)
    return exe


def one_file(mkpak, payload, programs, name, i686, log):
    """The distribution folder and single program from the programs of one build folder."""
    work = os.path.dirname(payload)
    dist, exe = os.path.join(work, name), os.path.join(work, name + ".exe")
    setup = os.path.join(programs, "app", "setup.exe")
    uninstaller = os.path.join(programs, "uninstall", "uninstall.exe")
    carrier = os.path.join(programs, "onefile", "onefile.exe")
    for path in (setup, uninstaller, carrier):
        if not os.path.isfile(path):
            raise pack_size.ToolFailed("%s is missing; build it first" % path)
    ini = os.path.join(work, "onefile-setup.ini")
    # Written only when it changed: its time decides whether the single program is rebuilt.
    current = None
    if os.path.exists(ini):
        with open(ini, newline="") as f:
            current = f.read()
    if current != SETUP_INI:
        with open(ini, "w", newline="") as f:
            f.write(SETUP_INI)
    template = os.path.join(ROOT, "demo", "uninstall.ini")
    if fresh(exe, [payload + ".stamp", mkpak, setup, uninstaller, carrier, ini, template]):
        return dist, exe, None
    if os.path.exists(exe):
        os.remove(exe)
    command = [mkpak, "dist", payload, "-o", dist, "--ini", ini, "--template", template,
               "--setup", setup, "--uninstaller", uninstaller, "--one-file", exe,
               "--carrier", carrier]
    start = time.monotonic()
    with open(log, "a") as out:
        code = subprocess.run(command, stdout=out, stderr=subprocess.STDOUT).returncode
    # mkpak's check refuses programs that are not i686 (exit status 1), which the x86_64 ones
    # standing in for them under 64-bit Wine are; everything is written before that check.
    if code != 0 and not (code == 1 and not i686 and os.path.isfile(exe)):
        raise pack_size.ToolFailed("'%s' failed; log in %s" % (" ".join(command), log))
    return dist, exe, time.monotonic() - start


def size_line(method, size, zlib, lzma, seconds=None):
    line = "BENCH-ONEFILE workload=real method=%s bytes=%d of_nsis_zlib=%.3f of_nsis_lzma=%.3f" % (
        method, size, size / zlib, size / lzma)
    if seconds is not None:
        line += " seconds=%.1f" % seconds
    print(line, flush=True)


def folder_bytes(folder):
    return sum(os.path.getsize(os.path.join(folder, name)) for name in os.listdir(folder))


def verdict(name, passed, detail):
    print("VERDICT target=%s %s %s" % (name, "PASS" if passed else "MISS", detail), flush=True)
    return passed


def median(values):
    values = sorted(values)
    middle = len(values) // 2
    return values[middle] if len(values) % 2 else (values[middle - 1] + values[middle]) / 2


def fields(path):
    with open(path) as f:
        return {key: float(value) for key, value in (item.split("=") for item in f.read().split())}


def wine_path(path):
    return "Z:" + path.replace("/", "\\")


def runs_32_bit():
    """Whether the 32-bit Wine loader runs here; a kernel without 32-bit code cannot exec it."""
    try:
        return subprocess.run(["/usr/lib/wine/wine", "--version"],
                              capture_output=True).returncode == 0
    except OSError:
        return False


class Wine:
    """One prefix, wineserver and X server for the whole run, as bench/run keeps them."""

    def __init__(self, work, log):
        if runs_32_bit():
            self.arch, self.cxx, self.nsis = "win32", "i686-w64-mingw32-g++-posix", "x86-ansi"
        else:
            self.arch, self.cxx, self.nsis = "win64", "x86_64-w64-mingw32-g++-posix", \
                "amd64-unicode"
        self.prefix = os.path.join(work, "wineprefix-" + self.arch)
        self.env = dict(os.environ, WINEPREFIX=self.prefix)
        self.helper = os.path.join(work, "wine_helper-%s.exe" % self.arch)
        source = os.path.join(ROOT, "bench", "wine_helper.cpp")
        if not fresh(self.helper, [source]):
            pack_size.run_logged([self.cxx, "-O2", "-static", "-mwindows", "-o", self.helper,
                                  source], log)

    def command(self, *args):
        return ["bash", os.path.join(ROOT, "cmake", "wine-run.sh"), self.prefix, self.arch] + \
            list(args)

    def server(self, *args):
        subprocess.run(["/usr/lib/wine/wineserver"] + list(args), env=self.env,
                       stderr=subprocess.DEVNULL)

    def start(self):
        # Makes the prefix when it is missing; the idle helper keeps Wine's services up.
        quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if subprocess.run(self.command(self.helper), **quiet).returncode != 0:
            raise pack_size.ToolFailed("Wine cannot run %s programs here" % self.arch)
        self.server("-w")
        self.server("-p")
        subprocess.run(self.command(self.helper, "window"), **quiet)
        self.idle = subprocess.Popen(self.command(self.helper, "idle"), **quiet)

    def stop(self):
        self.server("-k")
        self.idle.wait()

    def temp_entries(self):
        users = os.path.join(self.prefix, "drive_c", "users")
        return {os.path.join(users, user, "Temp", name) for user in os.listdir(users)
                if os.path.isdir(os.path.join(users, user, "Temp"))
                for name in os.listdir(os.path.join(users, user, "Temp"))}


def remove_runs(runs, cleaned):
    shutil.rmtree(runs, ignore_errors=True)
    subprocess.run(["sync"])
    with open(cleaned, "a"):
        os.utime(cleaned)


def run_once(wine, measure, method, program, dest, payload):
    """One timed run into dest/tree; its figures, or None when it failed or differed."""
    tree = os.path.join(dest, "tree")
    os.makedirs(dest)
    result = dest + ".result"
    command = [measure, result, "timeout", "-k", "5", str(WINE_TIMEOUT)]
    helper = None
    if method == "onefile-wine":
        command += wine.command(program)
        ready, driven = dest + ".ready", dest + ".driven"
        helper = subprocess.Popen(wine.command(wine.helper, "setup", wine_path(ready), TITLE,
                                               wine_path(tree), wine_path(driven)),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(600):
            if os.path.exists(ready):
                break
            time.sleep(0.1)
    else:
        command += wine.command(program, "/S", "/D=" + wine_path(tree))
    before = wine.temp_entries()
    subprocess.run(["sync"])
    started = time.time()
    failed = subprocess.run(command, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL).returncode != 0
    figures = fields(result) if os.path.exists(result) else {}
    if helper:
        failed = helper.wait() != 0 or failed
        if not failed:
            driven = fields(dest + ".driven")
            figures["to_box_s"] = driven["box_unix_s"] - started
            figures["own_peak_kb"] = driven["peak_kb"]
        left = wine.temp_entries() - before
        if left:
            print("one_file: %s left %s in the temporary folder" % (method, sorted(left)),
                  file=sys.stderr)
            failed = True
    # The log and the uninstaller are the installers' own additions to the payload; names that
    # differ only in case (doc/libffi8/html holds Index.html and index.html) are one on Windows.
    files = pack_size.members(payload)
    folded = collections.Counter(name.lower() for name, _ in files)
    skip = sorted({os.path.basename(path) for name, path in files if folded[name.lower()] > 1})
    exclude = [arg for name in ["uninstall.ini", "uninstall.exe"] + skip for arg in ("-x", name)]
    if failed or subprocess.run(["diff", "-rq"] + exclude + [payload, tree],
                                stdout=subprocess.DEVNULL).returncode != 0:
        print("one_file: %s failed or installed other files (%s)" % (method, dest),
              file=sys.stderr)
        return None
    return figures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mkpak", required=True, help="the native mkpak")
    parser.add_argument("--programs", default=os.path.join(ROOT, "build", "win32"),
                        help="the win32 build folder whose programs a publisher ships")
    parser.add_argument("--wine-programs", help="the build folder of the programs Wine runs")
    parser.add_argument("--measure", default=os.path.join(ROOT, "build", "native", "bench",
                                                          "bench_measure"))
    args = parser.parse_args()

    work = os.environ.get("BENCH_DIR", os.path.join(ROOT, "build", "bench"))
    reps = int(os.environ.get("BENCH_REPS", "3"))
    pause = float(os.environ.get("BENCH_PAUSE", "2"))
    missing = [tool for tool in ("makensis", "Xvfb", "/usr/lib/wine/wineserver", args.measure)
               if shutil.which(tool) is None]
    if missing:
        print("one_file: %s missing; cmake/bootstrap.sh installs the project's tools" %
              ", ".join(missing), file=sys.stderr)
        return 2
    # Every Wine program shares one X server for the whole run.
    if not os.environ.get("BENCH_UNDER_XVFB"):
        os.environ["BENCH_UNDER_XVFB"] = "1"
        os.execvp("bash", ["bash", os.path.join(ROOT, "cmake", "with-xvfb.sh"), sys.executable,
                           os.path.abspath(__file__)] + sys.argv[1:])
    os.makedirs(work, exist_ok=True)
    log = os.path.join(work, "one_file.log")
    mkpak = os.path.abspath(args.mkpak)
    status = 0
    try:
        payload = pack_size.real_payload(work)
        if payload is None:
            return 0
        files = pack_size.members(payload)
        print("BENCH-INFO workload=real files=%d bytes=%d reps=%d" %
              (len(files), sum(os.path.getsize(path) for _, path in files), reps), flush=True)

        target = pack_size.nsis_target()
        nsis_zlib = nsis_installer(payload, "real-nsis-zlib.exe", pack_size.NSIS_ZLIB_LINE,
                                   target, log)
        nsis_lzma = nsis_installer(payload, "real-nsis-lzma-solid.exe", LZMA_LINE, target, log)
        zlib, lzma = os.path.getsize(nsis_zlib), os.path.getsize(nsis_lzma)
        dist, exe, seconds = one_file(mkpak, payload, args.programs, "real-onefile-i686", True,
                                      log)
        pak = os.path.getsize(os.path.join(dist, "data.pak"))
        size_line("nsis-zlib", zlib, zlib, lzma)
        size_line("nsis-lzma-solid", lzma, zlib, lzma)
        size_line("data-pak", pak, zlib, lzma)
        size_line("dist-folder", folder_bytes(dist), zlib, lzma)
        size_line("one-file", os.path.getsize(exe), zlib, lzma, seconds)
        if not verdict("onefile-pak-vs-nsis-zlib", pak <= zlib, "bytes=%d limit=%d" % (pak, zlib)):
            status = 1
        size = os.path.getsize(exe)
        if not verdict("onefile-size-vs-nsis-lzma", size <= SIZE_LIMIT * lzma,
                       "bytes=%d limit=%d of_nsis_lzma=%.3f" % (size, SIZE_LIMIT * lzma,
                                                                  size / lzma)):
            status = 1

        wine = Wine(work, log)
        print("BENCH-INFO wine=%s nsis_target=%s cpus=%d load=%s" % (
            wine.arch, wine.nsis, os.cpu_count(), os.getloadavg()[0]), flush=True)
        programs = args.wine_programs or os.path.join(ROOT, "build", wine.arch)
        if wine.arch == "win32":
            timed_exe, timed_nsis = exe, nsis_lzma
        else:
            _, timed_exe, _ = one_file(mkpak, payload, programs, "real-onefile-" + wine.arch,
                                       False, log)
            timed_nsis = nsis_installer(payload, "real-nsis-lzma-solid-%s.exe" % wine.nsis,
                                        LZMA_LINE, wine.nsis, log)
        methods = {"onefile-wine": timed_exe, "nsis-lzma-wine": timed_nsis}
        runs = os.path.join(work, "onefile-runs")
        # As bench/run: this file system creates files slowly for about a minute after a mass
        # delete, so the runs wait that long after the last removal of their outputs.
        cleaned = runs + ".cleaned"
        if os.path.exists(runs):
            remove_runs(runs, cleaned)
        if os.path.exists(cleaned):
            wait = SETTLE_AFTER_DELETE - (time.time() - os.path.getmtime(cleaned))
            if wait > 0:
                print("one_file: waiting %.0f s for the file system to settle after the last "
                      "cleanup" % wait, file=sys.stderr, flush=True)
                time.sleep(wait)
        wine.start()
        results = {method: [] for method in methods}
        try:
            for rep in range(reps):
                # Each repetition starts with the other method, so neither always goes first.
                order = list(methods)[rep % 2:] + list(methods)[:rep % 2]
                for method in order:
                    # Both read their program from the page cache.
                    with open(methods[method], "rb") as f:
                        while f.read(1 << 20):
                            pass
                    time.sleep(pause)
                    figures = run_once(wine, args.measure, method, methods[method],
                                       os.path.join(runs, "%s-%d" % (method, rep + 1)), payload)
                    if figures is None:
                        status = 1
                        continue
                    results[method].append(figures)
                    print("BENCH-RUN workload=real method=%s rep=%d %s" % (
                        method, rep + 1, " ".join(
                            ("%s=%d" if key.endswith("_kb") else "%s=%.3f") % (key, figures[key])
                            for key in ("to_box_s", "seconds", "own_peak_kb", "peak_kb")
                            if key in figures)), flush=True)
        finally:
            wine.stop()
            remove_runs(runs, cleaned)
    except (pack_size.ToolFailed, KeyError, ValueError) as failure:
        print("one_file: %s" % failure, file=sys.stderr)
        return 2

    if not all(results.values()):
        return 1
    ours, nsis = results["onefile-wine"], results["nsis-lzma-wine"]
    whole = median([run["seconds"] for run in ours])
    to_box = median([run["to_box_s"] for run in ours])
    nsis_seconds = median([run["seconds"] for run in nsis])
    # Memory is a ceiling, so the worst repetition counts.
    own_peak = max(run["own_peak_kb"] for run in ours)
    print("BENCH workload=real method=onefile-wine to_box_s=%.3f seconds=%.3f own_peak_kb=%d "
          "peak_kb=%d" % (to_box, whole, own_peak, max(run["peak_kb"] for run in ours)))
    print("BENCH workload=real method=nsis-lzma-wine seconds=%.3f peak_kb=%d" %
          (nsis_seconds, max(run["peak_kb"] for run in nsis)))
    print("BENCH-RATIO workload=real onefile-wine-to-box/nsis-lzma-wine=%.2f "
          "onefile-wine/nsis-lzma-wine=%.2f" % (to_box / nsis_seconds, whole / nsis_seconds))
    if not verdict("onefile-time-vs-nsis-lzma", to_box <= nsis_seconds,
                   "to_box_s=%.3f nsis_s=%.3f ratio=%.2f limit=1.00" %
                   (to_box, nsis_seconds, to_box / nsis_seconds)):
        status = 1
    if not verdict("onefile-memory", own_peak <= MEMORY_LIMIT_KB,
                   "own_peak_kb=%d limit_kb=%d" % (own_peak, MEMORY_LIMIT_KB)):
        status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
