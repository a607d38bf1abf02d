"""The flash program end to end: the recovery page driven by curl, stavenor typing at a simulated boot
loader on a pty, and the boot loader's TFTP client fetching the image from stavenor's TFTP server."""
import hashlib
import json
import os
import re
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "peers"))
from harness import EVENT_BOUND, Lag, Server  # noqa: E402
from test_recovery_requests import page, poll  # noqa: E402
import boot_console  # noqa: E402

MIB = 1 << 20
# The bound of a whole run: a 64 MiB image through the simulated console takes minutes on a machine
# that runs a second test suite.
FLASH_BOUND = 480
RECON = ["nothing", "bdinfo"]


def system_copies(blocks):
    return [f"cp.w 0x{0x9040000 + n * 0x20000:x} 0x{0xa0040000 + n * 0x20000:x} 0x10000" for n in range(blocks)]


class Flash(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="flash-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def console(self, **options):
        options.setdefault("dump_path", os.path.join(self.dir, "flash.dump"))
        console = boot_console.BootConsole(os.path.join(self.dir, "unit"), **options)
        self.addCleanup(console.go_away)
        self.unit = console
        return console

    def image(self, size, seed=b"image"):
        data = os.urandom(size)  # every block its own: a block copied to the wrong place shows
        path = os.path.join(self.dir, f"{seed.decode()}-{size}.bin")
        with open(path, "wb") as f:
            f.write(data)
        return path, data

    def start(self, settings=("1", "1", "1")):
        os.environ["STAVENOR_SERIAL_PORTS"] = self.unit.link
        self.addCleanup(os.environ.pop, "STAVENOR_SERIAL_PORTS", None)
        self.server = Server(args=("-l", "0x2001"))
        self.addCleanup(self.server.close)
        self.wait_log("curtain : no operations left|operation failed")
        self.assertEqual(page("portSelected", data=self.unit.link)[2], "{ }")
        for command, value in zip(("settingsAutomaticDate", "settingsAutomaticMacAddress", "settingsKeepDataPartition"),
                                  settings):
            self.assertEqual(page(command, data=value)[2], "{ }")
        self.assertEqual(poll(), '{"command":"send_data_image"}')
        self.recon_lines = list(self.unit.lines)

    def wait_log(self, pattern, timeout=EVENT_BOUND, count=1):
        deadline = time.time() + timeout
        while len(re.findall(pattern, self.server.stderr())) < count and time.time() < deadline:
            time.sleep(0.02)
        self.assertGreaterEqual(len(re.findall(pattern, self.server.stderr())), count, pattern)

    def upload(self, path):
        status, _, body = page(None, "-H", "Expect:", "-F", f"file=@{path}")
        self.assertEqual((status, body), (200, "{ }"))

    def run_until(self, ends=("all_done", "error"), timeout=FLASH_BOUND, answers=None):
        """Polls as the page does; `answers` maps a poll command to a function that answers it.
        Returns the list of poll answers (parsed)."""
        answers = answers or {}
        seen = []
        deadline = time.time() + timeout
        while time.time() < deadline:
            body = poll()
            answer = json.loads(body)
            seen.append(answer)
            if answer["command"] in ends:
                return seen
            if answer["command"] in answers:
                answers.pop(answer["command"])(answer)
            time.sleep(0.05)
        self.fail(f"the run did not end: {seen[-3:]}\n{self.server.stderr()[-3000:]}")

    def flashed(self):
        self.unit.go_away()
        with open(self.unit.dump_path, "rb") as f:
            return hashlib.sha256(f.read()).hexdigest()

    def lines_after_recon(self):
        return self.unit.lines[len(self.recon_lines):]

    def full_recovery(self, flash_mb, flash=b"", **console_options):
        self.console(mode="uboot", flash_mb=flash_mb, mac="00:a0:c6:ab:cd:ef", flash=flash, **console_options)
        path, data = self.image(flash_mb * MIB)
        self.start()
        self.upload(path)
        self.assertEqual(poll(), "{ }")
        polls = self.run_until()
        return data, polls

    def check_complete(self, data, polls):
        self.assertEqual(polls[-1]["command"], "all_done", polls[-3:])
        self.assertEqual([p["commandData"]["overallOperationProgress"] for p in polls[-2:]], [100, 100])
        self.assertEqual(polls[-2]["command"], "progress")
        overall = [p["commandData"]["overallOperationProgress"] for p in polls]
        self.assertEqual(overall, sorted(overall), "progress only rises")
        self.assertEqual(self.flashed(), hashlib.sha256(data).hexdigest())

    def test_full_recovery_of_a_64_mib_unit(self):
        data, polls = self.full_recovery(64)
        lines = self.lines_after_recon()
        self.assertEqual(self.recon_lines, RECON)
        # The reconnaissance and the flash program's system information each say the size their own way.
        self.assertIn(" - memory size is 64 MB\n", self.server.stderr())
        self.assertIn(" - memory size is 64M\n", self.server.stderr())
        addresses = json.loads(page("send_server_address")[2])
        expected = ["nop", "bdinfo", f"set ipaddr {addresses['centralUnitAddress']}",
                    f"set serverip {addresses['serverAddress']}", "tftp 0x9000000 cu_image",
                    "crc32 0x9000000 0x4000000", "protect off all", "cmp.b 0xa0000000 0x9000000 0x40000",
                    "erase 0xa0000000 +0x40000", "cp.w 0x9000000 0xa0000000 0x10000",
                    "cp.w 0x9020000 0xa0020000 0x10000", "erase 0xa0040000 +0x3fc0000", *system_copies(510),
                    "go 0", "00:a0:c6:ab:cd:ef"]
        self.assertEqual(lines[:len(expected)], expected)
        self.assertEqual(expected[-2 - 1], "cp.w 0xcfe0000 0xa3fe0000 0x10000")
        self.assertRegex(lines[len(expected)], r"^\d{4}-\d\d-\d\d \d\d:\d\d$")
        self.assertEqual(lines[len(expected) + 1:], ["n"])
        self.check_complete(data, polls)

    def test_full_recovery_of_a_32_mib_unit_with_merged_writes(self):
        data, polls = self.full_recovery(32, merged=True)
        lines = self.lines_after_recon()
        self.assertIn("crc32 0x9000000 0x2000000", lines)
        self.assertIn("erase 0xa0040000 +0x1fc0000", lines)
        self.assertEqual([l for l in lines if l.startswith("cp.w")][2:], system_copies(254))
        self.check_complete(data, polls)

    def test_a_unit_that_already_holds_the_boot_loader(self):
        path, data = self.image(32 * MIB)
        self.console(mode="uboot", flash_mb=32, flash=data[:0x40000])
        self.start()
        self.upload(path)
        self.assertEqual(poll(), "{ }")
        # A second upload and start while the program runs leave it running.
        self.wait_log("curtain : next operation is Determine System Info")
        self.upload(path)
        self.assertEqual(poll(), "{ }")
        self.wait_log("not flashing: a flash program runs")
        polls = self.run_until()
        lines = self.lines_after_recon()
        self.assertNotIn("erase 0xa0000000 +0x40000", lines)
        self.assertNotIn("cp.w 0x9000000 0xa0000000 0x10000", lines)
        self.assertEqual(len([l for l in lines if l.startswith("cp.w")]), 254)
        self.check_complete(data, polls)

    def test_from_a_linux_prompt(self):
        self.console(mode="linux", flash_mb=32, autoboot_s=10)
        path, data = self.image(32 * MIB)
        self.start()
        self.upload(path)
        poll()
        polls = self.run_until()
        lines = self.lines_after_recon()
        self.assertEqual(lines[:4], ["reboot", "\\x1b", "nop", "bdinfo"])
        self.check_complete(data, polls)

    def test_from_an_unknown_console_the_user_power_cycles_the_unit(self):
        self.console(mode="silent", flash_mb=32, autoboot_s=10)
        path, data = self.image(32 * MIB)
        self.start()
        self.upload(path)
        poll()
        for _ in range(3):
            answer = json.loads(poll())
            self.assertEqual(answer["command"], "user_info")
            self.assertEqual(answer["commandData"]["userInfo"], "Power Cycle Central Unit")
        self.unit.power_on()
        polls = self.run_until()
        self.assertEqual(self.lines_after_recon()[:3], ["\\x1b", "nop", "bdinfo"])
        self.check_complete(data, polls)

    def test_manual_settings(self):
        self.console(mode="uboot", flash_mb=32, faults={"invalid-date"})
        path, data = self.image(32 * MIB)
        self.start(settings=("0", "0", "0"))
        self.upload(path)
        poll()
        macs, dates = ["00:11:22:33:44:56", "AA:BB:CC:DD:EE:01"], ["2014-01-01 1:00", "2014-01-01 01:00", "2014-02-02 02:00"]
        asked = []

        def answer_mac(_):
            asked.append("mac")
            page("mac_address", macAddress=macs.pop(0))

        def answer_date(_):
            asked.append("date")
            page("date", "--data-urlencode", f"date={dates.pop(0)}", "-G")

        answers = {}
        deadline = time.time() + 120
        while time.time() < deadline:
            reply = json.loads(poll())
            if reply["command"] in ("all_done", "error"):
                break
            if reply["command"] == "send_mac_address":
                answer_mac(reply)
            elif reply["command"] == "send_date":
                answer_date(reply)
            time.sleep(0.05)
        self.assertEqual(reply["command"], "all_done", self.server.stderr()[-2000:])
        self.assertEqual(asked, ["mac", "mac", "date", "date", "date"])
        lines = self.lines_after_recon()
        go = lines.index("go 0")
        self.assertEqual(lines[go + 1:], ["aa:bb:cc:dd:ee:01", "2014-01-01 01:00", "2014-02-02 02:00", "y"])
        self.assertEqual(self.flashed(), hashlib.sha256(data).hexdigest())

    def test_an_image_of_the_wrong_size_is_asked_for_again(self):
        self.console(mode="uboot", flash_mb=64)
        small, _ = self.image(32 * MIB)
        large, data = self.image(64 * MIB, seed=b"large")
        self.start()
        self.upload(small)
        poll()
        reply = self.run_until(ends=("send_new_data_image", "error"), timeout=EVENT_BOUND)[-1]
        self.assertEqual(reply["command"], "send_new_data_image")
        self.assertEqual(poll(), '{"command":"idle"}')
        self.assertNotIn("tftp 0x9000000 cu_image", self.unit.lines)
        # An image refused by its size is asked for again, never taken as the answer.
        self.upload(self.image(64 * MIB + 1, seed=b"odd")[0])
        reply = self.run_until(ends=("send_new_data_image", "error"), timeout=EVENT_BOUND)[-1]
        self.assertEqual(reply["command"], "send_new_data_image")
        self.assertEqual(poll(), '{"command":"idle"}')
        self.upload(large)
        self.wait_log("retrying file transfer")
        self.check_complete(data, self.run_until())
        self.assertIn("tftp 0x9000000 cu_image", self.unit.lines)

    def test_a_busy_upload_after_a_refused_one_is_not_taken_either(self):
        self.console(mode="uboot", flash_mb=64)
        small, _ = self.image(32 * MIB)
        large, data = self.image(64 * MIB, seed=b"large")
        self.start()
        self.upload(small)
        self.assertEqual(poll(), "{ }")
        # The run asks for a fitting image; one refused by its size comes before the page has seen it.
        self.wait_log("requesting user activity Image File")
        self.upload(self.image(64 * MIB + 1, seed=b"odd")[0])
        self.assertEqual(poll(), '{"command":"send_data_image"}')
        self.assertEqual(json.loads(poll())["command"], "send_new_data_image")
        self.upload(large)
        # The user replaces the image while the run goes on: busy, not taken.
        self.wait_log("retrying file transfer")
        self.upload(self.image(64 * MIB, seed=b"newer")[0])
        self.wait_log("curtain : no operations left", timeout=FLASH_BOUND, count=2)
        # The next start asks for the image instead of flashing the replaced one again.
        self.assertEqual(poll(), '{"command":"send_data_image"}')
        self.assertEqual(self.run_until(timeout=EVENT_BOUND)[-1]["command"], "all_done")
        self.assertEqual(len(re.findall("flash 1\n", self.server.stderr())), 1)
        self.assertEqual(self.flashed(), hashlib.sha256(data).hexdigest())

    def test_faults_end_the_run_at_their_line(self):
        cases = [("bad-crc", "crc32 0x9000000 0x2000000"), ("no-erased", "erase 0xa0000000 +0x40000"),
                 ("silent-after-cp", "cp.w 0x9040000 0xa0040000 0x10000")]
        for fault, last in cases:
            with self.subTest(fault=fault):
                self.console(mode="uboot", flash_mb=32, faults={fault})
                path, _ = self.image(32 * MIB)
                self.start()
                self.upload(path)
                poll()
                if fault == "silent-after-cp":
                    self.assertTrue(self.unit.wait(lambda: self.unit.state == "dead", timeout=FLASH_BOUND))
                went_silent = time.time()
                with Lag() as lag:
                    polls = self.run_until()
                self.assertEqual(polls[-1]["command"], "error")
                if fault == "silent-after-cp":
                    self.assertLess(time.time() - went_silent, 3.5 + lag.seconds(), "a copy is answered within 3 s")
                time.sleep(0.3)
                self.assertEqual(self.unit.lines[-1], last, self.unit.lines[-5:])
                self.unit.go_away()
                self.server.close()


if __name__ == "__main__":
    unittest.main()
