"""Names as a technician types and reads them: blanks around a name are trimmed, a name equal to
another's is refused beside the name, a refusal stands under the field it concerns, a form's
heading names its row, and long or right-to-left names neither widen the page nor turn around."""
import os
import tempfile
import unittest

from config_pages import fixture, open_file, row_named, rows
from pages import By, PageTest, WIDTH

LONG = "L" * 300
REVERSED = "Unit \u202eA-UC"


class NamesTest(PageTest):
    def setUp(self):
        b = self.browser
        b.open("/")
        open_file(b, fixture("operators.conf"))

    def error_of(self, label):
        field = self.browser.field(label)
        described = field.get_attribute("aria-describedby")
        return self.browser.driver.find_element(By.ID, described).text if described else ""

    def test_blanks_around_a_name_are_trimmed_and_a_name_taken_is_refused(self):
        b = self.browser
        units = len(rows("centralUnits"))
        b.open("/#/row/centralUnits/new")
        b.type("Name", "  CU-B  ")
        b.click("Add")
        b.wait(lambda: "already names another" in self.error_of("Name"), message="the collision under the name")
        self.assertNotIn("The store refused", b.text())
        self.assertEqual(len(rows("centralUnits")), units)
        # A radio's name is taken too: units and radios share one register of names.
        b.type("Name", "Radio 1")
        b.click("Add")
        b.wait(lambda: "already names another object" in self.error_of("Name"), message="the register's collision")
        b.type("Name", "  CU-C  ")
        b.click("Add")
        b.wait(lambda: b.field("Name").get_attribute("value") == "CU-C", message="the trimmed name")
        self.assertEqual(sorted(r["name"] for r in rows("centralUnits")), ["CU-A", "CU-B", "CU-C"])
        # An existing row renamed to another's name, with blanks, is refused the same way.
        b.open(f"/#/row/centralUnits/{row_named('centralUnits', 'CU-C')['id']}")
        b.wait_text("Central unit CU-C")
        b.type("Name", " CU-A ")
        b.click("Save changes")
        b.wait(lambda: "already names another" in self.error_of("Name"), message="the rename's collision")
        self.assertEqual(sorted(r["name"] for r in rows("centralUnits")), ["CU-A", "CU-B", "CU-C"])

    def test_a_refusal_stands_under_the_field_it_concerns(self):
        b = self.browser
        unit = row_named("centralUnits", "CU-A")
        b.open(f"/#/row/centralUnits/{unit['id']}")
        heading = b.find("//h1[contains(., 'Central unit')]")
        self.assertEqual(heading.text, "Central unit CU-A")
        b.type("Name", "CU|A")
        b.wait(lambda: '"|"' in self.error_of("Name"), message="the refusal under the name")
        b.click("Save changes")
        b.wait_text("Please correct the marked fields.")
        b.shot("config-name-refused")
        self.assertEqual(row_named("centralUnits", "CU-A")["id"], unit["id"])

    def test_long_and_right_to_left_names_keep_the_page_in_the_window(self):
        b = self.browser
        for old, name in (("CU-A", LONG), ("CU-B", REVERSED)):
            b.open(f"/#/row/centralUnits/{row_named('centralUnits', old)['id']}")
            b.wait(lambda: b.field("Name").get_attribute("value") == old, message=f"the form of {old}")
            b.type("Name", name)
            b.click("Save changes")
            b.wait_text("Saved.")
        unit = row_named("centralUnits", LONG)
        b.open("/")
        b.wait_text("Central units (2)")
        shown = b.wait(lambda: b.driver.execute_script(
            "return [...document.querySelectorAll('.overview bdi')].find(e => e.title === arguments[0])", REVERSED))
        # Isolated: the reversal stays inside the name and does not turn the text after it.
        self.assertEqual(b.driver.execute_script("return getComputedStyle(arguments[0]).unicodeBidi", shown), "isolate")
        width = b.driver.execute_script("return document.documentElement.scrollWidth")
        self.assertLessEqual(width, WIDTH)
        b.shot("config-long-names-overview")
        # Also where the unit is chosen and where its devices are listed.
        b.open(f"/#/row/centralUnits/{unit['id']}")
        b.wait_text("Central unit")
        self.assertLessEqual(b.driver.execute_script("return document.documentElement.scrollWidth"), WIDTH)
        # A radio's unit is chosen among the names, the long one too.
        radio = rows("radio")[0]
        b.open(f"/#/row/radio/{radio['id']}")
        b.wait(lambda: b.field("Central unit").is_enabled())
        self.assertLessEqual(b.driver.execute_script("return document.documentElement.scrollWidth"), WIDTH)
        b.shot("config-long-names-form")


if __name__ == "__main__":
    unittest.main()
