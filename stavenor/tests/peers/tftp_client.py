"""A byte-exact TFTP client over UDP (RFC 1350, options of RFC 2347-2349), written from the RFCs.

Every packet is built and read here by hand so that a test states the bytes on the wire.
"""
import socket
import struct

RRQ, WRQ, DATA, ACK, ERROR, OACK = 1, 2, 3, 4, 5, 6


def request(opcode, name, mode="octet", options=()):
    """RRQ/WRQ bytes; `options` is a sequence of (name, value) texts."""
    body = name.encode() + b"\0" + mode.encode() + b"\0"
    for key, value in options:
        body += key.encode() + b"\0" + str(value).encode() + b"\0"
    return struct.pack("!H", opcode) + body


def ack(block):
    return struct.pack("!HH", ACK, block & 0xFFFF)


class Stalled(Exception):
    """A fetch that stopped acknowledging; `args[0]` is the bytes acknowledged."""


def decode(packet):
    """(opcode, fields): DATA -> (block, data); ACK -> block; ERROR -> (code, text); OACK -> [(name, value)]."""
    opcode = struct.unpack("!H", packet[:2])[0]
    if opcode == DATA:
        return opcode, (struct.unpack("!H", packet[2:4])[0], packet[4:])
    if opcode == ACK:
        return opcode, struct.unpack("!H", packet[2:4])[0]
    if opcode == ERROR:
        return opcode, (struct.unpack("!H", packet[2:4])[0], packet[4:].rstrip(b"\0").decode(errors="replace"))
    if opcode == OACK:
        parts = packet[2:].split(b"\0")[:-1]
        return opcode, [(parts[i].decode(), parts[i + 1].decode()) for i in range(0, len(parts) - 1, 2)]
    return opcode, packet[2:]


class Client:
    def __init__(self, host="127.0.0.1", port=69):
        self.server = (host, port)
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 0))

    def close(self):
        self.sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def send(self, packet, to=None):
        self.sock.sendto(packet, to or self.server)

    def receive(self, timeout=2.0):
        """(packet bytes, sender) or None when nothing arrives in time."""
        self.sock.settimeout(timeout)
        try:
            return self.sock.recvfrom(65536)
        except socket.timeout:
            return None

    def fetch(self, name="cu_image", options=(), timeout=5.0, stall_at=None):
        """Reads a whole file; returns (bytes, block sizes seen). Raises on ERROR or silence. With
        `stall_at`, the block that would take the file past that many bytes is never acknowledged:
        Stalled is raised with the bytes acknowledged, and the socket stays open for the server's resends."""
        self.send(request(RRQ, name, options=options))
        data, sizes, expected, peer = bytearray(), [], 1, None
        block_size = 512
        while True:
            got = self.receive(timeout)
            if got is None:
                raise TimeoutError(f"no packet for block {expected}")
            packet, sender = got
            if peer is None:
                peer = sender
            opcode, fields = decode(packet)
            if opcode == ERROR:
                raise RuntimeError(f"ERROR {fields}")
            if opcode == OACK:
                block_size = int(dict(fields).get("blksize", 512))
                self.send(ack(0), peer)
                continue
            block, payload = fields
            if block != expected & 0xFFFF:
                continue
            if stall_at is not None and len(data) + len(payload) > stall_at:
                raise Stalled(len(data))
            data += payload
            sizes.append(len(payload))
            self.send(ack(block), peer)
            if len(payload) < block_size:
                return bytes(data), sizes
            expected += 1
