#!/usr/bin/env python3
"""A simulated central unit: the console's peer for the unit's TCP text protocol.

Written from the protocol's description, independently of the console's code: a message is a
sequence of tokens, each ended by a NUL byte, and one more NUL ends the message. Commands are
answered one at a time with "ok" or "error" messages; "status" messages are sent unasked.

usage: central_unit.py [--address 127.0.0.2] [--port 22349] [--password TEXT] [--log FILE]
                       [--control PATH] [--alive SECONDS] [--reply-delay MS] [--split BYTES]
                       [--glue] [--refuse] [--close-on-accept] [--model FILE]

  --address, --port  where to listen (default 127.0.0.2:22349)
  --password TEXT    the password the login must carry (default: empty, any password is taken)
  --log FILE         every message received, one JSON object a line:
                       {"t": seconds, "conn": n, "tokens": [...], "early": bool}
                     "early" is true when the message came while a reply was still owed;
                     after an "ok" to "ptt on"/"ptt off" or "broadcast start"/"broadcast end"
                     what the connection has on air: {"t", "conn", "on air": ["broadcast", "ptt"]};
                     connections are logged as {"t": .., "conn": n, "event": "open" | "close"}
  --control PATH     a Unix stream socket taking one JSON object a line, answered "ok\\n" or
                     "error <why>\\n" (see CONTROL below)
  --alive SECONDS    send ["status", "alive"] this often on every connection (0: never; default 1)
  --reply-delay MS   wait this long before each reply (default 10)
  --split BYTES      cut every write into pieces of this many bytes, sent apart (0: whole writes)
  --glue             write each reply glued between two alive reports, in one write
  --refuse           do not listen: connections are refused
  --close-on-accept  accept connections and close them at once
  --model FILE       a JSON model of the unit's resources (see MODEL below)
Prints "ready" on its standard output once it listens (or, with --refuse, once it has started).

CONTROL, one JSON object a line:
  {"do": "alive", "interval": S}      alive reports every S seconds (0: off)
  {"do": "close"}                     close every open connection
  {"do": "listen", "on": BOOL}        accept connections, or refuse them
  {"do": "close-on-accept", "on": BOOL}
  {"do": "send", "tokens": [...]}     send one message on every open connection
  {"do": "flood", "messages": [[...], ...], "rate": N}
                                      send these messages on every open connection, N a second,
                                      each in a write of its own; N 0: over and over, as fast as
                                      each connection takes them, until the next "flood", which
                                      follows once the round under way is out; each round is
                                      logged as {"t", "conn", "flood round": n} when it starts
  {"do": "raw", "hex": "..."}         send these bytes on every open connection
  {"do": "split", "bytes": N}         as --split
  {"do": "glue", "on": BOOL}          as --glue
  {"do": "hold", "on": BOOL}          keep replies back while on; switching it off sends them
  {"do": "delay", "prefix": "ptt", "ms": 300 | null}
                                      wait this long before replying to commands whose tokens,
                                      joined by blanks, start with the prefix (null: the usual
                                      delay); replies still go out in the order of the commands
  {"do": "script", "prefix": "list users", "reply": [...] | null}
                                      answer commands whose tokens, joined by blanks, start with
                                      the prefix with this reply (null removes the script)
  {"do": "password", "text": "..."}   the password the next logins must carry
  {"do": "ktx", "radio": R, ...}      a "ktx" report of radio R on every open connection (RADIO SERVER)
  {"do": "ktx-start", "ids": "..." | null, "window": {...} | null}
                                      what the radio server answers to "start" (RADIO SERVER)

MODEL (JSON object; every key optional):
  "rtp port": 4000,
  "system": ["name", "date", "software version", "software date", "hardware version (hex)"],
  "radio silence": "off",
  "users": [{"kind": "user" | "radio" | "field phone" | "pabx" | "speaker" | "overlord",
             "name": "...", "status": "free" | "busy",
             "connections": [["kind", "name"], ...],   (answers "info user")
             "gain": -3, "rebroadcast": ["radio", ...]}, ...],   (radios: "gain get", "info rebroadcast")
  "conferences": [{"locality": "local" | "remote", "name": "...", "status": "free" | "busy",
                   "participants": ["...", ...]}, ...],
  "endpoints": ["name", ...],
  "routes": [["a", "b", "1" (established) | "0"], ...],
  "monitors": {"listener": [["source", "mode", "gain"], ...], ...}
Unknown users and conferences are answered "error" "no such user" / "no such conference".
Commands the model does not know are answered ["ok"].

RADIO SERVER: the handset display of a radio is reached with ["ktx", <radio>, <text>]; these are
not answered. On "start" the server sends the id text "KTX:200:<radio>:300" (marker 59) and a
main-menu window (marker 62), each as ["status", "radio", <radio>, "ktx", <marker>, <length>,
<base64>], unless "ktx-start" said otherwise (null: send nothing). Every "data|<n>|<base64>" key
record is decoded and logged as {"t", "conn", "ktx": radio, "key": {"n", "chars", "kind", "user",
"radio", "length", "zeros", "text"}} ("zeros": bytes 8 to 31 are all 0; "text": latin-1).
A "ktx" control line sends one report:
  {"marker": 59, "text": "..."}                      an id text
  {"marker": 62, "kind": 512, "type": T, "payload": "...", "nul": true}
                                                     a record (kind 513: no type); "nul": false
                                                     leaves the payload's NUL out
  {"marker": M, "length": N, "data": "..."}         the base64 text and length as given
Records are little-endian: kind at 0, window type at 10, the payload from 32.
"""

