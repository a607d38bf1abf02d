"""Many browsers editing the store at once, under ThreadSanitizer: no data race, no lost or
duplicated row."""
import json
import os
import sys
import threading
import time
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(__file__))
from harness import Server, curl  # noqa: E402

WORKERS = 50
DURATION = 20.0           # seconds of load
MAX_ROUNDS = 2000         # per worker, a bound besides the time
TABLES = ("radio", "endpoint")  # a named-object table and a plain one


def call(command, *fields):
    query = urllib.parse.urlencode([tuple(field.split("=", 1)) for field in fields])
    status, body = curl("/tuna/" + command + ("?" + query if query else ""), timeout=20)
    if status != 200:
        raise AssertionError(f"{command} {fields}: status {status}: {body[:200]!r}")
    return json.loads(body)


class TunaUnderLoad(unittest.TestCase):
    def test_parallel_insert_list_delete(self):
        with Server(args=("-l", "0x1"), tsan=True) as server:
            kept = {table: {} for table in TABLES}  # id -> name of every row that must remain
            errors = []
            lock = threading.Lock()
            deadline = time.monotonic() + DURATION

            def worker(number):
                table = TABLES[number % len(TABLES)]
                mine = {}
                try:
                    for round_ in range(MAX_ROUNDS):
                        if time.monotonic() >= deadline:
                            break
                        name = f"w{number}-{round_} 'q\""
                        inserted = call(f"insert/{table}.json", "name=" + name)
                        if inserted["status"] != "success" or inserted["name"] != name:
                            raise AssertionError(f"insert answered {inserted}")
                        mine[inserted["id"]] = name
                        if round_ % 2:
                            call(f"list/{table}.json")
                            victim = next(iter(mine))
                            if call(f"delete/{table}.json", "id=" + victim) != {"status": "success"}:
                                raise AssertionError("delete failed")
                            del mine[victim]
                        else:
                            call(f"list/{table}", "id=", "name=")
                except Exception as e:  # reported by the main thread
                    with lock:
                        errors.append(f"worker {number}: {e}")
                with lock:
                    kept[table].update(mine)

            threads = [threading.Thread(target=worker, args=(n,)) for n in range(WORKERS)]
            for t in threads:
                t.start()
            for t in threads:
                t.join(DURATION + 30)
            self.assertFalse(any(t.is_alive() for t in threads), "workers did not finish")
            self.assertEqual(errors, [])

            for table in TABLES:
                listed = call(f"list/{table}.json")
                self.assertEqual(len(listed["id"]), len(set(listed["id"])), f"{table}: duplicated ids")
                self.assertEqual(dict(zip(listed["id"], listed["name"])), kept[table], f"{table}: rows differ")
            self.assertGreater(sum(len(rows) for rows in kept.values()), WORKERS)

            server.stop()
            self.assertNotIn("WARNING: ThreadSanitizer", server.stderr())


if __name__ == "__main__":
    unittest.main()
