"""Shared set-up of the unit tests: the units' namespace, the simulated units and the server."""
import json
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "peers"))

from harness import Server, curl  # noqa: E402
from netns_pair import UnitNamespace  # noqa: E402
from sim_unit import Simulator, Unit  # noqa: E402

SANITIZER_MARKS = ("ERROR: AddressSanitizer", "runtime error:", "WARNING: ThreadSanitizer", "ERROR: LeakSanitizer")


def mac(n):
    return f"02:00:00:00:00:{n:02X}"


def get_json(path, *args):
    status, body = curl(path, *args)
    if status != 200:
        raise AssertionError(f"{path}: HTTP {status}")
    return json.loads(body)


def unit_list():
    return get_json("/updater/breltList.json")["breltList"]


def wait_for(predicate, timeout, step=0.05):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return None


class UnitsCase(unittest.TestCase):
    """Each test gets a fresh units' namespace, a simulator on it and a server beside it.

    The server is the ASan+UBSan build when one is built (STAVENOR_ASAN), else the plain one."""

    server_args = ("-l", "0x1")
    tsan = False

    def setUp(self):
        self.ns = UnitNamespace()
        self.addCleanup(self.ns.close)
        self.sim = Simulator(self.ns.packet_socket())
        self.addCleanup(self.sim.close)
        asan = os.environ.get("STAVENOR_ASAN")
        if asan and not self.tsan:
            os.environ["STAVENOR"] = asan
        self.server = Server(args=self.server_args, tsan=self.tsan)
        self.addCleanup(self.server.close)
        self.addCleanup(self.dump_log_on_failure)

    def dump_log_on_failure(self):
        outcome = getattr(self, "_outcome", None)
        errors = getattr(getattr(outcome, "result", None), "errors", []) + \
            getattr(getattr(outcome, "result", None), "failures", [])
        if any(test is self for test, _ in errors):
            path = os.path.join(self.server.dir, "..", f"sim-log-{self.id()}.json")
            self.sim.dump_log(path)
            print("simulator log:", os.path.abspath(path), file=sys.stderr)
            print(self.server.stderr()[-4000:], file=sys.stderr)

    def add_units(self, *units):
        for unit in units:
            self.sim.add(unit)
        macs = {u.mac for u in units}
        listed = wait_for(lambda: macs <= {r["macAddress"] for r in unit_list()}, 10)
        self.assertTrue(listed, f"units not listed: {unit_list()}")

    def status_of(self, unit_id):
        for record in unit_list():
            if record["macAddress"] == unit_id:
                return record["status"]
        return None

    def assert_clean_stop(self):
        code = self.server.stop()
        err = self.server.stderr()
        for mark in SANITIZER_MARKS:
            self.assertNotIn(mark, err, err[-6000:])
        self.assertEqual(code, 0, err[-3000:])
