"""The configuration pages in pym: the window's title follows #webModule, Open goes through pym's
file dialog and names the file in the title, and Save then writes back the file that was opened."""
import os
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from harness import TITLE, PageTest, wait_until  # noqa: E402

FIXTURE = os.path.join(os.path.dirname(__file__), "..", "..", "..", "stavenor", "tests", "data", "config", "devices.conf")


class ConfigurationPagesTest(PageTest):
    def keys(self, *keys):
        for key in keys:
            self.screen.key(self.window, key)

    def test_open_names_the_file_and_save_writes_it_back(self):
        self.assertTrue(wait_until(lambda: self.title().startswith("Configuration - "), 20), self.title())
        self.assertTrue(self.title().endswith(TITLE), self.title())
        path = os.path.join(self.user, "harbour.conf")
        shutil.copy(FIXTURE, path)
        before = os.path.getmtime(path)
        # The page's controls in keyboard order: the three module links, then New and Open….
        self.screen.run("xdotool", "mousemove", "900", "600", "sleep", "0.1", "click", "1")
        time.sleep(0.5)
        self.keys("Tab", "Tab", "Tab", "Tab", "Tab", "Return")
        dialog = wait_until(lambda: self.screen.titled("Open intercom configuration file"), 10)
        self.assertTrue(dialog, "no file dialog")
        self.screen.screenshot("pages-open-dialog")
        self.screen.run("xdotool", "windowfocus", "--sync", str(dialog[0]))
        time.sleep(0.5)
        self.screen.run("xdotool", "type", "--delay", "20", path)
        self.screen.run("xdotool", "key", "Return")
        self.assertTrue(wait_until(lambda: self.title() == f"Configuration - harbour.conf - {TITLE}", 15), self.title())
        self.screen.screenshot("pages-opened")
        # Save (the next control) writes the opened file back in its place.
        time.sleep(1)
        self.keys("Tab", "Return")
        self.assertTrue(wait_until(lambda: os.path.getmtime(path) != before, 15), "the opened file was not written back")
        with open(path, encoding="utf-8") as f:
            written = f.read()
        self.assertTrue(written.startswith("# config file "), written[:80])
        self.assertIn("|CU-A|", written)


if __name__ == "__main__":
    unittest.main()
