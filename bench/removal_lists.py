#!/usr/bin/env python3
"""Writes what the uninstall benchmarks remove, from one payload's listing.

  log PAYLOAD TEMPLATE WIN_TREE OUT  the uninstall log an installation of PAYLOAD into WIN_TREE
                                     (a Windows path) would leave: TEMPLATE's sections, then the
                                     uninstaller and every file in package order, and filenum
  nsis PAYLOAD OUT                   an NSIS uninstall section's body doing the same work: one
                                     Delete per file, last installed first, then one RMDir per
                                     folder, deepest first, then the uninstaller and the folder
  plain PAYLOAD OUT                  the one-line body of the installer benchmark's NSIS script,
                                     which never runs its uninstaller

Both name the files in the order the pack tool stores them (sorted member names), so the two
uninstallers delete the same files in the same order.
"""

import argparse
import os
import sys

UNINSTALLER = "uninstall.exe"


def payload_files(payload):
    """The payload's files as member names with backslashes, in package order."""
    names = []
    for folder, _, files in os.walk(payload):
        for name in files:
            names.append(os.path.relpath(os.path.join(folder, name), payload).replace(os.sep, "/"))
    return [name.replace("/", "\\") for name in sorted(names)]


def payload_folders(files):
    """Every folder that holds a file, deepest first."""
    folders = set()
    for name in files:
        parts = name.split("\\")[:-1]
        for depth in range(1, len(parts) + 1):
            folders.add("\\".join(parts[:depth]))
    return sorted(folders, key=lambda f: (-f.count("\\"), f))


def write_log(payload, template, tree, out):
    with open(template, "rb") as f:
        text = f.read()
    # The uninstaller is the package's first member, so an installation logs it first.
    entries = [UNINSTALLER] + payload_files(payload)
    lines = ["file%d=%s\\%s" % (i, tree, name) for i, name in enumerate(entries)]
    lines.append("filenum=%d" % len(entries))
    if text and not text.endswith(b"\n"):
        text += b"\r\n"
    with open(out, "wb") as f:
        f.write(text + "".join(line + "\r\n" for line in lines).encode("ascii"))


def write_nsis(payload, out):
    files = payload_files(payload)
    lines = ['  Delete "$INSTDIR\\%s"' % name for name in reversed(files)]
    lines += ['  RMDir "$INSTDIR\\%s"' % folder for folder in payload_folders(files)]
    # Run in place, the uninstaller cannot delete its own file, and so neither its folder.
    lines += ['  Delete "$INSTDIR\\%s"' % UNINSTALLER, '  RMDir "$INSTDIR"']
    with open(out, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def write_plain(out):
    with open(out, "w", newline="\n") as f:
        f.write('  RMDir /r "$INSTDIR"\n')


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    sub = parser.add_subparsers(dest="kind", required=True)
    log = sub.add_parser("log")
    log.add_argument("payload")
    log.add_argument("template")
    log.add_argument("tree")
    log.add_argument("out")
    for kind in ("nsis", "plain"):
        section = sub.add_parser(kind)
        section.add_argument("payload")
        section.add_argument("out")
    args = parser.parse_args()
    if args.kind == "log":
        write_log(args.payload, args.template, args.tree, args.out)
    elif args.kind == "nsis":
        write_nsis(args.payload, args.out)
    else:
        write_plain(args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
