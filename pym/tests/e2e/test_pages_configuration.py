"""The configuration pages in pym: the window's title follows #webModule, Open goes through pym's
file dialog and names the file in the title, and Save then writes back the file that was opened.
Save as counts the changes as saved only once the server has written the file chosen in the dialog."""
import json
import os
import shutil
import signal
import sys
import unittest
import urllib.request

sys.path.insert(0, os.path.dirname(__file__))
from harness import EVENT_BOUND, TITLE, PageTest, wait_until  # noqa: E402

FIXTURE = os.path.join(os.path.dirname(__file__), "..", "..", "..", "stavenor", "tests", "data", "config", "devices.conf")


# The controls before the file bar's buttons, in keyboard order from the top of the page. The window
# gets the keyboard as a window manager gives it, without a click: a click on the page moves where
# Tab starts to the place clicked (into <main>, past these, once the overview fills the page).
START = ["Skip to the page's content", "Configuration", "Updater", "Recovery"]
# The file bar's buttons are not busy: a click on one while a command runs does nothing.
FILE_BAR_IDLE = "!document.querySelector('.file-buttons [aria-disabled=true]')"


def shows(text):
    """A page expression: the page shows text."""
    return f"document.body.innerText.includes({json.dumps(text)})"


class ConfigurationTest(PageTest):
    devtools_port = 9222

    def start_at_top(self):
        """Waits until the configuration page shows its overview, with the keyboard on none of its controls."""
        self.assertTrue(wait_until(lambda: self.title().startswith("Configuration - "), EVENT_BOUND), self.title())
        self.wait_page("!!document.querySelector('.overview h1')", "showing the overview")
        self.assertEqual(self.focused(), "")

    def configuration_name(self):
        with urllib.request.urlopen("http://127.0.0.1:8765/tuna/list/Configuration.json", timeout=EVENT_BOUND) as reply:
            return json.load(reply)["name"][-1]

    def change_configuration_name(self, name):
        """One change from the top of the page, with the keyboard: past the skip link, the module links
        and the file buttons (Undo has nothing yet) and Overview to "All tables", then its
        "Configuration name" form."""
        for control in START:
            self.keys_to(control, "Tab")
        self.keys_to("All tables", *["Tab"] * 6)
        self.screen.key(self.window, "Return")
        # A move to another place puts the keyboard on its heading.
        self.wait_page("location.hash === '#/tables' && document.activeElement.matches('.place h1')",
                       "on all tables with the keyboard on its heading")
        self.keys_to("Configuration name", "Tab", "Tab")
        self.screen.key(self.window, "Return")
        self.wait_page("document.activeElement.matches('.place h1') && !!document.querySelector('.row-form input')",
                       "showing the configuration's name with the keyboard on its heading")
        self.keys_to("Name", "Tab")
        self.screen.key(self.window, "ctrl+a")
        self.screen.run("xdotool", "type", "--delay", "20", name)
        self.screen.key(self.window, "Return")
        self.assertTrue(wait_until(lambda: self.configuration_name() == name, EVENT_BOUND), self.configuration_name())
        self.wait_page(shows("1 unsaved change"), "counting the change")

    def other_window(self, timeout):
        """A window beside pym's main window (a question, a dialog), or None."""
        found = wait_until(lambda: [w for w in self.screen.all_windows() if w != self.window], timeout)
        return found[-1] if found else None

    def file_bar_name(self):
        return self.page.evaluate("document.getElementById('file-name').innerText")

    def shot(self, name):
        """A screenshot of what the page has drawn by now: the window paints it a frame or two later."""
        self.page.evaluate("new Promise(done => requestAnimationFrame(() => requestAnimationFrame(done)))")
        self.screen.screenshot(name)


