"""The updater's live unit list and jobs on several units, in a real Chromium against simulated units."""
import statistics
import time
import unittest

from updater_pages import EVENT_BOUND, Lag, Unit, UpdaterPageTest, listed, mac, sim, updater, wait_for


class UnitList(UpdaterPageTest):
    def test_units_appear_and_go(self):
        b = self.browser
        first = [Unit(mac(i), 6, hwd=f"Bus {i}", dis=f"dis-1.{i}", ip=(10, 0, 0, i)) for i in (1, 2, 3)]
        self.add_units(*first)
        self.open_updater()
        for unit in first:
            self.wait_row(unit.mac, unit.fields["hwd"])
        self.assertIn("3 units", b.text())
        row = self.row_text(mac(2))
        for text in ("Bus 2", "CU-1", "10.0.0.2", "6", "dis-1.2", "up"):
            self.assertIn(text, row)

        fourth = Unit(mac(4), 7, hwd="Bus 4")
        added = time.time()
        self.sim.add(fourth)
        # The server lists it within 10 s, later by as much as the machine held this process back.
        with Lag() as lag:
            self.assertTrue(wait_for(lambda: mac(4) in listed(), EVENT_BOUND))
        seen_by_server = time.time()
        self.assertLess(seen_by_server - added, 10 + lag.seconds())
        # The page draws the first list it asks for once the server has the unit (or the next one,
        # asked while the row was being looked at), however slowly a busy machine runs it.
        self.wait_row(mac(4), "Bus 4")
        self.assertLessEqual(len(self.lists_asked(since=seen_by_server)), 2)

        # One that goes silent: the server says so after a few seconds, and the page at its next list.
        first[0].silent = True
        silenced = time.time()
        with Lag() as lag:
            self.assertTrue(wait_for(lambda: listed().get(mac(1), {}).get("status") == "down", EVENT_BOUND))
        said = time.time()
        self.assertLess(said - silenced, 20 + lag.seconds())
        self.wait_row(mac(1), "down")
        self.assertLessEqual(len(self.lists_asked(since=said)), 2)
        # It asks once a second: its own record, whose middle gap a passing stall of the machine
        # does not move.
        asked = self.lists_asked()
        self.assertLess(statistics.median(b - a for a, b in zip(asked, asked[1:])), 1.5, asked)
        b.wait_text("1 not answering")
        self.assertEqual(b.console_errors(), [])

        # Sorting and filtering.
        b.click("Name")
        names = [r.text.split("\n")[0] for r in b.driver.find_elements(
            "css selector", "table.unit-table tbody tr td:nth-child(2)")]
        self.assertEqual(names, sorted(names))
        b.type("Filter", "10.0.0.3")
        b.wait(lambda: len(b.driver.find_elements("css selector", "table.unit-table tbody tr")) == 1)
        self.assertIn("Bus 3", self.row_text(mac(3)))
        b.type("Filter", "")
        first[0].silent = False


class Reboot(UpdaterPageTest):
    def test_reboot_of_two_selected_units(self):
        b = self.browser
        units = [Unit(mac(i), 6, hwd=f"Bus {i}") for i in (1, 2, 3)]
        for unit in units:
            unit.reboot_silence = 2.5
        self.add_units(*units)
        self.open_updater()
        self.wait_row(mac(3), "Bus 3")
        self.select(mac(1), mac(2))
        b.wait_text("2 selected")
        since = time.time()
        self.choose_job("Reboot")
        self.run_job("Reboot", 2)
        for m in (mac(1), mac(2)):
            self.wait_row(m, "Reboot: rebooting")
        for m, bars in ((mac(1), 1), (mac(2), 1), (mac(3), 0)):
            self.assertEqual(len(self.row(m).find_elements("css selector", "progress")), bars, m)
        b.shot("updater-jobs-running")
        for m in (mac(1), mac(2)):
            self.wait_row(m, "Reboot: done")
        self.assertEqual(b.driver.find_element(
            "xpath", f"//tr[td[normalize-space(.)='{mac(1)}']]//progress").get_attribute("value"), "100")
        for unit in units[:2]:
            self.assertEqual([f["t"] for f in self.requests(unit, since)], [sim.UPD, sim.RBT, sim.EOU])
        self.assertEqual(self.requests(units[2], since), [])
        self.assertNotIn("Reboot", self.row_text(mac(3)))

    def test_a_job_started_before_the_page_is_followed(self):
        unit = Unit(mac(8), 6, hwd="Bus 8")
        unit.reboot_silence = 8  # outlasts the page's load, however slow the machine
        self.add_units(unit)
        self.assertEqual(updater("action", type="reboot", macAddress=unit.mac)["statusList"][0]["status"],
                         "commandAccepted")
        self.open_updater()
        # The server keeps what the job is, so the page names it.
        self.wait_row(unit.mac, "Reboot: rebooting")
        self.wait_row(unit.mac, "Reboot: done")

    def test_a_refusal_is_said_at_once(self):
        b = self.browser
        unit = Unit(mac(7), 6, hwd="Busy bus")
        unit.reboot_silence = 15  # outlasts the next jobs' starts on a loaded machine
        self.add_units(unit)
        self.open_updater()
        self.wait_row(unit.mac, "Busy bus")
        self.unselect_all()
        self.select(unit.mac)
        self.choose_job("Reboot")
        self.run_job("Reboot", 1)
        self.wait_row(unit.mac, "Reboot: rebooting")
        self.choose_job("Take control")
        self.run_job("Take control", 1)
        self.wait_row(unit.mac, "Take control: Refused: A job is already running on the unit.")
        # A whole request that the server refuses: said beside the button, nothing reaches the unit.
        self.choose_job("Set role")
        self.run_job("Set role", 1)
        b.wait_text("Enter the role first.")
        self.wait_row(unit.mac, "Take control: Refused")


class Confirmed(UpdaterPageTest):
    def test_jobs_that_change_what_the_unit_runs_ask_first(self):
        b = self.browser
        unit = Unit(mac(9), 7, hwd="Bus 9")
        self.add_units(unit)
        self.open_updater()
        self.wait_row(unit.mac, "Bus 9")
        self.select(unit.mac)
        for job, question in (("Test", "This replaces the flash contents on the unit."),
                              ("Install password file", "This replaces the password file and the running firmware")):
            with self.subTest(job=job):
                self.choose_job(job)
                self.run_job(job, 1)
                b.wait_text(question)
                b.click("Cancel")
                b.wait_gone(question)
                time.sleep(0.3)
                self.assertEqual(self.requests(unit), [])
        since = time.time()
        self.run_confirmed("Install password file", 1)
        # The server's working directory has no password file to send: the job ends, said in words.
        self.wait_row(unit.mac, "Install password file: Failed")
        self.assertEqual(self.requests(unit, since)[0]["t"], sim.UPD)

    def test_password_jobs_carry_what_was_typed(self):
        unit = Unit(mac(10), 7, hwd="Bus 10")
        self.add_units(unit)
        self.open_updater()
        self.wait_row(unit.mac, "Bus 10")
        self.select(unit.mac)
        for job in ("Lock", "Unlock", "Enable"):
            with self.subTest(job=job):
                password = f"pw-{job.lower()}-\u00e4"
                since = time.time()
                self.choose_job(job)
                self.browser.type("Password", password)
                self.run_job(job, 1)
                self.wait_row(unit.mac, f"{job}: done")
                self.assertTrue(any(password.encode() in f["raw"] for f in self.requests(unit, since)), job)


if __name__ == "__main__":
    unittest.main()
