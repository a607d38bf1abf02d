"""Shared set-up of the unit tests: the units' namespace, the simulated units and the server."""
import json
import subprocess
import tempfile
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "peers"))

from harness import CONFIG, EVENT_BOUND, Server, curl  # noqa: E402
from netns_pair import UnitNamespace  # noqa: E402
from sim_unit import Simulator, Unit  # noqa: E402
import sim_unit as sim  # noqa: E402

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
    server_config = CONFIG
    tsan = False
    with_server = True

    def setUp(self):
        self.ns = UnitNamespace()
        self.addCleanup(self.ns.close)
        self.sim = Simulator(self.ns.packet_socket())
        self.addCleanup(self.sim.close)
        if not self.with_server:
            self.addCleanup(self.dump_log_on_failure)
            return
        asan = os.environ.get("STAVENOR_ASAN")
        if asan and not self.tsan:
            os.environ["STAVENOR"] = asan
        self.server = Server(args=self.server_args, config=self.server_config, tsan=self.tsan)
        self.addCleanup(self.server.close)
        self.addCleanup(self.dump_log_on_failure)

    def dump_log_on_failure(self):
        outcome = getattr(self, "_outcome", None)
        errors = getattr(getattr(outcome, "result", None), "errors", []) + \
            getattr(getattr(outcome, "result", None), "failures", [])
        if any(test is self for test, _ in errors):
            path = os.path.join(tempfile.gettempdir(), f"sim-log-{self.id()}.json")
            self.sim.dump_log(path)
            print("simulator log:", path, file=sys.stderr)
            if self.with_server:
                print(self.server.stderr()[-4000:], file=sys.stderr)

    def add_units(self, *units):
        for unit in units:
            self.sim.add(unit)
        macs = {u.mac for u in units}
        listed = wait_for(lambda: macs <= {r["macAddress"] for r in unit_list()}, EVENT_BOUND)
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


class JobResult:
    """What the job driver printed."""

    def __init__(self, completed):
        self.code = completed.returncode
        self.stdout = completed.stdout
        self.stderr = completed.stderr
        self.progress = []
        self.verdict = None
        self.result = None
        self.status = None
        self.control = None
        self.modules = []
        self.settings = {}
        for line in completed.stdout.splitlines():
            word, _, rest = line.partition(" ")
            if word == "progress":
                current, total, text = (rest.split(" ", 2) + [""])[:3]
                self.progress.append((int(current), int(total), text))
            elif word in ("done", "failed"):
                self.verdict = line
            elif word == "result":
                self.result = int(rest)
            elif word == "status":
                status, _, control = rest.rpartition(" control ")
                self.status, self.control = status, int(control)
            elif word == "module":
                self.modules.append(rest.split("|"))
            elif word == "setting":
                key, _, value = rest.partition("=")
                self.settings[key] = value


class JobCase(UnitsCase):
    """The job driver against the simulated units, without a server."""

    with_server = False

    def job(self, unit, *operations, after_ms=0, timeout=60, cwd=None):
        driver = os.environ.get("JOB_DRIVER")
        if not driver:
            raise unittest.SkipTest("JOB_DRIVER is not set")
        env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0")
        completed = subprocess.run([driver, "-l", "0x1", "-a", str(after_ms), unit.mac, *operations],
                                   capture_output=True, text=True, timeout=timeout, env=env, cwd=cwd)
        for mark in SANITIZER_MARKS:
            self.assertNotIn(mark, completed.stderr, completed.stderr[-6000:])
        return JobResult(completed)

    def requests(self, unit, since=0.0):
        """The server's frames to `unit` but acknowledgements."""
        return [f for f in self.sim.frames("in", dst=unit.mac, since=since) if f["t"] not in (sim.A_O, sim.A_B)]
