"""Jobs that carry files, a unit's modules, files and roles, and the page's log, in a real Chromium
against simulated units."""
import io
import tarfile
import threading
import time
import unittest

from updater_pages import EVENT_BOUND, Unit, UpdaterPageTest, listed, mac, sim, wait_for, write_file

CONF = ("# config file Thu Jan  1 00:00:00 1970\n\n|nodes|\n\t|front|\n\t\t|ip| = |1|\n\t|rear|\n"
        "|system|\n\t|filename| = |bus7|\n\t|name| = |Bus 7|\n\t|organization| = |Transit|\n")

BIG_CONF = CONF + "".join(f"\t|key{i}| = |{'v' * 40}|\n" for i in range(2400))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def module_archive():
    archive = io.BytesIO()
    content = b"#!/bin/sh\necho rundis\n"
    with tarfile.open(fileobj=archive, mode="w:gz") as tar:
        info = tarfile.TarInfo("modules/rundis/bin/rundis")
        info.size = len(content)
        tar.addfile(info, io.BytesIO(content))
    return archive.getvalue(), content


class FileJobs(UpdaterPageTest):
    def setUp(self):
        self.open_updater()

    def test_configuration_upload_from_a_file_and_from_the_configuration_in_use(self):
        b = self.browser
        unit = Unit(mac(1), 6, hwd="Bus 1")
        unit.delay = 0.01
        self.add_units(unit)
        path = write_file("bus7.conf", CONF)
        self.start_on(unit, "Upload configuration")
        b.choose_file("Choose configuration file", path)
        self.assertEqual(b.upload_filter(), "conf")
        b.wait_text('bus7.conf: configuration "Bus 7", organization Transit, 2 roles')
        from selenium.webdriver.support.select import Select
        Select(b.field("Role")).select_by_visible_text("rear")
        since = time.time()
        self.run_job("Upload configuration", 1)
        self.assert_asked(f"Upload configuration on 1 unit: Bus 1 ({unit.mac}).",
                          "To be sent: configuration file bus7.conf, role \"rear\".",
                          "This replaces the running configuration on the unit.")
        self.assertEqual(self.requests(unit, since), [], "nothing is sent before the question is answered")
        self.answer("Upload configuration")
        self.wait_row(unit.mac, "Upload configuration: done", timeout=40)
        self.assertEqual(unit.files["/dis/system.conf"], CONF.encode())
        role = self.requests(unit, since, t=sim.ROL)
        self.assertTrue(role and b"rear\0" in role[0]["payload"], role)

        # The configuration that the configuration module holds, as the store would save it.
        b.click("Use the configuration in use")
        b.wait_text("New configuration.conf")
        self.run_confirmed("Upload configuration", 1)
        self.wait_row(unit.mac, "Upload configuration: done", timeout=40)
        self.assertTrue(wait_for(lambda: unit.files["/dis/system.conf"].startswith(b"# "), EVENT_BOUND))
        self.assertNotEqual(unit.files["/dis/system.conf"], CONF.encode())
        self.assertEqual(b.console_errors(), [])

    def test_module_upload(self):
        unit = Unit(mac(2), 4, hwd="Bus 2")
        unit.reboot_silence = 1.0
        self.add_units(unit)
        archive, content = module_archive()
        self.start_on(unit, "Add module")
        self.browser.choose_file("Choose module file", write_file("acme_module_rundis_main_2.1.mod", archive))
        self.assertEqual(self.browser.upload_filter(), "mod")
        self.browser.wait_text("acme_module_rundis_main_2.1.mod: module rundis, type main, version 2, organization acme")
        self.run_confirmed("Add module", 1)
        # The new core restarts the unit: "restarting" until it announces itself again.
        self.wait_row(unit.mac, "Add module: restarting", timeout=40)
        self.wait_row(unit.mac, "Add module: done", timeout=40)
        self.assertEqual(unit.files["/modules/rundis/bin/rundis"], content)

    def test_firmware_described_before_it_is_sent(self):
        b = self.browser
        unit = Unit(mac(3), 6, hwd="Bus 3")
        self.add_units(unit)
        self.start_on(unit, "Upload firmware")
        b.choose_file("Choose firmware file", write_file("acme_x_dis1_4.2.dis", b"\x7fELF firmware"))
        self.assertEqual(b.upload_filter(), "dis")
        b.wait_text("acme_x_dis1_4.2.dis: type dis1, version 4, organization acme")
        self.assertEqual(self.requests(unit), [], "nothing is sent before the job is started")
        # After a reload the server still describes the button's file.
        self.open_updater()
        self.choose_job("Upload firmware")
        b.wait_text("acme_x_dis1_4.2.dis: type dis1, version 4, organization acme")

    def test_a_unit_silent_in_mid_upload(self):
        b = self.browser
        unit = Unit(mac(4), 6, hwd="Bus 4")
        unit.delay = 0.02
        self.add_units(unit)
        self.start_on(unit, "Upload configuration")
        b.choose_file("Choose configuration file", write_file("big.conf", BIG_CONF))
        b.wait_text("big.conf")
        self.run_confirmed("Upload configuration", 1)
        # Silent once the page shows the upload under way (the file takes the unit some seconds).
        self.wait_row(unit.mac, "Upload configuration: file upload")
        unit.silent = True
        self.wait_row(unit.mac, "Upload configuration: Failed while file upload: "
                      "The unit stopped answering during the upload.", timeout=40)
        self.assertEqual(unit.uploads, [])
        b.driver.execute_script("window.scrollTo(0, 0)")
        b.shot("updater-job-failed")

        unit.silent = False
        self.assertTrue(wait_for(lambda: listed()[unit.mac]["status"] == "up", EVENT_BOUND))
        unit.reboot_silence = 0.5
        self.choose_job("Reboot")
        self.run_job("Reboot", 1)
        self.wait_row(unit.mac, "Reboot: done")

    def test_a_unit_that_changes_its_protocol_in_mid_upload(self):
        unit = Unit(mac(10), 6, hwd="Bus 10")
        unit.delay = 0.02
        self.add_units(unit)
        self.start_on(unit, "Upload configuration")
        self.browser.choose_file("Choose configuration file", write_file("big.conf", BIG_CONF))
        self.browser.wait_text("big.conf")

        def change():
            if wait_for(lambda: len(self.requests(unit, t=sim.FIL)) >= 6, 20):
                unit.version = 7
                self.sim.announce(unit)
        changer = threading.Thread(target=change)
        changer.start()
        self.addCleanup(changer.join)
        self.run_confirmed("Upload configuration", 1)
        self.wait_row(unit.mac, "The unit changed its protocol version during the job.", timeout=40)
        self.assertIn("Upload configuration: Failed", self.row_text(unit.mac))
        self.assertTrue(wait_for(lambda: listed().get(unit.mac, {}).get("protocolVersion") == 7, EVENT_BOUND))
        self.assertEqual(unit.uploads, [])
        unit.reboot_silence = 0.5
        self.choose_job("Reboot")
        self.run_job("Reboot", 1)
        self.wait_row(unit.mac, "Reboot: done")
        self.assertIn("7", self.row_text(unit.mac).split())


