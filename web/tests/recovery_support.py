"""The recovery page's test bench: the simulated unit console behind a pseudo-terminal
(stavenor/tests/peers/boot_console.py), offered to the server through STAVENOR_SERIAL_PORTS, and
what the page and the server show of a run."""
import hashlib
import json
import os
import shutil
import tempfile
import time

from pages import By, PageTest, curl
import boot_console

MIB = 1 << 20


class RecoveryPageTest(PageTest):
    """A server whose one serial port is a simulated unit console (`console_options`)."""

    console_options = {}

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="recovery-page-")
        cls.unit = boot_console.BootConsole(os.path.join(cls.dir, "unit"), **cls.console_options)
        os.environ["STAVENOR_SERIAL_PORTS"] = cls.unit.link
        try:
            super().setUpClass()
        except BaseException:
            cls.unit.go_away()
            raise

    @classmethod
    def tearDownClass(cls):
        try:
            super().tearDownClass()
        finally:
            os.environ.pop("STAVENOR_SERIAL_PORTS", None)
            cls.unit.go_away()
            shutil.rmtree(cls.dir, ignore_errors=True)

    @classmethod
    def image(cls, size, name=None):
        """An image file of `size` bytes, every block its own; returns (path, bytes)."""
        data = os.urandom(size)
        path = os.path.join(cls.dir, name or f"image-{size}.bin")
        with open(path, "wb") as f:
            f.write(data)
        return path, data

    def port(self):
        """The unit's port as the server describes it."""
        status, body = curl("/curtain/?command=portDetails")
        self.assertEqual(status, 200, body)
        ports = json.loads(body)["ports"]
        return next(p for p in ports if p["name"] == self.unit.link)

    def wait_port(self, condition, timeout=10):
        return self.browser.wait(lambda: condition(self.port()), timeout, "the server's port state")

    def progress(self):
        """(overall, step) values of the run's two bars; None when they are not shown."""
        bars = self.browser.driver.find_elements(By.CSS_SELECTOR, ".run .bars progress")
        if len(bars) < 2:
            return None
        return tuple(int(float(b.get_attribute("value") or 0)) for b in bars)

    def follow(self, text, timeout=90):
        """Records the overall progress the page shows until `text` appears; returns the values."""
        b = self.browser
        seen = []
        deadline = time.time() + timeout
        while time.time() < deadline:
            shown = self.progress()
            if shown and (not seen or seen[-1] != shown[0]):
                seen.append(shown[0])
            if text in b.text():
                return seen
            time.sleep(0.1)
        raise AssertionError(f"{text!r} did not show; progress {seen[-5:]}; page: {b.text()[-600:]}")

    def choose_port(self):
        self.browser.field(self.unit.link).click()
        self.wait_port(lambda p: p["selected"])

    def leaving_asks(self):
        """Whether leaving or reloading the page now makes the browser ask first. Headless Chromium
        under WebDriver leaves without showing that question, so the test reads the page's answer to
        the browser's "beforeunload" (cancelled: ask) instead."""
        return self.browser.driver.execute_script(
            "const e = new Event('beforeunload', {cancelable: true}); window.dispatchEvent(e);"
            " return e.defaultPrevented;")

    def flash_digest(self):
        with self.unit.lock:
            return hashlib.sha256(self.unit.flash).hexdigest()
