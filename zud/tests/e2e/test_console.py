#!/usr/bin/env python3
"""The zud program against simulated central units, in the test's own network namespace.

usage: test_console.py ZUD_BINARY   (run inside a network namespace, with a private working,
configuration and runtime directory: see ../run-isolated)
"""

import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PEER = os.path.join(HERE, "..", "peers", "central_unit.py")
ZUD = None

STARTUP = ["list|users", "list|conferences", "list|endpoints", "list|routes", "info|radio silence",
           "gain|set|0|output"]


class Sim:
    def __init__(self, address, *args):
        self.dir = tempfile.TemporaryDirectory()
        self.log = os.path.join(self.dir.name, "log")
        self.proc = subprocess.Popen([sys.executable, PEER, "--address", address, "--log", self.log, *args],
                                     stdout=subprocess.PIPE, text=True)
        assert self.proc.stdout.readline().strip() == "ready"

    def messages(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return ["|".join(e["tokens"]) for e in map(json.loads, f) if "tokens" in e]

    def early(self):
        with open(self.log) as f:
            return any(e.get("early") for e in map(json.loads, f))

    def stop(self):
        self.proc.kill()
        self.proc.wait()
        self.dir.cleanup()


class Zud:
    def __init__(self, workdir, conf):
        os.makedirs(workdir, exist_ok=True)
        with open(os.path.join(workdir, "zud.conf"), "w", encoding="utf-8") as f:
            f.write(conf)
        self.err = open(os.path.join(workdir, "stderr"), "w+")
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        self.proc = subprocess.Popen([ZUD], cwd=workdir, stderr=self.err, env=env)

    def log(self):
        self.err.flush()
        self.err.seek(0)
        return self.err.read()

    def stop(self):
        self.proc.terminate()
        self.proc.wait(10)
        self.err.close()


# A second test suite on the machine can hold the console and its peers back for seconds: a wait
# ends at its event, so its bound is generous.
def wait_for(check, seconds=60.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if check():
            return True
        time.sleep(0.05)
    return check()


class ConsoleTest(unittest.TestCase):
    def test_units_log_in_and_run_their_startup(self):
        sims = [Sim("127.0.0.2", "--password", "pw1"), Sim("127.0.0.3"), Sim("127.0.0.4")]
        conf = ("# config file test\n\n"
                "|devices|\n"
                "\t|Unit 1|\n\t\t|IP Address| = |127.0.0.2|\n\t\t|password| = |pw1|\n\t\t|ttl| = |2|\n"
                "\t|Unit 2|\n\t\t|IP Address| = |127.0.0.3|\n"
                "\t|Unit 1|\n\t\t|IP Address| = |127.0.0.4|\n"
                "\t|Unit 3|\n\t\t|IP Address| = |127.0.0.2|\n"
                "\t|No address|\n\t\t|ttl| = |3|\n")
        zud = Zud(os.path.join(os.getcwd(), "units"), conf)
        try:
            expected = [["login|ZUD Operator|49000|pw1"] + STARTUP, ["login|ZUD Operator|49001"] + STARTUP]
            for sim, want in zip(sims, expected):
                self.assertTrue(wait_for(lambda: len(sim.messages()) >= len(want)), zud.log())
            time.sleep(0.5)
            for sim, want in zip(sims, expected):
                self.assertEqual(sim.messages(), want)
                self.assertFalse(sim.early())
            # Sections that repeat a name or an address are skipped.
            self.assertEqual(sims[2].messages(), [])
            self.assertIn("found 2 central units", zud.log())
        finally:
            zud.stop()
            for sim in sims:
                sim.stop()

    def test_empty_operator_name_sends_nothing(self):
        sim = Sim("127.0.0.2")
        zud = Zud(os.path.join(os.getcwd(), "nameless"),
                  "|devices|\n\t|U|\n\t\t|IP Address| = |127.0.0.2|\n|system|\n\t|username|\n")
        try:
            self.assertTrue(wait_for(lambda: "ERROR: command with an empty token cannot be sent" in zud.log()),
                            zud.log())
            time.sleep(0.3)
            self.assertEqual(sim.messages(), [])
        finally:
            zud.stop()
            sim.stop()

    def test_second_console_raises_the_first_and_runs(self):
        first = Zud(os.path.join(os.getcwd(), "first"), "")
        try:
            self.assertTrue(wait_for(lambda: "found 0 central units" in first.log()), first.log())
            second = Zud(os.path.join(os.getcwd(), "second"), "")
            try:
                self.assertTrue(wait_for(lambda: "raise request received" in first.log()), first.log())
                self.assertTrue(wait_for(lambda: "found 0 central units" in second.log()), second.log())
                time.sleep(0.5)
                self.assertIsNone(second.proc.poll())
                self.assertIsNone(first.proc.poll())
            finally:
                second.stop()
        finally:
            first.stop()


if __name__ == "__main__":
    ZUD = sys.argv.pop(1)
    unittest.main(verbosity=2)
