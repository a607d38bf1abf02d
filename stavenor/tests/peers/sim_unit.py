"""Simulated central units on a raw Ethernet socket (EtherType 0x08F0).

Written from the frame protocol's description alone: a 14-byte Ethernet header, a 32-byte
little-endian frame header (v, t, pr, po, hl, reserved, pl, fid, partCount, partNumber, crc,
14 reserved) and the payload; the crc is CRC-16/ARC over the pl bytes with bytes 16-18 as zero.
Many units live in one process, each with its own MAC, protocol version and faults. Every frame
seen or sent is logged (`Simulator.log`, dumpable as JSON).
"""
import json
import random
import socket
import struct
import threading
import time

QRY, INF, FIL, FRG, UPD, ALW, DNY, SUC, STA, ERR, HWR, EOU, ALR = 1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14
DIR, MOD, LST = 15, 16, 17
RLD, PRC, TTM, RBT, SON, SOF, ROL, FLASH, LANGUAGES, UNBRICK = 48, 49, 50, 51, 52, 53, 62, 63, 65, 74
PNG, A_O, A_B = 252, 253, 254
BROADCAST = b"\xff" * 6
ETHERTYPE = 0x08F0
HEADER = struct.Struct("<BBBBBBHIHHH14x")

# Announcement payload bytes per protocol version.
MINIMUM = {0: 524, 1: 524, 2: 529, 3: 657, 4: 657, 5: 674, 6: 774}


# How a unit answers each request unless the test says otherwise (None: acknowledged only).
DEFAULT_REPLIES = {UPD: "ALW", EOU: "SUC", PRC: "SUC", RLD: "SUC", RBT: "SUC", TTM: None, SOF: None, MOD: "SUC",
                   LANGUAGES: "SUC", ROL: "SUC", HWR: "SUC", SON: "SUC", UNBRICK: "SUC", FLASH: "SUC"}


def minimum(version):
    return MINIMUM.get(version, 903)


def _crc_table():
    table = []
    for byte in range(256):
        crc = byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
        table.append(crc)
    return table


# A byte at a time: a fleet of 250 units announcing every second must not wait for its own sums.
_CRC_TABLE = _crc_table()


def crc16_arc(data):
    crc = 0
    for byte in data:
        crc = (crc >> 8) ^ _CRC_TABLE[(crc ^ byte) & 0xFF]
    return crc


def frame_crc(body):
    """body: header and payload (pl bytes)."""
    return crc16_arc(body[:16] + b"\0\0\0" + body[19:])


def mac_bytes(text):
    return bytes(int(x, 16) for x in text.split(":"))


def mac_text(raw):
    return ":".join(f"{b:02X}" for b in raw)


def header(t, pl, v=0, fid=0, part_count=0, part_number=0, crc=0):
    return HEADER.pack(v, t, 0, 0, 0, 0, pl, fid, part_count, part_number, crc)


def build_body(t, payload=b"", v=0, fid=0, part_count=0, part_number=0, bad_crc=False):
    pl = 32 + len(payload)
    body = bytearray(header(t, pl, v, fid, part_count, part_number) + payload)
    crc = frame_crc(bytes(body))
    if bad_crc:
        crc ^= 0x5A5A
    struct.pack_into("<H", body, 16, crc)
    return bytes(body)


def parse(frame):
    """A received Ethernet frame as a dict (None when it is too short for the header)."""
    if len(frame) < 46:
        return None
    v, t, pr, po, hl, _, pl, fid, pc, pn, crc = HEADER.unpack_from(frame, 14)
    body = frame[14:14 + pl] if 32 <= pl <= len(frame) - 14 else frame[14:46]
    return {
        "dst": mac_text(frame[0:6]), "src": mac_text(frame[6:12]), "ethertype": struct.unpack_from(">H", frame, 12)[0],
        "v": v, "t": t, "pl": pl, "fid": fid, "part_count": pc, "part_number": pn, "crc": crc,
        "crc_ok": len(body) == pl and frame_crc(body) == crc, "length": len(frame),
        "payload": bytes(frame[46:14 + pl]) if pl <= len(frame) - 14 else bytes(frame[46:]),
        "raw": bytes(frame),
    }


