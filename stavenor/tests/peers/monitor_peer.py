"""A monitor peer for the monitor channel, on TCP port 22340 or behind a pseudo-terminal.

Written from the message description alone: "<" name, then "," base64 (standard alphabet, no
padding) "=" per argument, then "," and the CRC-32 of the text behind "<" and the kind character
up to the last "=", as 8 lower-case hex digits, and ">". Files travel zlib-compressed as "!file"
messages (index, count, up to 1024 bytes; part 0 adds the size and the name), each answered "*file".
"""
import base64
import os
import pty
import select
import socket
import threading
import tty
import zlib

PORT = 22340


def b64(data):
    return base64.b64encode(data).rstrip(b"=")


def encode(name, args=()):
    body = name.encode()
    for arg in args:
        body += b"," + b64(arg) + b"="
    return b"<" + body + b"," + b"%08x" % zlib.crc32(body[1:]) + b">"


def decode(text):
    """(name, args) of a whole message text; raises ValueError on a bad CRC or form."""
    inner = text[1:-1]
    body, _, crc = inner.rpartition(b",")
    if int(crc, 16) != zlib.crc32(body[1:]):
        raise ValueError("crc")
    fields = body.split(b",")
    args = []
    for field in fields[1:]:
        assert field.endswith(b"=")
        raw = field[:-1]
        args.append(base64.b64decode(raw + b"=" * (-len(raw) % 4)))
    return fields[0].decode(), args


class Peer:
    """Reads in a thread; answers file parts; keeps what arrived. `read`/`write` move raw bytes."""

    def __init__(self, read, write):
        self._read, self._write = read, write
        self.texts, self.messages, self.files, self.crc_errors = [], [], {}, 0
        self.changed = threading.Condition()
        self._answers = threading.Semaphore(0)
        self._parts = {}
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def send_raw(self, data):
        self._write(data)

    def send(self, name, args=()):
        self._write(encode(name, args))

    def send_file(self, name, data, timeout=20):
        packed = zlib.compress(data, 9)
        parts = [packed[i:i + 1024] for i in range(0, len(packed), 1024)]
        for i, part in enumerate(parts):
            args = [str(i).encode(), str(len(parts)).encode(), part]
            if i == 0:
                args += [str(len(data)).encode(), name.encode()]
            self.send("!file", args)
            if not self._answers.acquire(timeout=timeout):
                raise TimeoutError(f"no answer to part {i}")

    def wait(self, predicate, timeout=20):
        with self.changed:
            return self.changed.wait_for(predicate, timeout)

    def _run(self):
        pending = None  # the message being collected, from its "<"
        while True:
            try:
                chunk = self._read()
            except OSError:
                chunk = b""
            if not chunk:
                with self.changed:
                    self.changed.notify_all()
                return
            at = 0
            while at < len(chunk):
                start, end = chunk.find(b"<", at), chunk.find(b">", at)
                if start != -1 and (end == -1 or start < end):
                    pending, at = bytearray(), start  # "<" drops a partial message
                    pending += b"<"
                    at += 1
                elif pending is not None and end != -1:
                    pending += chunk[at:end + 1]
                    self._handle(bytes(pending))
                    pending, at = None, end + 1
                else:
                    if pending is not None:
                        pending += chunk[at:]
                    break

    def _handle(self, text):
        with self.changed:
            self.texts.append(text)
            try:
                name, args = decode(text)
            except ValueError:
                self.crc_errors += 1
                self.changed.notify_all()
                return
            if name == "!file":
                index, count = int(args[0]), int(args[1])
                if index == 0:
                    self._parts = {"size": int(args[3]), "name": args[4].decode(), "count": count, "data": {}}
                self._parts["data"][index] = args[2]
                self._write(encode("*file"))
                if len(self._parts["data"]) == count:
                    packed = b"".join(self._parts["data"][i] for i in range(count))
                    data = zlib.decompress(packed)
                    assert len(data) == self._parts["size"]
                    self.files[self._parts["name"]] = data
            elif name == "*file":
                self._answers.release()
            else:
                self.messages.append((name, args))
            self.changed.notify_all()


def tcp_peer(host="127.0.0.1", port=PORT):
    """Listens; returns (listening socket, function that accepts one channel and gives its Peer)."""
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((host, port))
    server.listen(1)

    def accept(timeout=10):
        server.settimeout(timeout)
        conn, _ = server.accept()
        conn.settimeout(None)
        return Peer(lambda: conn.recv(65536), conn.sendall), conn
    return server, accept


def pty_peer():
    """(Peer on the master side, slave path, hang-up function). The peer holds the slave open too,
    so the line stays up until the hang-up closes both ends."""
    master, slave = pty.openpty()
    tty.setraw(slave)
    path = os.ttyname(slave)
    stop = threading.Event()

    def read():
        # A read blocked in the kernel would keep the master open after close(): poll instead.
        while not stop.is_set():
            if select.select([master], [], [], 0.1)[0]:
                return os.read(master, 65536)
        return b""

    def write(data):
        view = memoryview(data)
        while view:
            view = view[os.write(master, view):]

    peer = Peer(read, write)

    def hang_up():
        stop.set()
        peer._thread.join(5)
        os.close(master)
        os.close(slave)
    return peer, path, hang_up
