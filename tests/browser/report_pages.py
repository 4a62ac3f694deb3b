#!/usr/bin/python3
"""nongauss-report's pages in a real browser: headless Chromium, networking
off, loads each page through its DevTools protocol (over a pipe), and checks
that it rendered: the page's height, every figure present with a size, no
console message, script error or failed load, no request beyond the page
itself. Keeps a screenshot of each page (in --keep DIR when given).

usage: report_pages.py --report EXE --synth EXE [--keep DIR]
Exit status 0 when every page passed; 77 when Chromium is missing (a skip,
but under CI=true a failure); 1 otherwise.
"""
import argparse
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import urllib.parse

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-extensions", "--disable-default-apps", "--mute-audio",
    # Networking off: no name resolves, every connection goes to a closed port.
    "--host-resolver-rules=MAP * ~NOTFOUND", "--proxy-server=127.0.0.1:9",
    "--remote-debugging-pipe", "--window-size=1200,900",
]


class Browser:
    """Chromium driven over --remote-debugging-pipe: it reads commands on its
    descriptor 3 and writes answers and events on 4, each a JSON text ended by
    a NUL byte."""

    def __init__(self, profile):
        to_read, self._to_browser = os.pipe()
        self._from_browser, to_write = os.pipe()
        # Out of the way of 3 and 4 first, so that the second dup2 cannot
        # overwrite the first's source.
        high_read = os.dup2(to_read, 200)
        high_write = os.dup2(to_write, 201)

        def descriptors():
            os.dup2(high_read, 3)
            os.dup2(high_write, 4)

        self.process = subprocess.Popen(
            ["chromium", *CHROMIUM_FLAGS, f"--user-data-dir={profile}", "about:blank"],
            pass_fds=(3, 4), preexec_fn=descriptors,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for fd in (to_read, to_write, high_read, high_write):
            os.close(fd)
        self._buffer = b""
        self._next = 0
        self.events = []

    def _message(self):
        while b"\0" not in self._buffer:
            chunk = os.read(self._from_browser, 1 << 16)
            if not chunk:
                raise RuntimeError("Chromium closed its pipe")
            self._buffer += chunk
        text, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(text)

    def send(self, method, session=None, **params):
        self._next += 1
        message = {"id": self._next, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        while True:
            answer = self._message()
            if answer.get("id") == self._next:
                if "error" in answer:
                    raise RuntimeError(f"{method}: {answer['error']}")
                return answer.get("result", {})
            self.events.append(answer)

    def wait_for(self, method):
        for k, event in enumerate(self.events):
            if event.get("method") == method:
                del self.events[: k + 1]
                return event
        while True:
            event = self._message()
            if event.get("method") == method:
                return event
            self.events.append(event)

    def close(self):
        try:
            self.send("Browser.close")
        except (RuntimeError, OSError):
            pass
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def check_page(browser, path, figures, screenshot):
    """Problems of the page at `path` (a list of strings; empty: it passed)."""
    target = browser.send("Target.createTarget", url="about:blank")["targetId"]
    session = browser.send("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
    for domain in ("Page", "Runtime", "Log", "Network"):
        browser.send(domain + ".enable", session)
    browser.events.clear()
    url = "file://" + os.path.abspath(path)
    browser.send("Page.navigate", session, url="file://" + urllib.parse.quote(os.path.abspath(path)))
    browser.wait_for("Page.loadEventFired")

    def value(expression):
        return browser.send("Runtime.evaluate", session, expression=expression,
                            returnByValue=True)["result"].get("value")

    problems = []
    height = value("document.documentElement.scrollHeight")
    if not isinstance(height, int) or height < 1000:
        problems.append(f"page height {height}")
    sizes = value("Array.from(document.querySelectorAll('figure svg'))"
                  ".map(s => { const r = s.getBoundingClientRect(); return [r.width, r.height]; })")
    if len(sizes) != figures:
        problems.append(f"{len(sizes)} figures, not {figures}")
    for width, tall in sizes:
        if width < 500 or tall < 150:
            problems.append(f"a figure of {width} x {tall} pixels")
    drawn = value("Array.from(document.querySelectorAll('figure svg')).map(s => s.querySelectorAll('path').length)")
    if any(n < 10 for n in drawn):
        problems.append(f"figures with few paths: {drawn}")
    browser.send("Emulation.setDeviceMetricsOverride", session, width=1200, height=max(900, height or 0),
                 deviceScaleFactor=1, mobile=False)
    png = base64.b64decode(browser.send("Page.captureScreenshot", session, format="png")["data"])
    with open(screenshot, "wb") as f:
        f.write(png)
    for event in browser.events:
        method, params = event.get("method"), event.get("params", {})
        if method == "Runtime.consoleAPICalled":
            problems.append("console: " + json.dumps(params.get("args")))
        elif method == "Runtime.exceptionThrown":
            problems.append("script error: " + json.dumps(params.get("exceptionDetails")))
        elif method == "Log.entryAdded" and params.get("entry", {}).get("level") in ("error", "warning"):
            problems.append("log: " + params["entry"].get("text", ""))
        elif method == "Network.requestWillBeSent" and urllib.parse.unquote(params["request"]["url"]) != url:
            problems.append("request: " + params["request"]["url"])
        elif method == "Network.loadingFailed":
            problems.append("failed load: " + params.get("errorText", ""))
    browser.send("Target.closeTarget", targetId=target)
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--report", required=True)
    parser.add_argument("--synth", required=True)
    parser.add_argument("--keep")
    args = parser.parse_args()
    if shutil.which("chromium") is None:
        print("needs chromium: install the Debian package chromium (scripts/setup)")
        return 1 if os.environ.get("CI") == "true" else 77

    with tempfile.TemporaryDirectory(prefix="nongauss-browser-") as work:
        def run(*command):
            subprocess.run(command, cwd=work, check=True, stdout=subprocess.DEVNULL)

        run(args.synth, "--hours", "6", "--seed", "11", "--lambda", "0.45", "-o", "healthy.txt")
        run(args.synth, "--hours", "6", "--seed", "12", "--lambda", "0.7", "-o", "<b>sick & 'odd'.txt")
        scales = "5,10,25,50,100,250"
        run(args.report, "-s", scales, "--surrogates", "9", "healthy.txt")
        run(args.report, "-s", scales, "<b>sick & 'odd'.txt")
        with open(os.path.join(work, "cohort.tsv"), "w") as table:
            table.write("file\tscale_s\tlambda\tgroup\n")
            for name, group in (("healthy.txt", "control"), ("<b>sick & 'odd'.txt", "<i>patients")):
                with open(os.path.join(work, name.replace(".txt", "_report.json"))) as f:
                    numbers = json.load(f)
                for s in numbers["scales"]:
                    table.write(f"{name}\t{s['scale_s']}\t{s['lambda']}\t{group}\n")
        run(args.report, "--cohort", "--group", "group", "cohort.tsv")

        pages = [("healthy_report.html", 3), ("<b>sick & 'odd'_report.html", 3), ("cohort_report.html", 1)]
        failed = False
        profile = tempfile.mkdtemp(prefix="profile-", dir=work)
        browser = Browser(profile)
        try:
            for page, figures in pages:
                shot = os.path.join(args.keep or work, page.replace(".html", ".png"))
                problems = check_page(browser, os.path.join(work, page), figures, shot)
                print(f"{page}: {'rendered' if not problems else 'FAILED'}; screenshot {shot}")
                for p in problems:
                    print("  " + p)
                failed = failed or bool(problems)
        finally:
            browser.close()
        return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
