"""pym and a plain browser window on the server that pym started: a change made in the browser is
counted in pym and named by pym's Undo, and pym's Undo takes it back in the store and in the browser."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from harness import EVENT_BOUND, SHOTS_DIR, wait_until  # noqa: E402
from test_pages_configuration import START, ConfigurationTest, shows  # noqa: E402

# The browser tests' helpers import the server's test harness under the name of pym's: they get it
# for their import, and pym's stays "harness" for everything after. The browser's screenshots go
# beside pym's.
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "..", "web", "tests"))
if SHOTS_DIR:
    os.environ["SHOTS_DIR"] = SHOTS_DIR
PYM_HARNESS = sys.modules.pop("harness")
from config_pages import rows  # noqa: E402
from pages import Browser  # noqa: E402
sys.modules["harness"] = PYM_HARNESS

def unit_names():
    return sorted(r["name"] for r in rows("centralUnits"))


class BrowserBesideTest(ConfigurationTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        try:
            cls.browser = Browser()
        except BaseException:
            super().tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()
        super().tearDownClass()

    def test_a_change_in_the_browser_is_counted_and_undone_in_pym(self):
        self.start_at_top()
        self.wait_page(shows("No unsaved changes"), "counting no change")
        before = unit_names()
        unit = rows("centralUnits")[0]
        b = self.browser
        b.open(f"/#/row/centralUnits/{unit['id']}")
        b.wait(lambda: b.field("Name").get_attribute("value") == unit["name"], message=f"the form of {unit['name']}")
        b.type("Name", "CU-Browser")
        b.click("Save changes")
        b.wait_text("Saved.")
        b.wait_text("1 unsaved change")

        # pym learns of it by itself: its count and its Undo are the store's.
        self.wait_page(f"{shows('1 unsaved change')} && {shows('Changed in another window: CU-Browser changed.')}",
                       "counting the browser's change")
        self.wait_page(shows("Undo: CU-Browser changed"), "naming the browser's step on Undo")
        self.shot("pages-browser-change-in-pym")

        # Undo in pym, with the keyboard: past the file bar's other buttons.
        for control in START:
            self.keys_to(control, "Tab")
        self.keys_to("Undo: CU-Browser changed", *["Tab"] * 5)
        self.screen.key(self.window, "Return")
        self.wait_page(f"{shows('Undone: CU-Browser changed.')} && {shows('No unsaved changes')}", "undoing the browser's step")
        self.assertTrue(wait_until(lambda: unit_names() == before, EVENT_BOUND), unit_names())

        # The browser learns it within a few seconds: its count, the words and the form's name.
        b.wait_text("Changed in another window: Undone: CU-Browser changed.")
        b.wait_text("No unsaved changes")
        b.wait(lambda: b.field("Name").get_attribute("value") == unit["name"], message="the form showing the old name")
        b.shot("pym-undo-told-in-the-browser")
        self.assertEqual(unit_names(), before)


if __name__ == "__main__":
    unittest.main()
