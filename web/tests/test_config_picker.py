"""A reference among more names than a list can hold (500 central units) is typed with the names
as suggestions: what is typed stays exactly as typed, Backspace takes one character, and the
keyboard alone chooses the unit and saves the form."""
import os
import tempfile
import unittest

from config_generate import generate
from config_pages import open_file, row_named
from pages import Keys, PageTest

UNITS = 500


class TypedPickerTest(PageTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        path = os.path.join(tempfile.mkdtemp(), "picker.conf")
        with open(path, "w") as f:
            f.write(generate(UNITS, 0, "picker.conf"))
        cls.browser.open("/")
        open_file(cls.browser, path)

    def test_a_unit_is_typed_and_saved_by_keyboard_alone(self):
        b = self.browser
        station = row_named("crewStation", "Station 0001", "breltID")
        b.open(f"/#/row/crewStation/{station['id']}")
        field = b.field("Central unit")
        b.wait(lambda: field.get_attribute("value") == "Unit 0001", message="the unit's name in the picker")
        self.assertEqual(field.tag_name, "input")
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys(Keys.DELETE)
        field.send_keys("Unit 0042")
        b.wait(lambda: field.get_attribute("value") == "Unit 0042", message="the typed name, as typed")
        # Backspace takes one character and nothing else.
        field.send_keys(Keys.BACKSPACE)
        self.assertEqual(field.get_attribute("value"), "Unit 004")
        field.send_keys("2")
        self.assertEqual(field.get_attribute("value"), "Unit 0042")
        b.shot("config-picker-typed")
        # A name that names nothing is said beside the field, and nothing is sent.
        field.send_keys("x")
        b.wait_text('Central unit: nothing is named "Unit 0042x"')
        field.send_keys(Keys.BACKSPACE)
        b.wait_gone("nothing is named")
        field.send_keys(Keys.ENTER)
        b.wait_text("Saved.")
        self.assertEqual(field.get_attribute("value"), "Unit 0042")
        unit = row_named("centralUnits", "Unit 0042")["id"]
        self.assertEqual(row_named("crewStation", "Station 0001", "breltID")["breltID"], unit)


if __name__ == "__main__":
    unittest.main()
