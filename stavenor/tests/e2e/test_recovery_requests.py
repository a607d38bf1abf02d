"""The recovery page's requests ("curtain"), the recovery sessions of simulated consoles on ptys, the
address checker and the image upload, driven by curl as the page would."""
import concurrent.futures
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "peers"))
from harness import EVENT_BOUND, Lag, Server, binary, curl_headers  # noqa: E402
import boot_console  # noqa: E402
import tftp_client  # noqa: E402

MIB = 1 << 20
SEND_IMAGE = '{"command":"send_data_image"}'


def page(command=None, *args, **fields):
    """One request of the recovery page; returns (status, content type, body text)."""
    form = [f"command={command}"] if command else []
    form += [f"{key}={value}" for key, value in fields.items()]
    query = "&".join(form)
    status, headers, body = curl_headers("/curtain/" + ("?" + query if query else ""), *args)
    return status, headers.get("content-type"), body.decode()


def poll():
    return page("settings_ready")[2]


class Recovery(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="recovery-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.consoles = []

    def console(self, name, **options):
        console = boot_console.BootConsole(os.path.join(self.dir, name), **options)
        self.addCleanup(console.go_away)
        self.consoles.append(console)
        return console

    def pc_network(self):
        # A veth pair inside the test's own namespace: the PC's one network, 192.0.2.1/24.
        subprocess.run(["ip", "link", "add", "rcv0", "type", "veth", "peer", "name", "rcv1"], check=True)
        self.addCleanup(subprocess.run, ["ip", "link", "del", "rcv0"])
        subprocess.run(["ip", "addr", "add", "192.0.2.1/24", "dev", "rcv0"], check=True)
        for name in ("rcv0", "rcv1"):
            subprocess.run(["ip", "link", "set", name, "up"], check=True)

    def server(self, sanitizer=None):
        os.environ["STAVENOR_SERIAL_PORTS"] = ":".join(c.link for c in self.consoles)
        self.addCleanup(os.environ.pop, "STAVENOR_SERIAL_PORTS", None)
        if sanitizer == "asan":
            path = os.environ.get("STAVENOR_ASAN")
            if not path:
                raise unittest.SkipTest("STAVENOR_ASAN not built")
            saved = os.environ["STAVENOR"]
            os.environ["STAVENOR"] = path
            self.addCleanup(os.environ.__setitem__, "STAVENOR", saved)
        server = Server(args=("-l", "0x2301"), tsan=sanitizer == "tsan")
        self.addCleanup(server.close)
        return server

    def wait_log(self, server, text, count=1, timeout=EVENT_BOUND):
        deadline = time.time() + timeout
        while server.stderr().count(text) < count and time.time() < deadline:
            time.sleep(0.02)
        self.assertGreaterEqual(server.stderr().count(text), count, f"{text!r} not logged:\n{server.stderr()[-3000:]}")

    def image(self, size):
        path = os.path.join(self.dir, f"image-{size}.bin")
        with open(path, "wb") as f:
            f.truncate(size)
        return path

    def upload(self, path):
        status, _, body = page(None, "-H", "Expect:", "-F", f"file=@{path}")
        self.assertEqual((status, body), (200, "{ }"))

    def test_page_protocol(self):
        self.pc_network()
        uboot = self.console("a-uboot", mode="uboot", mac="00:a0:c6:ab:cd:ef", flash_mb=32)
        linux = self.console("b-linux", mode="linux", mac="00:a0:c6:01:02:03")
        s = self.server()
        self.wait_log(s, "MAC Address is 00:a0:c6:ab:cd:ef")
        self.wait_log(s, "memory size is 32 MB", timeout=0.1)
        self.assertTrue(linux.wait(lambda: linux.lines == ["nothing", "ifconfig eth0"]), linux.lines)
        self.wait_log(s, "curtain : no operations left", count=2)

        ports = [uboot.link, linux.link]
        self.assertEqual(page("portList"), (200, "text/html; charset=utf-8", json.dumps(
            {"portList": ports, "portStatus": {"status": "error", "description": "unavailable"}})))
        for word in ("nonsense", "PortList", "settings_Ready", None):
            self.assertEqual(page(word)[0:3:2], (404, "unavailable"), word)
        self.assertEqual(page("settings_ready"), (200, "text/html; charset=utf-8", SEND_IMAGE))
        self.assertEqual(poll(), "{ }", "a poll without a port")
        self.assertEqual(page("send_server_address")[2], "{ }")

        self.assertEqual(page("portSelected", data=uboot.link)[2], "{ }")
        self.assertEqual(page("portList")[2], json.dumps(
            {"portList": ports, "portStatus": {"status": "ready", "description": "00:a0:c6:ab:cd:ef"}}))
        self.assertEqual(page("portSelected", data=linux.link)[2], "{ }")
        self.assertEqual(json.loads(page("portList")[2])["portStatus"]["description"], "00:A0:C6:01:02:03")

        status, kind, body = page("send_server_address")
        addresses = json.loads(body)
        self.assertEqual(list(addresses), ["serverAddress", "centralUnitAddress"])
        self.assertEqual(addresses["serverAddress"], "192.0.2.1")
        r = int(re.fullmatch(r"192\.0\.2\.(\d+)", addresses["centralUnitAddress"]).group(1))
        self.assertTrue(10 <= r <= 249 and r != 1, r)
        for bad in ("192.0.2.7; erase", "192.0.2.256", "1.2.3", "1.2.3.4.5", " 1.2.3.4", ""):
            refusal = json.loads(page("server_address", "--data-urlencode", f"data={bad}", "-G")[2])
            self.assertEqual(refusal["status"], "error", bad)
            self.assertIn("is not an IPv4 address", refusal["description"])
            self.assertEqual(json.loads(page("send_server_address")[2]), addresses, bad)
        self.wait_log(s, "server address `192.0.2.7; erase` refused")
        page("server_address", data="192.0.2.7")
        page("central_unit_address", data="192.0.2.99")
        for port in ports:
            page("portSelected", data=port)
            self.assertEqual(json.loads(page("send_server_address")[2]),
                             {"serverAddress": "192.0.2.7", "centralUnitAddress": "192.0.2.99"})

        # Data values of up to 255 bytes pass whole; longer ones are refused, never cut.
        page("mac_address", macAddress="a" * 255)
        self.wait_log(s, "user proposed the following MAC address: " + "a" * 255 + "\n")
        self.assertEqual(page("date", date="1" * 256)[0:3:2], (200, "{ }"))
        self.wait_log(s, "curtain request data of 256 bytes refused")
        self.assertNotIn("user proposed the following date", s.stderr())

        # A ports check runs every port's reconnaissance again.
        page("checkPorts")
        self.assertTrue(uboot.wait(lambda: uboot.lines == ["nothing", "bdinfo"] * 2), uboot.lines)
        self.assertTrue(linux.wait(lambda: linux.lines == ["nothing", "ifconfig eth0"] * 2), linux.lines)

        # A port that goes away takes the page's selection with it.
        linux.go_away()
        self.wait_log(s, f"serial device is gone: {linux.link}")
        self.assertEqual(page("portList")[2], json.dumps(
            {"portList": [uboot.link], "portStatus": {"status": "error", "description": "unavailable"}}))
        self.assertEqual(page("clearStatus")[2], "{ }")
        self.assertEqual(page("settings_ready")[2], SEND_IMAGE)

    def test_only_loopback(self):
        self.console("unit")
        s = self.server()
        self.wait_log(s, "MAC Address is ")
        page("portSelected", data=self.consoles[0].link)
        addresses = json.loads(page("send_server_address")[2])
        self.assertEqual(addresses["serverAddress"], "127.0.0.1")
        self.assertRegex(addresses["centralUnitAddress"], r"^127\.0\.0\.\d+$")

    def test_images_by_size(self):
        unit = self.console("unit")
        s = self.server()
        self.wait_log(s, "MAC Address is ")
        page("portSelected", data=unit.link)
        self.assertEqual(page("settings_ready")[2], SEND_IMAGE)

        # Far too large: refused by its size, never read.
        self.upload(self.image(100 * MIB))
        self.wait_log(s, "size: BAD")
        with open(f"/proc/{s.proc.pid}/status") as status:
            peak_kb = int(re.search(r"VmHWM:\s+(\d+)", status.read()).group(1))
        self.assertLess(peak_kb, 40 * 1024, "a refused image is not read into memory")

        # A refused image is asked for again, as before the first upload; no run is started.
        for size in (32 * MIB - 1, 32 * MIB + 1):
            self.upload(self.image(size))
            self.assertEqual(poll(), SEND_IMAGE, size)
            self.wait_log(s, "no image to flash: asking for it again")
        self.assertNotRegex(s.stderr(), "flash [01]\n")

        # A refused image after a good one leaves the good one with the TFTP server, and is asked for again.
        self.upload(self.image(32 * MIB))
        self.upload(self.image(64 * MIB + 1))
        self.assertEqual(poll(), SEND_IMAGE)
        with tftp_client.Client() as client:
            data, _ = client.fetch(options=(("blksize", 65464),))
        self.assertEqual(data, bytes(32 * MIB))
        self.assertNotIn("removed previous image", s.stderr())
        self.assertNotRegex(s.stderr(), "flash [01]\n")

        # Whole images are taken (the later one replaces the earlier); the next poll starts flashing.
        for count, size in enumerate((32 * MIB, 64 * MIB), 2):
            self.upload(self.image(size))
            self.wait_log(s, "image is PROBABLY valid", count=count)
        self.assertEqual(poll(), "{ }")
        self.wait_log(s, "flash 1")
        self.wait_log(s, "removed previous image")

    def test_reconnaissance_side_by_side_and_a_port_pulled_midway(self):
        uboot = self.console("a", mode="uboot", flash_mb=32, mac="00:a0:c6:00:00:01")
        linux = self.console("b", mode="linux", mac="00:a0:c6:00:00:02")
        silent = self.console("c", mode="silent")
        s = self.server(sanitizer="asan")
        self.wait_log(s, "memory size is 32 MB")
        self.wait_log(s, "MAC Address is 00:a0:c6:00:00:01")
        self.assertTrue(linux.wait(lambda: linux.lines == ["nothing", "ifconfig eth0"]))
        began = time.time()
        with Lag() as lag:
            self.wait_log(s, "operation failed")
            self.assertLess(time.time() - began, 2 + lag.seconds())
        self.assertEqual(silent.lines, ["nothing"])
        page("portSelected", data=silent.link)
        self.assertEqual(json.loads(page("portList")[2])["portStatus"]["status"], "error")

        # Pulled while its reconnaissance waits for an answer.
        uboot.state = "off"
        page("checkPorts")
        self.assertTrue(uboot.wait(lambda: uboot.lines.count("nothing") == 2))
        uboot.go_away()
        self.wait_log(s, f"serial device is gone: {uboot.link}")
        time.sleep(2.5)
        self.assertIsNone(s.proc.poll())
        self.assertEqual(s.stop(), 0)
        self.assertNotIn("ERROR: AddressSanitizer", s.stderr())
        self.assertNotIn("runtime error", s.stderr())

    def test_parallel_settings_ready_start_flashing_once(self):
        # The image fits the unit: no poll may yet be asked for a new one.
        unit = self.console("unit", flash_mb=32)
        s = self.server(sanitizer="tsan")
        self.wait_log(s, "MAC Address is ")
        page("portSelected", data=unit.link)
        self.assertEqual(poll(), SEND_IMAGE)
        self.upload(self.image(32 * MIB))
        with concurrent.futures.ThreadPoolExecutor(20) as pool:
            bodies = list(pool.map(lambda _: poll(), range(20)))
        self.assertEqual(bodies.count("{ }"), 1, bodies)
        self.assertEqual([json.loads(b)["command"] for b in bodies if b != "{ }"], ["progress"] * 19, bodies)
        self.wait_log(s, "flash 1")
        self.assertEqual(s.stop(), 0)
        self.assertEqual(s.stderr().count("flash 1"), 1)
        self.assertNotIn("ThreadSanitizer", s.stderr())


if __name__ == "__main__":
    unittest.main()