class UnitDetails(UpdaterPageTest):
    def open_details(self, unit):
        self.open_updater()
        self.wait_row(unit.mac, unit.fields["hwd"])
        self.browser.click(f"Details of {unit.mac}")

    def test_modules_and_files(self):
        b = self.browser
        unit = Unit(mac(5), 6, hwd="Bus 5")
        conf = CONF.encode()
        unit.files = {"/dis/system.conf": conf, "/dis/old.conf": b"# old\n", "/dis/announcements/en/a.wav": b"RIFF"}
        self.add_units(unit)
        self.open_details(unit)
        b.wait_text("Software")
        b.click("List modules")
        b.wait_text("Rundis core")
        self.assertIn("2.1.0", b.text())
        self.assertIn("Telephony", b.text())

        b.type("Directory", "/dis")
        b.click("List")
        b.wait_text("announcements/")
        b.shot("updater-unit-details")
        b.click("Download system.conf")
        saved = b.wait_download("system.conf")
        self.assertTrue(wait_for(lambda: read(saved) == conf, EVENT_BOUND))

        b.click("Remove old.conf")
        b.click("Remove file")  # the confirmation
        self.assertTrue(wait_for(lambda: "/dis/old.conf" not in unit.files, EVENT_BOUND))
        b.wait(lambda: "old.conf" not in b.driver.find_element("css selector", "table[aria-label='Contents of /dis']").text)
        self.assertIn("/dis/system.conf", unit.files)

        # A module file sent straight into the listed directory.
        b.choose_file("Upload module file here", write_file("extra.mod", b"module bytes"))
        self.assertEqual(b.upload_filter(), "mod")
        self.assertTrue(wait_for(lambda: unit.files.get("/dis/extra.mod") == b"module bytes", EVENT_BOUND))
        b.wait(lambda: "extra.mod" in b.driver.find_element("css selector", "table[aria-label='Contents of /dis']").text)

        b.click("Open announcements")
        b.wait(lambda: b.driver.find_elements("css selector", "table[aria-label='Contents of /dis/announcements']"))
        self.assertEqual(b.console_errors(), [])

    def test_roles_listed_and_set(self):
        b = self.browser
        unit = Unit(mac(6), 6, hwd="Bus 6")
        unit.roles = "front|rear"
        self.add_units(unit)
        self.open_details(unit)
        b.click("List roles")
        b.wait_text("The unit offers: front, rear")
        from selenium.webdriver.support.select import Select
        Select(b.field("Role")).select_by_visible_text("rear")
        since = time.time()
        b.click("Set role")
        self.assertTrue(wait_for(lambda: self.requests(unit, since, t=sim.ROL), EVENT_BOUND))
        self.assertIn(b"rear\0", self.requests(unit, since, t=sim.ROL)[0]["payload"])
        b.click("Close")
        self.wait_row(unit.mac, "Set role: done")


