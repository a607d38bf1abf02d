"""A unit that changes its protocol version again and again while its jobs run and the updater page
polls it: every change replaces the unit object in mid-job. Run on the AddressSanitizer build and on
the ThreadSanitizer build; every request is answered and the server stops cleanly."""
import json
import os
import random
import tempfile
import threading
import time
import unittest

from harness import curl
from test_updater import query
from units_support import UnitsCase, Unit, mac, unit_list, wait_for

SECONDS = 12
CHANGES = 60
PROGRESS = {"success", "error", "progress"}


class Replacement:
    server_args = ("-l", "0x101")  # errors and the units' log, which tells each program a change cut

    def ask(self, command, *args, **params):
        status, body = curl(query(f"/updater/{command}.json", **params), *args, timeout=60)
        try:
            reply = json.loads(body) if status == 200 else None
        except ValueError:
            reply = None
        return status, reply

    def test_protocol_changes_in_mid_job(self):
        unit = Unit(mac(1), 6)
        unit.delay = 0.005  # answers come late, after a change
        unit.reboot_silence = 0.3
        bystander = Unit(mac(2), 7)
        self.add_units(unit, bystander)
        status, _ = curl("/updater/fileSent.json", "-F", "fileSent=@" + self.big_file() + ";filename=big.conf",
                         "-F", "type=other", "-F", "buttonId=b", "-F", "updaterName=big.conf")
        self.assertEqual(status, 200)

        stop = threading.Event()
        wrong = []
        answered = {}

        def loop(name, request):
            while not stop.is_set():
                problem = request()
                if problem:
                    wrong.append((name, problem))
                else:
                    answered[name] = answered.get(name, 0) + 1

        def replied(command, expect=lambda reply: True, **params):
            def request():
                status, reply = self.ask(command, **params)
                return None if status == 200 and reply is not None and expect(reply) else (status, reply)
            return request

        def refused(reply):
            return reply.get("status") == "error" and bool(reply.get("description"))

        def start_jobs():
            for params in (dict(type="configurationUpload", fileName="big.conf", updaterPath=""),
                           dict(type="reboot")):
                status, reply = self.ask("action", macAddress=unit.mac, **params)
                records = (reply or {}).get("statusList", [])
                if status != 200 or len(records) != 1 or records[0]["macAddress"] != unit.mac:
                    return (status, reply)
                time.sleep(0.1)
            return None

        requests = {
            "list": replied("breltList", lambda r: "breltList" in r),
            "brelt": replied("brelt", macAddress=unit.mac),
            "progress": replied("breltProgress", lambda r: r.get("status") in PROGRESS or
                                r == {"status": "error", "description": "no unit"}, macAddress=unit.mac),
            "action": start_jobs,
            "modules": replied("breltModules", lambda r: "moduleList" in r or refused(r), macAddress=unit.mac),
            "roles": replied("breltRoles", lambda r: "roleList" in r or refused(r), macAddress=unit.mac),
            "ls": replied("modLsDir", lambda r: "contents" in r or refused(r), path="/dis", macAddress=unit.mac),
            "bystander": replied("breltProgress", lambda r: r.get("status") in PROGRESS, macAddress=bystander.mac),
        }
        threads = [threading.Thread(target=loop, args=item) for item in requests.items()]
        for t in threads:
            t.start()

        rng = random.Random(11)
        end = time.time() + SECONDS
        for _ in range(CHANGES):
            if time.time() >= end:
                break
            time.sleep(rng.uniform(0.05, 0.4))
            unit.version = 13 - unit.version  # 6 <-> 7
            self.sim.announce(unit)  # the old object goes
            if rng.random() < 0.7:
                self.sim.announce(unit)  # the new one comes at once, else with the next query
        stop.set()
        for t in threads:
            t.join(120)
        self.assertFalse(any(t.is_alive() for t in threads))

        self.assertEqual(wrong, [])
        self.assertTrue(all(answered.get(name, 0) >= 3 for name in requests), answered)
        # The changes met running programs, not only idle units.
        self.assertGreaterEqual(self.server.stderr().count("program abandoned (unit dropped)"), 5)
        self.assertTrue(wait_for(lambda: any(r["macAddress"] == unit.mac and r["protocolVersion"] == unit.version
                                             for r in unit_list()), 15), unit_list())
        self.assert_clean_stop()

    @staticmethod
    def big_file():
        path = os.path.join(tempfile.mkdtemp(prefix="upd-replace-"), "f")
        with open(path, "wb") as f:
            f.write(b"#" * 16 * 1024)
        return path


class AddressSanitizer(Replacement, UnitsCase):
    tsan = False


class ThreadSanitizer(Replacement, UnitsCase):
    tsan = True


if __name__ == "__main__":
    unittest.main()
