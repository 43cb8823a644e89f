#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Kills the headless program at random moments, again and again, and checks that nothing was lost or counted
twice: the meter reading against the simulated meter's own turns, the logged records of DATASTOR.DTA, and the
states published to a broker on loopback.

Each life starts the program (the simulated meter remembered and started with it, logging resumed, publishing
on), lets it run for a random time from its start, then ends it with SIGKILL, or SIGTERM or SIGINT now and then. The
simulated disc begins half a turn before its mark when its camera starts, so its turns in a life are known from
the moment the program's log says the camera started. The camera counts once it has settled (SETTLE_TIME after
its start); a turn within the detection's delay of that moment or of the kill may or may not have been counted,
and counts neither as lost nor as doubled.

usage: kill_soak.py PROGRAM [--kills N] [--seed S] ...    (see --help; it exits 1 when anything was lost)
"""

import argparse
import json
import math
import os
import random
import signal
import statistics
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from headless_box import Box, Broker, set_keys  # noqa: E402

REVS_PER_KWH = 300  # the factory meter constant, which the simulated meter follows
SET_READING = 1000.0


def parse_args():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("program", help="the wattsight (or wattsight-headless) executable")
    p.add_argument("--kills", type=int, default=1000)
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--power", type=float, default=6000.0, help="the simulated meter's watts (6000: a turn in 2 s)")
    p.add_argument("--life", type=float, nargs=2, default=(0.2, 5.0), metavar=("MIN", "MAX"),
                   help="seconds from a start to its kill")
    p.add_argument("--long-every", type=int, default=25, help="one life in N lasts --long seconds (0: none)")
    p.add_argument("--long", type=float, nargs=2, default=(20.0, 40.0), metavar=("MIN", "MAX"))
    p.add_argument("--settle-ms", type=int, default=3000, help="the camera's settling time (SETTLE_TIME)")
    p.add_argument("--term-every", type=int, default=10, help="one end in N is SIGTERM or SIGINT, the rest SIGKILL")
    p.add_argument("--no-broker", action="store_true", help="run without mosquitto (publishing off)")
    p.add_argument("--json", help="also write the figures to this file")
    return p.parse_args()


def turns_between(period, camera_at, begin, end):
    """The simulated mark's centre crosses the view at camera_at + (k + 0.5) * period: those from begin to end."""
    if camera_at is None or end <= begin:
        return 0
    turns_to = lambda t: max(0, math.floor((t - camera_at) / period + 0.5))  # noqa: E731
    return turns_to(end) - turns_to(begin)


def reading_base(box, life):
    """The reading when this life's camera began counting: the reading now less what this life counted."""
    state = box.get("/api/state")
    page = box.get("/api/page")
    if "meter_reading_kwh" not in state:
        raise SystemExit("the reading is not set after a restart: %s" % state)
    return state["meter_reading_kwh"] - state["revolutions"] / REVS_PER_KWH, page.get("logging")


def check_records(path, interval, downtimes):
    """DATASTOR.DTA: times rising, totals that add up record by record, and every gap longer than the interval
    holding a restart, whose record says so. Returns (records, unexplained gaps, broken records)."""
    if not os.path.exists(path):
        return 0, 0, 0
    with open(path, encoding="utf-8", errors="replace") as f:
        rows = [line.rstrip("\r\n").split(",") for line in f][1:]
    gaps = broken = 0
    previous = None
    for row in rows:
        at = time.mktime(tuple(int(v) for v in row[1:7]) + (0, 0, -1))
        pulses, total = int(float(row[7])), int(float(row[11]))
        if previous:
            p_at, p_total = previous
            gap = at - p_at > interval + 1.5
            if gap and not any(p_at < down < at for down in downtimes):
                gaps += 1
            if at <= p_at or total != p_total + pulses or gap != row[20].startswith("Resumed after restart; gap "):
                broken += 1
        previous = (at, total)
    return len(rows), gaps, broken


