"""A unit that stops answering in the middle of a recovery: the page says that the run failed, at
which step, and what to do next; it checks the port itself."""
import unittest

from recovery_support import MIB, RecoveryPageTest


class SilentUnit(RecoveryPageTest):
    # The unit answers nothing after its first system block is copied.
    console_options = {"mode": "uboot", "flash_mb": 32, "faults": {"silent-after-cp"}}

    def test_the_failure_is_said_with_its_step(self):
        b = self.browser
        b.open("/curtain.html")
        b.wait_text("boot loader")
        self.choose_port()
        path, _ = self.image(32 * MIB)
        b.choose_file("Choose image…", path)
        b.wait_text("Loaded:")
        b.click("Start")
        b.wait_text("Writing the unit")
        b.wait_text("Failed: the recovery stopped.", timeout=90)
        self.assertIn("It failed while “flashing system”", b.text())
        self.assertIn("press Check ports, then Start again", b.text())
        # The run's end checked the port (the unit, silent since the copy, did not answer), and Check
        # ports is there to ask again.
        lines = self.unit.lines
        self.assertTrue(self.unit.wait(lambda: lines[-2:] == ["cp.w 0x9040000 0xa0040000 0x10000", "nothing"]), lines)
        self.wait_port(lambda p: not p["checking"])
        b.wait(lambda: b.button("Check ports").is_enabled(), 10, "Check ports to be offered")
        b.wait(lambda: b.button("Start").is_enabled(), 10, "Start to be offered again")
        self.assertFalse(self.leaving_asks())
        b.shot("recovery-error")


if __name__ == "__main__":
    unittest.main()