import argparse
import base64
import json
import struct
import os
import selectors
import socket
import sys
import time

START = time.monotonic()


def encode(tokens):
    return b"".join(t.encode("latin-1") + b"\0" for t in tokens) + b"\0"


class Decoder:
    """Cuts a byte stream into token lists."""

    def __init__(self):
        self.pending = b""
        self.tokens = []

    def feed(self, data):
        self.pending += data
        messages = []
        while b"\0" in self.pending:
            token, self.pending = self.pending.split(b"\0", 1)
            if token:
                self.tokens.append(token.decode("latin-1"))
            else:
                messages.append(self.tokens)
                self.tokens = []
        return messages


class Model:
    """What the unit knows of itself; answers the commands it can."""

    def __init__(self, data):
        self.data = data
        # By name, first of a name winning: a unit of thousands is asked about each of them.
        self.users = {}
        for u in reversed(data.get("users", [])):
            self.users[u["name"]] = u
        self.conferences = {}
        for c in reversed(data.get("conferences", [])):
            self.conferences[c["name"]] = c

    def user(self, name):
        return self.users.get(name)

    def conference(self, name):
        return self.conferences.get(name)

    def reply(self, tokens, password):
        cmd = tokens[0] if tokens else ""
        args = tokens[1:]
        if cmd == "login":
            if password and (len(tokens) < 4 or tokens[3] != password):
                return ["error", "wrong password"]
            system = self.data.get("system", ["Simulated unit", "2026-01-01", "1.0", "2026-01-01", "10002"])
            return ["ok", str(self.data.get("rtp port", 4000))] + list(system)
        if cmd == "list" and args:
            if args[0] == "users":
                return ["ok"] + [t for u in self.data.get("users", []) for t in (u["kind"], u["name"], u["status"])]
            if args[0] == "conferences":
                return ["ok"] + [t for c in self.data.get("conferences", [])
                                 for t in (c["locality"], c["name"], c["status"])]
            if args[0] == "routes":
                return ["ok"] + [t for r in self.data.get("routes", []) for t in r]
            if args[0] == "endpoints":
                return ["ok"] + list(self.data.get("endpoints", []))
            return ["error", "unknown list argument"]
        if cmd == "info" and args:
            what, name = args[0], args[1] if len(args) > 1 else ""
            if what == "radio silence":
                return ["ok", "radio silence", self.data.get("radio silence", "off")]
            if what == "user":
                u = self.user(name)
                if not u:
                    return ["error", "no such user"]
                return ["ok", "user", name, u["status"]] + [t for pair in u.get("connections", []) for t in pair]
            if what == "conference":
                c = self.conference(name)
                return ["ok"] + c.get("participants", []) if c else ["error", "no such conference"]
            if what == "rebroadcast":
                u = self.user(name)
                return ["ok"] + (u.get("rebroadcast", []) if u else [])
            if what == "monitors":
                return ["ok"] + [t for m in self.data.get("monitors", {}).get(name, []) for t in m]
        if cmd == "gain" and args[:1] == ["get"]:
            u = self.user(args[1]) if len(args) > 1 else None
            return ["ok", str(u.get("gain", 0) if u else self.data.get("output gain", 0))]
        return ["ok"]


def ktx_record(kind, window_type, payload, nul=True):
    header = bytearray(32)
    header[0:2] = struct.pack("<H", kind)
    if kind == 512:
        header[10] = window_type
    return bytes(header) + payload.encode("latin-1") + (b"\0" if nul else b"")


