"""Serial consoles: the server's port scan offers a simulated unit console on a pty, opens a session on
it, and finds the prompt and the unit's MAC address."""
import os
import shutil
import sys
import tempfile
import termios
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "peers"))
from harness import EVENT_BOUND, Lag, Server  # noqa: E402
import boot_console  # noqa: E402


class SerialConsoles(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="consoles-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.consoles = []

    def console(self, name, **options):
        console = boot_console.BootConsole(os.path.join(self.dir, name), **options)
        self.addCleanup(console.go_away)
        self.consoles.append(console)
        return console

    def server(self):
        os.environ["STAVENOR_SERIAL_PORTS"] = ":".join(c.link for c in self.consoles)
        self.addCleanup(os.environ.pop, "STAVENOR_SERIAL_PORTS", None)
        server = Server(args=("-l", "0x2300"))
        self.addCleanup(server.close)
        return server

    def wait_log(self, server, text, timeout=EVENT_BOUND, count=1):
        deadline = time.time() + timeout
        while server.stderr().count(text) < count and time.time() < deadline:
            time.sleep(0.02)
        self.assertGreaterEqual(server.stderr().count(text), count, f"{text!r} not logged:\n{server.stderr()[-3000:]}")

    def test_boot_loader_and_shell_side_by_side(self):
        uboot = self.console("uboot", mode="uboot", mac="00:a0:c6:ab:cd:ef")
        linux = self.console("linux", mode="linux", mac="00:a0:c6:01:02:03")
        started = time.time()
        with Lag() as lag:
            s = self.server()
            self.wait_log(s, f"new serial device: {uboot.link}")
            first = time.time()
            self.wait_log(s, f"new serial device: {linux.link}")
            # Both found by the one scan at the start, however long a busy machine took to start the server.
            self.assertLess(time.time() - first, 0.1 + lag.seconds())
            self.assertLess(time.time() - started, 3 + lag.seconds())

        self.assertTrue(uboot.wait(lambda: uboot.lines[:2] == ["nothing", "bdinfo"]), uboot.lines)
        self.wait_log(s, "U-Boot prompt found")
        self.wait_log(s, "MAC Address is 00:a0:c6:ab:cd:ef")
        self.assertTrue(linux.wait(lambda: linux.lines[:2] == ["nothing", "ifconfig eth0"]), linux.lines)
        self.wait_log(s, "Linux prompt found")
        time.sleep(0.3)
        self.assertEqual(uboot.lines, ["nothing", "bdinfo"], "one reconnaissance, nothing typed after it")
        self.assertEqual(linux.lines, ["nothing", "ifconfig eth0"])

        # The line as the server set it, seen from the unit's side.
        iflag, _, cflag, lflag, ispeed, ospeed, _ = uboot.line_settings()
        self.assertEqual((ispeed, ospeed), (termios.B115200, termios.B115200))
        self.assertEqual(cflag & termios.CSIZE, termios.CS8)
        self.assertFalse(cflag & (termios.PARENB | termios.CSTOPB | termios.CRTSCTS))
        self.assertFalse(iflag & (termios.IXON | termios.IXOFF))
        self.assertFalse(lflag & (termios.ICANON | termios.ECHO | termios.ISIG))

    def test_a_silent_console_fails_its_reconnaissance_and_is_checked_again_later(self):
        unit = self.console("silent", mode="silent", autoboot_s=30)
        s = self.server()
        self.wait_log(s, "determining Central Unit prompt")
        began = time.time()
        with Lag() as lag:
            self.wait_log(s, "operation failed")
            self.assertLess(time.time() - began, 1.6 + lag.seconds(), "the probe waits one second")
        self.assertEqual(unit.lines, ["nothing"])
        unit.power_on()  # the boot loader waits in its countdown; nothing is typed meanwhile
        time.sleep(0.5)
        self.assertEqual(unit.lines, ["nothing"])

    def test_a_port_that_goes_away_and_comes_back(self):
        unit = self.console("unit", mode="uboot")
        s = self.server()
        self.assertTrue(unit.wait(lambda: unit.lines == ["nothing", "bdinfo"]), unit.lines)
        self.wait_log(s, "MAC Address is ")
        gone = time.time()
        with Lag() as lag:
            unit.go_away()
            self.wait_log(s, f"serial device is gone: {unit.link}")
            # The ports are scanned every 500 ms.
            self.assertLess(time.time() - gone, 1.2 + lag.seconds())
        unit.lines.clear()
        back = time.time()
        with Lag() as lag:
            unit.come_back()
            self.wait_log(s, f"new serial device: {unit.link}", count=2)
            self.assertLess(time.time() - back, 1.5 + lag.seconds())
        self.assertTrue(unit.wait(lambda: unit.lines == ["nothing", "bdinfo"]), unit.lines)
        self.wait_log(s, "MAC Address is ", count=2)
        self.assertEqual(s.stop(), 0)


if __name__ == "__main__":
    unittest.main()