def text_field(value, width):
    raw = value if isinstance(value, bytes) else value.encode()
    return raw[:width].ljust(width, b"\0")


class Unit:
    """One simulated central unit."""

    def __init__(self, mac, version, name="unit", date="2014-04-01", org="org", dis="dis-1.0", ver=4, stat=2,
                 run=(1, 2, 3), ip=(10, 0, 0, 1), hwd="description", hwen="base-5", type_="CU-1", cmem=False,
                 role="master", lang="en/v|de/x", flsh=0, id_="id-1", lock=False):
        self.mac = mac
        self.version = version
        self.fields = dict(name=name, date=date, org=org, dis=dis, ver=ver, stat=stat, run=run, ip=ip, hwd=hwd,
                           hwen=hwen, type=type_, cmem=cmem, role=role, lang=lang, flsh=flsh, id=id_, lock=lock)
        self.silent = False        # answers nothing: no announcement, no acknowledgement
        self.drop_frames = set()   # n-th received server frame (from 1) ignored: not acknowledged, not answered
        self.drop_acks = set()     # n-th acknowledgement not sent (the frame is still taken)
        self.ack_fid_delta = 0     # added to the fid of the next acknowledgement
        self.ack_crc_delta = 0     # added to the crc of the next acknowledgement
        self.delay = 0.0           # seconds before any answer
        self.answer_delays = {}    # request type -> seconds between its acknowledgement and its answer
        self.truncate_announcement = None  # payload bytes of the announcement, when set
        self.frames_seen = 0
        self.acks_sent = 0
        self.answered = {}          # request type -> how many requests of it the unit took
        self.fid = 0
        # How this unit answers requests, set by the test: request type -> reply name ("ALW", "SUC",
        # "ERR", ...), ("ERR", code) or None for no answer at all. Types missing here use DEFAULT_REPLIES.
        self.replies = {}
        self.modules = "rundis/Rundis|asterisk/Asterisk|"
        self.module_info = {"rundis": "Rundis core\nversion: 2.1.0", "asterisk": "Telephony\nversion: 11"}
        self.languages = "en/v|de/x"
        self.roles = "master|slave"
        self.reboot_silence = 3.0   # seconds of silence between a reboot request and its SUC
        self.reboot_answer_first = False  # answer SUC at once, then fall silent for reboot_silence
        # A lossy cable (see lossy): the share of channel frames lost each way, and what the unit
        # keeps for it: its unacknowledged frames (fid -> body) and the requests it took lately.
        self.loss = 0.0
        self.random = None
        self.resends = False
        self.unacknowledged = {}
        self.taken = []
        self.lost = {"in": 0, "out": 0}
        # The unit's small file tree: full path -> bytes; directories are implied by the paths.
        self.files = {}
        self.modes = {}
        self.links = {}
        self.upload = None          # the upload being received: dict(name, path, count, category, data, parts)
        self.uploads = []           # finished uploads, in order
        self.reports = None         # report mode: list of (partNumber, partCount, text) sent after the last part
        self.download = None        # the download being sent
        self.download_faults = {}   # "twice": part number sent twice; "skip": part number never sent
        self.part_size = 1024

    def announcement_payload(self):
        f = self.fields
        v = self.version
        p = bytearray(903)
        p[6:134] = text_field(f["name"], 128)
        p[134:262] = text_field(f["date"], 128)
        p[262:390] = text_field(f["org"], 128)
        p[390:518] = text_field(f["dis"], 128)
        struct.pack_into("<H", p, 518, f["ver"])
        p[520] = f["stat"]
        p[521:524] = bytes(f["run"])
        p[524] = 7
        p[525:529] = bytes(f["ip"])
        p[529:657] = text_field(f["hwd"], 128)
        p[657:674] = text_field(f["hwen"], 17)
        p[674:691] = text_field(f["type"], 17)
        p[691] = 1 if f["cmem"] else 0
        p[692:725] = text_field(f["role"], 33)
        p[725:773] = text_field(f["lang"], 48)
        p[773] = f["flsh"]
        p[774:902] = text_field(f["id"], 128)
        p[902] = 1 if f["lock"] else 0
        size = minimum(v) if self.truncate_announcement is None else self.truncate_announcement
        return bytes(p[:size])

    def lossy(self, share, seed):
        """Loses `share` of the channel frames it receives and of those it sends (discovery aside),
        drawn from a generator seeded with `seed` and the MAC; as a real unit does, it resends its own
        frames until they are acknowledged, and acknowledges a repeated request again without taking
        it twice."""
        self.loss = share
        self.random = random.Random(f"{seed}/{self.mac}")
        self.resends = True

    def loses(self, direction):
        if not self.loss or self.random.random() >= self.loss:
            return False
        self.lost[direction] += 1
        return True

    def repeated(self, f):
        """True for a request taken before (same fid and crc): the server did not get our acknowledgement."""
        key = (f["fid"], f["crc"])
        if key in self.taken:
            return True
        self.taken = (self.taken + [key])[-32:]
        return False


