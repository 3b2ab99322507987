#!/usr/bin/env python3
"""How long each page of a report folder takes to open in headless Chromium.

    bench/open_pages.py FOLDER [ROUNDS] [PAGE...]

Opens every page of FOLDER (or only the PAGEs named, which may hold * and ?) in one headless Chromium, driven through its debugging pipe, and prints per page the time
from asking for it until its load event, and until a first screenshot of the window is taken (laid out and painted):
the median of ROUNDS (default 3), the slowest pages first. The browser's own start is not counted. Make a folder with
`build/bench/bench_report 1000 /tmp/class` (its pages are in /tmp/class/pages); of a class of 1,000 students,
`build/bench/bench_report 5000 /tmp/class`, and then, for one page of each kind:
`bench/open_pages.py /tmp/class/pages 3 index.html grid-1.html 'assignment-1-q1.html' student-1.html`. Wall-clock time: other work on the
machine counts in it, so compare runs made at quiet times.
"""
import fcntl
import fnmatch
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


class Browser:
    def __init__(self, width=1000, height=1400):
        self.profile = tempfile.mkdtemp(prefix="qadrill-open-")
        # the debugging pipe is the browser's fds 3 (commands in) and 4 (answers out)
        def high(fd):
            moved = fcntl.fcntl(fd, fcntl.F_DUPFD, 10)
            os.close(fd)
            return moved

        to_browser_r, self.to_browser = (high(fd) for fd in os.pipe())
        self.from_browser, from_browser_w = (high(fd) for fd in os.pipe())

        def pipes():
            os.dup2(to_browser_r, 3)
            os.dup2(from_browser_w, 4)

        self.process = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--remote-debugging-pipe", f"--user-data-dir={self.profile}", f"--window-size={width},{height}",
             "about:blank"],
            pass_fds=(3, 4, to_browser_r, from_browser_w), preexec_fn=pipes, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buffer = b""
        self.next_id = 0
        self.events = []
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        self.call("Page.enable", session=self.session)

    def message(self):
        while b"\0" not in self.buffer:
            chunk = os.read(self.from_browser, 1 << 20)
            if not chunk:
                raise RuntimeError("the browser ended")
            self.buffer += chunk
        text, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(text)

    def call(self, method, params=None, session=None):
        self.next_id += 1
        command = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            command["sessionId"] = session
        os.write(self.to_browser, json.dumps(command).encode() + b"\0")
        while True:
            m = self.message()
            if m.get("id") == self.next_id:
                if "error" in m:
                    raise RuntimeError(f"{method}: {m['error']}")
                return m.get("result", {})
            self.events.append(m)

    def wait_for(self, method):
        while True:
            for i, m in enumerate(self.events):
                if m.get("method") == method:
                    del self.events[: i + 1]
                    return
            self.events.clear()
            self.events.append(self.message())

    def open(self, url):
        """Seconds until the load event and until the first screenshot."""
        self.events.clear()
        start = time.perf_counter()
        self.call("Page.navigate", {"url": url}, session=self.session)
        self.wait_for("Page.loadEventFired")
        loaded = time.perf_counter() - start
        self.call("Page.captureScreenshot", {"format": "png"}, session=self.session)
        return loaded, time.perf_counter() - start

    def close(self):
        self.process.kill()
        self.process.wait()
        shutil.rmtree(self.profile, ignore_errors=True)


def main():
    folder = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    wanted = sys.argv[3:] or ["*.html"]
    pages = sorted(p for p in os.listdir(folder) if p.endswith(".html") and any(fnmatch.fnmatch(p, w) for w in wanted))
    browser = Browser()
    try:
        browser.open("about:blank")
        times = {}
        for page in pages:
            runs = [browser.open("file://" + os.path.join(folder, page)) for _ in range(rounds)]
            times[page] = (statistics.median(r[0] for r in runs), statistics.median(r[1] for r in runs))
    finally:
        browser.close()
    print(f"{len(pages)} pages in {folder}, the median of {rounds} openings each; the slowest:")
    print(f"{'page':32} {'KB':>7} {'load s':>8} {'shown s':>8}")
    slowest = sorted(times.items(), key=lambda t: -t[1][1])
    for page, (loaded, shown) in slowest[:12]:
        size = os.path.getsize(os.path.join(folder, page)) / 1024
        print(f"{page:32} {size:7.0f} {loaded:8.3f} {shown:8.3f}")
    over = [p for p, (_, shown) in times.items() if shown >= 1.0]
    print(f"pages shown in one second or more: {len(over)} of {len(pages)}")


if __name__ == "__main__":
    main()
