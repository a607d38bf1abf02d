"""The updater's unit table as a technician uses it, in a real Chromium against simulated units: MAC
and IP addresses in their own orders, the failed units found, chosen and given their job again,
and a filter that never leaves a chosen unit hidden."""
import time
import unittest

from pages import By
from updater_pages import Unit, UpdaterPageTest, mac, sim

MAC_COLUMN, IP_COLUMN = 4, 5


class UnitTableTest(UpdaterPageTest):
    def setUp(self):
        self.browser.open("/")  # no unit is chosen from an earlier test

    def column(self, index):
        return [td.text for td in self.browser.driver.find_elements(
            By.CSS_SELECTOR, f"table.unit-table tbody tr.grid-row td:nth-child({index})")]

    def status(self):
        return self.browser.find("//section[@aria-labelledby='units-title']//*[@role='status']").text

    def test_addresses_sort_as_numbers(self):
        b = self.browser
        units = [Unit(m, 7, hwd=f"Bus {m[-2:]}", ip=ip) for m, ip in (
            ("02:00:00:00:01:0F", (10, 0, 0, 10)), ("02:00:00:00:01:01", (9, 255, 255, 255)),
            ("02:00:00:00:01:1A", (10, 0, 0, 2)), ("02:00:00:00:02:00", (192, 168, 1, 1)))]
        self.add_units(*units)
        self.open_updater()
        self.wait_row("02:00:00:00:02:00", "192.168.1.1")
        mine = lambda index: [t for t in self.column(index) if t.startswith(("02:00:00:00:01", "02:00:00:00:02"))
                              or t in ("10.0.0.10", "9.255.255.255", "10.0.0.2", "192.168.1.1")]
        # The list starts sorted by MAC address.
        b.wait(lambda: mine(MAC_COLUMN) == ["02:00:00:00:01:01", "02:00:00:00:01:0F", "02:00:00:00:01:1A",
                                            "02:00:00:00:02:00"], message="MAC addresses as numbers")
        b.click("MAC address \u25b2")
        b.wait(lambda: mine(MAC_COLUMN)[0] == "02:00:00:00:02:00", message="MAC addresses the other way round")
        b.click("IP address")
        b.wait(lambda: mine(IP_COLUMN) == ["9.255.255.255", "10.0.0.2", "10.0.0.10", "192.168.1.1"],
               message="IP addresses as addresses")

    def test_failed_units_are_found_chosen_and_given_their_job_again(self):
        b = self.browser
        units = [Unit(mac(0x20 + i), 7, hwd=f"Van {i}") for i in (1, 2, 3)]
        for unit in (units[0], units[2]):
            unit.replies[sim.ROL] = "ERR"
        self.add_units(*units)
        self.open_updater()
        self.wait_row(units[2].mac, "Van 3")
        self.browser.retype("Filter", "Van")
        b.field("Select all shown units").click()
        b.wait(lambda: "3 selected" in self.status())
        self.choose_job("Set role")
        b.type("Role", "master")
        self.run_job("Set role", 3)
        for unit, words in ((units[0], "Set role: Failed"), (units[1], "Set role: done"), (units[2], "Set role: Failed")):
            self.wait_row(unit.mac, words)
        # The filter finds the job's words; the job column sorts.
        self.browser.retype("Filter", "set role: failed")
        b.wait(lambda: len(self.column(MAC_COLUMN)) == 2, message="the two failed units alone")
        self.browser.retype("Filter", "Van")
        b.click("Job")
        b.wait(lambda: self.column(MAC_COLUMN) == [units[1].mac, units[0].mac, units[2].mac], message="sorted by job")

        for unit in (units[0], units[2]):
            del unit.replies[sim.ROL]
        self.unselect_all()
        b.click("Select failed (2)")
        b.wait(lambda: "2 selected" in self.status())
        self.assertEqual([b.field(f"Select {u.mac}").is_selected() for u in units], [True, False, True])
        b.shot("updater-retry-selected")
        since = time.time()
        b.click("Retry failed (2)")
        for unit in units:
            self.wait_row(unit.mac, "Set role: done")
        b.shot("updater-retry-done")
        self.assertEqual(self.requests(units[1], since), [])
        for unit in (units[0], units[2]):
            self.assertTrue(any(b"master" in f["raw"] for f in self.requests(unit, since, t=sim.ROL)), unit.mac)
        self.assertNotIn("Retry failed", b.text())

    def test_a_filter_leaves_no_chosen_unit_hidden(self):
        b = self.browser
        units = [Unit(mac(0x30 + i), 7, hwd=f"Truck {i}") for i in (1, 2, 3)]
        for unit in units:
            unit.reboot_silence = 0.5
        self.add_units(*units)
        self.open_updater()
        self.wait_row(units[2].mac, "Truck 3")
        self.browser.retype("Filter", "Truck")
        b.field("Select all shown units").click()
        b.wait(lambda: "3 selected" in self.status())
        self.choose_job("Reboot")
        b.button("Reboot on 3 units")
        # What the filter hides is no longer chosen: the button and the status line say so at once.
        self.browser.retype("Filter", "Truck 2")
        b.wait(lambda: "1 selected" in self.status(), message="one chosen unit")
        since = time.time()
        self.run_job("Reboot", 1)
        self.wait_row(units[1].mac, "Reboot: ")
        self.browser.retype("Filter", "Truck")
        self.assertEqual([b.field(f"Select {u.mac}").is_selected() for u in units], [False, True, False])
        time.sleep(0.5)
        self.assertEqual(self.requests(units[0], since), [])
        self.assertEqual(self.requests(units[2], since), [])


if __name__ == "__main__":
    unittest.main()