def cstr(raw):
    return raw.split(b"\0")[0].decode("latin-1")


def join(directory, name):
    return directory.rstrip("/") + "/" + name if directory else name


class _FileUnit:
    """File and directory requests: a mixin of Simulator."""

    def _err(self, unit, code=-1):
        self.send(unit, ERR, struct.pack("<h", code) + b"refused\0")

    def _file(self, unit, f):
        p = f["payload"]
        if unit.upload is not None and f["part_number"] >= 1:
            return self._upload_part(unit, f)
        if len(p) < 776:
            return
        category, action = p[0], p[1]
        name, path, link, lpth = cstr(p[2:130]), cstr(p[130:386]), cstr(p[386:514]), cstr(p[514:770])
        mode = struct.unpack_from("<I", p, 772)[0]
        reply = unit.replies.get(FIL, "SUC")
        if action == 254:
            return self._download_next(unit, f)
        if reply != "SUC" and action != 0:
            return self._reply(unit, reply)
        if action == 0:
            unit.upload = dict(name=name, path=path, count=f["part_count"], category=category, data=bytearray(),
                               parts=[])
            if reply != "SUC":
                self._reply(unit, reply)
            return
        if action == 5:
            return self._download_start(unit, join(path, name))
        source = join(path, name)
        if action == 1:
            if source not in unit.files:
                return self._err(unit, -2)
            unit.files[join(lpth, link)] = unit.files.pop(source)
        elif action == 2:
            if unit.files.pop(source, None) is None:
                return self._err(unit, -2)
        elif action == 4:
            unit.links[join(lpth, link)] = source
        elif action == 6:
            unit.modes[source] = mode
        elif action == 7:
            target = unit.links.get(join(lpth, link))
            if target is None or unit.files.pop(target, None) is None:
                return self._err(unit, -2)
        elif action == 8:
            if not self._unpack(unit, source, lpth or "/tmp", link):
                return self._err(unit, -3)
        self.send(unit, SUC)

    def _unpack(self, unit, source, target, exclusion):
        import io
        import tarfile
        try:
            with tarfile.open(fileobj=io.BytesIO(unit.files[source]), mode="r:gz") as tar:
                for member in tar.getmembers():
                    if member.isfile() and not (exclusion and exclusion in member.name):
                        unit.files[join(target, member.name)] = tar.extractfile(member).read()
            return True
        except (KeyError, tarfile.TarError, OSError):
            return False

    def _upload_part(self, unit, f):
        up = unit.upload
        up["parts"].append((f["part_number"], f["pl"]))
        if f["part_number"] < up["count"]:
            up["data"] += f["payload"]
        if f["part_number"] == up["count"] - 1 or (up["count"] == 1 and f["part_number"] == 1):
            unit.files[join(up["path"], up["name"])] = bytes(up["data"])
            unit.uploads.append(up)
            if unit.reports:
                def report(items=list(unit.reports)):
                    for number, count, text in items:
                        time.sleep(0.15)
                        with self.lock:
                            self.send(unit, FRG, text.encode() + b"\0", part_count=count, part_number=number)
                threading.Thread(target=report, daemon=True).start()
            unit.upload = None if not unit.reports else up
        if unit.upload is up and unit.reports and f["part_number"] >= up["count"] + 50:
            unit.upload = None

    def _download_start(self, unit, path):
        data = unit.files.get(path)
        if data is None:
            return self._err(unit, -2)
        size = unit.part_size
        parts = [data[i:i + size] for i in range(0, len(data), size)] or [b""]
        unit.download = dict(parts=parts, next=0, timer=None)
        self._download_send(unit)

    def _download_send(self, unit):
        d = unit.download
        if d is None:
            return
        number = d["next"]
        if number == unit.download_faults.get("skip"):
            number += 1
            d["next"] = number
        if number >= len(d["parts"]):
            unit.download = None
            return
        for _ in range(2 if number == unit.download_faults.get("twice") else 1):
            self.send(unit, FIL, d["parts"][number], part_count=len(d["parts"]), part_number=number)
        if d["timer"]:
            d["timer"].cancel()
        # Resent when no fragment acknowledgement comes.
        d["timer"] = threading.Timer(1.0, lambda: self._locked(lambda: self._download_send(unit)))
        d["timer"].daemon = True
        d["timer"].start()

    def _download_next(self, unit, f):
        d = unit.download
        if d is None or f["part_number"] != d["next"]:
            return
        if d["timer"]:
            d["timer"].cancel()
        d["next"] += 1
        if d["next"] >= len(d["parts"]):
            unit.download = None
            return
        self._download_send(unit)

    def _directory(self, unit, f):
        p = f["payload"]
        action, path = p[0], cstr(p[1:513]).rstrip("/")
        reply = unit.replies.get(DIR, "SUC")
        if reply != "SUC":
            return self._reply(unit, reply)
        inside = [k for k in unit.files if k.startswith(path + "/")]
        if action == 1:
            names = sorted({k[len(path) + 1:].split("/")[0] + ("/d" if "/" in k[len(path) + 1:] else "/f")
                            for k in inside})
            self.send(unit, LST, "\n".join(names).encode() + b"\0")
            return
        for k in inside:
            del unit.files[k]
        self.send(unit, SUC)


