#!/usr/bin/python3
"""kestra-sim's page in Debian's headless Chromium, driven through the
DevTools protocol: the screen follows a world change, the keys go through
the simulated panel keys to the unit (a click of VIEW shows the next main
window, holding MEM shows the bank table, the keyboard's 6 works as VIEW), a
mismatched load under a carrier shows in the SWR readout and on the screen,
and the page's console stays free of errors. Writes a screenshot of the page.

usage: page_test.py --sim BUILD/kestra-sim --out DIR [--screenshot FILE]
"""

import argparse
import json
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from devtools import Browser, SimRun, TestFailure, wait_until  # noqa: E402

WAIT = 60  # seconds: a generous bound for anything the unit brings about

SCREEN_DIGEST = """(() => {
  const pixels = document.getElementById('screen').getContext('2d').getImageData(0, 0, 800, 480).data;
  let h = 0;
  for (let i = 0; i < pixels.length; i += 3) h = (Math.imul(h, 31) + pixels[i]) | 0;
  return h;
})()"""


def state(page):
    return page.evaluate("kestraPage.state")


def set_control(page, selector, value):
    """As a user does: a new value, then the change the page acts on."""
    page.evaluate("""(() => { const c = document.querySelector(%s);
      if (c.type === 'checkbox') c.checked = %s; else c.value = %s;
      c.dispatchEvent(new Event('change', {bubbles: true})); })()""" %
                  (json.dumps(selector), json.dumps(bool(value)), json.dumps(str(value))))


def screen_shows(page, text, before_digest):
    """Waits until a frame whose texts hold `text` is drawn on the page's
    canvas and the canvas differs from `before_digest`."""
    frame = page.wait_for("(() => { const s = kestraPage.state;"
                          " return s && s.texts.includes(%s) && s.frame; })()" % json.dumps(text),
                          WAIT, "a frame showing %r" % text)
    page.wait_for("kestraPage.frameNumber >= %d" % frame, WAIT, "frame %d drawn" % frame)
    wait_until(lambda: page.evaluate(SCREEN_DIGEST) != before_digest, WAIT, "the canvas changed")


# The unit's long press is 0.5 s. A short press is held for the page's least
# (0.1 s) and a long one for 1.5 s, so that a stall of nearly half a second
# anywhere between this script and the unit still leaves each what it is.
SHORT_PRESS = 0.1
LONG_PRESS = 1.5


def click_key(page, key, hold_seconds=SHORT_PRESS):
    x, y = page.centre('.key[data-key="%d"]' % key)
    page.mouse("mousePressed", x, y)
    time.sleep(hold_seconds)  # how long the key is held, not a wait for the unit
    page.mouse("mouseReleased", x, y)


def check_world_change(page):
    before = page.evaluate(SCREEN_DIGEST)
    set_control(page, '#exciter input[name="freq"]', "21.2")
    screen_shows(page, "21.200MHz", before)
    page.wait_for("document.getElementById('r-freq').textContent === '21.20000 MHz'", WAIT,
                  "the frequency readout")


def next_window(page):
    """The main window key 6 brings: VIEW steps through the five windows, but
    resets the errors instead while one is listed."""
    page.wait_for("kestraPage.state.readouts.errors.length === 0", WAIT, "no error listed")
    return state(page)["readouts"]["mainWindow"] % 5 + 1


def wait_window(page, window, what):
    page.wait_for("kestraPage.state.readouts.mainWindow === %d" % window, WAIT,
                  "main window %d after %s" % (window, what))


def check_keys(page):
    window = next_window(page)
    click_key(page, 6)
    wait_window(page, window, "key 6")
    click_key(page, 1, hold_seconds=LONG_PRESS)
    page.wait_for("kestraPage.state.readouts.uiState === 6", WAIT, "the bank table after holding key 1")
    page.wait_for("kestraPage.state.keys.some((k) => k.includes('INTERF'))", WAIT,
                  "the bank table's captions on the keys")
    click_key(page, 1)
    page.wait_for("kestraPage.state.readouts.uiState === 0", WAIT, "back to the main screen")
    window = next_window(page)
    page.key("keyDown", "6")
    time.sleep(SHORT_PRESS)
    page.key("keyUp", "6")
    wait_window(page, window, "keyboard 6")
    page.wait_for("kestraPage.state.held === '000000' && kestraPage.state.levels === '111111'", WAIT,
                  "every key released")
    return window


