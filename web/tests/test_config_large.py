"""A large installation: 500 central units with 2,000 radios load, the overview lists every unit,
and the radios' grid draws only the rows in view while it scrolls, sorts, filters and edits."""
import os
import tempfile
import unittest

from config_generate import generate
from config_pages import open_file, row_named, rows
from pages import By, Keys, PageTest

UNITS, RADIOS_PER_UNIT = 500, 4


class LargeConfigurationTest(PageTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.path = os.path.join(tempfile.mkdtemp(), "large.conf")
        with open(cls.path, "w") as f:
            f.write(generate(UNITS, RADIOS_PER_UNIT, "large.conf"))
        cls.browser.open("/")
        open_file(cls.browser, cls.path)

    def drawn_rows(self):
        return [r.text.split("\n")[0] for r in self.browser.driver.find_elements(By.CSS_SELECTOR, ".grid-row")]

    def test_the_overview_lists_every_unit(self):
        b = self.browser
        self.assertEqual(len(rows("centralUnits")), UNITS)
        b.open("/")
        b.wait_text(f"Central units ({UNITS})", timeout=60)
        # Only the units in view are drawn; the last is found by the filter.
        b.type("Filter", "Unit 0499")
        b.wait_text(f"1 of {UNITS} units")
        b.wait_text("Unit 0499")
        b.wait_text(f"Operators ({UNITS})")

    def test_the_radio_grid_draws_only_what_is_in_view(self):
        b = self.browser
        total = UNITS * RADIOS_PER_UNIT
        self.assertEqual(len(rows("radio")), total)
        b.open("/#/table/radio")
        b.wait_text(f"{total} rows", timeout=60)
        drawn = self.drawn_rows()
        self.assertEqual(drawn[0], "Radio 00000")
        b.shot("config-grid-large")
        self.assertLess(len(drawn), 60)
        # To the end with the keyboard.
        body = b.driver.find_element(By.CSS_SELECTOR, ".grid-body")
        body.send_keys(Keys.END)
        b.wait(lambda: "Radio 01999" in self.drawn_rows(), message="the last radio drawn")
        self.assertLess(len(self.drawn_rows()), 60)
        # Sorted the other way round, the last comes first.
        b.click("Name ▲")
        body.send_keys(Keys.HOME)
        b.wait(lambda: self.drawn_rows()[:1] == ["Radio 01999"], message="the last radio first")
        # Filtered, then one of them edited.
        b.type("Filter", "Radio 0150")
        b.wait_text(f"10 of {total} rows")
        b.click("Radio 01500")
        b.type("Audio delay", "1500")
        b.click("Save changes")
        b.wait_text("Saved.")
        self.assertEqual(row_named("radio", "Radio 01500", "audioDelay")["audioDelay"], "1500")


if __name__ == "__main__":
    unittest.main()
