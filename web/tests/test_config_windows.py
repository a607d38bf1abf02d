"""Two windows on one server (two browsers with profiles of their own): each shows what the store
holds, whichever window changed it. Undo names and takes back the store's last step, a form's save
never lands over a change made elsewhere, the unsaved count is the store's, a form that outlived a
server run never writes into the new run, and a browser's download counts as saved only when the
user says that it arrived."""
import json
import os
import unittest

from config_pages import fixture, row_named, rows
from pages import Browser, PageTest, curl, start_server

with open(fixture("devices.conf"), "rb") as f:
    # Central units CU-A and CU-B.
    TEMPLATE = {"default.conf": f.read()}


def store_state():
    status, body = curl("/tuna/state.json")
    assert status == 200, (status, body)
    return json.loads(body)


def unit_names():
    return sorted(r["name"] for r in rows("centralUnits"))


class WindowsTest(PageTest):
    server_files = TEMPLATE

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        try:
            cls.other = Browser()
        except BaseException:
            super().tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.other.close()
        super().tearDownClass()

    def setUp(self):
        # Each case starts from the template, with nothing unsaved.
        type(self).server.close()
        type(self).server = start_server(TEMPLATE)
        self.a, self.b = self.browser, self.other
        for window in (self.a, self.b):
            window.open("/")
            window.wait_text("No unsaved changes")

    def open_unit(self, window, name):
        window.open(f"/#/row/centralUnits/{row_named('centralUnits', name)['id']}")
        window.wait(lambda: window.field("Name").get_attribute("value") == name, message=f"the form of {name}")

    def test_undo_names_and_takes_back_the_stores_last_step_in_any_window(self):
        a, b = self.a, self.b
        self.open_unit(a, "CU-A")
        a.type("Name", "CU-Renamed")
        a.click("Save changes")
        a.wait_text("Saved.")
        a.click("Save")
        a.wait_download(".conf")
        a.click("The file arrived")
        a.wait_text("No unsaved changes")

        self.open_unit(b, "CU-Renamed")
        b.click("Delete")
        b.find("//dialog//button[normalize-space(.)='Delete']").click()
        b.wait_text("1 unsaved change")

        # A learns of B's delete by itself; its Undo names B's step.
        a.wait_text("Changed in another window: CU-Renamed deleted.")
        a.wait_text("1 unsaved change")
        a.button("Undo: CU-Renamed deleted")
        a.shot("config-changed-in-another-window")
        a.click("Undo: CU-Renamed deleted")
        a.wait_text("Undone: CU-Renamed deleted.")
        a.wait_text("No unsaved changes")
        self.assertEqual(unit_names(), ["CU-B", "CU-Renamed"])

        # B's Undo now names A's rename, from before the save: taking it back differs from the file.
        b.click("Undo: CU-Renamed changed")
        b.wait_text("Undone: CU-Renamed changed.")
        b.wait_text("1 unsaved change")
        self.assertEqual(unit_names(), ["CU-A", "CU-B"])
        a.wait_text("Changed in another window: Undone: CU-Renamed changed.")
        a.wait_text("1 unsaved change")
        self.assertEqual(store_state()["unsaved"], 1)

    def test_a_save_over_a_change_made_elsewhere_is_refused_and_can_be_applied_again(self):
        a, b = self.a, self.b
        before = row_named("centralUnits", "CU-A", "ipAddress", "sipDomain")
        self.open_unit(a, "CU-A")
        self.open_unit(b, "CU-A")
        a.type("IP address", "192.168.10.77")
        a.click("Save changes")
        a.wait_text("Saved.")
        b.type("SIP domain", "b.local")
        b.click("Save changes")
        b.wait_text("This row was changed elsewhere (in another window, or by an undo) after this form read it. Nothing was saved.")
        compare = b.find("//table[contains(@class, 'compare')]").text
        self.assertIn("IP address 192.168.10.77", compare)
        self.assertEqual(b.field("SIP domain").get_attribute("value"), "b.local")
        self.assertNotIn("Saved.", b.text())
        held = row_named("centralUnits", "CU-A", "ipAddress", "sipDomain")
        self.assertEqual((held["ipAddress"], held["sipDomain"]), ("192.168.10.77", before["sipDomain"]))
        b.shot("config-stale-save-refused")

        # Applied again: B's typed field over the row as it is now; A's address stays.
        b.click("Apply my values again")
        b.wait_text("Saved.")
        held = row_named("centralUnits", "CU-A", "ipAddress", "sipDomain")
        self.assertEqual((held["ipAddress"], held["sipDomain"]), ("192.168.10.77", "b.local"))
        b.wait_text("2 unsaved changes")
        a.wait_text("2 unsaved changes")

    def test_every_window_and_a_reload_show_the_stores_count_and_ask_before_new(self):
        a, b = self.a, self.b
        a.open("/#/row/centralUnits/new")
        a.type("Name", "CU-New")
        a.click("Add")
        a.wait_text("1 unsaved change")
        # A window opened afterwards, and a reload, show what the store holds.
        b.open("/")
        b.wait_text("1 unsaved change")
        b.button("Undo: CU-New added")
        a.open("/")
        a.wait_text("1 unsaved change")
        a.button("Undo: CU-New added")
        # New in the other window asks; kept, the store keeps CU-New.
        b.click("New")
        b.find("//dialog//button[normalize-space(.)='Cancel']").click()
        self.assertIn("CU-New", unit_names())
        # Leaving asks while the store holds the change.
        asks = "return !window.dispatchEvent(new Event('beforeunload', {cancelable: true}))"
        self.assertTrue(b.driver.execute_script(asks))
        # Undo in the window that did not make the change takes it back; both follow.
        b.click("Undo: CU-New added")
        b.wait_text("No unsaved changes")
        a.wait_text("No unsaved changes")
        self.assertNotIn("CU-New", unit_names())
        self.assertFalse(b.driver.execute_script(asks))

    def test_a_form_of_an_earlier_run_keeps_its_typed_values_and_writes_nothing(self):
        a, b = self.a, self.b
        before = row_named("centralUnits", "CU-A", "sipDomain")
        self.open_unit(a, "CU-A")
        a.type("SIP domain", "typed.before.restart")
        b.open("/#/form/cubSettings")
        b.type("Organization", "Typed in B")

        self.server.stop()
        b.click("Save changes")
        b.wait_text("The server does not answer. It is being asked again; what is typed here is kept.")
        type(self).server.close()
        type(self).server = start_server(TEMPLATE)

        a.wait_text("The server restarted.")
        a.wait_text("What was typed into the form of CU-A was not saved: the row went with the earlier run, "
                    "and the typed values stay in the form to copy.")
        self.assertNotIn("No unsaved change was lost", a.text())
        a.wait_text("the row this form edited went with its earlier run.")
        self.assertEqual(a.field("SIP domain").get_attribute("value"), "typed.before.restart")
        self.assertFalse(a.button("Save changes").is_enabled())
        a.shot("config-restart-with-typed-values")
        self.assertEqual(row_named("centralUnits", "CU-A", "sipDomain")["sipDomain"], before["sipDomain"])

        # B's "does not answer" ends with the new run's answer; its typed value stays unsent.
        b.wait_text("The server restarted.")
        b.wait_gone("The server does not answer. It is being asked again")
        self.assertEqual(b.field("Organization").get_attribute("value"), "Typed in B")
        self.assertNotEqual(rows("cubSettings", "organization")[0]["organization"], "Typed in B")

    def test_a_browsers_download_counts_as_saved_only_when_the_user_says_it_arrived(self):
        a = self.a
        a.open("/#/form/cubSettings")
        a.type("Organization", "Harbour works")
        a.click("Save changes")
        a.wait_text("1 unsaved change")
        # What a user who cancels the browser's save dialog gets: no file.
        a.driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "deny"})
        try:
            a.click("Save")
            a.wait_text("Handed to the browser as New configuration.conf: if its download was cancelled, "
                        "the changes are not saved.")
        finally:
            a.driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": a.downloads})
        self.assertEqual([n for n in os.listdir(a.downloads) if n.endswith(".conf")], [])
        a.wait_text("1 unsaved change")
        self.assertEqual(store_state()["unsaved"], 1)
        self.assertTrue(a.driver.execute_script(
            "return !window.dispatchEvent(new Event('beforeunload', {cancelable: true}))"))

        # Saved again, and the user says the file arrived: now nothing is unsaved.
        a.click("Save")
        a.wait_download(".conf")
        a.click("The file arrived")
        a.wait_text("Saved as New configuration.conf (a download).")
        a.wait_text("No unsaved changes")
        self.assertEqual(store_state()["unsaved"], 0)


if __name__ == "__main__":
    unittest.main()
