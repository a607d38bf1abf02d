"""Editing the configuration as a user does: a row of a list through its grid and form, a one-row
table, a reference picked by name, a collision seen and resolved, delete with its question, and
Undo stepping back exactly one change. Each step is checked in what the server holds."""
import unittest

from config_pages import fixture, open_file, row_named, rows
from pages import By, Keys, PageTest

try:
    from selenium.webdriver.support.ui import Select
except ImportError:  # pragma: no cover
    Select = None


class EditingTest(PageTest):
    def setUp(self):
        b = self.browser
        b.open("/")
        open_file(b, fixture("devices.conf"))
        b.wait_text("No unsaved changes")

    def open_radio(self, name):
        b = self.browser
        b.open("/#/table/radio")
        b.wait_text("rows")
        b.click(name)
        b.wait(lambda: b.field("Name").get_attribute("value") == name)

    def test_a_row_of_a_list_is_edited_and_keeps_every_other_column(self):
        b = self.browser
        before = row_named("radio", "VHF 1", "firstWarning", "dataPortEndpoint", "breltID", "secondWarning")
        self.open_radio("VHF 1")
        b.type("First warning", "45")
        b.click("Save changes")
        b.wait_text("Saved.")
        after = row_named("radio", "VHF 1", "firstWarning", "dataPortEndpoint", "breltID", "secondWarning")
        self.assertEqual(after, {**before, "firstWarning": "45"})
        b.wait_text("1 unsaved change")

    def test_a_one_row_table_is_a_form(self):
        b = self.browser
        b.click("System settings")
        b.type("Organization", "Harbour fleet")
        b.type("Multicast TTL", "16")
        b.click("Save changes")
        b.wait_text("Saved.")
        (settings,) = rows("cubSettings", "organization", "multicastTtl", "filename")
        self.assertEqual((settings["organization"], settings["multicastTtl"], settings["filename"]),
                         ("Harbour fleet", "16", "devices.conf"))

    def test_a_reference_is_picked_by_name(self):
        b = self.browser
        alice = row_named("operatorGeneral", "Alice")["id"]
        b.open("/#/table/crewStation")
        b.click("Commander")
        field = b.field("Slave operator")
        b.wait(lambda: field.is_enabled())
        names = [o.text for o in Select(field).options]
        self.assertIn("Alice", names)
        self.assertFalse(any(n.startswith("id") for n in names), names)
        Select(field).select_by_visible_text("Alice")
        b.click("Save changes")
        b.wait_text("Saved.")
        self.assertEqual(row_named("crewStation", "Commander", "slaveOperator")["slaveOperator"], alice)
        # The grid shows the unit by name, never by id.
        b.open("/#/table/crewStation")
        b.wait_text("CU-A")

    def test_a_collision_is_shown_at_the_row_and_resolved(self):
        b = self.browser
        self.open_radio("VHF 2")
        b.type("Name", "VHF 1")
        b.type("First warning", "30")
        b.click("Save changes")
        b.wait_text('"VHF 1" already names another object of the configuration.')
        # What the user typed stays; the name is marked.
        self.assertEqual(b.field("Name").get_attribute("value"), "VHF 1")
        self.assertEqual(b.field("First warning").get_attribute("value"), "30")
        self.assertEqual(b.field("Name").get_attribute("aria-invalid"), "true")
        self.assertEqual(len([r for r in rows("radio") if r["name"] == "VHF 2"]), 1)
        b.wait_text("No unsaved changes")
        b.type("Name", "VHF 3")
        b.click("Save changes")
        b.wait_text("Saved.")
        radio = row_named("radio", "VHF 3", "firstWarning")
        self.assertEqual(radio["firstWarning"], "30")
        self.assertEqual([r for r in rows("radio") if r["name"] == "VHF 2"], [])

    def tab_to(self, matches, limit=60):
        """Presses Tab until the focused element matches; returns it."""
        b = self.browser
        for _ in range(limit):
            b.driver.switch_to.active_element.send_keys(Keys.TAB)
            focused = b.driver.switch_to.active_element
            if matches(focused):
                return focused
        self.fail("Tab never reached the control")

    def test_a_row_is_edited_with_the_keyboard_alone(self):
        b = self.browser
        b.open("/#/table/globalEvents")
        b.wait_text("2 rows")
        self.tab_to(lambda e: e.text == "Fire").send_keys(Keys.ENTER)
        b.wait(lambda: b.field("Name").get_attribute("value") == "Fire")
        description = self.tab_to(lambda e: e.get_attribute("id") == "field-globalEvents-description")
        description.send_keys("Engine room", Keys.ENTER)
        b.wait_text("Saved.")
        self.assertEqual(row_named("globalEvents", "Fire", "description")["description"], "Engine room")

    def test_a_field_out_of_range_is_said_beside_it(self):
        b = self.browser
        b.open("/#/table/speaker")
        b.click("Cabin speaker")
        b.type("Volume", "150")
        b.field("Name").send_keys(Keys.CONTROL, "a", Keys.DELETE)
        b.click("Save changes")
        b.wait_text("Volume must be from 0 to 100.")
        b.wait_text("Name is required.")
        b.shot("config-form-error")
        self.assertNotEqual(row_named("speaker", "Cabin speaker", "volume")["volume"], "150")
        b.wait_text("No unsaved changes")

    def test_add_and_delete_with_its_question_then_undo_steps_back_one(self):
        b = self.browser
        b.open("/#/table/globalEvents")
        b.wait_text("2 rows")
        b.click("Add")
        b.type("Name", "Flood")
        b.type("Repeats", "3")
        b.click("Add")
        b.wait(lambda: b.field("Name").get_attribute("value") == "Flood")
        self.assertEqual(row_named("globalEvents", "Flood", "repeats")["repeats"], "3")
        # A second row of the same name is refused before it is made.
        b.open("/#/table/globalEvents")
        b.click("Add")
        b.type("Name", "Fire")
        b.click("Add")
        b.wait_text('"Fire" already names another object of the configuration.')
        self.assertEqual(len([r for r in rows("globalEvents") if r["name"] == "Fire"]), 1)
        # So is the name of an object of another kind, whose id a new event would share.
        b.type("Name", "VHF 1")
        b.click("Add")
        b.wait_text('"VHF 1" already names another object of the configuration.')
        self.assertNotIn("VHF 1", [r["name"] for r in rows("globalEvents")])
        # Delete asks; Cancel keeps the row.
        b.open("/#/table/globalEvents")
        b.wait_text("3 rows")
        b.click("Delete Flood")
        b.wait_text("Delete Flood?")
        b.click("Cancel")
        b.wait_gone("Delete Flood?")
        self.assertEqual(len(rows("globalEvents")), 3)
        b.click("Delete Flood")
        dialog = b.find("//dialog[@open]")
        dialog.find_element(By.XPATH, ".//button[normalize-space(.)='Delete']").click()
        b.wait_text("2 rows")
        self.assertNotIn("Flood", [r["name"] for r in rows("globalEvents")])
        b.wait_text("2 unsaved changes")
        b.shot("config-grid")
        # Undo: the delete only, as its button says.
        b.click("Undo: Flood deleted")
        b.wait_text("3 rows")
        self.assertEqual(row_named("globalEvents", "Flood", "repeats")["repeats"], "3")
        b.wait_text("1 unsaved change")
        b.click("Undo: Flood added")
        b.wait_text("2 rows")
        self.assertNotIn("Flood", [r["name"] for r in rows("globalEvents")])
        b.wait_text("No unsaved changes")


if __name__ == "__main__":
    unittest.main()
