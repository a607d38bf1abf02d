"""A configuration upload on a fleet of simulated units, run several times while the requests of the
updater page go on beside it (the unit list every second, a unit's details when its record changes,
four at a time, and the running jobs' progress, six at a time).

Each run reports its failures, the units that did not reload their configuration, and the longest
time between a unit's frame reaching the server's adapter and the server's acknowledgement of it
leaving, both stamped by the kernel; a frame never acknowledged was lost before the server saw it.
With `loss`, every unit loses that share of the channel frames it receives and sends (seeded) and
resends its own until they are acknowledged.
"""
import http.client
import json
import os
import queue
import shutil
import socket
import struct
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "peers"))

from harness import PORT, Server  # noqa: E402
from netns_pair import UnitNamespace  # noqa: E402
import sim_unit as sim  # noqa: E402

CONF = "# config file\n\n|nodes|\n\t|unit a|\n|system|\n\t|filename| = |cfg|\n\t|name| = |Bus 7|\n"
SO_TIMESTAMPNS = 35
SO_RCVBUFFORCE = 33
PACKET_OUTGOING = 4
ETH_P_ALL = 3
JOB_LIMIT_S = 120


def mac(n):
    return f"02:00:00:00:{n >> 8:02X}:{n & 0xFF:02X}"


class Client(threading.local):
    """One kept-alive connection per thread, as a browser keeps them."""

    def get(self, path, **params):
        target = path + ("?" + urllib.parse.urlencode(params) if params else "")
        for attempt in (1, 2):
            if not hasattr(self, "conn"):
                self.conn = http.client.HTTPConnection("127.0.0.1", PORT, timeout=30)
            try:
                self.conn.request("GET", target)
                reply = self.conn.getresponse()
                return reply.status, reply.read()
            except (OSError, http.client.HTTPException):
                # The server closes a connection left idle: once more on a new one.
                del self.conn
                if attempt == 2:
                    raise

    def json(self, path, **params):
        status, body = self.get(path, **params)
        if status != 200:
            raise RuntimeError(f"{path}: HTTP {status} {body[:200]!r}")
        return json.loads(body)


