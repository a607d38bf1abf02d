"""Benchmarks of the unit links against simulated units (see run)."""
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "stavenor", "tests", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "stavenor", "tests", "peers"))

from harness import Server, curl  # noqa: E402
from netns_pair import UnitNamespace  # noqa: E402
import sim_unit as sim  # noqa: E402

SECONDS = float(os.environ.get("SECONDS_PER_RUN", "30"))
TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def mac(n):
    return f"02:00:00:00:{n >> 8:02X}:{n & 0xFF:02X}"


def listed():
    status, body = curl("/updater/breltList.json")
    return body.count(b'"macAddress"') if status == 200 else -1


def announcing(count):
    with UnitNamespace() as ns:
        simulator = sim.Simulator(ns.packet_socket(), [sim.Unit(mac(n + 1), 7) for n in range(count)])
        try:
            with Server(args=("-l", "0")) as server:
                deadline = time.time() + 20
                while listed() < count and time.time() < deadline:
                    time.sleep(0.2)
                start, before = time.time(), cpu_seconds(server.proc.pid)
                time.sleep(SECONDS)
                used = cpu_seconds(server.proc.pid) - before
                elapsed = time.time() - start
                print(f"units {count:4d}: listed {listed():4d}, server CPU {used:.2f} s in {elapsed:.1f} s"
                      f" = {100 * used / elapsed:.2f} % of one core", flush=True)
        finally:
            simulator.close()


def upload_against_ping_pong():
    size = 16 * 1024 * 1024
    with UnitNamespace() as ns, tempfile.TemporaryDirectory() as work:
        unit = sim.Unit(mac(1), 7)
        simulator = sim.Simulator(ns.packet_socket(), [unit])
        try:
            path = os.path.join(work, "big.bin")
            with open(path, "wb") as f:
                f.write(os.urandom(size))
            start = time.time()
            r = subprocess.run([os.environ["JOB_DRIVER"], "-w", "20", unit.mac, f"send={path}"], capture_output=True,
                               text=True, timeout=900)
            assert "done" in r.stdout, r.stdout + r.stderr
            first = [e["time"] for e in simulator.frames("in", t=sim.FIL)]
            upload_seconds = first[-1] - first[0]
            parts = len(first) - 1
            assert unit.files["/tmp/big.bin"] == open(path, "rb").read()
            print(f"upload: {parts} parts of 1024 bytes in {upload_seconds:.2f} s = {parts / upload_seconds:.0f} parts/s"
                  f" (job {time.time() - start:.1f} s with discovery)", flush=True)

            # The same simulator acknowledging bare frames of the same size, sent as fast as acknowledged.
            import socket
            server = ns.server_mac()
            raw = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(0x08F0))
            raw.bind((ns.server_if, 0x08F0))
            raw.settimeout(2)
            rounds = 4000
            t0 = time.time()
            for fid in range(rounds):
                body = sim.build_body(sim.FIL, bytes(1024), v=5, fid=fid, part_count=2, part_number=1)
                raw.send(sim.mac_bytes(unit.mac) + sim.mac_bytes(server) + b"\x08\xf0" + body)
                while True:
                    reply = raw.recv(2048)
                    if reply[15] == sim.A_O and int.from_bytes(reply[22:26], "little") == fid:
                        break
            ping = rounds / (time.time() - t0)
            print(f"ping-pong: {rounds} frames of 1056 bytes acknowledged at {ping:.0f} frames/s", flush=True)
            print(f"ratio upload / ping-pong: {parts / upload_seconds / ping:.2f} (goal at least 0.5)", flush=True)
        finally:
            simulator.close()


if __name__ == "__main__":
    for count in (0, 50, 250):
        announcing(count)
    upload_against_ping_pong()
