"""Every field is checked as it is typed, beside the field, and nothing wrong reaches the store; a
value that a loaded file holds is shown as it is, marked when it fails; references are chosen by
name, true/false columns are checkboxes and fixed sets are choices."""
import os
import tempfile
import unittest

from config_pages import fixture, open_file, row_named, rows
from pages import By, PageTest, Select

# (where the form is, field label, value typed, table, row name, column, words of the error)
CASES = [
    ("centralUnits", "CU-A", "IP address", "999.300.1.1", "ipAddress", "must be an IPv4 address"),
    ("centralUnits", "CU-A", "IP address", "not an address", "ipAddress", "must be an IPv4 address"),
    ("centralUnits", "CU-A", "Net mask", "255.0.255.0", "netMask", "must be a net mask"),
    ("centralUnits", "CU-A", "OSPFv2 router id", "1.2.3", "ospf2RouterId", "must be four numbers"),
    ("centralUnits", "CU-A", "SIP exchange number", "abc", "sipExchangeNumber", "must be a number of digits"),
    ("cubSettings", None, "Multicast group", "300.1.1.1", "multicastAddress", "must be a multicast address"),
    ("globalOverviewConferences", "Command net", "Multicast group", "1.2.3.4.5", "multicastGroup",
     "must be a multicast address"),
    ("operatorGeneral", "Anna", "Call timeout", "-7", "callTimeout", "must be from 0 to 86400"),
    ("operatorGeneral", "Anna", "Maximum connected radios", "9999999999999", "maxConnectedRadios", "must be from 0 to 64"),
    ("operatorGeneral", "Anna", "Default volume", "abc", "defaultVolume", "must be a whole number"),
]


def stored(table, name, column):
    if name is None:
        return rows(table, column)[0][column]
    return row_named(table, name, column)[column]


class FieldChecksTest(PageTest):
    def setUp(self):
        self.browser.open("/")
        open_file(self.browser, fixture("operators.conf"))

    def open_form(self, table, name):
        b = self.browser
        if name is None:
            b.open(f"/#/form/{table}")
            b.wait(lambda: b.field("Organization"))
            return
        b.open(f"/#/row/{table}/{row_named(table, name)['id']}")
        b.wait(lambda: b.field("Name").get_attribute("value") == name)

    def error_of(self, field):
        """The error text that the field names as its description, or ""."""
        described = field.get_attribute("aria-describedby")
        if not described:
            return ""
        return self.browser.driver.find_element(By.ID, described).text

    def test_each_kind_of_field_is_checked_beside_the_field_before_anything_is_sent(self):
        b = self.browser
        shot_kinds = set()
        for table, name, label, value, column, words in CASES:
            with self.subTest(label=label, value=value):
                before = stored(table, name, column)
                self.open_form(table, name)
                field = b.type(label, value)
                # Said while typing, before any save.
                b.wait(lambda: words in self.error_of(field), message=f"the error of {label!r}")
                self.assertEqual(field.get_attribute("aria-invalid"), "true")
                self.assertEqual(field.get_attribute("value"), value)
                if column not in shot_kinds:
                    shot_kinds.add(column)
                    b.shot(f"config-field-{column}")
                b.click("Save changes")
                b.wait_text("Please correct the marked fields.")
                self.assertIn(words, self.error_of(b.field(label)))
                self.assertEqual(stored(table, name, column), before)
        b.wait_text("No unsaved changes")

    def test_a_good_value_is_saved_and_a_number_is_never_saved_empty(self):
        b = self.browser
        self.open_form("operatorGeneral", "Anna")
        b.type("Default volume", "12")
        b.type("Call timeout", "45")
        b.click("Save changes")
        b.wait_text("Saved.")
        anna = row_named("operatorGeneral", "Anna", "defaultVolume", "callTimeout")
        self.assertEqual((anna["defaultVolume"], anna["callTimeout"]), ("12", "45"))

    def test_references_are_names_true_false_is_a_checkbox_and_models_are_choices(self):
        b = self.browser
        self.open_form("operatorGeneral", "Anna")
        # Ids never show: the operator and the radio are named.
        self.assertEqual(Select(b.field("Follow operator")).first_selected_option.text, "Bruno")
        self.assertEqual(Select(b.field("Radio connected automatically")).first_selected_option.text, "Radio 1")
        self.assertEqual(Select(b.field("Headset")).first_selected_option.text, "Light headset")
        self.assertEqual(b.field("Automatic conference").tag_name, "select")
        self.assertEqual(Select(b.field("Automatic conference")).first_selected_option.text, "Command net")
        self.assertEqual(b.field("Side tone").get_attribute("type"), "checkbox")
        # A new unit starts with a model, chosen from the models.
        b.open("/#/row/centralUnits/new")
        model = Select(b.field("Model"))
        self.assertEqual(model.first_selected_option.text, "BRELT-10TA")
        self.assertIn("Central Unit", [o.text for o in model.options])
        b.type("Name", "CU-New")
        b.click("Add")
        b.wait(lambda: b.field("Name").get_attribute("value") == "CU-New")
        self.assertEqual(row_named("centralUnits", "CU-New", "type")["type"], "BRELT-10TA")


class LoadedValuesTest(PageTest):
    """A file holding values that fail the checks: they are shown as they are, marked."""

    CONF = """|nodes|
\t|CU-X|
\t\t|network|
\t\t\t|interfaces|
\t\t\t\t|br0|
\t\t\t\t\t|ip address| = |10.0.0.300/255.0.255.0|
\t\t|sip exchange number| = |12a|
\t\t|type| = |Prototype 9|
|system|
\t|name| = |Odd values|
"""

    def test_a_loaded_value_that_fails_is_shown_marked_and_kept(self):
        b = self.browser
        path = os.path.join(tempfile.mkdtemp(), "odd.conf")
        with open(path, "w") as f:
            f.write(self.CONF)
        b.open("/")
        open_file(b, path)
        unit = row_named("centralUnits", "CU-X", "ipAddress", "netMask", "sipExchangeNumber", "type")
        b.open(f"/#/row/centralUnits/{unit['id']}")
        b.wait(lambda: b.field("Name").get_attribute("value") == "CU-X")
        for label, column in (("IP address", "ipAddress"), ("Net mask", "netMask"), ("SIP exchange number", "sipExchangeNumber")):
            field = b.field(label)
            self.assertEqual(field.get_attribute("value"), unit[column])
            self.assertEqual(field.get_attribute("aria-invalid"), "true", label)
        # A model the page does not know is kept, not replaced.
        self.assertEqual(Select(b.field("Model")).first_selected_option.text, "Prototype 9")
        b.shot("config-field-loaded-marked")
        self.assertEqual(row_named("centralUnits", "CU-X", "ipAddress", "netMask", "sipExchangeNumber", "type"), unit)
        # The marked values lock nothing: another field of the row is saved, and they stay as loaded.
        b.type("SIP domain", "odd.example")
        b.click("Save changes")
        b.wait_text("Saved.")
        self.assertEqual(b.field("IP address").get_attribute("aria-invalid"), "true")
        self.assertEqual(row_named("centralUnits", "CU-X", "ipAddress", "netMask", "sipExchangeNumber", "type", "sipDomain"),
                         {**unit, "sipDomain": "odd.example"})
        # A changed value that fails holds the save back.
        b.type("IP address", "10.0.0.301")
        b.click("Save changes")
        b.wait_text("Please correct the marked fields.")
        self.assertEqual(row_named("centralUnits", "CU-X", "ipAddress")["ipAddress"], unit["ipAddress"])


if __name__ == "__main__":
    unittest.main()
