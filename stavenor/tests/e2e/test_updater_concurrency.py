"""Blocking runs and actions at once on several units: ThreadSanitizer build. Each reply must tell
its own unit's outcome."""
import json
import os
import subprocess
import tempfile
import threading
import time
import unittest
import urllib.parse

from units_support import UnitsCase, Unit, mac
from harness import BASE
import sim_unit as sim

SECONDS = 20


def get(command, **params):
    r = subprocess.run(["curl", "-s", "--max-time", "60", f"{BASE}/updater/{command}.json?" +
                        urllib.parse.urlencode(params)], capture_output=True, text=True)
    return json.loads(r.stdout) if r.stdout else None


class Concurrency(UnitsCase):
    tsan = True

    def test_runs_and_actions_at_once(self):
        good, refusing, rebooted = Unit(mac(1), 6), Unit(mac(2), 7), Unit(mac(3), 6)
        good.roles = "a1|a2"
        refusing.replies[sim.ROL] = "ERR"
        rebooted.reboot_silence = 0.3
        self.add_units(good, refusing, rebooted)

        stop = threading.Event()
        wrong = []
        answered = [0] * 6

        def loop(n, check):
            while not stop.is_set():
                problem = check()
                if problem:
                    wrong.append(problem)
                else:
                    answered[n] += 1

        def roles(unit, expected):
            def check():
                reply = get("breltRoles", macAddress=unit.mac)
                return None if reply == expected else (unit.mac, reply)
            return check

        def action():
            reply = get("action", type="reboot", macAddress=rebooted.mac)
            records = (reply or {}).get("statusList", [])
            if len(records) != 1 or records[0]["macAddress"] != rebooted.mac:
                return ("action", reply)
            return None

        def progress():
            reply = get("breltProgress", macAddress=rebooted.mac)
            if not reply or reply.get("status") not in ("progress", "success"):
                return ("progress", reply)
            time.sleep(0.02)
            return None

        upload = os.path.join(tempfile.mkdtemp(prefix="upd-tsan-"), "f")
        with open(upload, "w") as f:
            f.write("# h\n|nodes|\n\t|u1|\n")

        def button():
            n = len(wrong) + sum(answered)
            r = subprocess.run(["curl", "-s", "--max-time", "60", "-F", f"fileSent=@{upload};filename=c.conf",
                                "-F", "type=configuration", "-F", f"buttonId=b{n % 3}", "-F", f"updaterName=n{n}",
                                f"{BASE}/updater/fileSent.json"], capture_output=True, text=True)
            described = json.loads(r.stdout or "null")
            data = get("buttonData", buttonId=f"b{n % 3}")
            if described != {"roles": [{"name": "u1", "type": "full"}], "status": "success"} or \
                    not (data or {}).get("updaterName", "").startswith("n"):
                return ("button", described, data)
            return None

        checks = [roles(good, {"roleList": ["a1", "a2"]}),
                  roles(refusing, {"status": "error", "description": "some error happened"}),
                  roles(good, {"roleList": ["a1", "a2"]}), action, progress, button]
        threads = [threading.Thread(target=loop, args=(n, c)) for n, c in enumerate(checks)]
        for t in threads:
            t.start()
        time.sleep(SECONDS)
        stop.set()
        for t in threads:
            t.join(90)
        # Two role queries to one unit may meet: the second is refused while the first runs.
        busy = {"status": "error", "description": "operation in progress"}
        self.assertEqual([w for w in wrong if w[1] != busy], [])
        self.assertTrue(all(count >= 5 for count in answered), answered)
        self.assert_clean_stop()


if __name__ == "__main__":
    unittest.main()
