"""The pages of a server that runs as a user without rights (no capabilities, not in group dialout)
in the test's namespace with two Ethernet interfaces (the ends of a veth pair): the updater page
and the recovery page each say what the server cannot do and why, a serial port the user may not
open is listed with its reason (and opened once its mode lets the user), and the log says each
interface's failure once, not once a second. A server with the rights names the interfaces it
listens on instead."""
import grp
import os
import re
import select
import subprocess
import time
import unittest

from pages import EVENT_BOUND, Browser, start_server

NOBODY = 65534
INTERFACES = ["eth-a", "eth-b"]
# The log is watched this long: a failure logged once a second would show ten times.
LOG_WINDOW = 10.5


def as_nobody(*env):
    """A Server wrapper: the server's directory becomes nobody's, and the server runs as nobody,
    without groups or capabilities, with `env` ("NAME=value") added."""
    return ("sh", "-c", f'chown -R {NOBODY}:{NOBODY} . && exec setpriv --reuid={NOBODY} --regid={NOBODY} '
            '--clear-groups --inh-caps=-all --bounding-set=-all env "$@"', "as-nobody", *env)


class PagesSayWhatTheServerCannotDo(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        subprocess.run(["ip", "link", "add", INTERFACES[0], "type", "veth", "peer", "name", INTERFACES[1]], check=True)
        # Up without IPv6 addresses, whose arrival would be a network change to the browser.
        for interface in INTERFACES:
            subprocess.run(["ip", "link", "set", interface, "addrgenmode", "none", "up"], check=True)
        cls.browser = Browser()

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()
        subprocess.run(["ip", "link", "del", INTERFACES[0]], capture_output=True)

    def setUp(self):
        # A serial port as Debian has it: group dialout, mode 0660. Each test's own: a server that
        # opened it leaves it in exclusive use while the test holds its slave side.
        self.master, slave = os.openpty()
        self.addCleanup(os.close, self.master)
        self.addCleanup(os.close, slave)
        self.port = os.ttyname(slave)
        os.chown(self.port, 0, grp.getgrnam("dialout").gr_gid)
        os.chmod(self.port, 0o660)

    def start(self, wrapper=()):
        server = start_server(args=("-l", "0x1"), wrapper=wrapper)
        self.addCleanup(server.close)
        return server

    def test_without_rights(self):
        b = self.browser
        server = self.start(as_nobody(f"STAVENOR_SERIAL_PORTS={self.port}"))
        started = time.time()

        b.open("/updater.html")
        b.wait_text("No central unit can be found: the server cannot listen on any Ethernet interface.")
        for interface in INTERFACES:
            b.wait_text(f"{interface}: the server has no right to raw Ethernet (")
        self.assertNotIn("No central unit has answered yet", b.text())
        b.shot("rights-updater-without")

        b.open("/curtain.html")
        b.wait_text("No recovery can run on this PC now.")
        refusal = (f"no permission to open {self.port}: your user is not in group dialout: "
                   f"add it with \u201csudo adduser nobody dialout\u201d, then log in again")
        b.wait_text(refusal)
        text = b.text()
        self.assertIn("Why: the server has no right to UDP port 69, from which the unit fetches its image.", text)
        self.assertIn("Start is disabled: the server has no right to UDP port 69", text)
        self.assertIn("not opened", text)
        self.assertFalse(b.button("Start").is_enabled())
        b.shot("rights-recovery-without")

        # The retries go on every second, quietly.
        time.sleep(max(0.0, started + LOG_WINDOW - time.time()))
        log = server.stderr()
        failures = re.findall(r'cannot open live stream on "([^"]+)"', log)
        self.assertEqual(sorted(failures), INTERFACES, log)
        self.assertEqual(log.count("TFTP Server cannot bind port 69"), 1, log)
        self.assertEqual(log.count(f"no permission to open {self.port}"), 1, log)

        # A port whose mode changes after it appeared (udev sets a new adapter's group a moment
        # later) is opened then: its reason goes, and the server asks its console what it is.
        os.chmod(self.port, 0o666)
        b.wait_gone(refusal)
        b.wait_gone("not opened")
        readable, _, _ = select.select([self.master], [], [], EVENT_BOUND)
        self.assertTrue(readable and os.read(self.master, 4096), "the server never asked the port's console")

    def test_with_rights(self):
        b = self.browser
        self.start(("env", f"STAVENOR_SERIAL_PORTS={self.port}"))
        b.open("/updater.html")
        b.wait_text(f"Listening for units on {', '.join(INTERFACES)}. No central unit has answered yet.")
        self.assertNotIn("cannot listen", b.text())
        b.shot("rights-updater-with")
        b.open("/curtain.html")
        b.wait_text(self.port)
        b.wait_text("no answer")
        text = b.text()
        self.assertNotIn("No recovery can run", text)
        self.assertNotIn("Start is disabled", text)

    def test_an_interface_that_comes_up_later(self):
        # Tried again every second, said once while it fails, and once when it opens.
        subprocess.run(["ip", "link", "add", "eth-c", "type", "veth", "peer", "name", "eth-d"], check=True)
        self.addCleanup(subprocess.run, ["ip", "link", "del", "eth-c"], capture_output=True)
        subprocess.run(["ip", "link", "set", "eth-d", "addrgenmode", "none", "up"], check=True)
        b = self.browser
        server = self.start()
        b.open("/updater.html")
        b.wait_text("Not listening on eth-c: ")
        self.assertIn("Listening for units on eth-a, eth-b, eth-d.", b.text())
        subprocess.run(["ip", "link", "set", "eth-c", "addrgenmode", "none", "up"], check=True)
        b.wait_text("Listening for units on eth-a, eth-b, eth-c, eth-d.")
        b.wait_gone("Not listening")
        lines = [line.split(" - ", 2)[-1] for line in server.stderr().splitlines() if '"eth-c"' in line]
        self.assertEqual(len(lines), 2, lines)
        self.assertTrue(lines[0].startswith('cannot open live stream on "eth-c": '), lines)
        self.assertEqual(lines[1], 'live stream on "eth-c" is open now')


if __name__ == "__main__":
    unittest.main()