def ktx_report(radio, marker, data, length=None):
    text = base64.b64encode(data).decode() if isinstance(data, bytes) else data
    return ["status", "radio", radio, "ktx", str(marker), str(len(text) if length is None else length), text]


def ktx_key(text):
    """A "data|n|base64" key record as logged; None when it is no such text."""
    parts = text.split("|", 2)
    if len(parts) != 3 or parts[0] != "data":
        return None
    try:
        raw = base64.b64decode(parts[2], validate=True)
    except ValueError:
        return {"n": parts[1], "chars": len(parts[2]), "error": "no base64"}
    if len(raw) < 32:
        return {"n": parts[1], "chars": len(parts[2]), "error": "short record", "bytes": raw.hex()}
    kind, user, radio, length = struct.unpack("<HHHH", raw[:8])
    return {"n": int(parts[1]), "chars": len(parts[2]), "kind": kind, "user": user, "radio": radio,
            "length": length, "zeros": raw[8:32] == bytes(24), "text": raw[32:].decode("latin-1"),
            "size": len(raw)}


class Connection:
    def __init__(self, unit, sock, number):
        self.unit = unit
        self.sock = sock
        self.number = number
        self.decoder = Decoder()
        self.owed = 0  # replies not yet sent
        self.last_due = 0.0  # replies keep the order of the commands
        self.on_air = set()
        self.out = b""  # bytes not yet taken by the socket; later writes queue behind them
        self.rounds = 0  # rounds of an unpaced flood started


