"""The unit list under concurrent requests while units come, change and go: ThreadSanitizer build."""
import random
import subprocess
import threading
import time
import unittest

from units_support import UnitsCase, Unit, mac, unit_list, wait_for
from harness import BASE, EVENT_BOUND

UNITS = 50
CLIENTS = 20
SECONDS = 20


class Concurrency(UnitsCase):
    tsan = True

    def test_list_and_information_while_units_change(self):
        units = [Unit(mac(n), 6 + n % 2) for n in range(1, UNITS + 1)]
        for u in units:
            self.sim.add(u)
        self.assertTrue(wait_for(lambda: len(unit_list()) == UNITS, EVENT_BOUND), len(unit_list()))

        stop = threading.Event()
        failures = []

        def client(n):
            paths = ["/updater/breltList.json", f"/updater/brelt.json?macAddress={mac(1 + n % UNITS)}"]
            while not stop.is_set():
                for path in paths:
                    r = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{http_code}", "--max-time", "20",
                                        BASE + path], capture_output=True, text=True)
                    if r.stdout != "200":
                        failures.append((path, r.stdout))

        threads = [threading.Thread(target=client, args=(n,)) for n in range(CLIENTS)]
        for t in threads:
            t.start()
        rng = random.Random(7)
        end = time.time() + SECONDS
        while time.time() < end:
            u = rng.choice(units)
            action = rng.randrange(3)
            if action == 0:
                u.version = 13 - u.version  # 6 <-> 7: the unit object is replaced
            elif action == 1:
                u.silent = not u.silent
            else:
                self.sim.state(u, rng.choice((1, 2, 3)))
            time.sleep(0.02)
        stop.set()
        for t in threads:
            t.join(60)
        self.assertEqual(failures, [])
        self.assert_clean_stop()


if __name__ == "__main__":
    unittest.main()
