"""The configuration pages in pym: the window's title follows #webModule, Open goes through pym's
file dialog and names the file in the title, and Save then writes back the file that was opened.
Save as counts the changes as saved only once the server has written the file chosen in the dialog."""
import json
import os
import shutil
import sys
import time
import unittest
import urllib.request

sys.path.insert(0, os.path.dirname(__file__))
from harness import TITLE, PageTest, wait_until  # noqa: E402

FIXTURE = os.path.join(os.path.dirname(__file__), "..", "..", "..", "stavenor", "tests", "data", "config", "devices.conf")


class ConfigurationPagesTest(PageTest):
    def keys(self, *keys):
        for key in keys:
            self.screen.key(self.window, key)

    @unittest.skip("the keyboard walk to the file buttons misses them on the pages with the common table: to be mended")
    def test_open_names_the_file_and_save_writes_it_back(self):
        self.assertTrue(wait_until(lambda: self.title().startswith("Configuration - "), 20), self.title())
        self.assertTrue(self.title().endswith(TITLE), self.title())
        path = os.path.join(self.user, "harbour.conf")
        shutil.copy(FIXTURE, path)
        before = os.path.getmtime(path)
        # The page's controls in keyboard order: the skip link, the three module links, then New and Open….
        self.screen.run("xdotool", "mousemove", "900", "600", "sleep", "0.1", "click", "1")
        time.sleep(0.5)
        self.keys("Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Return")
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


class SaveAsTest(PageTest):
    """Its own pym: the keyboard starts on a page that nothing has touched yet."""

    def keys(self, *keys):
        for key in keys:
            self.screen.key(self.window, key)
            time.sleep(0.05)

    def configuration_name(self):
        with urllib.request.urlopen("http://127.0.0.1:8765/tuna/list/Configuration.json", timeout=10) as reply:
            return json.load(reply)["name"][-1]

    def leave_question(self, timeout):
        """The window that asks before the page is left, or None."""
        found = wait_until(lambda: [w for w in self.screen.all_windows() if w != self.window], timeout)
        return found[-1] if found else None

    def save_dialog(self):
        dialog = wait_until(lambda: self.screen.titled("Save File"), 10)
        self.assertTrue(dialog, "no save dialog")
        return dialog[0]

    @unittest.skip("the keyboard walk to the file buttons misses them on the pages with the common table: to be mended")
    def test_save_as_counts_as_saved_only_once_the_file_is_written(self):
        self.assertTrue(wait_until(lambda: self.title().startswith("Configuration - "), 20), self.title())
        self.screen.run("xdotool", "mousemove", "900", "600", "sleep", "0.1", "click", "1")
        time.sleep(0.5)
        # One change: past the skip link, the module links and the file buttons (Undo has nothing
        # yet) and Overview to "All tables", then its "Configuration name" form.
        self.keys(*["Tab"] * 10, "Return")
        time.sleep(1)
        self.keys("Tab", "Tab", "Return")
        time.sleep(1)
        self.keys("Tab", "ctrl+a")
        self.screen.run("xdotool", "type", "--delay", "20", "harbour")
        self.keys("Return")
        self.assertTrue(wait_until(lambda: self.configuration_name() == "harbour", 10), self.configuration_name())

        # Back past the module's tools and Undo to Save as; the dialog is cancelled.
        self.keys(*["shift+Tab"] * 6, "Return")
        dialog = self.save_dialog()
        self.screen.screenshot("pages-save-as-dialog")
        self.screen.key(dialog, "Escape")
        self.assertTrue(self.pym.wait_log("save dialog: cancel clicked", 5))
        self.assertTrue(wait_until(lambda: dialog not in self.screen.all_windows(), 5))
        time.sleep(1)
        self.assertEqual([f for f in os.listdir(self.user) if f.endswith(".conf")], [])
        # The change is still unsaved: leaving for the updater asks first, and staying keeps the page.
        self.keys(*["shift+Tab"] * 5, "Return")
        question = self.leave_question(10)
        self.assertTrue(question, "leaving asked nothing after a cancelled Save as")
        self.screen.screenshot("pages-leave-question")
        self.screen.key(question, "Escape")
        self.assertTrue(wait_until(lambda: question not in self.screen.all_windows(), 5))
        time.sleep(1)
        self.assertTrue(self.title().startswith("Configuration - "), self.title())

        # Save as answered: the server writes the file, and the page counts nothing as unsaved.
        self.keys(*["Tab"] * 5, "Return")
        dialog = self.save_dialog()
        chosen = os.path.join(self.user, "harbour.conf")
        self.screen.answer(dialog, chosen)
        self.assertTrue(wait_until(lambda: os.path.exists(chosen), 10), os.listdir(self.user))
        with open(chosen, encoding="utf-8") as f:
            self.assertIn("\t|filename| = |harbour.conf|\n", f.read())
        time.sleep(2)  # the page's next look at the store
        self.screen.screenshot("pages-saved-as")
        self.keys(*["shift+Tab"] * 5, "Return")
        self.assertTrue(wait_until(lambda: self.title() == "Updater - " + TITLE, 10), self.title())
        self.assertIsNone(self.leave_question(1))


if __name__ == "__main__":
    unittest.main()