class CentralUnit:
    def __init__(self, args):
        self.args = args
        self.sel = selectors.DefaultSelector()
        self.model = Model(json.load(open(args.model)) if args.model else {})
        self.password = args.password
        self.alive_interval = args.alive
        self.next_alive = time.monotonic() + self.alive_interval
        self.split = args.split
        self.glue = args.glue
        self.hold = False
        self.close_on_accept = args.close_on_accept
        self.scripts = {}
        self.delays = {}
        self.connections = []
        self.count = 0
        self.timers = []  # (due, connection, reply)
        self.flood = []  # encoded messages; the first flood_sent of them are out
        self.flood_start = 0.0
        self.flood_rate = 1.0
        self.flood_sent = 0
        self.unpaced = b""  # one round of an unpaced flood, encoded
        self.held = []
        self.listener = None
        self.ktx_ids = "KTX:200:{radio}:300"
        self.ktx_window = {"type": 1, "payload": "o:b1i=1;b1s=1;b2s=1;b3s=1;b4s=1|c:Main menu\nCall\nScan\nExit"}
        self.log = open(args.log, "a", buffering=1) if args.log else None
        if not args.refuse:
            self.set_listening(True)
        if args.control:
            if os.path.exists(args.control):
                os.unlink(args.control)
            ctl = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            ctl.bind(args.control)
            ctl.listen()
            self.sel.register(ctl, selectors.EVENT_READ, ("control-listener", None))

    def record(self, **entry):
        if self.log:
            entry["t"] = round(time.monotonic() - START, 3)
            self.log.write(json.dumps(entry) + "\n")

    def set_listening(self, on):
        if on and not self.listener:
            self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            self.listener.bind((self.args.address, self.args.port))
            self.listener.listen()
            self.sel.register(self.listener, selectors.EVENT_READ, ("listener", None))
        elif not on and self.listener:
            self.sel.unregister(self.listener)
            self.listener.close()
            self.listener = None

    def write(self, conn, data):
        if conn.out:
            conn.out += data
            return
        try:
            if self.split:
                for i in range(0, len(data), self.split):
                    conn.sock.sendall(data[i:i + self.split])
                    time.sleep(0.005)
            else:
                conn.sock.sendall(data)
        except OSError:
            self.drop(conn)

    def drop(self, conn):
        if conn in self.connections:
            self.connections.remove(conn)
            self.sel.unregister(conn.sock)
            conn.sock.close()
            self.record(conn=conn.number, event="close")

    @staticmethod
    def by_prefix(table, tokens, default):
        text = " ".join(tokens)
        for prefix in sorted(table, key=len, reverse=True):
            if text.startswith(prefix):
                return table[prefix]
        return default

    def reply_for(self, tokens):
        scripted = self.by_prefix(self.scripts, tokens, None)
        return scripted if scripted is not None else self.model.reply(tokens, self.password)

    TALKS = {("ptt", "on"): ("ptt", True), ("ptt", "off"): ("ptt", False),
             ("broadcast", "start"): ("broadcast", True), ("broadcast", "end"): ("broadcast", False)}

    def go_on_air(self, conn, tokens, reply):
        talk = self.TALKS.get(tuple(tokens))
        if talk is None or reply[:1] != ["ok"]:
            return
        what, on = talk
        if on:
            conn.on_air.add(what)
        else:
            conn.on_air.discard(what)
        self.record(conn=conn.number, **{"on air": sorted(conn.on_air)})

    def on_message(self, conn, tokens):
        self.record(conn=conn.number, tokens=tokens, early=conn.owed > 0)
        if tokens[:1] == ["ktx"]:
            self.on_ktx(conn, tokens)
            return  # the radio server's texts are not answered
        conn.owed += 1
        delay = self.by_prefix(self.delays, tokens, self.args.reply_delay)
        conn.last_due = max(conn.last_due, time.monotonic() + delay / 1000.0)
        reply = self.reply_for(tokens)
        self.go_on_air(conn, tokens, reply)
        self.timers.append((conn.last_due, conn, reply))

    def on_ktx(self, conn, tokens):
        radio, text = (tokens + ["", ""])[1:3]
        if text == "start":
            if self.ktx_ids is not None:
                self.write(conn, encode(ktx_report(radio, 59, self.ktx_ids.format(radio=radio).encode("latin-1"))))
            if self.ktx_window is not None:
                record = ktx_record(512, self.ktx_window["type"], self.ktx_window["payload"])
                self.write(conn, encode(ktx_report(radio, 62, record)))
            return
        key = ktx_key(text)
        if key is not None:
            self.record(conn=conn.number, ktx=radio, key=key)

    def send_ktx(self, cmd):
        radio, marker = cmd["radio"], int(cmd["marker"])
        if "data" in cmd:
            report = ktx_report(radio, marker, cmd["data"], cmd.get("length"))
        elif "text" in cmd:
            report = ktx_report(radio, marker, cmd["text"].encode("latin-1"))
        else:
            record = ktx_record(int(cmd["kind"]), int(cmd.get("type", 0)), cmd.get("payload", ""),
                                cmd.get("nul", True))
            report = ktx_report(radio, marker, record)
        for conn in list(self.connections):
            self.write(conn, encode(report))

    def send_reply(self, conn, reply):
        if conn not in self.connections:
            return
        data = encode(reply)
        if self.glue:
            data = encode(["status", "alive"]) + data + encode(["status", "alive"])
        conn.owed -= 1
        self.write(conn, data)

    def control(self, line):
        cmd = json.loads(line)
        do = cmd["do"]
        if do == "alive":
            self.alive_interval = float(cmd["interval"])
            self.next_alive = time.monotonic() + self.alive_interval
        elif do == "close":
            for conn in list(self.connections):
                self.drop(conn)
        elif do == "listen":
            self.set_listening(bool(cmd["on"]))
        elif do == "close-on-accept":
            self.close_on_accept = bool(cmd["on"])
        elif do == "send":
            for conn in list(self.connections):
                self.write(conn, encode(cmd["tokens"]))
        elif do == "flood":
            messages = [encode(tokens) for tokens in cmd["messages"]]
            rate = float(cmd["rate"])
            self.unpaced = b"".join(messages) if rate == 0 else b""
            self.flood = messages if rate else []
            self.flood_rate = rate or 1.0
            self.flood_start = time.monotonic()
            self.flood_sent = 0
        elif do == "raw":
            for conn in list(self.connections):
                self.write(conn, bytes.fromhex(cmd["hex"]))
        elif do == "split":
            self.split = int(cmd["bytes"])
        elif do == "glue":
            self.glue = bool(cmd["on"])
        elif do == "hold":
            self.hold = bool(cmd["on"])
            if not self.hold:
                held, self.held = self.held, []
                for conn, reply in held:
                    self.send_reply(conn, reply)
        elif do == "script":
            if cmd["reply"] is None:
                self.scripts.pop(cmd["prefix"], None)
            else:
                self.scripts[cmd["prefix"]] = cmd["reply"]
        elif do == "delay":
            if cmd["ms"] is None:
                self.delays.pop(cmd["prefix"], None)
            else:
                self.delays[cmd["prefix"]] = float(cmd["ms"])
        elif do == "password":
            self.password = cmd["text"]
        elif do == "ktx":
            self.send_ktx(cmd)
        elif do == "ktx-start":
            self.ktx_ids = cmd.get("ids")
            self.ktx_window = cmd.get("window")
        else:
            raise ValueError("unknown command " + do)

    def pump(self, conn):
        """Hands the socket what it takes now of the connection's queued bytes, without blocking,
        and watches for room while bytes are left or an unpaced flood goes on; such a flood starts
        its next round once the last one is out."""
        if not conn.out and self.unpaced:
            conn.out = self.unpaced
            conn.rounds += 1
            self.record(conn=conn.number, **{"flood round": conn.rounds})
        if conn.out:
            try:
                conn.out = conn.out[conn.sock.send(conn.out, socket.MSG_DONTWAIT):]
            except BlockingIOError:
                pass
            except OSError:
                self.drop(conn)
                return
        events = selectors.EVENT_READ | (selectors.EVENT_WRITE if conn.out or self.unpaced else 0)
        if self.sel.get_key(conn.sock).events != events:
            self.sel.modify(conn.sock, events, ("connection", conn))

    def run(self):
        print("ready", flush=True)
        while True:
            now = time.monotonic()
            deadlines = [t[0] for t in self.timers]
            if self.alive_interval > 0:
                deadlines.append(self.next_alive)
            if self.flood_sent < len(self.flood):
                deadlines.append(self.flood_start + self.flood_sent / self.flood_rate)
            timeout = max(0.0, min(deadlines) - now) if deadlines else None
            for key, mask in self.sel.select(timeout):
                kind, conn = key.data
                if kind == "listener":
                    sock, _ = self.listener.accept()
                    self.count += 1
                    if self.close_on_accept:
                        sock.close()
                        self.record(conn=self.count, event="refused")
                        continue
                    conn = Connection(self, sock, self.count)
                    self.connections.append(conn)
                    self.sel.register(sock, selectors.EVENT_READ, ("connection", conn))
                    self.record(conn=conn.number, event="open")
                elif kind == "connection":
                    if not mask & selectors.EVENT_READ:
                        continue  # room to write: the pump below uses it
                    try:
                        data = conn.sock.recv(65536)
                    except OSError:
                        data = b""
                    if not data:
                        self.drop(conn)
                        continue
                    for tokens in conn.decoder.feed(data):
                        self.on_message(conn, tokens)
                elif kind == "control-listener":
                    client, _ = key.fileobj.accept()
                    self.sel.register(client, selectors.EVENT_READ, ("control", [b""]))
                elif kind == "control":
                    data = key.fileobj.recv(65536)
                    if not data:
                        self.sel.unregister(key.fileobj)
                        key.fileobj.close()
                        continue
                    conn[0] += data
                    while b"\n" in conn[0]:
                        line, conn[0] = conn[0].split(b"\n", 1)
                        try:
                            self.control(line)
                            key.fileobj.sendall(b"ok\n")
                        except Exception as e:  # a bad control line is the test's fault: say why
                            key.fileobj.sendall(b"error " + str(e).encode() + b"\n")
            now = time.monotonic()
            due, self.timers = [t for t in self.timers if t[0] <= now], [t for t in self.timers if t[0] > now]
            for _, conn, reply in due:
                if self.hold:
                    self.held.append((conn, reply))
                else:
                    self.send_reply(conn, reply)
            while self.flood_sent < len(self.flood) and now >= self.flood_start + self.flood_sent / self.flood_rate:
                for conn in list(self.connections):
                    self.write(conn, self.flood[self.flood_sent])
                self.flood_sent += 1
            if self.alive_interval > 0 and now >= self.next_alive:
                self.next_alive = now + self.alive_interval
                for conn in list(self.connections):
                    self.write(conn, encode(["status", "alive"]))
            for conn in list(self.connections):
                self.pump(conn)


def main():
    p = argparse.ArgumentParser(description="simulated central unit")
    p.add_argument("--address", default="127.0.0.2")
    p.add_argument("--port", type=int, default=22349)
    p.add_argument("--password", default="")
    p.add_argument("--log")
    p.add_argument("--control")
    p.add_argument("--alive", type=float, default=1.0)
    p.add_argument("--reply-delay", type=float, default=10.0)
    p.add_argument("--split", type=int, default=0)
    p.add_argument("--glue", action="store_true")
    p.add_argument("--refuse", action="store_true")
    p.add_argument("--close-on-accept", action="store_true")
    p.add_argument("--model")
    CentralUnit(p.parse_args()).run()


if __name__ == "__main__":
    sys.exit(main())