def main():
    args = parse_args()
    rng = random.Random(args.seed)
    period = 3600.0 / (args.power / 1000.0 * REVS_PER_KWH)
    # The mark is in view for about a fifth of a turn, and is counted as it leaves; the log line takes a moment.
    doubt = 0.12 * period + 0.1
    broker = None if args.no_broker else Broker()
    box = Box(os.path.abspath(args.program), int(args.power), broker, logging_seconds=30)
    set_keys(box.file("CAMERASETTINGS.CFG"), {"SETTLE_TIME": args.settle_ms})
    # Each record to DATASTOR.DTA as soon as it is made: a kill then loses none, and a gap means something.
    set_keys(box.file("ADVANCEDSETTINGS.CFG"), {"ARRAY_WRITE_INTERVAL_SECONDS": 0})
    settle = args.settle_ms / 1000.0
    figures = {"kills": 0, "sigterm": 0, "turns": 0, "counted": 0, "lost": 0, "doubled": 0, "unsure": 0,
               "not_resumed": 0, "comeback": []}
    problems = []

    # Setting up, as a user would from the phone: the reading set and logging started, then a clean stop.
    life = box.start()
    if not life.wait_camera(60):
        raise SystemExit("the program never started its camera:\n" + "\n".join(life.lines))
    time.sleep(settle)
    box.command("meter_reading", str(SET_READING))
    box.command("logging", "start")
    life.end(signal.SIGTERM)

    base = None  # the reading at the start of the stretch of lives being checked
    stretch = {"turns": 0, "possible": 0}
    downtimes = []
    killed_at = None
    try:
        for n in range(args.kills + 1):
            last = n == args.kills
            if args.long_every and n % args.long_every == args.long_every - 1:
                length = rng.uniform(*args.long)
            else:
                length = rng.uniform(*args.life)
            life = box.start()
            if killed_at is not None:
                downtimes.append(life.started)
            life.wait_camera(60 if last else length)
            if life.camera_at is not None and killed_at is not None:
                figures["comeback"].append(life.camera_at + settle - killed_at)
            # The reading at this life's start closes the stretch of lives before it.
            if life.camera_at is not None and time.time() < life.started + length - 0.2 or last:
                try:
                    now_base, logging = reading_base(box, life)
                except OSError:
                    now_base = None  # the page was not up yet: this life joins the stretch
                if now_base is not None:
                    if logging != "running":
                        figures["not_resumed"] += 1
                        problems.append("life %d: logging is %r after the restart" % (n, logging))
                    if base is not None:
                        counted = round((now_base - base) * REVS_PER_KWH)
                        sure = stretch["turns"]
                        figures["counted"] += counted
                        figures["lost"] += max(0, sure - counted)
                        figures["doubled"] += max(0, counted - stretch["possible"])
                        if not sure <= counted <= stretch["possible"]:
                            problems.append("lives up to %d: %d counted, %d to %d turned" %
                                            (n - 1, counted, sure, stretch["possible"]))
                    base, stretch = now_base, {"turns": 0, "possible": 0}
            if last:
                life.end(signal.SIGTERM)
                break
            time.sleep(max(0.0, life.started + length - time.time()))
            term = args.term_every and rng.randrange(args.term_every) == 0
            killed_at = time.time()
            code = life.end(rng.choice((signal.SIGTERM, signal.SIGINT)) if term else signal.SIGKILL)
            figures["kills"] += 1
            if figures["kills"] % 50 == 0:
                print("kill soak: %(kills)d ends, %(lost)d lost, %(doubled)d doubled" % figures, file=sys.stderr)
            figures["sigterm"] += bool(term)
            if term and code != 0:
                problems.append("life %d: a clean stop ended it with %s:\n%s" % (n, code, "\n".join(life.lines[-5:])))
            counting_from = (life.camera_at or 0) + settle
            sure = turns_between(period, life.camera_at, counting_from + doubt, killed_at - doubt)
            possible = turns_between(period, life.camera_at, counting_from - doubt, killed_at + 0.05)
            stretch["turns"] += sure
            stretch["possible"] += possible
            figures["turns"] += sure
            figures["unsure"] += possible - sure
    finally:
        if broker:
            broker.stop()

    readings = [s["meter_reading_kwh"] for _, s in (broker.states if broker else []) if "meter_reading_kwh" in s]
    downs = sum(1 for a, b in zip(readings, readings[1:]) if b < a - 1e-9)
    if downs:
        problems.append("the published reading went down %d times" % downs)
    records, gaps, broken = check_records(box.file("DATASTOR.DTA"), 30, downtimes)
    if gaps or broken or not records:
        problems.append("DATASTOR.DTA: %d records, %d gaps without a restart, %d records whose totals, times or "
                        "comments are wrong" % (records, gaps, broken))
    comeback = figures.pop("comeback")
    figures.update({
        "published_states": len(readings), "published_reading_down": downs, "records": records,
        "comeback_median_s": round(statistics.median(comeback), 3) if comeback else None,
        "comeback_worst_s": round(max(comeback), 3) if comeback else None})
    print("kill soak: %(kills)d ends (%(sigterm)d by SIGTERM or SIGINT); %(turns)d turns, %(counted)d counted, "
          "%(lost)d lost, %(doubled)d doubled, %(unsure)d at the moment counting began or ended; back counting after "
          "a kill in %(comeback_median_s)s s (median), %(comeback_worst_s)s s (worst); %(records)d records; "
          "%(published_states)d published states" % figures)
    if args.json:
        with open(args.json, "w") as f:
            json.dump(figures, f, indent=1)
    for p in problems:
        print("kill soak: " + p, file=sys.stderr)
    if problems:
        print("kill soak: the data folder is kept at " + box.data, file=sys.stderr)
        return 1
    box.remove()
    return 0


if __name__ == "__main__":
    sys.exit(main())
