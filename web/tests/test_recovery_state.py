"""What the recovery page shows belongs to the port shown and to the server's latest state: a slow
answer about the ports never undoes a newer change, another port does not keep the last port's
headline, and an image counts as loaded only when the server reports it."""
import time
import unittest

from recovery_support import MIB, RecoveryPageTest

# Holds the next `count` answers about the ports (or an image upload, which is then never sent and
# answered "{ }" as the server answers every upload) for `ms`, after the server gave them.
SLOW_ANSWERS = """
const [what, count, ms] = arguments;
if (!window.held) {
    const original = window.fetch;
    window.held = {portDetails: 0, upload: 0, out: 0, ms: 0};
    window.fetch = async (input, init) => {
        const post = init && init.method === "POST";
        if (post && window.held.upload > 0) {
            window.held.upload--;
            return new Response("{ }", {status: 200});
        }
        if (!post && String(input).includes("command=portDetails") && window.held.portDetails > 0) {
            window.held.portDetails--;
            window.held.out++;
            const reply = await original(input, init);
            await new Promise(done => setTimeout(done, window.held.ms));
            window.held.out--;
            return reply;
        }
        return original(input, init);
    };
}
window.held[what] = count;
window.held.ms = ms;
"""


class PortsAndImage(RecoveryPageTest):
    # The unit's boot loader computes a wrong CRC: its run fails once the image is in its RAM.
    console_options = {"mode": "uboot", "flash_mb": 32, "faults": {"bad-crc"}}
    other_consoles = {"second": {"mode": "linux", "mac": "00:a0:c6:00:00:02"}}

    def hold(self, what, count=1, ms=2000):
        self.browser.driver.execute_script(SLOW_ANSWERS, what, count, ms)

    def checkbox_states(self, label, seconds):
        """The states a checkbox shows over `seconds`."""
        seen = set()
        deadline = time.time() + seconds
        while time.time() < deadline:
            seen.add(self.browser.field(label).is_selected())
            time.sleep(0.05)
        return seen

    def test_a_check_without_a_port_chosen(self):
        b = self.browser
        b.open("/curtain.html")
        b.wait_text("boot loader")
        b.wait_text("Linux shell")
        self.assertIn("Choose the port of the unit to recover.", b.text())
        asked = self.unit.lines.count("nothing")
        b.click("Check ports")
        self.assertTrue(self.unit.wait(lambda: self.unit.lines.count("nothing") == asked + 1), self.unit.lines)
        self.assertEqual(b.console_errors(), [])

    def test_b_an_old_answer_never_undoes_a_setting(self):
        b = self.browser
        b.open("/curtain.html")
        b.wait_text("boot loader")
        self.choose_port()
        self.assertTrue(b.field("Automatic date").is_selected())
        # An answer about the ports is on its way, with the date still automatic, when the box is cleared.
        self.hold("portDetails")
        b.wait(lambda: b.driver.execute_script("return window.held.out") == 1, 5, "an answer held")
        b.field("Automatic date").click()
        self.wait_port(lambda p: not p["automaticDate"])
        self.assertEqual(self.checkbox_states("Automatic date", 3), {False})
        self.assertFalse(self.port()["automaticDate"])

    def test_c_loaded_only_when_the_server_holds_it(self):
        b = self.browser
        b.open("/curtain.html")
        b.wait_text("boot loader")
        self.choose_port()
        path, _ = self.image(32 * MIB, "unit-32.bin")
        # The upload is answered "{ }" but the server never gets the image.
        self.hold("upload")
        b.choose_file("Choose image…", path)
        b.wait_text("The server did not load “unit-32.bin”: it holds no image for this port.")
        self.assertNotIn("Loaded:", b.text())
        self.assertFalse(b.button("Start").is_enabled())
        self.assertEqual(self.port()["imageSize"], 0)

        b.choose_file("Choose image…", path)
        b.wait_text("Loaded:", timeout=60)
        self.assertNotIn("did not load", b.text())
        self.assertEqual(self.port()["imageSize"], 32 * MIB)

    def test_d_another_port_has_its_own_headline(self):
        b = self.browser
        b.open("/curtain.html")
        b.wait_text("boot loader")
        self.choose_port()
        path, _ = self.image(32 * MIB, "unit-32.bin")
        b.choose_file("Choose image…", path)
        b.wait_text("Loaded:", timeout=60)
        b.click("Start")
        b.wait_text("Failed: the recovery stopped.", timeout=90)
        self.assertIn("“verifying checksum”", b.text())
        # The run's end checked the ports: the unit's boot loader answers again.
        self.wait_port(lambda p: p["console"] == "boot loader" and not p["checking"])

        second = self.others["second"]
        self.choose_port(second)
        b.wait_text(f"Choose an image for the unit on {second.link}, then press Start.")
        page = b.text()
        for old in ("Failed", "It failed while", "verifying checksum", "Loaded:"):
            self.assertNotIn(old, page)
        self.assertIn("00:a0:c6:00:00:02", page, "MAC addresses in one case")
        self.assertFalse(b.button("Start").is_enabled())
        b.shot("recovery-other-port")

        # Back on the first port: its failure is still there until it is dismissed, then its image,
        # still loaded, is ready for a new run. The port is chosen by its radio button this time.
        b.field(self.unit.link).click()
        self.wait_port(lambda p: p["selected"])
        b.wait_text("“verifying checksum”")
        self.assertIn("the image was damaged on its way to the unit", b.text())
        b.click("Dismiss")
        b.wait_text(f"Ready: Start recovers the unit on {self.unit.link}.")
        self.assertNotIn("Failed", b.text())
        self.assertEqual(self.run_record()["state"], "idle")
        # A request the server answered with an error shows in the console too (on a loaded machine, a
        # main loop busy for seconds): only the page's own errors count here.
        self.assertEqual([e for e in b.console_errors() if e.get("source") != "network"], [])


if __name__ == "__main__":
    unittest.main()
