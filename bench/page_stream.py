#!/usr/bin/python3
"""The page's frame rate and the page server's share of the processor while a
browser watches: kestra-sim's processor time over a stretch of the run with no
page open and over one with Debian's headless Chromium showing the page (its
frames counted by the page itself). Three screens: the meters following a
drive that changes 25 times a second (sent through the page's own event
requests in both stretches), so that every pass of the unit draws a new
screen; the spectrum window (a new line five times a second); the meters
under a steady carrier (only the clock changes).

usage: bench/page_stream.py [--sim build/kestra-sim] [--seconds 20]
"""

import argparse
import math
import os
import sys
import tempfile
import threading
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "page"))
from devtools import Browser, SimRun  # noqa: E402

SCENARIOS = [  # name, scenario, drive changes per second
    ("meters, sweeping drive", "1 trx drive 20\n1 trx tx on\n", 25),
    ("spectrum window", "1 unit view 4\n", 0),
    ("meters, steady carrier", "1 trx drive 20\n1 trx tx on\n", 0),
]
TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(stat_path):
    """User and system time of a process or thread, from its stat file."""
    with open(stat_path) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def stream_thread(pid):
    for tid in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/comm" % (pid, tid)) as f:
            if f.read().strip() == "page-stream":
                return "/proc/%d/task/%s/stat" % (pid, tid)
    return None


def measure(pid, seconds, page=None):
    """kestra-sim's processor share, its stream thread's, and the page's frames/s."""
    process, thread = "/proc/%d/stat" % pid, stream_thread(pid)
    start = time.monotonic(), cpu_seconds(process), cpu_seconds(thread), page and page.evaluate("kestraPage.frames")
    time.sleep(seconds)
    wall = time.monotonic() - start[0]
    frames = page and page.evaluate("kestraPage.frames") - start[3]
    return ((cpu_seconds(process) - start[1]) / wall * 100, (cpu_seconds(thread) - start[2]) / wall * 100,
            frames / wall if page else 0)


class DriveSweep:
    """Changes the transceiver's drive `rate` times a second, 5 to 55 W."""

    def __init__(self, url, rate):
        self.url, self.rate, self.stop = url, rate, threading.Event()
        self.thread = threading.Thread(target=self._run, daemon=True)
        if rate:
            self.thread.start()

    def _run(self):
        n = 0
        while not self.stop.wait(1 / self.rate):
            n += 1
            watts = 30 + 25 * math.sin(n / self.rate * 2 * math.pi)
            body = ("trx drive %.1f" % watts).encode()
            request = urllib.request.Request(self.url + "event", data=body, method="POST",
                                             headers={"X-Kestra-Page": "bench"})
            urllib.request.urlopen(request, timeout=30).read()

    def close(self):
        self.stop.set()
        if self.rate:
            self.thread.join()


def run(sim_binary, name, scenario, rate, seconds):
    with tempfile.NamedTemporaryFile("w", suffix=".scenario", delete=False) as f:
        f.write(scenario)
    sim = SimRun(sim_binary, ["--scenario", f.name])
    sweep = None
    try:
        pid = sim.process.pid
        time.sleep(3)  # the unit's start-up behind it
        sweep = DriveSweep(sim.url, rate)
        alone, _, _ = measure(pid, seconds)
        browser = Browser(sim.url, os.devnull)
        try:
            browser.page.wait_for("window.kestraPage && kestraPage.frames > 0", 60, "the first frame")
            watched, stream, fps = measure(pid, seconds, browser.page)
            encode = browser.page.evaluate("kestraPage.state.stream")
        finally:
            browser.close()
    finally:
        if sweep:
            sweep.close()
        sim.stop()
        sim.remove()
        os.unlink(f.name)
    print("%-24s %5.1f frames/s on the page; kestra-sim %5.1f %% of a core alone, %5.1f %% with the page: "
          "the server's share %5.1f %% (its stream thread %4.1f %%); a frame %3.0f kB, encoded in %.1f ms"
          % (name, fps, alone, watched, watched - alone, stream, encode["bytes"] / 1024, encode["encodeMs"]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sim", default=os.path.join(os.path.dirname(__file__), "..", "build", "kestra-sim"))
    parser.add_argument("--seconds", type=float, default=20)
    args = parser.parse_args()
    for name, scenario, rate in SCENARIOS:
        run(args.sim, name, scenario, rate, args.seconds)


if __name__ == "__main__":
    main()
