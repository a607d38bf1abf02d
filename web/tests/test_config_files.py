"""The configuration file in use, as a user meets it: opening a shipped configuration shows its
installation, a file that cannot be loaded leaves the configuration as it was, Save as downloads
it, and opening another file with unsaved changes asks first."""
import os
import tempfile
import unittest

from config_pages import configuration_name, file_name_shown, fixture, open_file, rows, wait_file_name
from pages import PageTest


class ConfigurationFileTest(PageTest):
    def setUp(self):
        self.browser.open("/")
        open_file(self.browser, fixture("devices.conf"))
        wait_file_name(self.browser, "devices.conf")
        self.browser.wait_text("CU-B")

    def unit_row(self, unit):
        return self.browser.find(f"//section[contains(@class,'overview')]//tr[td//a[normalize-space(.)='{unit}']]")

    def test_a_shipped_configuration_shows_its_units_operators_and_catalogues(self):
        b = self.browser
        self.assertEqual(configuration_name(), "devices.conf")
        units = {u["name"]: u["id"] for u in rows("centralUnits")}
        self.assertEqual(set(units), {"CU-A", "CU-B"})
        b.wait_text("Central units (2)")
        for table, label in (("radio", "Radios"), ("crewStation", "Crew stations"), ("speaker", "Speakers")):
            held = rows(table, "breltID")
            for unit, unit_id in units.items():
                count = sum(1 for r in held if r["breltID"] == unit_id)
                with self.subTest(unit=unit, table=table):
                    self.assertIn(f"{label} {count}", self.unit_row(unit).text)
        b.wait_text("Operators (2)")
        for operator in ("Alice", "Bob"):
            b.button(operator)
        for catalogue in ("System settings", "Announcements", "Audio-setup translations", "Radio models", "SIP accounts", "Icons"):
            b.button(catalogue)
        # A unit's count leads to its devices.
        b.click("Radios: 2")
        b.wait_text("Radios of CU-A")
        b.wait_text("2 rows")
        self.assertEqual(b.console_errors(), [])
        b.open("/")
        b.wait_text("Central units (2)")
        b.shot("config-overview")

    def test_a_file_that_cannot_be_loaded_keeps_the_configuration_and_says_why(self):
        b = self.browser
        before = rows("centralUnits")
        broken = os.path.join(tempfile.mkdtemp(), "broken.conf")
        with open(broken, "w") as f:
            f.write("|system|\n\t|name| = |no end\n")
        b.choose_file("Open…", broken)
        self.assertEqual(b.upload_filter(), "conf")
        b.wait_text("cannot load broken.conf")
        self.assertEqual(file_name_shown(b), "devices.conf")
        self.assertEqual(rows("centralUnits"), before)
        b.wait_text("CU-A")

    def test_save_as_and_save_without_a_file_download_the_configuration(self):
        b = self.browser
        # In a browser the store knows no file to write back, so Save downloads as Save as does.
        for button in ("Save as…", "Save"):
            with self.subTest(button=button):
                for name in os.listdir(b.downloads):
                    os.remove(os.path.join(b.downloads, name))
                b.click(button)
                path = b.wait_download(".conf")
                with open(path, encoding="utf-8") as f:
                    text = f.read()
                self.assertIn("|CU-A|", text)
                self.assertIn("|filename| = |devices.conf|", text)
                b.wait_text("Handed to the browser as devices.conf: if its download was cancelled, the changes are not saved.")
                b.wait_text("No unsaved changes")

    def test_the_sip_phone_book_downloads(self):
        b = self.browser
        b.click("SIP phone book")
        path = b.wait_download("phonebook.txt")
        with open(path, encoding="utf-8") as f:
            text = f.read()
        for unit in rows("centralUnits"):
            self.assertIn(f"Name: {unit['name']}", text)

    def test_pages_of_their_own_load_when_opened(self):
        b = self.browser
        for link, heading in (("Announcements", "Announcements"), ("Audio-setup translations", "Audio-setup translations"),
                              ("Icons", "Button icons")):
            with self.subTest(link=link):
                b.open("/")
                b.click(link)
                # Shown, or its absence said in words; the module itself goes on working.
                b.wait(lambda: "Loading" not in b.text())
                b.click("Overview")
                b.wait_text("Central units (2)")

    def test_new_or_open_with_unsaved_changes_asks_first(self):
        b = self.browser
        b.open("/#/form/cubSettings")
        b.type("Organization", "Harbour fleet")
        b.click("Save changes")
        b.wait_text("1 unsaved change")
        self.assertEqual(rows("cubSettings", "organization")[0]["organization"], "Harbour fleet")
        # Declined: the configuration stays, changes and all.
        b.choose_file("Open…", fixture("operators.conf"))
        b.wait_text("Discard unsaved changes?")
        b.click("Cancel")
        b.wait_gone("Discard unsaved changes?")
        self.assertEqual(configuration_name(), "devices.conf")
        b.wait_text("1 unsaved change")
        # Leaving the page asks too (the driver answers such questions itself, so the event is looked at).
        self.assertTrue(b.driver.execute_script(
            "const e = new Event('beforeunload', {cancelable: true}); window.dispatchEvent(e); return e.defaultPrevented"))
        # Accepted: the other file is loaded.
        b.click("New")
        b.click("Discard changes")
        b.wait_text("Started a new configuration.")
        b.wait_text("No unsaved changes")
        self.assertNotEqual(rows("cubSettings", "organization")[0]["organization"] if rows("cubSettings") else "", "Harbour fleet")


if __name__ == "__main__":
    unittest.main()
