"""The updater page against simulated central units: the units' namespace and its veth pair, the
simulator on it (stavenor/tests/peers), then the server with the pages, then the browser."""
import json
import os
import tempfile
import urllib.parse

from pages import EVENT_BOUND, Browser, By, Lag, PageTest, curl, start_server  # noqa: F401
from netns_pair import UnitNamespace
from sim_unit import Simulator, Unit  # noqa: F401
import sim_unit as sim  # noqa: F401
from units_support import mac, wait_for  # noqa: F401


def updater(command, **params):
    status, body = curl(f"/updater/{command}.json?" + urllib.parse.urlencode(params))
    assert status == 200, (status, body)
    return json.loads(body)


def listed():
    return {r["macAddress"]: r for r in updater("breltList")["breltList"]}


def write_file(name, data):
    """A file of that name in a fresh directory, as a user would choose it."""
    path = os.path.join(tempfile.mkdtemp(prefix="upd-file-"), name)
    with open(path, "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)
    return path


class UpdaterPageTest(PageTest):
    """One units' namespace, simulator, server and browser per test class."""

    server_args = ("-l", "0x1")

    @classmethod
    def setUpClass(cls):
        cls.ns = UnitNamespace()
        try:
            cls.sim = Simulator(cls.ns.packet_socket())
            cls.server = start_server(cls.server_files, args=cls.server_args)
            cls.browser = Browser()
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        for name in ("browser", "server", "sim", "ns"):
            part = cls.__dict__.get(name)
            if part is not None:
                part.close()

    def tearDown(self):
        # A server that ended during a test is a failure of that test, with its words.
        if self.server.proc.poll() is not None:
            self.fail(f"the server ended ({self.server.proc.returncode}):\n{self.server.stderr()[-6000:]}")

    # --- units

    def add_units(self, *units):
        for unit in units:
            self.sim.add(unit)
        macs = {u.mac for u in units}
        self.assertTrue(wait_for(lambda: macs <= set(listed()), EVENT_BOUND), listed())

    def requests(self, unit, since=0.0, t=None):
        """The server's frames to `unit` but acknowledgements."""
        return [f for f in self.sim.frames("in", dst=unit.mac, since=since, t=t) if f["t"] not in (sim.A_O, sim.A_B)]

    # --- the page

    def open_updater(self):
        self.browser.open("/updater.html")
        # The browser's record of the page's requests: room for every one of a long test.
        self.browser.driver.execute_script("performance.setResourceTimingBufferSize(100000)")
        self.browser.wait_text("Units")

    def lists_asked(self, since=0.0):
        """When the page asked for the unit list (seconds, as time.time() counts them) since `since`,
        by the browser's own record of its requests."""
        return self.browser.driver.execute_script(
            "return performance.getEntriesByType('resource')"
            ".filter(e => e.name.includes('/updater/breltList.json'))"
            ".map(e => (performance.timeOrigin + e.startTime) / 1000).filter(t => t >= arguments[0])", since)

    def row(self, unit_mac):
        b = self.browser
        return b.find(f"//table[contains(@class,'unit-table')]//tr[td[normalize-space(.)='{unit_mac}']]",
                      message=f"the row of {unit_mac}")

    def row_text(self, unit_mac):
        return self.row(unit_mac).text

    def wait_row(self, unit_mac, text, timeout=EVENT_BOUND):
        try:
            return self.browser.wait(lambda: text in self.row_text(unit_mac), timeout,
                                     f"{text!r} in the row of {unit_mac}")
        except AssertionError as e:
            raise AssertionError(f"{e}; the row says {self.row_text(unit_mac)!r}") from None

    def select(self, *macs):
        for m in macs:
            box = self.browser.field(f"Select {m}")
            if not box.is_selected():
                box.click()

    def unselect_all(self):
        for box in self.browser.driver.find_elements(By.CSS_SELECTOR, "tbody input[type=checkbox]"):
            if box.is_selected():
                box.click()

    def choose_job(self, label):
        from selenium.webdriver.support.select import Select
        Select(self.browser.field("Job")).select_by_visible_text(label)

    def start_on(self, unit, job):
        """Chooses `job` for `unit` alone, once its row shows the unit's name."""
        self.wait_row(unit.mac, unit.fields["hwd"])
        self.unselect_all()
        self.select(unit.mac)
        self.choose_job(job)

    def run_job(self, label, unit_count):
        self.browser.click(f"{label} on {unit_count} {'unit' if unit_count == 1 else 'units'}")

    # --- the question before a job that replaces what units hold

    def question(self, timeout=EVENT_BOUND):
        """The text of the open question."""
        return self.browser.find("//dialog[@open]", timeout, "an open question").text

    def assert_asked(self, *sentences):
        """Waits for the question before a job and checks that it says each of `sentences`."""
        question = self.question()
        for said in sentences:
            self.assertIn(said, question)

    def answer(self, confirm_label):
        """Confirms the open question with its button."""
        self.browser.find(f"//dialog[@open]//button[normalize-space(.)='{confirm_label}']").click()
        self.browser.wait(lambda: not self.browser.driver.find_elements(By.XPATH, "//dialog[@open]"), 10,
                          "the question to close")

    def run_confirmed(self, label, unit_count):
        """Starts the job and confirms the question it asks."""
        self.run_job(label, unit_count)
        self.question()
        self.answer(label)
