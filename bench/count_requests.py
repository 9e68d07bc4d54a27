#!/usr/bin/env python3
"""What one Windows program costs per file under Wine, from two runs of it: one on a workload and
one on an empty package, so that what every start costs cancels out.

  count_requests.py requests TRACE PROGRAM EMPTY_TRACE EMPTY_PROGRAM FILES
      requests to the Wine server, from what a server started as "wineserver -f -d1" writes on
      its standard error; PROGRAM is the file name of the executable in that run
  count_requests.py syscalls SUMMARY EMPTY_SUMMARY FILES
      system calls, from "strace -f -c" summaries of the runs

Prints one line: "per_file=N" and then the kinds that cost most per file, as "kind=N".

A program's process is the first one that opens its executable, which it does to map it; its
threads are the first one and those it starts. Only requests are counted, not their replies.
"""

import collections
import re
import sys

REQUEST = re.compile(r"^([0-9a-f]{4,8}): (\w+)\((.*)$")
REPLY = re.compile(r"^([0-9a-f]{4,8}): (\w+)\(\) = \w+(.*)$")
# A line of strace's summary table: % time, seconds, usecs/call, calls, [errors,] name.
SUMMARY = re.compile(r"^\s*[\d.]+\s+[\d.]+\s+\d+\s+(\d+)\s+(?:\d+\s+)?(\w+)\s*$")
SHOWN = 8


def server_requests(trace, program):
    pid_of = {}  # thread -> process
    own_process = {}  # thread that asked for a new thread -> whether it was for its own process
    target = None
    counts = collections.Counter()
    opened = re.compile(r'name=L"[^"]*\\\\' + re.escape(program) + '"', re.IGNORECASE)
    with open(trace, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            reply = REPLY.match(line)
            if reply:
                tid, name, rest = reply.groups()
                found = re.search(r"\b(pid|tid)=([0-9a-f]+)", rest)
                if name == "init_first_thread" and found and found.group(1) == "pid":
                    pid_of[tid] = found.group(2)
                elif name == "new_thread" and own_process.pop(tid, False) and found:
                    if tid in pid_of:
                        pid_of[found.group(2)] = pid_of[tid]
                continue
            request = REQUEST.match(line)
            if not request:
                continue
            tid, name, rest = request.groups()
            if name == "new_thread":
                own_process[tid] = "process=ffffffff" in rest
            pid = pid_of.get(tid)
            if target is None and pid is not None and name == "create_file" and opened.search(rest):
                target = pid
            if target is not None and pid == target:
                counts[name] += 1
    if target is None:
        sys.exit(f"count_requests: no process of {program} in {trace}")
    return counts


def syscalls(summary):
    counts = collections.Counter()
    with open(summary) as lines:
        for line in lines:
            found = SUMMARY.match(line)
            if found and found.group(2) != "total":
                counts[found.group(2)] += int(found.group(1))
    return counts


def report(counts, empty, files):
    per_kind = {kind: (counts[kind] - empty[kind]) / files for kind in set(counts) | set(empty)}
    total = sum(per_kind.values())
    shown = sorted(per_kind.items(), key=lambda item: (-item[1], item[0]))[:SHOWN]
    return " ".join([f"per_file={total:.2f}"] +
                    [f"{kind}={cost:.2f}" for kind, cost in shown if cost >= 0.005])


def main():
    args = sys.argv[1:]
    if len(args) == 6 and args[0] == "requests":
        counts = server_requests(args[1], args[2])
        empty = server_requests(args[3], args[4])
        files = int(args[5])
    elif len(args) == 4 and args[0] == "syscalls":
        counts, empty, files = syscalls(args[1]), syscalls(args[2]), int(args[3])
    else:
        sys.exit(__doc__)
    print(report(counts, empty, files))
    return 0


if __name__ == "__main__":
    sys.exit(main())
