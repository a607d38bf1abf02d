"""Units that fail or misbehave, as the updater meets them: every program ends, no failure reads as
success, nothing that would leave a unit's modules reaches it, and a log that could not be written
is not served."""
import json
import os
import subprocess
import tempfile
import threading
import time
import unittest

from harness import EVENT_BOUND, Lag, curl
from test_updater import UpdaterCase
from units_support import Unit, mac, wait_for
import sim_unit as sim


class HostileUnits(UpdaterCase):
    server_args = ("-l", "0x101")  # errors and the units' log

    def test_a_unit_repeating_its_part_ends_the_download(self):
        unit = Unit(mac(1), 6)
        unit.files = {"/dis/system.conf": bytes(range(256)) * 20}  # five parts
        unit.reboot_silence = 0.5
        self.add_units(unit)
        # It hears the take, the request and the first part's acknowledgement, then no more: it
        # keeps resending part 1, and the server keeps acknowledging it.
        heard = unit.frames_seen
        unit.drop_frames = set(range(heard + 4, heard + 100000))
        since = time.time()
        with Lag() as lag:
            reply = self.get("action", type="configurationDownload", macAddress=unit.mac)
            self.assertEqual(reply["statusList"][0]["status"], "commandAccepted")
            seen = self.progress_until_end(unit, timeout=EVENT_BOUND)
        # The part's 4 s from its first copy, then the release while the channel resends it (4 s,
        # the unit still talking): not one part more.
        self.assertLess(time.time() - since, 16 + lag.seconds(), seen[-3:])
        self.assertEqual(seen[-1]["status"], "error", seen[-3:])
        repeats = [f for f in self.sim.frames("out", t=sim.FIL, src=unit.mac) if f["part_number"] == 1]
        self.assertGreaterEqual(len(repeats), 3)

        with self.sim.lock:
            unit.download = None
            unit.drop_frames = set()
        since = time.time()
        reply = self.get("action", type="reboot", macAddress=unit.mac)
        self.assertEqual(reply["statusList"][0]["status"], "commandAccepted")
        self.assertEqual(self.progress_until_end(unit)[-1], {"status": "success"})
        # (A resend of the release that went unheard may come first.)
        self.assertEqual(self.types(unit, since)[-3:], [sim.UPD, sim.RBT, sim.EOU])
        # The end of every action's program is in the log (behind the record's source line), as a
        # blocking run's is.
        log = self.server.stderr()
        self.assertEqual(log.count(f" - -- program failed for {unit.mac}\n"), 1, log[-3000:])
        self.assertEqual(log.count(f" - -- program complete for {unit.mac}\n"), 1, log[-3000:])

    def test_version_change_in_mid_upload_is_no_success(self):
        unit = Unit(mac(1), 6)
        unit.delay = 0.02  # the upload takes a while
        self.add_units(unit)
        self.upload("big.conf", b"#" * 40 * 1024, type="other", buttonId="b", updaterName="big.conf")

        def change():
            parts = lambda: [f for f in self.sim.frames("in", t=sim.FIL, dst=unit.mac) if f["part_number"] >= 5]
            if wait_for(parts, 20):
                unit.version = 7
                self.sim.announce(unit)
        changer = threading.Thread(target=change)
        changer.start()
        self.addCleanup(changer.join)
        reply = self.get("action", type="configurationUpload", fileName="big.conf", updaterPath="",
                         macAddress=unit.mac)
        self.assertEqual(reply["statusList"][0]["status"], "commandAccepted")
        changer.join()
        replies = []

        def replaced():
            self.sim.announce(unit)
            replies.append(self.get("breltProgress", macAddress=unit.mac))
            return any(r["macAddress"] == unit.mac and r["protocolVersion"] == 7
                       for r in self.get("breltList")["breltList"])
        self.assertTrue(wait_for(replaced, 10, step=0.1), replies[-3:])
        replies.append(self.get("breltProgress", macAddress=unit.mac))
        self.assertNotIn({"status": "success"}, replies)
        self.assertEqual(replies[-1], {"status": "error", "code": -2, "description": "Unknown",
                                       "reason": "the unit changed its protocol version during the job"})
        self.assertEqual(unit.uploads, [])

    def test_module_list_failures_are_errors(self):
        unit = Unit(mac(1), 6)
        self.add_units(unit)
        self.assertEqual(len(self.get("breltModules", macAddress=unit.mac)["moduleList"]), 2)
        for answer in (("ERR", -1), None):
            with self.subTest(answer=answer):
                unit.replies[sim.MOD] = answer
                self.assertEqual(self.get("breltModules", macAddress=unit.mac),
                                 {"status": "error", "description": "some error happened"})

    def test_module_names_outside_the_modules_are_refused(self):
        unit = Unit(mac(1), 6)
        self.add_units(unit)
        cases = [dict(type="moduleRemove", name=".."), dict(type="moduleRemove", name="../dis"),
                 dict(type="moduleRemove", name="x/../.."), dict(type="moduleRemove", name=""),
                 dict(type="moduleUpload", fileName="cu_module_.._1.mod", updaterPath=""),
                 dict(type="moduleUpgrade", fileName="m.mod", updaterPath="/tmp/cu_module_x/cu_module_.._1.mod"),
                 dict(type="moduleOverwrite", fileName="m.mod", updaterPath="/tmp/x_module_/cu_module_")]
        for params in cases:
            with self.subTest(**params):
                self.assertEqual(self.get("action", macAddress=unit.mac, **params),
                                 {"status": "error", "description": "invalid module name"})
        # A request that the unit does hear comes first in its log.
        self.assertEqual(self.get("breltRoles", macAddress=unit.mac), {"roleList": ["master", "slave"]})
        self.assertEqual(self.types(unit), [sim.UPD, sim.ROL, sim.EOU])

    def test_a_log_that_cannot_be_written_is_not_served(self):
        tmp = self.server.path("tmp")
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=16k", "tmpfs", tmp], capture_output=True)
        if mounted.returncode != 0:
            raise unittest.SkipTest(f"no tmpfs in this mount namespace: {mounted.stderr!r}")
        self.addCleanup(subprocess.run, ["umount", "-l", tmp])
        self.assertEqual(curl("/updater/prepareLog.json", "--data-urlencode", "logEntries=small"), (200, b"{}"))
        self.assertEqual(curl("/updater/downloadLog.json"), (200, b"small"))
        entries = os.path.join(tempfile.mkdtemp(prefix="log-"), "entries")
        with open(entries, "w") as f:
            f.write("line of the log\n" * 8000)  # 128 kB
        status, body = curl("/updater/prepareLog.json", "--data-urlencode", f"logEntries@{entries}")
        self.assertEqual((status, json.loads(body)), (200, {"status": "error",
                                                            "description": "the log could not be written"}))
        status, body = curl("/updater/downloadLog.json")
        self.assertEqual((status, json.loads(body)), (200, {"status": "error", "description": "no log present"}))
        self.assertEqual(os.listdir(tmp), [])


if __name__ == "__main__":
    unittest.main()
