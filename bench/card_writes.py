#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What the headless program makes a storage card write: the bytes that reach the block layer (write_bytes of
/proc/PID/io) and the syncs (fsync, fdatasync) it asks for, over a stretch of a box's life on the simulated
meter with the reading set and publishing on, scaled to a day and a year, with the bytes handed over and the
syncs of each file named. The program runs under strace for the syncs and writes; strace's filter lets every
other call through unstopped.

usage: card_writes.py PROGRAM [--minutes 60] [--power 3000] [--no-logging]
"""

import argparse
import collections
import os
import re
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from headless_box import Box, Broker  # noqa: E402

DAY = 86400.0
CARD_BYTES_WRITTEN = 100e12  # a 32 GB card whose cells take 3,000 writes
ERASE_BLOCK = 4 * 1024 * 1024  # what a cheap card may rewrite for each small sync


def proc_io(pid):
    with open("/proc/%d/io" % pid) as f:
        return {k: int(v) for k, v in (line.split(": ") for line in f)}


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("program")
    p.add_argument("--minutes", type=float, default=60)
    p.add_argument("--warmup", type=float, default=30, help="seconds after the start before measuring")
    p.add_argument("--power", type=int, default=3000)
    p.add_argument("--no-logging", action="store_true")
    args = p.parse_args()

    broker = Broker()
    box = Box(os.path.abspath(args.program), args.power, broker)
    trace = os.path.join(box.work, "strace.txt")
    # The first run sets the box up as a user would from the phone, then stops cleanly.
    life = box.start()
    life.wait_camera(60)
    time.sleep(4)
    box.command("meter_reading", "1000")
    if not args.no_logging:
        box.command("logging", "start")
    life.end(signal.SIGTERM)

    life = box.start(["strace", "-f", "-qq", "--seccomp-bpf", "-y", "-ttt", "-o", trace,
                      "-e", "trace=fsync,fdatasync,write,pwrite64,writev,rename,renameat,renameat2"])
    life.wait_camera(60)
    time.sleep(args.warmup)
    pid = int(subprocess.check_output(["pgrep", "-P", str(life.process.pid)]))
    before, begin = proc_io(pid), time.time()
    time.sleep(args.minutes * 60)
    after, end = proc_io(pid), time.time()
    os.kill(pid, signal.SIGTERM)  # strace ends with it
    life.end(0)
    broker.stop()

    syncs, handed = collections.Counter(), collections.Counter()
    call = re.compile(r"^\d+ +([\d.]+) (\w+)\((\d+)<([^>]*)>(.*)= (-?\d+)")
    with open(trace) as f:
        for line in f:
            m = call.match(line)
            if not m or not begin <= float(m.group(1)) <= end or not m.group(4).startswith("/"):
                continue
            name = os.path.basename(m.group(4))
            name = re.sub(r"\..*\.tmp$|\.[A-Za-z0-9]{6}$", " (new copy)", name) if "." in name else name
            if m.group(2) in ("fsync", "fdatasync"):
                syncs[name] += 1
            elif m.group(4).startswith(box.data):
                handed[name] += max(0, int(m.group(6)))

    scale = DAY / (end - begin)
    block = (after["write_bytes"] - before["write_bytes"]) * scale
    per_day_syncs = sum(syncs.values()) * scale
    print("card writes over %.1f min, simulated meter at %d W, reading set, publishing on, logging %s:" %
          ((end - begin) / 60, args.power, "off" if args.no_logging else "every 5 min"))
    print("  to the block layer: %.1f MB a day, %.1f GB a year (write_bytes)" % (block / 1e6, block * 365 / 1e9))
    print("  syncs: %.0f a day (%.1f s apart on average)" % (per_day_syncs, DAY / max(per_day_syncs, 1)))
    print("  handed to the system: %.1f MB a day (wchar, sockets included: %.1f MB)" %
          (sum(handed.values()) * scale / 1e6, (after["wchar"] - before["wchar"]) * scale / 1e6))
    for name in sorted(set(syncs) | set(handed)):
        print("    %-32s %7.0f syncs a day, %9.0f bytes a day handed over" %
              (name, syncs[name] * scale, handed[name] * scale))
    print("  a 32 GB card (about 100 TB of writes) lasts %.0f years at this rate; a card that rewrites a 4 MB erase "
          "block for each sync takes %.1f TB a year, %.0f years" %
          (CARD_BYTES_WRITTEN / (block * 365), per_day_syncs * ERASE_BLOCK * 365 / 1e12,
           CARD_BYTES_WRITTEN / (per_day_syncs * ERASE_BLOCK * 365)))
    box.remove()


if __name__ == "__main__":
    main()
