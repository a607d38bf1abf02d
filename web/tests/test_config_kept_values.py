"""What Open loads can be edited, and what Save would drop is said first: flags the file keeps as
they stand (show splash 1, use dhcp 0) and a USB radio's link (its net mask where an address would
be) are edited and saved; remote control over "Serial" is written so that it reads back; Validate
names a static route through an interface the unit lacks and a radio on none of its unit's lines;
and one table of address, number and phone cases, blanks around them included."""
import os
import unittest

from config_pages import fixture, open_file, row_named, rows
from pages import By, PageTest, Select


# (table, row name, field label, value typed, the error's words or "" when it is taken, column)
CHECKS = [
    ("centralUnits", "CU-K", "IP address", "010.1.0.1", "must be an IPv4 address", "ipAddress"),
    ("centralUnits", "CU-K", "IP address", "01.02.03.04", "must be an IPv4 address", "ipAddress"),
    ("centralUnits", "CU-K", "IP address", "0.0.0.0", "no address", "ipAddress"),
    ("centralUnits", "CU-K", "IP address", "255.255.255.255", "broadcast", "ipAddress"),
    ("centralUnits", "CU-K", "IP address", "224.0.0.1", "multicast", "ipAddress"),
    ("centralUnits", "CU-K", "IP address", "127.0.0.1", "loopback", "ipAddress"),
    ("centralUnits", "CU-K", "OSPFv2 router id", "01.0.0.1", "must be four numbers", "ospf2RouterId"),
    ("centralUnits", "CU-K", "Net mask", "255.255.255.00", "must be a net mask", "netMask"),
    ("centralUnits", "CU-K", "Net mask", "255.0.255.0", "must be a net mask", "netMask"),
    ("centralUnits", "CU-K", "SIP exchange number", "+*1", "must be a number of digits", "sipExchangeNumber"),
    ("globalOverviewConferences", "Net", "Port", "08080", "without leading zeros", "port"),
    ("globalOverviewConferences", "Net", "TTL", "-0", "without leading zeros", "ttl"),
    # Blanks around a checked value go, as around a name.
    ("centralUnits", "CU-K", "IP address", " 10.1.0.9 ", "", "ipAddress"),
    ("centralUnits", "CU-K", "Net mask", " 255.255.0.0", "", "netMask"),
    ("centralUnits", "CU-K", "SIP exchange number", "+49 30 ", "", "sipExchangeNumber"),
    ("globalOverviewConferences", "Net", "Port", " 8080 ", "", "port"),
]


def value(table, name, column):
    return row_named(table, name, column)[column]


