"""What a job's end says, and where it stays, in a real Chromium against simulated units: a reboot is
done only once the unit is back, a step a unit acknowledges but does not answer is said as such, a
late answer is no failure, and each unit's last job is the server's: it survives leaving the page,
a reload and a second window, whose log lines join the first's."""
import time
import unittest

from updater_pages import EVENT_BOUND, Unit, UpdaterPageTest, mac, sim, updater, wait_for
from selenium.common.exceptions import NoAlertPresentException


class Outcomes(UpdaterPageTest):
    def setUp(self):
        self.open_updater()

    def set_role(self, role, *units):
        self.wait_row(units[-1].mac, units[-1].fields["hwd"])
        self.unselect_all()
        self.select(*(u.mac for u in units))
        self.choose_job("Set role")
        self.browser.retype("Role", role)
        self.run_job("Set role", len(units))

    def leave_to(self, path):
        """Goes to another page, answering the question about the running job with yes."""
        b = self.browser
        b.driver.execute_script("location.href = arguments[0]", path)

        def arrived():
            try:
                b.driver.switch_to.alert.accept()
            except NoAlertPresentException:
                pass
            return b.driver.execute_script("return location.pathname") == path
        b.wait(arrived, message=f"the page {path}")
        b.wait(lambda: b.driver.execute_script("return document.readyState") == "complete")

    def test_reboot_is_done_when_the_unit_is_back(self):
        b = self.browser
        # Units that answer at once and then fall silent, for a short and a long restart.
        units = {3: Unit(mac(0x31), 6, hwd="Quick bus"), 20: Unit(mac(0x32), 6, hwd="Slow bus")}
        for silence, unit in units.items():
            unit.reboot_answer_first = True
            unit.reboot_silence = silence
        self.add_units(*units.values())
        self.wait_row(mac(0x32), "Slow bus")
        self.unselect_all()
        self.select(mac(0x31), mac(0x32))
        self.choose_job("Reboot")
        started = time.time()
        self.run_job("Reboot", 2)
        done_at = {}
        seen = set()
        deadline = time.time() + EVENT_BOUND
        while len(done_at) < 2 and time.time() < deadline:
            for unit in units.values():
                text = self.row_text(unit.mac)
                if "restarting, until the unit announces itself again" in text:
                    seen.add(unit.mac)
                if "Reboot: done" in text and unit.mac not in done_at:
                    done_at[unit.mac] = time.time()
            if len(seen) == 1 and not done_at:
                b.shot("updater-reboot-restarting")
            time.sleep(0.1)
        self.assertEqual(set(done_at), {u.mac for u in units.values()}, "both reboots end as done")
        for silence, unit in units.items():
            answer = self.sim.wait_frame(direction="out", src=unit.mac, t=sim.SUC, since=started)
            back = self.sim.wait_frame(direction="out", src=unit.mac, t=sim.INF, since=answer["time"] + silence)
            self.assertIsNotNone(back, unit.mac)
            self.assertGreaterEqual(done_at[unit.mac], back["time"], f"done before {unit.mac} announced itself again")
            self.assertIn(unit.mac, seen)
        # The page invited the next job: it finds the unit back and taken.
        self.set_role("front", units[3])
        self.wait_row(mac(0x31), "Set role: done")

    def test_unanswered_and_late_steps_in_words(self):
        muted = Unit(mac(0x41), 6, hwd="Muted bus")
        muted.replies[sim.RLD] = None  # acknowledged, never answered
        late = Unit(mac(0x42), 6, hwd="Late bus")
        late.answer_delays[sim.ROL] = 3.0
        self.add_units(muted, late)
        self.set_role("front", muted, late)
        self.wait_row(late.mac, "Set role: done")
        self.wait_row(muted.mac, 'Set role: Failed while reloading configuration: The unit acknowledged "reload configuration"'
                                 ' but did not answer within 10 s.')
        self.assertNotIn("stopped answering", self.row_text(muted.mac))
        self.browser.wait_text("Why jobs failed")
        self.browser.shot("updater-unanswered-step")

    def test_outcomes_stay_across_leaving_reload_and_a_second_window(self):
        b = self.browser
        good = Unit(mac(0x51), 6, hwd="North bus")
        good.answer_delays[sim.ROL] = 4.0  # still running when the page is left
        bad = Unit(mac(0x52), 6, hwd="South bus")
        bad.replies[sim.ROL] = ("ERR", -2)
        self.add_units(good, bad)
        b.driver.execute_script("localStorage.clear()")  # the log of the class's earlier tests
        self.open_updater()
        self.set_role("north depot", good, bad)
        self.wait_row(good.mac, "Set role: changing role")
        self.leave_to("/curtain.html")
        self.assertTrue(wait_for(lambda: updater("breltProgress", macAddress=good.mac)["status"] == "success", EVENT_BOUND))

        def check_outcomes():
            self.wait_row(good.mac, "Set role: done")
            self.wait_row(bad.mac, 'Set role: Failed: The unit refused the step "set role" (error -2: refused).')
            b.wait_text("Why jobs failed")
            b.find("//button[normalize-space(.)='Retry failed (1)']")

        self.open_updater()
        check_outcomes()
        b.wait_text("4 entries in this page's log")  # 2 accepted, 2 ends: the ends logged on return
        b.driver.refresh()
        check_outcomes()
        b.wait_text("4 entries in this page's log")

        # A second window: the same outcomes; each window's job joins the one log.
        first = b.driver.current_window_handle
        b.driver.switch_to.new_window("window")
        self.open_updater()
        check_outcomes()
        second = b.driver.current_window_handle
        self.set_role("south depot", bad)
        self.wait_row(bad.mac, "Set role: Failed")
        b.driver.switch_to.window(first)
        self.set_role("north depot", good)
        self.wait_row(good.mac, "Set role: done")
        b.wait_text("8 entries in this page's log")
        b.shot("updater-outcomes-two-windows")
        b.driver.switch_to.window(second)
        b.wait_text("8 entries in this page's log")
        sent = b.driver.execute_script("return localStorage.getItem('stavenor.updater.log')")
        self.assertIn("north depot", sent)
        self.assertIn("south depot", sent)
        # Retry from the second window, which did not start the failed job: the server kept what it sent.
        self.assertEqual(bad.answered.get(sim.ROL), 2)
        b.click("Retry failed (1)")
        self.assertTrue(wait_for(lambda: bad.answered.get(sim.ROL) == 3, EVENT_BOUND))
        b.driver.close()
        b.driver.switch_to.window(first)


if __name__ == "__main__":
    unittest.main()