class Delays:
    """Both directions on the server's adapter with kernel times: a unit frame in, its acknowledgement out."""

    def __init__(self, interface):
        # All protocols: only such a socket sees the frames that leave as well.
        self.sock = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_ALL))
        self.sock.setsockopt(socket.SOL_SOCKET, SO_RCVBUFFORCE, 64 << 20)
        self.sock.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
        self.sock.bind((interface, ETH_P_ALL))
        self.sock.settimeout(0.2)
        self.arrived = {}  # (unit, fid) -> kernel time and type of a unit frame that asks for an acknowledgement
        self.early = {}  # (unit, fid) -> kernel time of an acknowledgement seen before its frame
        self.sent = {}  # (unit, fid) -> kernel time of a server frame, until the unit acknowledges it
        self.unit_worst = 0.0  # the simulated units' own longest time to acknowledge
        self.worst = (0.0, "")
        self.delays = []
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self._loop, daemon=True)
        self.thread.start()

    def _loop(self):
        while not self.stopped.is_set():
            try:
                frame, ancillary, _, address = self.sock.recvmsg(2048, 64)
            except socket.timeout:
                continue
            stamp = None
            for level, kind, data in ancillary:
                if level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS:
                    seconds, nanoseconds = struct.unpack("qq", data[:16])
                    stamp = seconds + nanoseconds / 1e9
            f = sim.parse(frame)
            if f is None or stamp is None or f["ethertype"] != sim.ETHERTYPE or f["dst"] == "FF:FF:FF:FF:FF:FF":
                continue
            outgoing = address[2] == PACKET_OUTGOING
            if outgoing and f["t"] not in (sim.A_O, sim.A_B):
                self.sent[(f["dst"], f["fid"])] = stamp
            elif not outgoing and f["t"] == sim.A_O:
                start = self.sent.pop((f["src"], f["fid"]), None)
                if start is not None:
                    self.unit_worst = max(self.unit_worst, stamp - start)
            elif not outgoing and f["t"] not in (sim.A_O, sim.A_B, sim.INF):
                key = (f["src"], f["fid"])
                if key in self.early:
                    self._acknowledged(f["src"], f["t"], self.early.pop(key) - stamp)
                else:
                    self.arrived[key] = (stamp, f["t"])
            elif outgoing and f["t"] == sim.A_O:
                key = (f["dst"], f["fid"])
                if key in self.arrived:
                    start, kind = self.arrived.pop(key)
                    self._acknowledged(f["dst"], kind, stamp - start)
                else:
                    # The kernel can hand this socket the server's answer before the frame it
                    # answers, when the server's own capture took the frame first.
                    self.early[key] = stamp

    def _acknowledged(self, unit, kind, delay):
        self.delays.append(delay)
        if delay > self.worst[0]:
            self.worst = (delay, f"{unit}, frame type {kind}")

    def take(self, settle=2.0):
        """The delays since the last call, the longest, and the frames that got no acknowledgement.
        A job can end before this thread has read the acknowledgement of its last frame: the frames
        waiting now get `settle` seconds (those that come meanwhile, the units' answers to the page's
        next questions, belong to no job)."""
        waiting = set(self.arrived)
        deadline = time.time() + settle
        while waiting & self.arrived.keys() and time.time() < deadline:
            time.sleep(0.05)
        left = {key: value for key, value in list(self.arrived.items()) if key in waiting}
        unanswered = [f"{unit} frame {fid} type {kind}" for (unit, fid), (_, kind) in sorted(left.items())]
        delays, worst, units = self.delays, self.worst, self.unit_worst
        self.delays, self.worst, self.arrived, self.early, self.sent, self.unit_worst = [], (0.0, ""), {}, {}, {}, 0.0
        return delays, worst, unanswered, units

    def close(self):
        self.stopped.set()
        self.thread.join(2)
        self.sock.close()


class Page:
    """The updater page's own requests while jobs run."""

    def __init__(self):
        self.client = Client()
        self.running = set()
        self.ended = {}
        self.lock = threading.Lock()
        self.details = queue.Queue()
        self.seen = {}
        self.stopped = threading.Event()
        self.threads = [threading.Thread(target=self._list, daemon=True)]
        self.threads += [threading.Thread(target=self._detail, daemon=True) for _ in range(4)]
        self.threads += [threading.Thread(target=self._progress, args=(n,), daemon=True) for n in range(6)]
        for t in self.threads:
            t.start()

    def _list(self):
        while not self.stopped.is_set():
            try:
                for record in self.client.json("/updater/breltList.json")["breltList"]:
                    said = json.dumps(record, sort_keys=True)
                    if self.seen.get(record["macAddress"]) != said:
                        self.seen[record["macAddress"]] = said
                        self.details.put(record["macAddress"])
            except (OSError, RuntimeError, http.client.HTTPException, ValueError):
                pass
            self.stopped.wait(1.0)

    def _detail(self):
        while not self.stopped.is_set():
            try:
                unit = self.details.get(timeout=0.2)
            except queue.Empty:
                continue
            try:
                self.client.get("/updater/brelt.json", macAddress=unit)
            except (OSError, http.client.HTTPException):
                pass

    def _progress(self, n):
        while not self.stopped.is_set():
            with self.lock:
                mine = sorted(self.running)[n::6]
            for unit in mine:
                try:
                    reply = self.client.json("/updater/breltProgress.json", macAddress=unit)
                except (OSError, RuntimeError, http.client.HTTPException, ValueError):
                    continue
                if reply.get("status") != "progress":
                    with self.lock:
                        self.running.discard(unit)
                        self.ended[unit] = reply
            self.stopped.wait(0.5)

    def run_job(self, units, **params):
        with self.lock:
            self.ended = {}
        accepted = self.client.json("/updater/action.json", macAddress=",".join(units), **params)["statusList"]
        refused = {r["macAddress"]: r for r in accepted if r["status"] != "commandAccepted"}
        with self.lock:
            self.running = set(units) - set(refused)
        deadline = time.time() + JOB_LIMIT_S
        while time.time() < deadline:
            with self.lock:
                if not self.running:
                    break
            time.sleep(0.2)
        with self.lock:
            ended, left = dict(self.ended), set(self.running)
            self.running = set()
        return refused, ended, left

    def close(self):
        self.stopped.set()
        for t in self.threads:
            t.join(2)