class KeptValuesTest(PageTest):
    def setUp(self):
        path = fixture("kept_values.conf")
        b = self.browser
        b.open("/")
        # The changes of the test before are not saved: Open asks first.
        b.choose_file("Open…", path)
        b.wait(lambda: "Opened kept_values.conf." in b.text() or "Discard unsaved changes?" in b.text(), 120, "the file opened")
        if "Opened kept_values.conf." not in b.text():
            b.click("Discard changes")
        b.wait_text("Opened kept_values.conf.", timeout=120)

    def open_row(self, table, name):
        b = self.browser
        b.open(f"/#/row/{table}/{row_named(table, name)['id']}")
        b.wait(lambda: b.field("Name").get_attribute("value") == name)

    def save_row(self):
        self.browser.click("Save changes")
        self.browser.wait_text("Saved.")

    def save_and_open_again(self):
        """Save (a download in a browser), then Open of what was saved; the saved text."""
        b = self.browser
        for name in os.listdir(b.downloads):
            os.remove(os.path.join(b.downloads, name))
        b.click("Save")
        path = b.wait_download(".conf")
        with open(path, encoding="utf-8") as f:
            text = f.read()
        open_file(b, path)
        return text

    def test_loaded_flags_and_a_usb_link_are_edited_and_saved(self):
        b = self.browser
        # Show splash "1": a checkbox, on; turned off it is written in the file's own spelling.
        self.open_row("crewStation", "Station S")
        splash = b.field("Show splash screen")
        self.assertEqual((splash.get_attribute("type"), splash.is_selected()), ("checkbox", True))
        splash.click()
        b.type("Brightness", "40")
        self.save_row()
        self.assertEqual(row_named("crewStation", "Station S", "showSplash", "brightness"),
                         {**row_named("crewStation", "Station S"), "showSplash": "0", "brightness": "40"})
        # Use DHCP "0": off; the unit's other fields are saved beside it.
        self.open_row("centralUnits", "CU-K")
        dhcp = b.field("Use DHCP")
        self.assertEqual((dhcp.get_attribute("type"), dhcp.is_selected()), ("checkbox", False))
        dhcp.click()
        b.type("SIP domain", "kept.example")
        b.shot("config-kept-unit-flags")
        self.save_row()
        self.assertEqual(value("centralUnits", "CU-K", "useDhcp"), "1")
        # The USB link holds its prefix length where the remote address would be.
        link = [r for r in rows("pppProperties", "parentType", "remoteIp") if r["parentType"] == "radioUsb"]
        self.assertEqual([r["remoteIp"] for r in link], ["24"])
        b.open(f"/#/row/pppProperties/{link[0]['id']}")
        mask = b.wait(lambda: b.field("Remote IP (a USB link: net mask)"))
        self.assertEqual((mask.get_attribute("value"), mask.get_attribute("aria-invalid")), ("24", None))
        b.type("Local IP", "10.5.0.3")
        b.shot("config-kept-usb-link")
        self.save_row()
        self.assertEqual(row_named("pppProperties", link[0]["name"], "localIp", "remoteIp")["localIp"], "10.5.0.3")
        # The file takes the link from its radio: Validate says so, and the radio's fields carry it.
        b.click("Validate")
        b.wait_text("The file takes this link from radio Radio U (10.5.0.2, 24): Save writes those, not this row's.")
        self.open_row("radio", "Radio U")
        self.assertEqual((b.field("Net mask").get_attribute("value"), b.field("Net mask").get_attribute("aria-invalid")),
                         ("24", None))
        b.type("IP address", "10.5.0.3")
        self.save_row()
        b.click("Validate")
        b.wait_text("1 finding.")  # the route through ppp12 alone
        self.assertNotIn("The file takes this link", b.text())

        text = self.save_and_open_again()
        self.assertIn("\t\t\t|show splash| = |0|\n", text)
        self.assertIn("\t\t\t\t\t|use dhcp| = |1|\n", text)
        self.assertIn("\t\t\t\t|radio1|\n\t\t\t\t\t|ip address| = |10.5.0.3/24|\n", text)
        self.assertEqual(value("crewStation", "Station S", "showSplash"), "0")
        self.assertEqual(value("centralUnits", "CU-K", "sipDomain"), "kept.example")

    def test_remote_control_over_serial_is_saved_and_read_back(self):
        b = self.browser
        self.open_row("radio", "Radio A")
        connection = Select(b.field("Remote control connection"))
        self.assertEqual([o.text for o in connection.options], ["(none)", "IP", "Serial"])
        self.assertEqual(connection.first_selected_option.text, "IP")
        connection.select_by_visible_text("Serial")
        self.save_row()
        self.assertEqual(value("radio", "Radio A", "remoteControlConnection"), "Serial")
        text = self.save_and_open_again()
        self.assertIn("\t\t\t|remote control type| = |serial|\n", text)
        self.open_row("radio", "Radio A")
        connection = Select(b.field("Remote control connection"))
        self.assertEqual([o.text for o in connection.options], ["(none)", "IP", "Serial"])
        self.assertEqual(connection.first_selected_option.text, "Serial")
        # A SIP extension that no Save writes is not offered.
        self.assertFalse(b.driver.find_elements(By.XPATH, "//label[normalize-space(.)='SIP extension']"))

    def test_validate_names_what_save_would_drop(self):
        b = self.browser
        # The radio leaves its line: it keeps its unit in the store, but the file could not say so.
        self.open_row("radio", "Radio A")
        b.field("Line 2").click()
        self.save_row()
        b.click("Validate")
        b.wait(lambda: "finding" in b.text(), message="the findings")
        b.shot("config-kept-validate")
        b.wait_text("2 findings.")
        b.wait_text("Static route 1 goes through an interface that CU-K does not have: Save will leave it out.")
        b.wait_text("CU-K is its central unit, but it uses none of the unit's lines: Save writes it without a central unit.")
        self.assertNotIn("Static route 2", b.text())
        # What Validate said is what Save does.
        text = self.save_and_open_again()
        self.assertNotIn("10.2.0.0", text)
        self.assertIn("|route target| = |10.6.0.0/255.255.0.0|", text)
        self.assertEqual(row_named("radio", "Radio A", "breltID")["breltID"], "")

    def test_addresses_numbers_and_phones_with_and_without_blanks(self):
        b = self.browser
        b.open("/#/row/globalOverviewConferences/new")
        b.type("Name", "Net")
        b.click("Add")
        b.wait(lambda: b.field("Name").get_attribute("value") == "Net" and "/new" not in b.driver.current_url)
        for table, name, label, typed, words, column in CHECKS:
            with self.subTest(label=label, typed=typed):
                before = value(table, name, column)
                self.open_row(table, name)
                b.type(label, typed)
                b.click("Save changes")
                if words:
                    b.wait_text("Please correct the marked fields.")
                    described = b.field(label).get_attribute("aria-describedby")
                    self.assertIn(words, b.driver.find_element(By.ID, described).text)
                    self.assertEqual(value(table, name, column), before)
                else:
                    b.wait_text("Saved.")
                    self.assertEqual(value(table, name, column), typed.strip())
                    self.assertEqual(b.field(label).get_attribute("value"), typed.strip())


if __name__ == "__main__":
    unittest.main()
