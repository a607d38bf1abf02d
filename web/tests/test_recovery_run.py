"""A whole recovery from the recovery page, as a technician does it: the unit's port, an image
refused and one taken, Start, the progress, the unit's MAC and date questions answered in the page's
dialogs, the end, the flash holding the image, a reload during the run, and a second run straight
after, without a power cycle, whose date question is answered with the proposal after minutes."""
import hashlib
import json
import unittest

from pages import curl
from recovery_support import MIB, RecoveryPageTest

MAC = "00:a0:c6:ab:cd:ef"

# The page's clock, held at `window.clockNow` (ms since the epoch), which the test moves on.
HELD_CLOCK = """
const [now] = arguments;
window.clockNow = now;
if (!window.HeldDate) {
    const Real = Date;
    window.HeldDate = class extends Real {
        constructor(...args) { if (args.length) super(...args); else super(window.clockNow); }
        static now() { return window.clockNow; }
    };
    window.Date = window.HeldDate;
}
"""


class WholeRecovery(RecoveryPageTest):
    console_options = {"mode": "uboot", "flash_mb": 32, "mac": MAC}

    def answer(self, title, field, value):
        b = self.browser
        b.wait_text(title)
        self.browser.retype(field, value)
        b.click("Send to the unit")
        b.wait_gone(title)

    def test_a_recovery_from_port_to_done_and_again(self):
        b = self.browser
        b.open("/curtain.html")
        # The port with what its reconnaissance found.
        b.wait_text("boot loader")
        b.wait_text(MAC)
        b.wait_text("32 MiB")
        b.shot("recovery-ports")
        self.assertFalse(self.leaving_asks())
        self.choose_port()

        # Manual answers: the page asks the questions.
        for label in ("Automatic date", "Automatic MAC address"):
            box = b.field(label)
            self.assertTrue(box.is_selected(), label)
            box.click()
        self.wait_port(lambda p: not p["automaticDate"] and not p["automaticMacAddress"] and p["keepDataPartition"])
        self.assertFalse(b.field("Automatic date").is_selected())

        # A 31 MiB image is refused in words, before anything reaches the server.
        small, _ = self.image(31 * MIB)
        b.choose_file("Choose image…", small)
        b.wait_text("is refused")
        self.assertIn("31 MiB", b.text())
        self.assertIn("exactly 32 MiB or 64 MiB", b.text())
        self.assertEqual(self.port()["imageSize"], 0)
        self.assertNotIn("Loaded:", b.text())
        self.assertFalse(b.button("Start").is_enabled())

        path, data = self.image(32 * MIB, "unit-32.bin")
        b.choose_file("Choose image…", path)
        b.wait_text("Loaded:")
        self.assertIn("unit-32.bin (32 MiB)", b.text())
        self.assertNotIn("is refused", b.text())
        self.wait_port(lambda p: p["imageSize"] == 32 * MIB)
        b.shot("recovery-image")

        b.click("Start")
        b.wait_text("Writing the unit")
        running = self.follow("flashing system")
        b.shot("recovery-running")

        self.assertTrue(self.port()["flashing"])
        b.wait_text("recovery running")

        # Leaving during the run asks first; a page opened anew picks the run up from the server's answers.
        self.assertTrue(self.leaving_asks())
        b.open("/curtain.html")
        b.wait_text("Writing the unit")
        self.assertTrue(b.button("Start").get_attribute("disabled"))
        running += self.follow("asks for its MAC address", timeout=120)
        b.shot("recovery-question")
        self.assertEqual(b.field("MAC address").get_attribute("value"), MAC)
        self.answer("The unit asks for its MAC address", "MAC address", "00:A0:C6:AB:CD:01")
        self.answer("The unit asks for the date and time", "Date and time", "2024-05-17 14:05")
        running += self.follow("Finished", timeout=60)
        b.shot("recovery-done")

        self.assertEqual(running, sorted(running), "the overall progress only rises")
        self.assertGreaterEqual(len(set(running)), 8, running)
        self.assertEqual(running[-1], 100)
        # The answers, then the page's own check of the port, which finds the new system's shell.
        lines = self.unit.lines
        self.assertTrue(self.unit.wait(lambda: lines[lines.index("go 0") + 1:] == [
            "00:a0:c6:ab:cd:01", "2024-05-17 14:05", "n", "nothing", "ifconfig eth0"]), lines)
        self.assertEqual(self.flash_digest(), hashlib.sha256(data).hexdigest())
        self.assertFalse(self.port()["flashing"])
        self.assertFalse(self.leaving_asks())

        # A second run at once, with another image. The page checked the port when the run ended: the
        # unit sits at its new system's shell, so the run reboots it from there, without a power cycle.
        b.wait_text("Linux shell")
        # A second window's poll after the port check agrees with this one: done, at 100 %.
        status, body = curl("/curtain/?command=settings_ready")
        answer = json.loads(body)
        self.assertEqual((answer["command"], answer["commandData"]["overallOperationProgress"]), ("all_done", 100))
        self.assertEqual(self.run_record()["state"], "done")
        self.assertTrue(b.button("Check ports").is_enabled())
        second, data2 = self.image(32 * MIB, "unit-32-second.bin")
        b.choose_file("Choose image…", second)
        b.wait_text("unit-32-second.bin (32 MiB)")
        b.click("Start")
        b.wait_text("Writing the unit")
        self.follow("asks for its MAC address", timeout=120, never="Power Cycle Central Unit")
        b.shot("recovery-second-run")
        self.assertIn("reboot", self.unit.lines)
        # The question proposes the PC's time at 17:16:59; the technician sends it unedited 238 s later.
        asked_at = b.driver.execute_script("return new Date(2026, 11, 10, 17, 16, 59).getTime()")
        b.driver.execute_script(HELD_CLOCK, asked_at)
        self.answer("The unit asks for its MAC address", "MAC address", "00:a0:c6:ab:cd:02")
        b.wait_text("The unit asks for the date and time")
        b.wait(lambda: b.field("Date and time").get_attribute("value") == "2026-12-10 17:16", message="the proposal")
        b.driver.execute_script(HELD_CLOCK, asked_at + 238_000)
        b.wait(lambda: b.field("Date and time").get_attribute("value") == "2026-12-10 17:20", message="the proposal to follow")
        b.click("Send to the unit")
        b.wait_gone("The unit asks for the date and time")
        self.follow("Finished", timeout=60)
        self.assertEqual(self.unit.lines[self.unit.lines.index("00:a0:c6:ab:cd:02") + 1], "2026-12-10 17:20")
        self.assertEqual(self.flash_digest(), hashlib.sha256(data2).hexdigest())
        self.assertEqual(self.unit.fetched, [32 * MIB, 32 * MIB])
        self.assertEqual(self.uploads(), 2, "each image is sent once, when it is chosen")
        self.assertEqual(b.console_errors(), [])


if __name__ == "__main__":
    unittest.main()
