"""The server restarts under the page: while it is gone the page offers no Save or Undo and promises
only what holds; once another run answers, the page says that it restarted, what it holds now and
that the page's changes are gone, and every view shows what the new run holds."""
import unittest

from config_pages import configuration_name, file_name_shown, fixture, open_file, rows, wait_file_name
from pages import PageTest, start_server

with open(fixture("devices.conf"), "rb") as f:
    TEMPLATE = {"default.conf": f.read()}

GONE = "The server does not answer."
RESTARTED = "The server restarted."


class RestartTest(PageTest):
    server_files = TEMPLATE

    def test_a_restart_is_told_and_every_view_reads_the_new_run(self):
        b = self.browser
        b.open("/")
        open_file(b, fixture("operators.conf"))
        wait_file_name(b, "operators.conf")
        b.open("/#/form/cubSettings")
        b.type("Organization", "Harbour works")
        b.click("Save changes")
        b.wait_text("1 unsaved change")
        self.assertEqual(rows("cubSettings", "organization")[0]["organization"], "Harbour works")
        b.click("Overview")
        b.wait_text("Operators (2)")
        b.button("Anna")

        self.server.stop()
        # The page notices by itself, without a click.
        b.wait_text(GONE)
        text = b.text()
        self.assertIn("What is typed in an open form stays there.", text)
        self.assertNotIn("Nothing you entered on this page is lost", text)
        for name in ("Save", "Save as…", "New", "Open…"):
            self.assertFalse(b.button(name).is_enabled(), name)
        self.assertFalse(b.button("Undo").is_enabled())

        type(self).server.close()
        type(self).server = start_server(TEMPLATE)
        b.wait_text(RESTARTED)
        # A new run imports its template under the name of a new configuration.
        b.wait_text('It now holds the configuration "New configuration.conf", the one it loads at start.')
        b.wait_text("The 1 unsaved change it held is gone.")
        wait_file_name(b, "New configuration.conf")
        b.wait_text("No unsaved changes")
        self.assertNotIn(GONE, b.text())
        # Nothing to undo: the steps belonged to the run that is gone; Save saves what is shown.
        self.assertFalse(b.button("Undo").is_enabled())
        self.assertTrue(b.button("Save").is_enabled())
        # The overview shows what the new run holds, without a reload.
        b.button("Alice")
        self.assertNotIn("Anna", b.text())
        self.assertEqual(configuration_name(), "New configuration.conf")
        self.assertNotEqual(rows("cubSettings", "organization")[0]["organization"], "Harbour works")
        b.shot("config-server-restarted")

        # The notice stays until it is dismissed.
        b.click("Dismiss")
        b.wait_gone(RESTARTED)
        self.assertEqual(file_name_shown(b), "New configuration.conf")


if __name__ == "__main__":
    unittest.main()