class Simulator(_FileUnit):
    """The units behind one raw socket; a thread reads and answers."""

    def __init__(self, sock, units=()):
        self.sock = sock
        self.units = {u.mac: u for u in units}
        self.lock = threading.RLock()
        self.log = []
        self.server_mac = None
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self._loop, daemon=True)
        self.thread.start()

    # --- sending -------------------------------------------------------------------------------
    def send_raw(self, dst, src, body):
        frame = mac_bytes(dst) + mac_bytes(src) + struct.pack(">H", ETHERTYPE) + body
        with self.lock:
            self.log.append(dict(parse(frame) if len(frame) >= 46 else {"raw": frame}, dir="out", time=time.time()))
            try:
                self.sock.send(frame)
            except OSError:
                pass

    def send(self, unit, t, payload=b"", v=5, fid=None, part_count=0, part_number=0, bad_crc=False, dst=None):
        """A frame from `unit` to the server (its fid counts up per unit unless given)."""
        with self.lock:
            if fid is None:
                fid = unit.fid
                unit.fid += 1
            body = build_body(t, payload, v, fid, part_count, part_number, bad_crc)
            if unit.resends and t != STA:
                unit.unacknowledged[fid] = body
                self._resend_later(unit, fid, body, 1)
            self.send_lossy(unit, dst or self.server_mac, body)

    def send_lossy(self, unit, dst, body):
        if not unit.loses("out"):
            self.send_raw(dst, unit.mac, body)

    def _resend_later(self, unit, fid, body, attempt):
        def resend():
            with self.lock:
                if unit.unacknowledged.get(fid) is not body or unit.silent or self.stopped.is_set():
                    return
                if attempt > 5:
                    del unit.unacknowledged[fid]
                    return
                self.send_lossy(unit, self.server_mac, body)
                self._resend_later(unit, fid, body, attempt + 1)
        timer = threading.Timer(1.0, resend)
        timer.daemon = True
        timer.start()

    def _acknowledged(self, unit, f):
        body = unit.unacknowledged.get(f["fid"])
        if body is None or struct.unpack_from("<H", body, 16)[0] != f["crc"]:
            return
        if f["t"] == A_O:
            del unit.unacknowledged[f["fid"]]
        else:
            self.send_lossy(unit, self.server_mac, body)

    def announce(self, unit, dst=None):
        with self.lock:
            self.send_raw(dst or self.server_mac or mac_text(BROADCAST), unit.mac,
                          build_body(INF, unit.announcement_payload(), v=unit.version))

    def state(self, unit, value, bad_crc=False):
        self.send(unit, STA, bytes([value]), bad_crc=bad_crc)

    # --- receiving -----------------------------------------------------------------------------
    def _loop(self):
        self.sock.settimeout(0.05)
        while not self.stopped.is_set():
            try:
                frame = self.sock.recv(65536)
            except socket.timeout:
                continue
            except OSError:
                if self.stopped.is_set():
                    return
                time.sleep(0.05)
                continue
            parsed = parse(frame)
            if parsed is None:
                continue
            with self.lock:
                self.log.append(dict(parsed, dir="in", time=time.time()))
                self._handle(parsed)

    def _handle(self, f):
        if f["t"] == QRY and f["dst"] == "FF:FF:FF:FF:FF:FF":
            self.server_mac = f["src"]
            for unit in list(self.units.values()):
                if not unit.silent:
                    self._later(unit, lambda unit=unit: self.announce(unit, f["src"]))
            return
        unit = self.units.get(f["dst"])
        if unit is None or unit.silent:
            return
        self.server_mac = f["src"]
        if unit.loses("in"):
            return
        if f["t"] in (A_O, A_B):
            if unit.resends:
                self._acknowledged(unit, f)
            return
        unit.frames_seen += 1
        if unit.frames_seen in unit.drop_frames:
            return
        self._later(unit, lambda: self._acknowledge_and_answer(unit, f))

    def _later(self, unit, action):
        if unit.delay:
            threading.Timer(unit.delay, lambda: self._locked(action)).start()
        else:
            action()

    def _locked(self, action):
        with self.lock:
            action()

    def _acknowledge_and_answer(self, unit, f):
        unit.acks_sent += 1
        if unit.acks_sent not in unit.drop_acks:
            ack = bytearray(f["raw"][14:46])
            ack[1] = A_O if f["crc_ok"] else A_B
            fid, crc = struct.unpack_from("<I", ack, 8)[0], struct.unpack_from("<H", ack, 16)[0]
            struct.pack_into("<I", ack, 8, (fid + unit.ack_fid_delta) & 0xFFFFFFFF)
            struct.pack_into("<H", ack, 16, (crc + unit.ack_crc_delta) & 0xFFFF)
            unit.ack_fid_delta = unit.ack_crc_delta = 0
            self.send_lossy(unit, f["src"], bytes(ack))
        if not f["crc_ok"] or (unit.resends and unit.repeated(f)):
            return
        late = unit.answer_delays.get(f["t"])
        if late:
            timer = threading.Timer(late, lambda: self._locked(lambda: self._answer(unit, f)))
            timer.daemon = True
            timer.start()
            return
        self._answer(unit, f)

    def _reply(self, unit, reply, ok_type=None, ok_payload=b""):
        if reply is None:
            return
        name, code = (reply, -1) if isinstance(reply, str) else reply
        if name == "ERR":
            self.send(unit, ERR, struct.pack("<h", code) + b"refused\0")
        else:
            t = {"ALW": ALW, "DNY": DNY, "ALR": ALR, "SUC": SUC}.get(name, ok_type)
            self.send(unit, t, ok_payload if t == ok_type else b"")

    def _answer(self, unit, f):
        t, p = f["t"], f["payload"]
        unit.answered[t] = unit.answered.get(t, 0) + 1
        if t == FIL:
            return self._file(unit, f)
        if t == DIR:
            return self._directory(unit, f)
        reply = unit.replies.get(t, DEFAULT_REPLIES.get(t))
        if t == MOD and p[:1] in (b"\x01", b"\x03"):
            if isinstance(reply, str) or reply is None:
                if reply is None:
                    return
                if p[0] == 1:
                    self.send(unit, MOD, b"\x02\0" + unit.modules.encode() + b"\0")
                else:
                    name = p[2:].split(b"\0")[0].decode(errors="replace")
                    self.send(unit, MOD, b"\x04\0" + unit.module_info.get(name, "").encode() + b"\0")
                return
        elif t == LANGUAGES and reply == "SUC":
            self.send(unit, LANGUAGES, b"\x02\0" + unit.languages.encode() + b"\0")
            return
        elif t == ROL and p[:1] == b"\x02" and reply == "SUC":
            self.send(unit, ROL, b"\x03\0" + unit.roles.encode() + b"\0")
            return
        if t == RBT and reply == "SUC":
            # Rebooting: silent for a while, then (or before) the answer, then announcements again.
            # A unit that starts anew numbers its frames from 0 again.
            if unit.reboot_answer_first:
                self.send(unit, SUC)
            unit.silent = True

            def back():
                with self.lock:
                    unit.silent = False
                    unit.fid = 0
                    unit.unacknowledged.clear()
                    unit.taken = []
                    if not unit.reboot_answer_first:
                        self.send(unit, SUC)
            threading.Timer(unit.reboot_silence, back).start()
            return
        self._reply(unit, reply)
        if t == SON and reply == "SUC":
            self.state(unit, 3)

    # --- control -------------------------------------------------------------------------------
    def add(self, unit):
        with self.lock:
            self.units[unit.mac] = unit

    def frames(self, direction=None, t=None, src=None, dst=None, since=0.0):
        with self.lock:
            return [e for e in self.log if (direction is None or e["dir"] == direction)
                    and (t is None or e.get("t") == t) and (src is None or e.get("src") == src)
                    and (dst is None or e.get("dst") == dst) and e["time"] >= since]

    def wait_frame(self, timeout=60.0, **match):  # generous: a busy machine can hold the server back
        deadline = time.time() + timeout
        while time.time() < deadline:
            found = self.frames(**match)
            if found:
                return found[0]
            time.sleep(0.02)
        return None

    def replace_socket(self, sock):
        with self.lock:
            old, self.sock = self.sock, sock
            self.sock.settimeout(0.05)
        old.close()

    def dump_log(self, path):
        def plain(e):
            return {k: (v.hex() if isinstance(v, bytes) else v) for k, v in e.items()}
        with self.lock, open(path, "w") as f:
            json.dump([plain(e) for e in self.log], f, indent=1)

    def close(self):
        self.stopped.set()
        self.thread.join(2)
        self.sock.close()

