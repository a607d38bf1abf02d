"""Jobs as a technician meets them, in a real Chromium against simulated units: the question before a
job that replaces what units hold, failures said in words, and a progress question that fails."""
import os
import struct
import time
import unittest

from updater_pages import Unit, UpdaterPageTest, mac, sim, wait_for, write_file


def wav(samples=800):
    """A mono 16-bit PCM recording at 8000 Hz."""
    data = b"\0\1" * samples
    return (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " +
            struct.pack("<IHHIIHH", 16, 1, 1, 8000, 16000, 2, 16) + b"data" + struct.pack("<I", len(data)) + data)


class UpdaterJobTest(UpdaterPageTest):
    def setUp(self):
        self.open_updater()


class NothingToSend(UpdaterJobTest):
    """The announcement repository as shipped: empty."""

    def test_announcements_refused_with_an_empty_repository(self):
        b = self.browser
        unit = Unit(mac(1), 6, hwd="Bus 1")
        held = {"/dis/announcements/en/welcome.wav": wav()}
        unit.files = dict(held)
        self.add_units(unit)
        self.start_on(unit, "Upload announcements")
        b.wait_text("Needs on the PC: the PC's announcement recordings")
        self.run_job("Upload announcements", 1)
        b.wait_text("Nothing to send: the PC's announcement repository is empty")
        self.assertEqual(b.driver.find_elements("xpath", "//dialog[@open]"), [])
        time.sleep(1)
        self.assertEqual(self.requests(unit), [])
        self.assertEqual(unit.files, held)
        self.assertNotIn("Upload announcements", self.row_text(unit.mac))


class AnnouncementQuestion(UpdaterJobTest):
    server_files = {"announcements/gong.wav": wav(), "announcements/en/welcome.wav": wav(),
                    "announcements/en/goodbye.wav": wav(), "announcements/de/willkommen.wav": wav()}

    def test_the_question_names_the_units_and_the_recordings(self):
        b = self.browser
        units = [Unit(mac(2), 6, hwd="Bus 2"), Unit(mac(3), 6, hwd="Bus 3")]
        for unit in units:
            unit.languages = "en|de"
            unit.files = {"/dis/announcements/en/old.wav": wav()}
        self.add_units(*units)
        self.wait_row(mac(3), "Bus 3")
        self.unselect_all()
        self.select(mac(2), mac(3))
        self.choose_job("Upload announcements")
        self.run_job("Upload announcements", 2)
        self.assert_asked(f"Upload announcements on 2 units: Bus 2 ({mac(2)}) and Bus 3 ({mac(3)}).",
                          "To be sent: the PC's announcements (Common 1 recording, de 1 recording, en 2 recordings).",
                          "This replaces all announcements on the units.")
        b.shot("updater-announcement-question")
        # Cancelled: nothing reaches a unit.
        b.click("Cancel")
        time.sleep(0.5)
        self.assertEqual([self.requests(u) for u in units], [[], []])

        self.run_confirmed("Upload announcements", 2)
        for unit in units:
            self.wait_row(unit.mac, "Upload announcements: done", timeout=40)
            self.assertEqual(sorted(unit.files), ["/dis/announcements/de/willkommen.wav", "/dis/announcements/en/goodbye.wav",
                                                  "/dis/announcements/en/welcome.wav", "/dis/announcements/gong.wav"])
        self.assertEqual(b.console_errors(), [])


