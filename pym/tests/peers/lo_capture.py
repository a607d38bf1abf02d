"""Captures what clients send to a TCP port on the loopback interface, as the bytes of each
connection in order. Needs root (a packet socket) and is meant for a network namespace of the
test's own. Written from the IPv4 and TCP header layouts, independently of pym."""
import re
import socket
import struct
import threading

ETH_P_ALL = 0x0003
PACKET_HOST = 0


class LoopbackCapture:
    def __init__(self, port):
        self.port = port
        self.segments = {}  # client port -> {sequence number: payload}
        self.lock = threading.Lock()
        self.sock = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_ALL))
        self.sock.bind(("lo", 0))
        self.sock.settimeout(0.2)
        self.running = True
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        while self.running:
            try:
                frame, address = self.sock.recvfrom(65536)
            except socket.timeout:
                continue
            # Loopback shows each packet twice, leaving and arriving: keep the arrivals.
            if address[2] != PACKET_HOST:
                continue
            self._take(frame[14:])

    def _take(self, packet):
        if len(packet) < 20 or packet[0] >> 4 != 4 or packet[9] != socket.IPPROTO_TCP:
            return
        header = (packet[0] & 0x0F) * 4
        total = struct.unpack("!H", packet[2:4])[0]
        tcp = packet[header:total]
        if len(tcp) < 20:
            return
        source, destination, sequence = struct.unpack("!HHI", tcp[:8])
        payload = tcp[(tcp[12] >> 4) * 4:]
        if destination != self.port or not payload:
            return
        with self.lock:
            self.segments.setdefault(source, {})[sequence] = payload

    def streams(self):
        """The bytes that each client connection sent so far."""
        with self.lock:
            return [b"".join(p for _, p in sorted(segments.items())) for segments in self.segments.values()]

    def requests(self):
        """Every HTTP request sent so far, head and body, in one list (order of connections)."""
        found = []
        for stream in self.streams():
            # Requests follow one another on a kept-alive connection, each beginning a line.
            starts = [m.start(1) for m in re.finditer(rb"(?:^|\n)((?:GET|POST) )", stream)]
            found += [stream[a:b] for a, b in zip(starts, starts[1:] + [len(stream)])]
        return found

    def stop(self):
        self.running = False
        self.thread.join()
        self.sock.close()
