"""The updater page in pym: its title, and a firmware file chosen in pym's own file dialog that
reaches a simulated unit through the path pym wrote into the page. Driven with the keyboard alone,
as a user without a mouse would."""
import json
import os
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "stavenor", "tests", "peers"))
from harness import EVENT_BOUND, TITLE, PageTest, wait_until  # noqa: E402
from netns_pair import UnitNamespace  # noqa: E402
from sim_unit import Simulator, Unit  # noqa: E402
import sim_unit as sim  # noqa: E402

UNIT = "02:00:00:00:00:21"
FIRMWARE = "acme_x_dis1_4.2.dis"
UPDATER_LINK = (195, 18)  # the header's "Updater"


class UpdaterInPym(PageTest):
    devtools_port = 9222  # the page is asked when it is ready for the keys

    @classmethod
    def start_peers(cls):
        if not os.path.exists(os.path.join(os.environ.get("PYM_RUN_DIR", ""), "bin", "www", "maintenance", "main.js")):
            raise unittest.SkipTest("PYM_RUN_DIR lacks pym's run directory with the updater page")
        cls.ns = UnitNamespace()
        cls.sim = Simulator(cls.ns.packet_socket())
        cls.unit = Unit(UNIT, 6, hwd="Bus 21")
        cls.sim.add(cls.unit)

    @classmethod
    def stop_peers(cls):
        cls.sim.close()
        cls.ns.close()

    @staticmethod
    def updater(command, query=""):
        out = subprocess.run(["curl", "-s", "--max-time", "10", f"http://127.0.0.1:8765/updater/{command}.json{query}"],
                             capture_output=True).stdout
        return json.loads(out or b"{}")

    def keys(self, *keys):
        self.screen.run("xdotool", "windowfocus", "--sync", str(self.window))
        for key in keys:
            self.screen.run("xdotool", "key", "--delay", "60", key)
            time.sleep(0.05)

    def test_firmware_through_pyms_file_dialog(self):
        self.assertIsNotNone(self.window)
        self.wait_title("Configuration - " + TITLE)
        # The header's second link ("Updater"), where the frame draws it; then the keyboard alone.
        # The header draws a moment after the title: clicked until the page changes.
        for _ in range(5):
            self.screen.click(*UPDATER_LINK)
            if self.pym.wait_log("module changed to updater", 10):
                break
        self.wait_title("Updater - " + TITLE)
        self.assertTrue(wait_until(lambda: UNIT in str(self.updater("breltList")), EVENT_BOUND))
        self.wait_page(f"document.body.innerText.includes({UNIT!r})", "listing the unit")

        firmware = os.path.join(self.user, FIRMWARE)
        with open(firmware, "wb") as f:
            f.write(b"\x7fELF firmware for the test " * 50)
        # Past the skip link to the job: "Upload firmware", the ninth entry; then its file button.
        self.keys("Tab", "Tab", "Tab", "Tab", "Tab", *["Down"] * 8, "Tab", "Return")
        found = wait_until(lambda: self.screen.titled("Open intercom firmware file"), EVENT_BOUND)
        self.assertTrue(found, "no firmware file dialog")
        dialog = found[0]
        self.screen.screenshot("updater-firmware-dialog")
        self.screen.answer(dialog, firmware)
        self.assertTrue(wait_until(lambda: dialog not in self.screen.all_windows(), EVENT_BOUND))
        stored = self.run_dir.path("bin", "tmp", FIRMWARE)
        self.assertTrue(wait_until(lambda: os.path.exists(stored), EVENT_BOUND), "the page sent no file")
        time.sleep(0.5)
        # Past the disabled start button to the filter and the table's scrolling rows, then "select
        # all" in its header, back to the start button.
        since = time.time()
        self.keys("Tab", "Tab", "Tab", "space", "shift+Tab", "shift+Tab", "shift+Tab", "Return")
        # The question before a job that replaces the firmware: "Cancel" has the focus, the
        # confirming button stands before it.
        self.wait_page("!!document.querySelector('dialog[open]')", "asking before the job")
        self.keys("shift+Tab", "Return")
        uploads = wait_until(lambda: self.unit.uploads, EVENT_BOUND)
        self.screen.screenshot("updater-firmware-sent")
        self.assertTrue(uploads, "no upload reached the unit")
        self.assertEqual(uploads[0]["name"], FIRMWARE)
        with open(firmware, "rb") as f:
            self.assertEqual(bytes(uploads[0]["data"]), f.read())
        requests = [f for f in self.sim.frames("in", dst=UNIT, since=since) if f["t"] not in (sim.A_O, sim.A_B)]
        self.assertEqual(requests[0]["t"], sim.UPD)
        # The page gave the server the path that pym wrote into it.
        self.assertEqual(self.updater("buttonData", "?buttonId=dis").get("updaterPath"), firmware)


if __name__ == "__main__":
    unittest.main()