class FailuresInWords(UpdaterJobTest):
    """Each failure says why, in words a technician can act on."""

    def test_files_that_no_unit_can_take_are_refused_when_chosen(self):
        b = self.browser
        unit = Unit(mac(4), 6, hwd="Bus 4")
        self.add_units(unit)
        self.start_on(unit, "Upload firmware")
        b.wait_text("Needs on the PC: a firmware file (.dis)")
        big = write_file("acme_x_dis1_9.9.dis", b"")
        with open(big, "r+b") as f:
            f.truncate(65534 * 1024 + 1)
        cases = [  # (file, what the page says)
            (write_file("acme_x_dis1_4.2.dis", b""), "acme_x_dis1_4.2.dis cannot be used: the file is empty."),
            (big, "acme_x_dis1_9.9.dis cannot be used: the file is too big for a unit: 67106817 bytes, "
                  "at most 67106816."),
        ]
        for path, words in cases:
            with self.subTest(file=os.path.basename(path)):
                b.driver.execute_script(
                    "window.sawUpload = false; new MutationObserver(() => { if (document.body.textContent"
                    ".includes('to the server:')) window.sawUpload = true; })"
                    ".observe(document.body, {subtree: true, childList: true, characterData: true});")
                b.choose_file("Choose firmware file", path)
                b.wait_text(words, timeout=60)
                self.assertTrue(b.driver.execute_script("return window.sawUpload"), "the upload's progress was shown")
                self.assertIn("no file chosen", b.text())
                # The server keeps nothing of a refused file.
                self.assertFalse(os.path.exists(self.server.path("tmp/" + os.path.basename(path))))
        self.run_job("Upload firmware", 1)
        b.wait_text("Choose a firmware file first.")
        # A file that went from the server after it was described: the job is refused before any unit hears of it.
        b.choose_file("Choose firmware file", write_file("acme_x_dis1_5.0.dis", b"\x7fELF"))
        b.wait_text("acme_x_dis1_5.0.dis: type dis1, version 5")
        stored = self.server.path("tmp/acme_x_dis1_5.0.dis")
        os.remove(stored)
        self.run_job("Upload firmware", 1)
        self.answer("Upload firmware")
        b.wait_text(f"Upload firmware was refused: the PC has no file {stored}.")
        self.assertEqual(self.requests(unit), [])

    def test_jobs_without_their_files_on_the_pc(self):
        # The test's /tmp is its own (in-netns): no test file there.
        b = self.browser
        unit = Unit(mac(5), 7, hwd="Bus 5")
        self.add_units(unit)
        shadow = self.server.path("shadow")
        cases = [  # (job, what the form says it needs, why the row says it failed)
            ("Test", "Needs on the PC: the test file /tmp/test_file.",
             "The PC has no test file: put it at /tmp/test_file."),
            ("Install password file", 'Needs on the PC: the password file "shadow"',
             f"The PC has no password file: put it at {shadow}."),
        ]
        for job, needs, reason in cases:
            with self.subTest(job=job):
                self.start_on(unit, job)
                b.wait_text(needs)
                self.run_confirmed(job, 1)
                self.wait_row(unit.mac, reason)
                self.assertIn(f"{job}: Failed", self.row_text(unit.mac))
                # The row has room for the start of the reason; the list below the table says it whole.
                reasons = b.find("//section[h2='Why jobs failed']").text
                self.assertIn(f"Bus 5 ({unit.mac}): {job}: Failed: {reason}", reasons)
        b.driver.execute_script("window.scrollTo(0, 0)")
        b.shot("updater-failure-reason")
        self.assertEqual(unit.uploads, [])
        self.assertEqual(b.console_errors(), [])


class ProgressTrouble(UpdaterJobTest):
    def test_a_failed_progress_question_is_not_the_end_of_the_job(self):
        b = self.browser
        unit = Unit(mac(6), 6, hwd="Bus 6")
        unit.reboot_silence = 4
        self.add_units(unit)
        self.start_on(unit, "Reboot")
        # The next two progress answers break: a daemon's error page, then an answer that is not JSON.
        b.driver.execute_script("""
            const real = window.fetch;
            let broken = 0;
            window.fetch = (path, init) => {
                if (String(path).includes("breltProgress") && broken < 2) {
                    broken++;
                    return Promise.resolve(broken === 1
                        ? new Response("<html><body>Internal server error</body></html>", {status: 500})
                        : new Response("half an answ", {status: 200}));
                }
                return real(path, init);
            };""")
        self.run_job("Reboot", 1)
        self.wait_row(unit.mac, "The server could not say how the job stands")
        row = self.row_text(unit.mac)
        self.assertIn("Reboot: ", row)
        self.assertNotIn("Failed", row)
        # The page still guards the running job against leaving.
        self.assertTrue(b.driver.execute_script(
            "const e = new Event('beforeunload', {cancelable: true}); window.dispatchEvent(e); return e.defaultPrevented;"))
        self.wait_row(unit.mac, "Reboot: rebooting")
        self.assertNotIn("could not say", self.row_text(unit.mac))
        self.wait_row(unit.mac, "Reboot: done")
        self.assertEqual(b.console_errors(), [])


if __name__ == "__main__":
    unittest.main()