class ConfigurationPagesTest(ConfigurationTest):
    def test_open_names_the_file_and_save_writes_it_back(self):
        self.start_at_top()
        self.assertTrue(self.title().endswith(TITLE), self.title())
        path = os.path.join(self.user, "harbour.conf")
        shutil.copy(FIXTURE, path)
        before = os.path.getmtime(path)
        # The page's controls in keyboard order: the skip link, the three module links, then New and Open….
        for control in START:
            self.keys_to(control, "Tab")
        self.keys_to("Open…", "Tab", "Tab")
        self.screen.key(self.window, "Return")
        dialog = wait_until(lambda: self.screen.titled("Open intercom configuration file"), EVENT_BOUND)
        self.assertTrue(dialog, "no file dialog")
        self.screen.screenshot("pages-open-dialog")
        self.screen.answer(dialog[0], path)
        self.assertTrue(wait_until(lambda: self.title() == f"Configuration - harbour.conf - {TITLE}", EVENT_BOUND), self.title())
        # The title names the file as soon as it is chosen; the page loads it after that.
        self.wait_page(f"{shows('Opened harbour.conf.')} && {FILE_BAR_IDLE}", "done opening harbour.conf")
        self.wait_page(shows("CU-A"), "showing the opened file's central unit")
        self.shot("pages-opened")
        # Save (the next control) writes the opened file back in its place.
        self.keys_to("Save", "Tab")
        self.screen.key(self.window, "Return")
        self.assertTrue(wait_until(lambda: os.path.getmtime(path) != before, EVENT_BOUND), "the opened file was not written back")
        with open(path, encoding="utf-8") as f:
            written = f.read()
        self.assertTrue(written.startswith("# config file "), written[:80])
        self.assertIn("|CU-A|", written)
        # The file carries another name inside ("devices.conf"): the bar names the file opened.
        self.assertEqual(self.file_bar_name(), "harbour.conf")
        self.assertEqual(self.title(), f"Configuration - harbour.conf - {TITLE}")

        # Save as (the next control) offers the file opened, where it is: taken as offered, it is
        # written there again.
        os.remove(path)
        self.keys_to("Save as…", "Tab")
        self.screen.key(self.window, "Return")
        dialog = wait_until(lambda: self.screen.titled("Save File"), EVENT_BOUND)
        self.assertTrue(dialog, "no save dialog")
        self.screen.screenshot("pages-save-as-offers-the-open-file")
        self.screen.key(dialog[0], "Return")
        self.assertTrue(wait_until(lambda: os.path.exists(path), EVENT_BOUND), os.listdir(self.user))
        self.wait_page(shows("Saved as harbour.conf."), "saved as the file opened")

        # Save as another name: the title, the bar and the next Save follow it.
        renamed = os.path.join(self.user, "harbour2.conf")
        self.screen.key(self.window, "Return")
        dialog = wait_until(lambda: self.screen.titled("Save File"), EVENT_BOUND)
        self.assertTrue(dialog, "no second save dialog")
        self.screen.answer(dialog[0], renamed)
        self.assertTrue(wait_until(lambda: os.path.exists(renamed), EVENT_BOUND), os.listdir(self.user))
        self.wait_title(f"Configuration - harbour2.conf - {TITLE}")
        self.wait_page(f"document.getElementById('file-name').innerText === 'harbour2.conf' && {shows('Saved as harbour2.conf.')}",
                       "naming harbour2.conf in the bar")
        self.shot("pages-saved-as-another-name")
        before = os.path.getmtime(renamed)
        self.keys_to("Save", "shift+Tab")
        self.screen.key(self.window, "Return")
        self.assertTrue(wait_until(lambda: os.path.getmtime(renamed) != before, EVENT_BOUND), "Save did not write harbour2.conf")