def wait_until(predicate, timeout):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if predicate():
            return True
        time.sleep(0.2)
    return False


class RunResult:
    def __init__(self, seconds, refused, ended, left, delays, not_reloaded=(), lost=0):
        self.seconds = seconds
        self.refused = refused
        self.failures = {u: r for u, r in ended.items() if r.get("status") != "success"}
        self.left = left
        self.delays, self.worst, self.unanswered, self.units_worst = delays
        self.delays.sort()
        self.not_reloaded = list(not_reloaded)
        self.lost = lost

    def ok(self):
        return not (self.refused or self.failures or self.left or self.unanswered or self.not_reloaded)

    def __str__(self):
        median = self.delays[len(self.delays) // 2] if self.delays else 0.0
        lines = [f"{self.seconds:.1f} s, {len(self.refused)} refused, {len(self.failures)} failed, {len(self.left)}"
                 f" unfinished, {len(self.not_reloaded)} not reloaded, {self.lost} frames lost;"
                 f" {len(self.delays)} unit frames acknowledged ({len(self.unanswered)} never), median"
                 f" {1000 * median:.1f} ms, longest {1000 * self.worst[0]:.1f} ms ({self.worst[1]}); the simulated"
                 f" units' longest acknowledgement {1000 * self.units_worst:.0f} ms"]
        lines += [f"    {unit}: {reply}" for unit, reply in list(self.failures.items())[:5] + list(self.refused.items())[:5]]
        lines += [f"    never acknowledged: {frame}" for frame in self.unanswered[:5]]
        return "\n".join(lines)


def fleet_runs(count, runs, log_mask="0", loss=0.0, seed=1):
    """Yields a RunResult for each configuration upload on `count` simulated units."""
    units = [sim.Unit(mac(n + 1), 6) for n in range(count)]
    if loss:
        for unit in units:
            unit.lossy(loss, seed)
    macs = [u.mac for u in units]
    with UnitNamespace() as ns:
        delays = Delays(ns.server_if)
        units_socket = ns.packet_socket()
        # A fleet has an adapter per unit; the simulated one shares one queue that must not overflow.
        units_socket.setsockopt(socket.SOL_SOCKET, SO_RCVBUFFORCE, 32 << 20)
        simulator = sim.Simulator(units_socket, units)
        try:
            with Server(args=("-l", log_mask)) as server:
                server.write("tmp/fleet.conf", CONF)
                page = Page()
                try:
                    client = Client()
                    listed = lambda: len(client.json("/updater/breltList.json")["breltList"]) >= count  # noqa: E731
                    if not wait_until(listed, 60):
                        raise AssertionError(f"not all {count} units were listed")
                    delays.take()
                    for number in range(1, runs + 1):
                        start = time.time()
                        refused, ended, left = page.run_job(macs, type="configurationUpload", fileName="fleet.conf",
                                                            updaterPath="")
                        seconds = time.time() - start
                        not_reloaded = [u.mac for u in units if u.answered.get(sim.RLD, 0) != number]
                        lost = sum(sum(u.lost.values()) for u in units)
                        yield RunResult(seconds, refused, ended, left, delays.take(), not_reloaded, lost)
                        # Every unit released and announced again before the next run.
                        wait_until(lambda: all(r["status"] == "up" for r in
                                               client.json("/updater/breltList.json")["breltList"]), 30)
                finally:
                    page.close()
                    kept = os.environ.get("KEEP_LOG")
                    if kept:
                        shutil.copy(server.path("stderr.txt"), kept)
        finally:
            simulator.close()
            delays.close()
