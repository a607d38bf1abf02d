"""Unit operations and the job runner, frame by frame, with the job driver and simulated units."""
import socket
import struct
import time
import unittest

from harness import Lag
from units_support import JobCase, Unit, mac
import sim_unit as sim

HOST = socket.gethostname()[:127].encode()


class Jobs(JobCase):
    def setUp(self):
        super().setUp()
        self.unit = Unit(mac(1), 6)
        self.unit.reboot_silence = 2.5
        self.sim.add(self.unit)

    def test_take_reboot_release(self):
        r = self.job(self.unit, "take", "reboot", "release", after_ms=300)
        self.assertEqual(r.verdict, "done", r.stdout)
        upd, rbt, eou = self.requests(self.unit)
        self.assertEqual((upd["t"], upd["pl"], upd["payload"]), (sim.UPD, 33 + len(HOST), HOST + b"\0"))
        self.assertEqual((rbt["t"], rbt["pl"], eou["t"], eou["pl"]), (sim.RBT, 32, sim.EOU, 32))
        self.assertEqual([f["fid"] for f in (upd, rbt, eou)], [0, 1, 2])
        self.assertEqual(r.progress[-1][:2], (220, 220))
        currents = [p[0] for p in r.progress]
        self.assertEqual(currents, sorted(currents), "progress never goes back")
        # The reboot's steps, one a second while the unit is silent: 10 + 200 * step / 11.
        reboot_steps = [c for c in currents if 10 < c < 210]
        self.assertEqual(reboot_steps[:2], [10 + 200 * 1 // 11, 10 + 200 * 2 // 11])
        self.assertEqual((r.status, r.control), ("up", 1))

    def test_refused_take_still_releases(self):
        cases = [  # (take answer, operations, verdict, result code, request types expected)
            ("DNY", ["take", "reboot", "release"], "failed just like that", -1, [sim.UPD, sim.EOU]),
            ("ERR", ["take", "reboot", "release"], "failed just like that", -1, [sim.UPD, sim.EOU]),
            ("ALR", ["take", "release"], "done", 0, [sim.UPD, sim.EOU]),
        ]
        for answer, operations, verdict, code, types in cases:
            with self.subTest(answer=answer):
                self.unit.replies[sim.UPD] = answer
                since = time.time()
                r = self.job(self.unit, *operations)
                self.assertEqual((r.verdict, r.result), (verdict, code), r.stdout)
                self.assertEqual([f["t"] for f in self.requests(self.unit, since)], types)
                self.assertEqual(r.control, 1)

    def test_unbrick_refused(self):
        self.unit.replies[sim.UNBRICK] = ("ERR", -68)
        r = self.job(self.unit, "take", "unbrick=k", "release")
        self.assertEqual((r.verdict, r.result), ("failed just like that", -68))
        upd, unbrick, eou = self.requests(self.unit)
        self.assertEqual((unbrick["t"], unbrick["pl"], unbrick["payload"]), (sim.UNBRICK, 34, b"k\0"))
        self.assertEqual(eou["t"], sim.EOU)

    def test_silent_answers_end_by_time_out(self):
        self.unit.replies[sim.FLASH] = None
        start = time.time()
        r = self.job(self.unit, "take", "flash=1500", "release", after_ms=100)
        self.assertEqual(r.verdict, "failed just like that")
        self.assertEqual([f["t"] for f in self.requests(self.unit)], [sim.UPD, sim.FLASH, sim.EOU])
        self.assertGreater(time.time() - start, 1.5)


    def test_silent_unit_take_not_responding(self):
        # It announces itself but takes nothing the server sends: the take waits while the channel
        # resends the request, and ends once the channel gives it up.
        self.unit.drop_frames = set(range(1, 100))
        with Lag() as lag:
            r = self.job(self.unit, "take", after_ms=0)
        ended = time.time()
        self.assertEqual(r.verdict, "failed just like that")
        self.assertEqual(r.control, 0)
        copies = self.requests(self.unit)
        # Sent and resent three times, a second apart.
        self.assertEqual([f["t"] for f in copies], [sim.UPD] * 4)
        self.assertGreater(ended - copies[0]["time"], copies[-1]["time"] - copies[0]["time"])
        self.assertLess(ended - copies[0]["time"], 10 + lag.seconds())

    def test_module_list(self):
        for version, asterisk_configurable in ((5, "0"), (6, "1")):
            with self.subTest(version=version):
                unit = Unit(mac(0x10 + version), version)
                self.sim.add(unit)
                since = time.time()
                r = self.job(unit, "take", "modlist", "release")
                self.assertEqual(r.verdict, "done", r.stdout)
                requests = self.requests(unit, since)
                self.assertEqual([(f["t"], f["payload"][:1]) for f in requests],
                                 [(sim.UPD, HOST[:1]), (sim.MOD, b"\x01"), (sim.EOU, b""), (sim.MOD, b"\x03"),
                                  (sim.MOD, b"\x03")])
                # The module infos join the end of the running job, behind its release.
                self.assertEqual(requests[3]["payload"], b"\x03\0rundis\0\0")
                self.assertEqual(requests[3]["pl"], 36 + len("rundis"))
                self.assertEqual(requests[4]["payload"], b"\x03\0asterisk\0\0")
                self.assertEqual(r.modules, [
                    ["rundis", "Rundis", "2.1.0", "Rundis core", "configurable=1", "removable=0"],
                    ["asterisk", "Asterisk", "11", "Telephony", f"configurable={asterisk_configurable}",
                     "removable=1"]])
                self.assertEqual(r.progress[-1][:2], (50, 50))
                self.assertTrue(all(c <= t for c, t, _ in r.progress))

    def test_request_frames(self):
        self.unit.reboot_silence = 0.2
        name = "p" * 300
        r = self.job(self.unit, f"start={name}", f"stop={name[:256]}", "restart=", f"restart={name}", "reload",
                     "reboot", "refresh", "flash", "roleset=" + "r" * 100, "rolelist", "modrescan", "modlist",
                     "langs", "describe=" + "d" * 128, "lock=", after_ms=200)
        self.assertEqual(r.verdict, "done", r.stdout)
        frames = self.requests(self.unit)
        prc = [f for f in frames if f["t"] == sim.PRC]
        self.assertEqual([(f["payload"][0], f["payload"][1:], f["pl"]) for f in prc],
                         [(1, name[:256].encode(), 289), (2, name[:256].encode(), 289), (16, bytes(256), 289),
                          (17, name[:256].encode(), 289)])
        by_type = {}
        for f in frames:
            by_type.setdefault(f["t"], []).append(f)
        for t in (sim.RLD, sim.RBT, sim.TTM, sim.FLASH):
            self.assertEqual(by_type[t][0]["pl"], 32, t)
        role_set, role_list = by_type[sim.ROL]
        self.assertEqual((role_set["pl"], role_set["payload"]), (98, b"\x01\x01" + b"r" * 63 + b"\0"))
        self.assertEqual((role_list["pl"], role_list["payload"]), (35, b"\x02\0\0"))
        mod_rescan, mod_list = by_type[sim.MOD][:2]
        self.assertEqual((mod_rescan["pl"], mod_rescan["payload"]), (35, b"\x05\0\0"))
        self.assertEqual((mod_list["pl"], mod_list["payload"]), (35, b"\x01\0\0"))
        self.assertEqual((by_type[sim.LANGUAGES][0]["pl"], by_type[sim.LANGUAGES][0]["payload"]), (35, b"\x01\0\0"))
        self.assertEqual((by_type[sim.HWR][0]["pl"], by_type[sim.HWR][0]["payload"]), (160, b"d" * 128))
        self.assertEqual((by_type[sim.SON][0]["pl"], by_type[sim.SON][0]["payload"]), (33, b"\0"))
        self.assertEqual((r.settings["available languages"], r.settings["roles"]), ("en/v|de/x", "master|slave"))
        self.assertEqual(r.status, "locked")

    def test_marks_and_errors(self):
        self.unit.replies[sim.PRC] = "ERR"
        self.unit.replies[sim.RLD] = "ERR"
        cases = [  # (operations, verdict, progress at the end)
            (["~stop=x"], "done", (100, 100)),
            (["stop=x"], "failed just like that", None),
            (["~reload"], "failed just like that", None),
            (["reload"], "failed just like that", None),
            ([], "failed nothing to do", None),
        ]
        for operations, verdict, last in cases:
            with self.subTest(operations=operations):
                r = self.job(self.unit, *operations)
                self.assertEqual(r.verdict, verdict, r.stdout)
                if last:
                    self.assertEqual(r.progress[-1][:2], last)

    def test_reboot_without_waiting(self):
        # Done first, then the unit reads down until it announces itself again.
        self.unit.reboot_silence = 5
        r = self.job(self.unit, "take", "release", "reboot=nowait", after_ms=50)
        self.assertEqual((r.verdict, r.status), ("done", "down"), r.stdout)
        self.assertEqual(r.progress[-1][:2], (520, 520))

    def test_version_change_drops_the_job(self):
        self.unit.replies[sim.FLASH] = None

        def change():
            if self.sim.wait_frame(t=sim.FLASH, direction="in", timeout=20):
                time.sleep(0.5)
                self.unit.version = 7
        import threading
        threading.Thread(target=change).start()
        r = self.job(self.unit, "take", "flash=20000", "release", after_ms=100)
        self.assertEqual(r.verdict, "failed unit dropped", r.stdout)
        self.assertEqual(r.result, -2)


if __name__ == "__main__":
    unittest.main()
