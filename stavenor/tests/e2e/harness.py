"""Starts the built stavenor in a directory of its own and talks to it with curl.

Tests run inside a network namespace (tests/in-netns), so port 8765 on 127.0.0.1 is theirs alone.
"""
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import unittest

PORT = 8765
# The bound of a wait for an event, in seconds. A second test suite on the same machine can hold the
# server, its peers or a browser back for many seconds; a wait ends at its event, so a generous
# bound costs nothing when the event comes.
EVENT_BOUND = 60
BASE = f"http://127.0.0.1:{PORT}"
CONFIG = f'port = {PORT};\ntmp_dir = "./tmp/";\ndocroot = "./www/";\n'
REPO_DIR = os.environ.get("REPO_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "../../..")))
DATA_DIR = os.environ.get("TEST_DATA_DIR", os.path.join(os.path.dirname(__file__), "..", "data"))


class Lag:
    """How late this process's own short sleeps have come back since it was made, in seconds. A
    machine busy with other work (a second test suite) holds the server's timers back about as
    much, so a bound on one of the server's periods adds it; an idle machine adds nothing.
    A context manager: the count ends with the block."""

    STEP = 0.02

    def __init__(self):
        self.late = 0.0
        self.last = time.monotonic()
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        while not self.stopped.wait(self.STEP):
            now = time.monotonic()
            self.late += max(0.0, now - self.last - self.STEP)
            self.last = now

    def seconds(self):
        if self.stopped.is_set():
            return self.late
        return self.late + max(0.0, time.monotonic() - self.last - self.STEP)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stopped.set()
        self.thread.join()
        self.late += max(0.0, time.monotonic() - self.last - self.STEP)


def binary(tsan=False):
    path = os.environ.get("STAVENOR_TSAN" if tsan else "STAVENOR")
    if not path:
        raise unittest.SkipTest("STAVENOR_TSAN not built" if tsan else "STAVENOR is not set")
    return path


class Server:
    """One stavenor process in a fresh working directory.

    `files` maps relative paths to contents (bytes or str) written before the start; `wrapper` is a
    command that starts the server (its arguments, the server's command line appended).
    """

    def __init__(self, args=("-l", "0xffff"), config=CONFIG, files=None, tsan=False, wait=True, wrapper=()):
        self.dir = tempfile.mkdtemp(prefix="stavenor-")
        if config is not None:
            self.write("config.cfg", config)
        os.makedirs(os.path.join(self.dir, "www"), exist_ok=True)
        for name, content in (files or {}).items():
            self.write(name, content)
        self.stdout_path = os.path.join(self.dir, "stdout.txt")
        self.stderr_path = os.path.join(self.dir, "stderr.txt")
        env = dict(os.environ)
        if tsan:
            env["TSAN_OPTIONS"] = "halt_on_error=0 exitcode=66 report_signal_unsafe=0"
        with open(self.stdout_path, "wb") as out, open(self.stderr_path, "wb") as err:
            self.proc = subprocess.Popen([*wrapper, binary(tsan), *args], cwd=self.dir, env=env, stdout=out, stderr=err)
        self.returncode = None
        if wait:
            self.wait_ready()

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, content):
        full = self.path(name)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(content.encode() if isinstance(content, str) else content)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def stderr(self):
        return self.read("stderr.txt").decode(errors="replace")

    def stdout(self):
        return self.read("stdout.txt").decode(errors="replace")

    def wait_ready(self, timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.proc.poll() is not None:
                raise AssertionError(f"stavenor ended early ({self.proc.returncode}):\n{self.stderr()}")
            r = subprocess.run(["curl", "-s", "-o", "/dev/null", "--max-time", "2", f"{BASE}/stavenorVersion"])
            if r.returncode == 0:
                return
            time.sleep(0.05)
        raise AssertionError("stavenor did not start listening")

    def wait(self, timeout=30):
        self.returncode = self.proc.wait(timeout)
        return self.returncode

    def stop(self, sig=signal.SIGTERM, timeout=30):
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        return self.wait(timeout)

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def denying(syscall, error):
    """A Server wrapper under which `syscall` fails with the errno named `error` (a seccomp filter)."""
    python = "/usr/bin/python3"
    if subprocess.run([python, "-c", "import seccomp"], capture_output=True).returncode != 0:
        raise unittest.SkipTest("python3-seccomp is not installed (scripts/install-deps installs it)")
    return (python, os.path.join(os.path.dirname(__file__), "..", "tools", "deny_syscall.py"), syscall, error)


def curl(path, *args, timeout=30):
    """Runs curl against the server; returns (http status, body bytes)."""
    r = subprocess.run(["curl", "-s", "--max-time", str(timeout), "-o", "-", "-w", "\n%{http_code}", *args,
                        BASE + path], capture_output=True)
    body, _, code = r.stdout.rpartition(b"\n")
    return int(code or 0), body


def curl_headers(path, *args):
    """Returns (status, headers dict with lower-case names, body)."""
    r = subprocess.run(["curl", "-s", "-D", "-", "--max-time", "30", *args, BASE + path], capture_output=True)
    head, _, body = r.stdout.partition(b"\r\n\r\n")
    lines = head.decode(errors="replace").split("\r\n")
    status = int(lines[0].split()[1]) if lines and lines[0] else 0
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    return status, headers, body