class SaveAsTest(ConfigurationTest):
    """Its own pym: the keyboard starts on a page that nothing has touched yet."""

    def leave_question(self, timeout):
        """The window that asks before the page is left, or None."""
        return self.other_window(timeout)

    def save_dialog(self):
        dialog = wait_until(lambda: self.screen.titled("Save File"), EVENT_BOUND)
        self.assertTrue(dialog, "no save dialog")
        return dialog[0]

    def test_save_as_counts_as_saved_only_once_the_file_is_written(self):
        self.start_at_top()
        self.change_configuration_name("harbour")

        # Back past the module's tools and Undo to Save as; the dialog is cancelled.
        self.keys_to("Save as…", *["shift+Tab"] * 6)
        self.screen.key(self.window, "Return")
        dialog = self.save_dialog()
        self.screen.screenshot("pages-save-as-dialog")
        self.screen.key(dialog, "Escape")
        self.assertTrue(self.pym.wait_log("save dialog: cancel clicked"))
        self.assertTrue(wait_until(lambda: dialog not in self.screen.all_windows(), EVENT_BOUND))
        self.assertEqual([f for f in os.listdir(self.user) if f.endswith(".conf")], [])
        self.wait_page(f"{shows('No file was written')} && {shows('1 unsaved change')}",
                       "saying that nothing was written, with the change unsaved")
        self.shot("pages-save-as-cancelled")
        # The change is still unsaved: leaving for the updater asks first, and staying keeps the page.
        self.keys_to("Updater", *["shift+Tab"] * 5)
        self.screen.key(self.window, "Return")
        question = self.leave_question(EVENT_BOUND)
        self.assertTrue(question, "leaving asked nothing after a cancelled Save as")
        self.screen.screenshot("pages-leave-question")
        self.screen.key(question, "Escape")
        self.assertTrue(wait_until(lambda: question not in self.screen.all_windows(), EVENT_BOUND))

        # Save as answered: the server writes the file, and the page counts nothing as unsaved.
        self.keys_to("Save as…", *["Tab"] * 5)
        self.assertTrue(self.title().startswith("Configuration - "), self.title())
        self.screen.key(self.window, "Return")
        dialog = self.save_dialog()
        chosen = os.path.join(self.user, "harbour.conf")
        self.screen.answer(dialog, chosen)
        self.assertTrue(wait_until(lambda: os.path.exists(chosen), EVENT_BOUND), os.listdir(self.user))
        with open(chosen, encoding="utf-8") as f:
            self.assertIn("\t|filename| = |harbour.conf|\n", f.read())
        self.wait_page(f"{shows('Saved as harbour.conf.')} && {shows('No unsaved changes')}", "counting the change as saved")
        self.shot("pages-saved-as")
        self.keys_to("Updater", *["shift+Tab"] * 5)
        self.screen.key(self.window, "Return")
        self.assertTrue(wait_until(lambda: self.title() == "Updater - " + TITLE, EVENT_BOUND), self.title())
        self.assertIsNone(self.leave_question(1))


class CloseTest(ConfigurationTest):
    """Its own pym: closing the window asks while a change is unsaved, and the server killed under
    pym leaves a page that says to restart the control centre."""

    def test_closing_with_an_unsaved_change_asks(self):
        self.start_at_top()
        self.change_configuration_name("harbour")
        server = self.pym.server()

        # Closed as a window manager closes it: the page's leave question. "Stay" keeps all.
        self.screen.close_window(self.window)
        question = self.other_window(EVENT_BOUND)
        self.assertTrue(question, "closing asked nothing with an unsaved change")
        self.screen.screenshot("pages-close-question")
        self.screen.key(question, "Escape")
        self.assertTrue(wait_until(lambda: question not in self.screen.all_windows(), EVENT_BOUND))
        self.assertIsNone(self.pym.proc.poll(), "pym ended although the question was answered with stay")
        self.assertEqual(self.configuration_name(), "harbour")
        self.wait_page(shows("1 unsaved change"), "still counting the change")

        # A value typed but not yet sent, then the server killed: the page says what to do in pym
        # and keeps what was typed.
        self.keys_to("Name", "Tab", "shift+Tab")
        self.screen.key(self.window, "End")
        self.screen.run("xdotool", "type", "--delay", "20", " typed")
        os.kill(server, signal.SIGKILL)
        box = wait_until(lambda: self.screen.windows("^Error$"), EVENT_BOUND)
        self.assertTrue(box, "pym did not say that its server ended")
        self.screen.key(box[0], "Return")
        self.wait_page(shows("Restart the control centre"), "saying to restart the control centre")
        self.assertEqual(self.page.evaluate("document.querySelector('.row-form input').value"), "harbour typed")
        self.shot("pages-server-killed")

        # Closed again, and "leave": pym ends without a word more.
        self.screen.close_window(self.window)
        question = self.other_window(EVENT_BOUND)
        self.assertTrue(question, "closing asked nothing with unsaved work")
        self.screen.key(question, "Return")
        self.assertEqual(self.pym.wait(), 0)


class SmallScreenTest(ConfigurationTest):
    """A 640 x 480 screen: the window fits it, and the file bar's buttons are in sight."""
    screen_size = (640, 480)

    def test_the_file_buttons_stay_in_sight(self):
        self.start_at_top()
        self.assertEqual(self.screen.geometry(self.window), (0, 0, 640, 480))
        buttons = self.page.evaluate("""[...document.querySelectorAll('.file-buttons button')].map(b => {
            const r = b.getBoundingClientRect();
            return [b.innerText, r.left >= 0 && r.right <= document.documentElement.clientWidth];
        })""")
        self.assertEqual([name for name, _ in buttons], ["New", "Open…", "Save", "Save as…", "Undo"])
        self.assertEqual([name for name, shown in buttons if not shown], [])
        self.shot("pages-small-screen")


if __name__ == "__main__":
    unittest.main()
