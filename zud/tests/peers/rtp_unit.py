#!/usr/bin/env python3
"""The RTP side of a simulated central unit, written from the protocol's description alone.

listen: receives the console's RTP datagrams for a while, logs each one (size, header, source,
payload) as a JSON line and prints a summary, the payload decoded with audioop.
send: streams RTP datagrams to the console, one every 20 ms: a tone, the same with the marker set
or payload type 8, or datagrams too short or too long.
"""
import argparse
import warnings
warnings.filterwarnings("ignore", category=DeprecationWarning)
import audioop  # noqa: E402 (after the filter: deprecated in 3.11)
import json
import math
import socket
import struct
import sys
import time

FRAME = 160  # 20 ms of µ-law at 8000 Hz


def address(text):
    host, port = text.rsplit(":", 1)
    return host, int(port)


def frequency_of(pcm, rate):
    """Rising crossings of a quarter of the peak, counted from the first to the last."""
    samples = struct.unpack("<%dh" % (len(pcm) // 2), pcm)
    if not samples:
        return 0.0, 0
    peak = max(abs(s) for s in samples)
    level = peak // 4
    first = last = None
    crossings = 0
    below = True
    for i, s in enumerate(samples):
        if below and s > level:
            if first is None:
                first = i
            else:
                crossings += 1
            last = i
            below = False
        elif s < -level:
            below = True
    if not crossings:
        return 0.0, peak
    return crossings * rate / (last - first), peak


def listen(args):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(address(args.bind))
    sock.settimeout(0.05)
    # Arrival times as the kernel stamped them: under load this process may read datagrams late.
    sock.setsockopt(socket.SOL_SOCKET, getattr(socket, "SO_TIMESTAMPNS", 35), 1)  # 35 on Linux
    records = []
    begin = time.time()
    with open(args.log, "w") as log:
        while time.time() - begin < args.seconds:
            try:
                data, ancillary, _, source = sock.recvmsg(65536, socket.CMSG_SPACE(16))
            except socket.timeout:
                continue
            seconds, nanoseconds = struct.unpack("qq", ancillary[0][2][:16])
            arrived = seconds + nanoseconds / 1e9 - begin
            if arrived >= args.seconds:
                break
            record = {"t": arrived, "size": len(data), "header": data[:12].hex(),
                      "source": source[0], "port": source[1], "payload": data[12:].hex()}
            log.write(json.dumps(record) + "\n")
            records.append(record)
    payload = b"".join(bytes.fromhex(r["payload"]) for r in records)
    frequency, peak = frequency_of(audioop.ulaw2lin(payload, 2), 8000)
    print(json.dumps({
        "count": len(records),
        "sizes": sorted({r["size"] for r in records}),
        "headers": sorted({r["header"] for r in records}),
        "ports": sorted({r["port"] for r in records}),
        "sources": sorted({r["source"] for r in records}),
        # Over the whole window rather than between the first and last datagram: a sender that the
        # machine held back hands its buffered audio over in one burst, which would pass for speed
        # in a short span; against the window it is one buffer's worth, small against seconds.
        "rate": len(records) / args.seconds,
        "silent": all(b == 0xFF for b in payload),
        "frequency": frequency,
        "peak": peak,
    }))


def send(args):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((args.source, 0))
    target = address(args.to)
    byte1 = {"tone": 0x00, "marker": 0x80, "pt8": 0x08, "short": 0x00, "oversized": 0x00}[args.kind]
    phase = 0
    begin = time.monotonic()
    for n in range(args.count):
        pcm = b"".join(struct.pack("<h", int(round(args.peak * math.sin(2 * math.pi * args.frequency * (phase + i) / 8000))))
                       for i in range(FRAME))
        phase += FRAME
        header = bytes([0x80, byte1]) + struct.pack(">HII", n & 0xFFFF, n * FRAME, 0x1234)
        datagram = header + audioop.lin2ulaw(pcm, 2)
        if args.kind == "short":
            datagram = datagram[:5]
        elif args.kind == "oversized":
            datagram = header + b"\x7f" * 5000
        sock.sendto(datagram, target)
        delay = begin + (n + 1) * 0.02 - time.monotonic()
        if delay > 0:
            time.sleep(delay)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("listen")
    p.add_argument("--bind", required=True, help="address:port of the unit's RTP port")
    p.add_argument("--seconds", type=float, default=2.0)
    p.add_argument("--log", default="/dev/null")
    p = sub.add_parser("send")
    p.add_argument("--source", required=True, help="address the datagrams come from")
    p.add_argument("--to", required=True, help="address:port of the console's RTP port")
    p.add_argument("--kind", default="tone", choices=["tone", "marker", "pt8", "short", "oversized"])
    p.add_argument("--count", type=int, default=100)
    p.add_argument("--frequency", type=float, default=1000.0)
    p.add_argument("--peak", type=float, default=8000.0)
    args = parser.parse_args()
    listen(args) if args.command == "listen" else send(args)


if __name__ == "__main__":
    sys.exit(main())
