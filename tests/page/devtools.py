"""Debian's Chromium, headless, driven through its DevTools protocol (with
Debian's python3-websocket), and kestra-sim run with its page: what the
browser test and the page's measuring script share."""

import base64
import json
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import urllib.request

try:
    import websocket
except ImportError:
    raise SystemExit("FAILED: no python3-websocket in Debian's python3 (tools/install-deps.sh installs it)")

CHROMIUM = "/usr/bin/chromium"
CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-default-apps", "--disable-extensions", "--mute-audio",
    "--disable-dev-shm-usage",  # a container's /dev/shm is often too small for it
    "--remote-debugging-port=0", "--window-size=1340,1080",
]
# Generous bounds for what a busy machine may take; never timings.
START_SECONDS = 90
CALL_SECONDS = 60


class TestFailure(Exception):
    pass


def wait_until(check, seconds, what):
    """Returns check()'s first true value; fails after `seconds`."""
    end = time.monotonic() + seconds
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > end:
            raise TestFailure("not seen within %d s: %s" % (seconds, what))
        time.sleep(0.1)


class SimRun:
    """kestra-sim in a fresh sandbox, serving its page on a free port."""

    def __init__(self, binary, args=()):
        self.root = tempfile.mkdtemp(prefix="kestra-page-")
        self.report = os.path.join(self.root, "report.json")
        command = [binary, "--root", self.root, "--headless", "--quick-start", "--http", "0",
                   "--report", self.report] + list(args)
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL)
        self.lines = []
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        try:
            line = wait_until(lambda: next((l for l in self.lines if "the unit's page:" in l), None),
                              START_SECONDS, "kestra-sim's page address")
        except TestFailure:
            self.stop()
            raise
        self.url = line.split("the unit's page:")[1].strip()

    def _read(self):
        for raw in self.process.stdout:
            self.lines.append(raw.decode(errors="replace").rstrip("\n"))

    def stop(self):
        """Stops the unit in order; its exit status and its report."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
        try:
            status = self.process.wait(START_SECONDS)
        except subprocess.TimeoutExpired:
            self.process.kill()
            status = self.process.wait()
        self.reader.join(10)
        report = None
        if os.path.exists(self.report):
            with open(self.report) as f:
                report = json.load(f)
        return status, report

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


class Page:
    """One page target of the browser: calls, and the console's errors."""

    def __init__(self, ws_url):
        self.ws = websocket.create_connection(ws_url, timeout=CALL_SECONDS, suppress_origin=True)
        self.next_id = 0
        self.errors = []
        self.call("Runtime.enable")
        self.call("Log.enable")
        self.call("Page.enable")

    def _take_event(self, message):
        method, params = message.get("method"), message.get("params", {})
        if method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert"):
            self.errors.append(" ".join(str(a.get("value", a.get("description"))) for a in params["args"]))
        elif method == "Runtime.exceptionThrown":
            details = params["exceptionDetails"]
            self.errors.append(details.get("exception", {}).get("description", details.get("text")))
        elif method == "Log.entryAdded" and params["entry"]["level"] == "error":
            self.errors.append(params["entry"]["text"])

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise TestFailure("%s: %s" % (method, message["error"]))
                return message.get("result", {})
            self._take_event(message)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=True)
        if "exceptionDetails" in result:
            raise TestFailure("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    def wait_for(self, expression, seconds, what):
        return wait_until(lambda: self.evaluate(expression), seconds, what)

    def centre(self, selector):
        box = self.evaluate("(() => { const r = document.querySelector(%s).getBoundingClientRect();"
                            " return [r.x + r.width / 2, r.y + r.height / 2]; })()" % json.dumps(selector))
        return box[0], box[1]

    def mouse(self, kind, x, y):
        self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)

    def key(self, kind, text):
        self.call("Input.dispatchKeyEvent", type=kind, key=text, text=text if kind == "keyDown" else "",
                  code="Digit" + text, windowsVirtualKeyCode=ord(text))

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def close(self):
        self.ws.close()


class Browser:
    """Headless Chromium showing one address, in a new empty profile."""

    def __init__(self, url, log_path):
        if not os.access(CHROMIUM, os.X_OK):
            raise TestFailure("no %s (tools/install-deps.sh installs Debian's chromium)" % CHROMIUM)
        self.profile = tempfile.mkdtemp(prefix="kestra-chromium-")
        self.log = open(log_path, "wb")
        self.process = subprocess.Popen([CHROMIUM] + CHROMIUM_FLAGS +
                                        ["--user-data-dir=" + self.profile, url],
                                        stdout=self.log, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL)
        self.page = None
        try:
            self.page = Page(self._page_target(url)["webSocketDebuggerUrl"])
        except Exception:
            self.close()
            raise

    def _page_target(self, url):
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        wait_until(lambda: os.path.exists(port_file) and open(port_file).read().count("\n") >= 1,
                   START_SECONDS, "Chromium's DevTools port")
        port = open(port_file).read().split("\n")[0]
        targets = wait_until(lambda: [t for t in self._targets(port)
                                      if t["type"] == "page" and t["url"].startswith(url)],
                             START_SECONDS, "the page in Chromium")
        return targets[0]

    @staticmethod
    def _targets(port):
        try:
            with urllib.request.urlopen("http://127.0.0.1:%s/json/list" % port, timeout=CALL_SECONDS) as r:
                return json.load(r)
        except OSError:  # not answering yet
            return []

    def close(self):
        try:
            if self.page:
                self.page.close()
        finally:
            self.process.terminate()
            try:
                self.process.wait(30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
            self.log.close()
            shutil.rmtree(self.profile, ignore_errors=True)
