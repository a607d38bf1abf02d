"""The recovery page's test bench: the simulated unit console behind a pseudo-terminal
(stavenor/tests/peers/boot_console.py), offered to the server through STAVENOR_SERIAL_PORTS, and
what the page and the server show of a run."""
import hashlib
import json
import os
import shutil
import tempfile
import time

from pages import EVENT_BOUND, By, PageTest, curl, xpath_literal
import boot_console

MIB = 1 << 20


class RecoveryPageTest(PageTest):
    """A server whose serial ports are simulated unit consoles: `unit` (`console_options`), and one
    more for each entry of `other_consoles` (port name -> options), in `others`."""

    console_options = {}
    other_consoles = {}

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="recovery-page-")
        cls.unit = boot_console.BootConsole(os.path.join(cls.dir, "unit"), **cls.console_options)
        cls.others = {name: boot_console.BootConsole(os.path.join(cls.dir, name), **options)
                      for name, options in cls.other_consoles.items()}
        os.environ["STAVENOR_SERIAL_PORTS"] = ":".join(c.link for c in cls.consoles())
        try:
            super().setUpClass()
        except BaseException:
            for console in cls.consoles():
                console.go_away()
            raise

    @classmethod
    def consoles(cls):
        return [cls.unit, *cls.others.values()]

    @classmethod
    def tearDownClass(cls):
        try:
            super().tearDownClass()
        finally:
            os.environ.pop("STAVENOR_SERIAL_PORTS", None)
            for console in cls.consoles():
                console.go_away()
            shutil.rmtree(cls.dir, ignore_errors=True)

    @classmethod
    def image(cls, size, name=None):
        """An image file of `size` bytes, every block its own; returns (path, bytes)."""
        data = os.urandom(size)
        path = os.path.join(cls.dir, name or f"image-{size}.bin")
        with open(path, "wb") as f:
            f.write(data)
        return path, data

    def port(self, console=None):
        """The port of the unit (or of `console`) as the server describes it."""
        status, body = curl("/curtain/?command=portDetails")
        self.assertEqual(status, 200, body)
        ports = json.loads(body)["ports"]
        return next(p for p in ports if p["name"] == (console or self.unit).link)

    def wait_port(self, condition, timeout=EVENT_BOUND, console=None):
        return self.browser.wait(lambda: condition(self.port(console)), timeout, "the server's port state")

    def progress(self):
        """(overall, step) values of the run's two bars; None when they are not shown."""
        bars = self.browser.driver.find_elements(By.CSS_SELECTOR, ".run .bars progress")
        if len(bars) < 2:
            return None
        return tuple(int(float(b.get_attribute("value") or 0)) for b in bars)

    def follow(self, text, timeout=90, never=None):
        """Records the overall progress the page shows until `text` appears; returns the values. The
        text `never` must not show meanwhile."""
        b = self.browser
        seen = []
        deadline = time.time() + timeout
        while time.time() < deadline:
            shown = self.progress()
            if shown and (not seen or seen[-1] != shown[0]):
                seen.append(shown[0])
            page = b.text()
            if never and never in page:
                raise AssertionError(f"{never!r} showed; page: {page[-600:]}")
            if text in page:
                return seen
            time.sleep(0.1)
        recovery = [line for line in self.server.stderr().splitlines() if "LOG (0x2000)" in line or "serial" in line]
        raise AssertionError(f"{text!r} did not show; progress {seen[-5:]}; page: {b.text()[-600:]}\n"
                             "the server's recovery log:\n" + "\n".join(recovery[-40:]))

    def choose_port(self, console=None):
        """Chooses a port by a click on its name, as a person does."""
        link = (console or self.unit).link
        self.browser.find(f"//span[contains(@class, 'port-name') and normalize-space(.)={xpath_literal(link)}]").click()
        self.wait_port(lambda p: p["selected"], console=console)

    def run_record(self):
        """The last run as the server keeps it for every window."""
        status, body = curl("/curtain/?command=portDetails")
        self.assertEqual(status, 200, body)
        return json.loads(body)["run"]

    def leaving_asks(self):
        """Whether leaving or reloading the page now makes the browser ask first. Headless Chromium
        under WebDriver leaves without showing that question, so the test reads the page's answer to
        the browser's "beforeunload" (cancelled: ask) instead."""
        return self.browser.driver.execute_script(
            "const e = new Event('beforeunload', {cancelable: true}); window.dispatchEvent(e);"
            " return e.defaultPrevented;")

    def uploads(self):
        """How many images the server has received."""
        return self.server.stderr().count("loading image from file")

    def flash_digest(self):
        with self.unit.lock:
            return hashlib.sha256(self.unit.flash).hexdigest()