class PageLog(UpdaterPageTest):
    def test_the_log_holds_the_jobs_across_a_reload(self):
        b = self.browser
        # The log is in the PC's local time: a zone of its own shows it is not UTC.
        b.driver.execute_cdp_cmd("Emulation.setTimezoneOverride", {"timezoneId": "Asia/Kolkata"})
        unit = Unit(mac(8), 6, hwd="Bus 8")
        unit.reboot_silence = 0.5
        unit.files = {"/dis/system.conf": CONF.encode()}
        self.add_units(unit)
        self.open_updater()
        self.wait_row(unit.mac, "Bus 8")
        self.select(unit.mac)
        self.choose_job("Reboot")
        self.run_job("Reboot", 1)
        self.wait_row(unit.mac, "Reboot: done")
        self.choose_job("Fetch configuration")
        self.run_job("Fetch configuration", 1)
        self.wait_row(unit.mac, "Fetch configuration: done")
        b.click("Download configuration")
        saved = b.wait_download("bus7.conf")
        self.assertTrue(wait_for(lambda: read(saved) == CONF.encode(), EVENT_BOUND))
        self.choose_job("Upload configuration")
        b.choose_file("Choose configuration file", write_file("bus7.conf", CONF))
        b.wait_text('bus7.conf: configuration "Bus 7"')
        from selenium.webdriver.support.select import Select
        Select(b.field("Role")).select_by_visible_text("rear")
        self.run_confirmed("Upload configuration", 1)
        self.wait_row(unit.mac, "Upload configuration: done", timeout=40)
        self.choose_job("Set description")
        self.run_job("Set description", 1)
        b.wait_text("Enter the description first.")
        b.wait_text("6 entries in this page's log")

        # A reload keeps the log; a job in the unit's dialog is logged with its outcome.
        self.open_updater()
        b.wait_text("6 entries in this page's log")
        self.wait_row(unit.mac, "Bus 8")
        b.click(f"Details of {unit.mac}")
        b.click("List roles")
        Select(b.field("Role")).select_by_visible_text("slave")
        b.click("Set role")
        b.wait(lambda: "Set role: done" in b.find("//dialog[@open]").text, 20, "the role job's end in the dialog")
        b.click("Close")

        b.click("Download log")
        saved = b.wait_download("updater.log")
        self.assertTrue(wait_for(lambda: read(saved).decode().count("\n") >= 9, EVENT_BOUND))
        lines = [line.split("\t") for line in read(saved).decode().splitlines()]
        unit_name = f"Bus 8 ({unit.mac})"
        configuration = 'configuration file bus7.conf, role "rear"'
        self.assertEqual([line[1:] for line in lines], [
            [unit_name, "Reboot", "", "accepted"], [unit_name, "Reboot", "", "done; the unit announced itself again"],
            [unit_name, "Fetch configuration", "", "accepted"], [unit_name, "Fetch configuration", "", "done"],
            [unit_name, "Upload configuration", configuration, "accepted"],
            [unit_name, "Upload configuration", configuration, "done"],
            [unit_name, "List roles", "", "done"],
            [unit_name, "Set role", 'role "slave"', "accepted"], [unit_name, "Set role", 'role "slave"', "done"]])
        for line in lines:
            self.assertRegex(line[0], r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+05:30$")
        self.assertEqual(b.console_errors(), [])


if __name__ == "__main__":
    unittest.main()
