"""Recoveries that fail: a unit that stops answering, a console that goes away and comes back, an
image transfer that stops. The page says that the run failed, at which step, why and what to do
next; the server keeps the failure for every window until a new start or a dismissal."""
import time
import unittest

from pages import Browser, Lag
from recovery_support import MIB, RecoveryPageTest


def start_run(test, size=32 * MIB, name="unit-32.bin"):
    """Opens the page, chooses the unit's port and an image, and presses Start."""
    b = test.browser
    b.open("/curtain.html")
    b.wait_text("boot loader")
    test.choose_port()
    path, _ = test.image(size, name)
    b.choose_file("Choose image…", path)
    b.wait_text("Loaded:")
    b.click("Start")
    b.wait_text("Writing the unit")


class SilentUnit(RecoveryPageTest):
    # The unit answers nothing after its first system block is copied.
    console_options = {"mode": "uboot", "flash_mb": 32, "faults": {"silent-after-cp"}}

    def test_the_failure_is_said_with_its_step(self):
        b = self.browser
        start_run(self)
        b.wait_text("Failed: the recovery stopped.", timeout=90)
        self.assertIn("It failed while “flashing system”", b.text())
        self.assertIn("the unit did not answer within 3 s.", b.text())
        self.assertIn("press Check ports, then Start again", b.text())
        # The run's end checked the port (the unit, silent since the copy, did not answer), and Check
        # ports is there to ask again.
        lines = self.unit.lines
        self.assertTrue(self.unit.wait(lambda: lines[-2:] == ["cp.w 0x9040000 0xa0040000 0x10000", "nothing"]), lines)
        self.wait_port(lambda p: not p["checking"])
        b.wait(lambda: b.button("Check ports").is_enabled(), message="Check ports to be offered")
        b.wait(lambda: b.button("Start").is_enabled(), message="Start to be offered again")
        self.assertFalse(self.leaving_asks())
        b.shot("recovery-error")
        # The run's end checked the port, which did not answer: the run's failure stays as it was.
        self.assertEqual(self.run_record()["cause"], "silent")
        self.assertIn("It failed while “flashing system”", b.text())


class ConsoleGone(RecoveryPageTest):
    """The console's adapter pulled once the system area is erased and its copy began, then plugged back."""
    console_options = {"mode": "uboot", "flash_mb": 32}

    def test_the_failure_stays_and_the_image_with_it(self):
        b = self.browser
        start_run(self, name="img32.bin")
        # A second window follows the run from the start; a third is opened after its failure.
        second = Browser()
        self.addCleanup(second.close)
        second.open("/curtain.html")
        second.wait_text("Writing the unit")
        lines = self.unit.lines
        self.assertTrue(self.unit.wait(lambda: "cp.w 0x9040000 0xa0040000 0x10000" in lines, timeout=90), lines[-5:])
        self.unit.go_away()
        b.wait_text("Failed: the recovery stopped.")
        self.assertEqual(self.run_record()["cause"], "console", self.run_record())
        b.wait_text("plug the USB serial adapter")
        self.assertIn("It failed while “flashing system”", b.text())
        # The port has gone from the list; the failure has not.
        b.wait_text("No serial port found")
        self.assertIn("It failed while “flashing system”", b.text())
        b.shot("recovery-console-gone")

        second.wait_text("It failed while “flashing system”")
        third = Browser()
        try:
            third.open("/curtain.html")
            third.wait_text("It failed while “flashing system”")

            self.unit.come_back()
            b.wait_text("boot loader")
            self.choose_port()
            # The server kept the image through the port's absence: it is loaded, not "not loaded".
            b.wait_text("Loaded:")
            self.assertNotIn("did not load", b.text())
            self.assertIn("It failed while “flashing system”", b.text())
            self.assertIn("the port is back: press Start", b.text())
            self.assertTrue(b.button("Start").is_enabled())
            for other in (second, third):
                self.assertIn("It failed while “flashing system”", other.text())
            b.shot("recovery-console-back")

            b.click("Dismiss")
            b.wait_text(f"Ready: Start recovers the unit on {self.unit.link}.")
            for other in (second, third):
                other.wait_gone("Failed")
        finally:
            third.close()
        self.assertEqual([e for e in b.console_errors() if e.get("source") != "network"], [])


class StalledTransfer(RecoveryPageTest):
    """The unit's TFTP fetch stops after 512 blocks and its boot loader retries for a minute."""
    stall_at = 512 * 1024
    console_options = {"mode": "uboot", "flash_mb": 32, "tftp_stall_at": stall_at, "tftp_hold_s": 60}

    def test_the_stop_is_said_with_its_bytes(self):
        b = self.browser
        start_run(self)
        self.follow("uploading the image")
        self.assertTrue(self.unit.wait(lambda: self.unit.stalled), "the fetch to stop")
        stopped = time.time()
        # Said by the server's TFTP time-outs, long before the unit's boot loader gives up; later
        # by no more than this machine held this process back meanwhile.
        with Lag() as lag:
            b.wait_text("Failed: the recovery stopped.")
        self.assertLess(time.time() - stopped, self.console_options["tftp_hold_s"] + lag.seconds())
        page = b.text()
        self.assertIn("It failed while “uploading the image”", page)
        self.assertIn("the unit stopped fetching the image at 524,288 of 33,554,432 bytes", page)
        self.assertIn("check the network cable between the PC and the unit", page)
        for wrong in ("verifying checksum", "console cable"):
            self.assertNotIn(wrong, page)
        self.assertIn("uploading the image: 524,288 of 33,554,432 bytes", page)
        b.shot("recovery-transfer-stopped")
        record = self.run_record()
        self.assertEqual((record["cause"], record["fetched"], record["imageBytes"]),
                         ("transfer", self.stall_at, 32 * MIB))


if __name__ == "__main__":
    unittest.main()