def check_mismatch_under_carrier(page):
    antenna = state(page)["readouts"]["antenna"]
    row = '#loads tr[data-antenna="%d"] ' % antenna
    set_control(page, row + 'input[name="r"]', "150")
    page.wait_for("kestraPage.state.world.loads[%d].r === 150" % (antenna - 1), WAIT, "the load set")
    before = page.evaluate(SCREEN_DIGEST)
    set_control(page, '#exciter input[name="drive"]', "5")
    set_control(page, '#exciter input[name="carrier"]', True)
    page.wait_for("parseFloat(document.getElementById('r-swr').textContent) >= 2.5", WAIT,
                  "an SWR of about 3 in the readout")
    screen_shows(page, "TX", before)


def check_report(report, last_window):
    events = [e["event"] for e in report["events"]]  # "0 ...": of the moment they came
    for expected in ("0 trx freq 21200000", "0 panel down 6", "0 panel up 6", "0 panel down 1", "0 panel up 1",
                     "0 trx drive 5", "0 trx tx on"):
        if expected not in events:
            raise TestFailure("the report lists no event %r: %s" % (expected, events))
    refused = [e for e in report["events"] if "error" in e]
    if refused:
        raise TestFailure("events refused: %s" % refused)
    keys = report["panel"]["keyEvents"]
    if not any(k["key"] == 1 and k["hold"] & 1 for k in keys):
        raise TestFailure("the unit saw no long press of key 1: %s" % keys)
    if sum(1 for k in keys if k["key"] == 6 and k["hold"] == 0) < 2:
        raise TestFailure("the unit saw fewer than two presses of key 6: %s" % keys)
    if report["panel"]["keyLevels"] != "111111":
        raise TestFailure("a key was left down: %s" % report["panel"]["keyLevels"])
    if report["controller"]["mainWindow"] != last_window:
        raise TestFailure("main window %s at the end, not %d" % (report["controller"]["mainWindow"], last_window))


def browse(sim, args):
    """Everything the browser does; the main window the keys left."""
    browser = Browser(sim.url, os.path.join(args.out, "chromium.log"))
    try:
        page = browser.page
        page.wait_for("window.kestraPage && kestraPage.frames > 0 && kestraPage.state && kestraPage.state.running"
                      " && kestraPage.state.readouts.polls > 0", WAIT, "the running unit on the page")
        check_world_change(page)
        last_window = check_keys(page)
        check_mismatch_under_carrier(page)
        shot = os.path.join(args.out, "page.png")
        page.screenshot(shot)
        if args.screenshot:
            shutil.copyfile(shot, args.screenshot)
        print("page: %.1f frames/s while transmitting, %d frames" %
              (page.evaluate("kestraPage.fps"), page.evaluate("kestraPage.frames")))
        if page.errors:
            raise TestFailure("the page's console has errors: %s" % page.errors)
        return last_window
    finally:
        browser.close()


def what_the_unit_saw(report):
    if not report:
        return "no report"
    return "events %s\nkey events %s" % ([(e["applied"], e["event"]) for e in report["events"]],
                                        report["panel"]["keyEvents"])


def run(args):
    os.makedirs(args.out, exist_ok=True)
    started = time.monotonic()
    sim = SimRun(args.sim)
    try:
        last_window = browse(sim, args)
    except TestFailure as failure:
        _, report = sim.stop()
        raise TestFailure("%s\n%s" % (failure, what_the_unit_saw(report)))
    finally:
        status, report = sim.stop()
        sim.remove()
    if status != 0 or report is None:
        raise TestFailure("kestra-sim ended with status %s%s:\n%s" %
                          (status, "" if report else " and no report", "\n".join(sim.lines[-30:])))
    check_report(report, last_window)
    print("page test passed in %.0f s" % (time.monotonic() - started))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sim", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--screenshot")
    args = parser.parse_args()
    try:
        run(args)
    except TestFailure as failure:
        print("FAILED: %s" % failure)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
