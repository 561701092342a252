"""Headless Chromium driven over its DevTools pipe (--remote-debugging-pipe): open a page, run
script in it, take screenshots, and see its requests and errors. Used by the page tests and the
page benchmark; WebGL runs on SwiftShader."""

from __future__ import annotations

import base64
import json
import os
import select
import shutil
import subprocess
import tempfile
from pathlib import Path
from typing import List, Optional

ANSWER_TIMEOUT = 180  # seconds


def chromium_path() -> Optional[str]:
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


class BrowserError(RuntimeError):
    """Chromium answered a command with an error, or a page threw."""


class Browser:
    """One headless Chromium with one page of the given size (CSS pixels)."""

    def __init__(self, width: int = 600, height: int = 600):
        executable = chromium_path()
        if executable is None:
            raise FileNotFoundError("chromium is not installed (apt-get install chromium)")
        commands_read, self._commands = os.pipe()
        self._answers, answers_write = os.pipe()
        self._profile = tempfile.TemporaryDirectory()
        self._process = subprocess.Popen(
            [executable, "--headless", "--no-sandbox", "--remote-debugging-pipe", "--use-angle=swiftshader",
             "--enable-unsafe-swiftshader", "--hide-scrollbars", "--mute-audio", "--no-first-run",
             f"--user-data-dir={self._profile.name}", f"--window-size={width},{height}", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            close_fds=False, preexec_fn=lambda: _as_fds_3_and_4(commands_read, answers_write),
            env={name: value for name, value in os.environ.items() if name != "LD_PRELOAD"},  # not the sanitizer's
        )
        os.close(commands_read)
        os.close(answers_write)
        self._buffer = b""
        self._counter = 0
        self.events: List[dict] = []
        try:
            target = self.command("Target.createTarget", url="about:blank")
            self._session = self.command("Target.attachToTarget", targetId=target["targetId"], flatten=True)[
                "sessionId"]
            for domain in ("Page", "Runtime", "Network"):
                self.command(f"{domain}.enable", session=True)
            self.command("Emulation.setDeviceMetricsOverride", session=True, width=width, height=height,
                         deviceScaleFactor=1, mobile=False)
        except BaseException:
            self.close()
            raise

    def command(self, method: str, session: bool = False, **params) -> dict:
        self._counter += 1
        message = {"id": self._counter, "method": method, "params": params}
        if session:
            message["sessionId"] = self._session
        os.write(self._commands, json.dumps(message).encode() + b"\0")
        while True:
            answer = self._read()
            if answer.get("id") == self._counter:
                if "error" in answer:
                    raise BrowserError(f"{method}: {answer['error']}")
                return answer["result"]
            self.events.append(answer)

    def open(self, page: Path, timeout: float = 60) -> None:
        """Loads the page and waits until its script has set up window.gorvin."""
        self.command("Page.navigate", session=True, url=page.resolve().as_uri())
        self.evaluate(
            "new Promise((done, fail) => { const start = Date.now(); (function wait() {"
            " if (window.gorvin) done(true); else if (Date.now() - start > %d) fail('no window.gorvin');"
            " else setTimeout(wait, 20); })(); })" % int(timeout * 1000)
        )

    def evaluate(self, expression: str):
        """The value of a script expression in the page (promises awaited); BrowserError if it throws."""
        result = self.command("Runtime.evaluate", session=True, expression=expression, returnByValue=True,
                              awaitPromise=True)
        if "exceptionDetails" in result:
            raise BrowserError(json.dumps(result["exceptionDetails"])[:2000])
        return result["result"].get("value")

    def screenshot(self, path: Path) -> None:
        data = self.command("Page.captureScreenshot", session=True, format="png")["data"]
        path.write_bytes(base64.b64decode(data))

    def requested(self) -> List[str]:
        """The URLs the page asked for so far."""
        return [event["params"]["request"]["url"] for event in self.events
                if event.get("method") == "Network.requestWillBeSent"]

    def errors(self) -> List[str]:
        """Uncaught exceptions and console errors of the page so far."""
        found = []
        for event in self.events:
            if event.get("method") == "Runtime.exceptionThrown":
                found.append(json.dumps(event["params"]["exceptionDetails"])[:500])
            elif event.get("method") == "Runtime.consoleAPICalled" and event["params"]["type"] in ("error", "warning"):
                found.append(" ".join(str(arg.get("value", arg.get("description"))) for arg in event["params"]["args"]))
        return found

    def close(self) -> None:
        try:
            self.command("Browser.close")
        except (BrowserError, OSError, EOFError):
            pass
        try:
            self._process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self._process.kill()
            self._process.wait()
        os.close(self._commands)
        os.close(self._answers)
        self._profile.cleanup()  # after chromium has ended

    def __enter__(self) -> "Browser":
        return self

    def __exit__(self, *_) -> None:
        self.close()

    def _read(self) -> dict:
        while b"\0" not in self._buffer:
            if not select.select([self._answers], [], [], ANSWER_TIMEOUT)[0]:
                raise TimeoutError(f"chromium gave no answer in {ANSWER_TIMEOUT} s")
            chunk = os.read(self._answers, 1 << 20)
            if not chunk:
                raise EOFError("chromium closed its pipe")
            self._buffer += chunk
        message, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(message)


def _as_fds_3_and_4(read_end: int, write_end: int) -> None:
    """In the child: the pipe ends Chromium reads commands from (3) and writes answers to (4)."""
    read_copy, write_copy = os.dup(read_end), os.dup(write_end)
    os.dup2(read_copy, 3)
    os.dup2(write_copy, 4)
