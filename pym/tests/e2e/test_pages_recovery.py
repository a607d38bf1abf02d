"""The real recovery page in pym: reached through the header's "Recovery" link, it names the window,
and an image chosen through pym's own file dialog reaches the server.

pym's stavenor is offered one serial port, the simulated unit console behind a pseudo-terminal
(stavenor/tests/peers/boot_console.py): the page sends an image to the selected port's unit only.
The page is steered with the pointer at places of its 1024 x 768 layout, and every step is checked
through the server.
"""
import filecmp
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "..", "stavenor", "tests", "peers"))
from harness import EVENT_BOUND, TITLE, PageTest, wait_until  # noqa: E402
import boot_console  # noqa: E402

MIB = 1 << 20
MAC = "00:a0:c6:ab:cd:ef"
RECOVERY_LINK = (287, 18)  # the header's "Recovery"
# The first port's radio button, in the table's first column below its header row; the port's name,
# /tmp/tmpXXXXXXXX/unit, takes two lines beside it.
PORT_RADIO = (44, 163)
CHOOSE_IMAGE = (598, 180)  # "Choose image…"


def port_details():
    """The server's answer to "portDetails" ({} when it gives none)."""
    r = subprocess.run(["curl", "-s", "--max-time", "5", "http://127.0.0.1:8765/curtain/?command=portDetails"],
                       capture_output=True, text=True)
    try:
        return json.loads(r.stdout)
    except ValueError:
        return {}


class RecoveryPageInPym(PageTest):
    @classmethod
    def start_peers(cls):
        cls.dir = tempfile.mkdtemp()
        cls.unit = boot_console.BootConsole(os.path.join(cls.dir, "unit"), mode="uboot", flash_mb=32, mac=MAC)
        # pym hands its environment to the stavenor it starts.
        os.environ["STAVENOR_SERIAL_PORTS"] = cls.unit.link

    @classmethod
    def stop_peers(cls):
        os.environ.pop("STAVENOR_SERIAL_PORTS", None)
        cls.unit.go_away()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def port(self):
        return next((p for p in port_details().get("ports", []) if p["name"] == self.unit.link), None)

    def test_1_the_recovery_link_names_the_window(self):
        self.assertIsNotNone(self.window, "the main window never showed")
        self.wait_title("Configuration - " + TITLE)
        # The title comes with the page's markup, its header a moment later.
        self.click_until(RECOVERY_LINK, lambda: self.title() == "Recovery - " + TITLE,
                         "the header's Recovery link")
        self.assertTrue(self.pym.wait_log("element load finished: success\n\"http://127.0.0.1:8765/curtain.html\""))
        self.assertIn("webview: module changed to curtain", self.pym.log())

    def test_2_an_image_chosen_in_pyms_dialog_is_taken(self):
        image = os.path.join(self.dir, "unit image.bin")
        with open(image, "wb") as f:
            f.write(os.urandom(32 * MIB))
        port = wait_until(lambda: (p := self.port()) and p["console"] == "boot loader" and p, EVENT_BOUND)
        self.assertTrue(port, port_details())
        self.assertEqual((port["macAddress"], port["flashSizeMb"], port["imageSize"]), (MAC, 32, 0))

        self.click_until(PORT_RADIO, lambda: self.port()["selected"], "choosing the port")
        dialog = self.click_until(CHOOSE_IMAGE, lambda: self.screen.titled("Open intercom image file"),
                                  "the image's file dialog", wait=5)[0]
        self.screen.screenshot("recovery-image-dialog")
        self.screen.answer(dialog, image)
        self.assertTrue(wait_until(lambda: dialog not in self.screen.all_windows(), EVENT_BOUND), "the dialog stayed")

        taken = wait_until(lambda: self.port()["imageSize"] == 32 * MIB, EVENT_BOUND)
        self.assertTrue(taken, self.port())
        uploaded = self.run_dir.path("bin", "tmp", os.path.basename(image))
        self.assertTrue(filecmp.cmp(uploaded, image, shallow=False))
        self.assertEqual(self.title(), "Recovery - " + TITLE)
        self.assertFalse(self.port()["flashing"])
        self.screen.screenshot("recovery-image-taken")


if __name__ == "__main__":
    unittest.main()
