#!/usr/bin/env python3
"""A central unit's serial console behind a pseudo-terminal: its boot loader ("=> ") or its Linux
shell ("# "), written from the console dialogue as the unit shows it, independently of the server.

The port is offered to the server as a symbolic link (`link`) to the pty's slave side; `go_away()`
closes the pty and removes the link, `come_back()` makes a new pty behind the same link.

Modes:
  uboot   the boot loader's prompt; "bdinfo" lists "flashsize" and "ethaddr"
  linux   the shell's prompt; "ifconfig eth0" shows "HWaddr"
  silent  says nothing until `power_on()`: a banner with "U-Boot" and an autoboot countdown that an
          ESC stops (then "=> "); without an ESC it boots through to Linux ("# ")

The boot loader keeps a model of the unit: RAM at 0x09000000 and a NOR flash of `flash_mb` MiB at
0xA0000000 (128 KiB sectors, protected until "protect off all"). "erase" sets a sector to 0xFF with
one dot each, "cp.w" only clears bits and refuses an unerased or protected sector, "crc32" (zlib)
and "cmp.b" answer as a boot loader does, "set" keeps variables, and "tftp" is a real TFTP client of
serverip:69. "go 0" starts the unit's first boot: the MAC, date and erase questions, the NAND
messages, then the shell. `faults` injects failures: "bad-crc", "no-erased" (an erase without
"Erased"), "silent-after-cp" (no answer after the first system copy), "invalid-date" (the first date
is refused). `tftp_stall_at` makes "tftp" stop acknowledging once that many bytes have come: the
console then waits `tftp_hold_s` (a boot loader retrying) before its prompt returns. With `merged`, the first boot writes its banner with the MAC question, a NAND message
with the erase question, and the last NAND message with the prompt, each as one chunk.

Every line received is kept in `lines` (and appended to `log_path` when given); ESC bytes count as
lines of their own ("\\x1b"). `dump_path` receives the flash when the console goes away.

Usage by hand (inside `unshare -n -m`):
    boot_console.py LINK [--mode uboot|linux|silent] [--mac 00:11:22:aa:bb:cc] [--flash-mb 64] [--log FILE]
"""
import argparse
import os
import re
import select
import termios
import threading
import time
import zlib

import tftp_client

ESC = b"\x1b"
FLASH_BASE = 0xA0000000
RAM_BASE = 0x09000000
RAM_SIZE = 64 << 20
SECTOR = 0x20000
UBOOT_BYTES = 2 * SECTOR
FIRST_BOOT_PROMPTS = {"mac?": "Enter MAC (aa:bb:cc:dd:ee:ff): ",
                      "date?": "Enter date and time (YYYY-MM-DD hh:mm): ",
                      "erase?": "Data partition found. Erase (y/n)? "}


class BootConsole:
    def __init__(self, link, mode="uboot", mac="00:a0:c6:12:34:5e", flash_mb=64, log_path=None,
                 autoboot_s=3.0, flash=b"", faults=(), merged=False, dump_path=None, tftp_stall_at=None,
                 tftp_hold_s=60.0):
        self.link = link
        self.flash = bytearray(b"\xff") * (flash_mb << 20)
        self.flash[:len(flash)] = flash
        self.ram = bytearray(RAM_SIZE)
        self.protected = True
        self.env = {}
        self.faults = set(faults)
        self.merged = merged
        self.dump_path = dump_path
        self.system_copies = 0
        self.fetched = []  # sizes of the images that "tftp" loaded
        self.tftp_stall_at = tftp_stall_at
        self.tftp_hold_s = tftp_hold_s
        self.stalled = []  # bytes acknowledged by each fetch that stopped
        self.mode = mode
        self.mac = mac
        self.flash_mb = flash_mb
        self.log_path = log_path
        self.autoboot_s = autoboot_s
        self.lines = []
        self.timeline = []  # (time.perf_counter(), line) of every line received
        self.received = bytearray()
        self.lock = threading.Lock()
        self.state = "off" if mode == "silent" else mode
        self.pending = bytearray()
        self.autoboot_deadline = None
        self.master = None
        self.slave = None
        self.stopping = False
        self.thread = None
        self.come_back()

    # --- the port -----------------------------------------------------------------------------
    def come_back(self):
        """A new pty behind the link; the reader thread serves it."""
        master, slave = os.openpty()
        name = os.ttyname(slave)
        # The line starts as a port may be left by another program (slow, cooked, flow control);
        # echo is off so that nothing talks back before the server opens the port by its path.
        attrs = termios.tcgetattr(slave)
        attrs[0] |= termios.IXON | termios.IXOFF
        attrs[2] = (attrs[2] & ~termios.CSIZE) | termios.CS7 | termios.PARENB | termios.CRTSCTS
        attrs[3] = (attrs[3] | termios.ICANON) & ~termios.ECHO
        attrs[4] = attrs[5] = termios.B9600
        termios.tcsetattr(slave, termios.TCSANOW, attrs)
        os.set_blocking(master, False)
        if self.slave is not None:
            os.close(self.slave)
        self.slave = slave  # held open, so that the master never reads as hung up while the port waits
        self.master = master
        if os.path.lexists(self.link):
            os.unlink(self.link)
        os.symlink(name, self.link)
        self.stopping = False
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def go_away(self):
        """The port disappears: the pty closes and its link goes."""
        self.stopping = True
        if self.thread:
            self.thread.join(5)
        if os.path.lexists(self.link):
            os.unlink(self.link)
        if self.dump_path:
            with open(self.dump_path, "wb") as dump:
                dump.write(self.flash)
        for fd in (self.master, self.slave):
            if fd is not None:
                os.close(fd)
        self.master = self.slave = None

    close = go_away

    def line_settings(self):
        """The line as the server set it: termios of the slave side, read through the master."""
        return termios.tcgetattr(self.master)

    # --- what the unit prints -----------------------------------------------------------------
    def write(self, data):
        if isinstance(data, str):
            data = data.encode()
        view = memoryview(data)
        while view and self.master is not None:
            try:
                n = os.write(self.master, view)
                view = view[n:]
            except BlockingIOError:
                time.sleep(0.001)
            except OSError:
                return

    def burst(self, size):
        """A long burst of output: `size` bytes, a counting pattern, returned for comparison."""
        data = bytes((i * 7 + i // 251) % 256 for i in range(size))
        self.write(data)
        return data

    def power_on(self):
        """The unit starts: the boot loader's banner and its autoboot countdown."""
        with self.lock:
            self.state = "autoboot"
            self.autoboot_deadline = time.time() + self.autoboot_s
        self.write("\r\n\r\nU-Boot 1.1.6 (Mar 12 2014 - 10:21:04)\r\n\r\nDRAM:  128 MB\r\n"
                   f"Flash: {self.flash_mb} MB\r\nHit any key to stop autoboot:  3 ")

    def prompt(self):
        return {"uboot": "=> ", "linux": "# ", "dead": ""}.get(self.state, "")

    # --- what the unit reads ------------------------------------------------------------------
    def _record(self, line):
        with self.lock:
            self.lines.append(line)
            self.timeline.append((time.perf_counter(), line))
        if self.log_path:
            with open(self.log_path, "a") as log:
                log.write(line + "\n")

    def _serve(self):
        master = self.master
        while not self.stopping:
            self._tick()
            ready, _, _ = select.select([master], [], [], 0.02)
            if not ready:
                continue
            try:
                data = os.read(master, 4096)
            except (BlockingIOError, InterruptedError):
                continue
            except OSError:
                return
            with self.lock:
                self.received += data
            for byte in data:
                self._byte(bytes([byte]))

    def _tick(self):
        if self.state == "autoboot" and time.time() >= self.autoboot_deadline:
            self.state = "booting"
            self.write(" 0\r\n## Booting image at a0040000 ...\r\nStarting kernel ...\r\n\r\n")
            self.write("Linux version 2.6.24\r\nPlease press Enter to activate this console.\r\n")
            self.state = "linux"
            self.write("# ")

    def _byte(self, byte):
        if byte == ESC:
            self._record("\\x1b")
            if self.state == "autoboot":
                self.state = "uboot"
                self.write("\b\b\b 0 \r\n=> ")
            return
        answering = self.state in ("uboot", "linux", "mac?", "date?", "erase?")  # else nobody reads the line
        if byte in (b"\r", b"\n"):
            line = self.pending.decode(errors="replace")
            self.pending.clear()
            self._record(line)
            if answering:
                self.write("\r\n")
                self._command(line.strip())
            return
        self.pending += byte
        if answering:
            self.write(byte)  # the console echoes what is typed

    def _command(self, line):
        if self.state in FIRST_BOOT_PROMPTS:
            return self._first_boot(line)
        words = line.split()
        handler = (self.UBOOT if self.state == "uboot" else self.LINUX).get(words[0] if words else "")
        if handler:
            handler(self, words)
        elif words:
            self.write(f"Unknown command '{words[0]}' - try 'help'\r\n" if self.state == "uboot"
                       else f"-sh: {words[0]}: not found\r\n")
        self.write(self.prompt())

    def _bdinfo(self, _):
        self.write("arch_number = 0x000006B5\r\nboot_params = 0x00000100\r\nDRAM bank   = 0x00000000\r\n"
                   "-> start    = 0x00000000\r\n-> size     = 0x08000000\r\n"
                   f"flashstart  = 0xA0000000\r\nflashsize   = 0x{self.flash_mb << 20:08X}\r\n"
                   f"flashoffset = 0x00040000\r\nethaddr     = {self.mac}\r\nip_addr     = 0.0.0.0\r\n"
                   "baudrate    = 115200 bps\r\n")

    def _ifconfig(self, words):
        if words[1:] != ["eth0"]:
            return
        self.write(f"eth0      Link encap:Ethernet  HWaddr {self.mac.upper()}  \r\n"
                   "          inet addr:192.168.1.20  Bcast:192.168.1.255  Mask:255.255.255.0\r\n"
                   "          UP BROADCAST RUNNING MULTICAST  MTU:1500  Metric:1\r\n")

    # --- the flash model ---------------------------------------------------------------------------
    def _memory(self, address, size):
        """(buffer, offset) of `size` bytes at `address`, in flash or RAM; None outside both."""
        if FLASH_BASE <= address and address + size <= FLASH_BASE + len(self.flash):
            return self.flash, address - FLASH_BASE
        if RAM_BASE <= address and address + size <= RAM_BASE + RAM_SIZE:
            return self.ram, address - RAM_BASE
        return None

    def _set(self, words):
        if len(words) >= 2:
            self.env[words[1]] = " ".join(words[2:])

    def _tftp(self, words):
        address, name = int(words[1], 16), words[2]
        server = self.env.get("serverip", "")
        self.write(f"Using FEC ETHERNET device\r\nTFTP from server {server}; our IP address is "
                   f"{self.env.get('ipaddr', '')}\r\nFilename '{name}'.\r\nLoad address: 0x{address:x}\r\nLoading: ")
        try:
            with tftp_client.Client(server) as client:
                try:
                    data, _ = client.fetch(name, options=(("blksize", 1024),), timeout=5,
                                           stall_at=self.tftp_stall_at)
                except tftp_client.Stalled as stall:
                    with self.lock:
                        self.stalled.append(stall.args[0])
                    # The socket stays open meanwhile: the server's resends find it and go unanswered.
                    deadline = time.time() + self.tftp_hold_s
                    while time.time() < deadline and not self.stopping:
                        time.sleep(0.05)
                    raise TimeoutError("Retry count exceeded") from None
        except (OSError, RuntimeError, TimeoutError) as error:
            self.write(f"\r\nTFTP error: {error}\r\n")
            return
        target = self._memory(address, len(data))
        if target is None:
            self.write("\r\nTFTP error: image does not fit\r\n")
            return
        memory, offset = target
        memory[offset:offset + len(data)] = data
        self.fetched.append(len(data))
        self.write(f"#################\r\ndone\r\nBytes transferred = {len(data)} ({len(data):x} hex)\r\n")

    def _crc32(self, words):
        address, size = int(words[1], 16), int(words[2], 16)
        target = self._memory(address, size)
        if target is None:
            self.write("Bad address\r\n")
            return
        memory, offset = target
        crc = zlib.crc32(memoryview(memory)[offset:offset + size])
        if "bad-crc" in self.faults:
            crc ^= 1
        self.write(f"CRC32 for {address:08x} ... {address + size - 1:08x} ==> {crc:08x}\r\n")

    def _protect(self, words):
        if words[1:] == ["off", "all"]:
            self.protected = False
            self.write("Un-Protect Flash Bank # 1\r\n")

    def _cmp(self, words):
        first, second, size = (int(w, 16) for w in words[1:4])
        a, b = self._memory(first, size), self._memory(second, size)
        if a is None or b is None:
            self.write("Bad address\r\n")
            return
        left = memoryview(a[0])[a[1]:a[1] + size]
        right = memoryview(b[0])[b[1]:b[1] + size]
        same = size
        if left != right:
            same = next(i for i in range(size) if left[i] != right[i])
            self.write(f"byte at 0x{first + same:08x} (0x{left[same]:02x}) != byte at 0x{second + same:08x} "
                       f"(0x{right[same]:02x})\r\n")
        self.write(f"Total of {same} byte(s) were the same\r\n")

    def _erase(self, words):
        start, size = int(words[1], 16), int(words[2].lstrip("+"), 16)
        if self._memory(start, size) is None or start % SECTOR or size % SECTOR or start < FLASH_BASE:
            self.write("Error: start and/or end address not on sector boundary\r\n")
            return
        if self.protected:
            self.write(f"- Warning: {size // SECTOR} protected sectors will not be erased!\r\n")
            return
        self.write(f"Erase Flash from 0x{start:08x} to 0x{start + size - 1:08x} in Bank # 1 \r\n")
        sectors = size // SECTOR
        for burst in range(0, sectors, 64):
            count = min(64, sectors - burst)
            if "no-erased" not in self.faults:
                offset = start - FLASH_BASE + burst * SECTOR
                self.flash[offset:offset + count * SECTOR] = b"\xff" * (count * SECTOR)
            self.write("." * count)
            time.sleep(0.005)
        self.write(" error\r\n" if "no-erased" in self.faults else f" done\r\nErased {sectors} sectors\r\n")

    def _cp(self, words):
        source, target, halfwords = (int(w, 16) for w in words[1:4])
        size = 2 * halfwords
        src, dst = self._memory(source, size), self._memory(target, size)
        if src is None or dst is None:
            self.write("Bad address\r\n")
            return
        data = bytes(memoryview(src[0])[src[1]:src[1] + size])
        if dst[0] is self.flash:
            if target >= FLASH_BASE + UBOOT_BYTES:
                self.system_copies += 1
            if self.protected:
                self.write("Copy to Flash... Can't write to protected Flash sectors\r\n")
                return
            old = int.from_bytes(self.flash[dst[1]:dst[1] + size], "little")
            new = int.from_bytes(data, "little")
            if old & new != new:  # flash bits only go from 1 to 0
                self.write("Copy to Flash... Flash not Erased\r\n")
                return
            self.write("Copy to Flash... ")
        dst[0][dst[1]:dst[1] + size] = data
        self.write("done\r\n")
        if "silent-after-cp" in self.faults and self.system_copies == 1:
            self.state = "dead"

    def _go(self, words):
        self.write("## Starting application at 0x00000000 ...\r\n")
        self._boot_system()

    def _boot_system(self):
        """The unit's first boot of its new system, up to its first question."""
        banner = "\r\nU-Boot 2009.01 (Apr 01 2014)\r\nCPU: MPC8313E\r\nBoard: central unit\r\n"
        self.state = "mac?"
        if self.merged:
            self.write(banner + FIRST_BOOT_PROMPTS["mac?"])
        else:
            self.write(banner)
            time.sleep(0.03)
            self.write(FIRST_BOOT_PROMPTS["mac?"])

    def _first_boot(self, line):
        if self.state == "mac?":
            if re.fullmatch(r"[0-9a-fA-F]{2}(:[0-9a-fA-F]{2}){5}", line):
                self.env["ethaddr"] = line
                self.state = "date?"
            self.write(FIRST_BOOT_PROMPTS[self.state])
        elif self.state == "date?":
            if "invalid-date" in self.faults or not re.fullmatch(r"\d{4}-\d\d-\d\d \d\d:\d\d", line):
                self.faults.discard("invalid-date")
                self.write("invalid date\r\n" + FIRST_BOOT_PROMPTS["date?"])
                return
            self.env["date"] = line
            self.state = "erase?"
            if self.merged:
                self.write("Checking NAND flash...\r\nErasing NAND flash...\r\n" + FIRST_BOOT_PROMPTS["erase?"])
            else:
                self.write(FIRST_BOOT_PROMPTS["erase?"])
        elif self.state == "erase?":
            if line not in ("y", "n"):
                self.write(FIRST_BOOT_PROMPTS["erase?"])
                return
            self.env["erase"] = line
            if line == "y":
                self.write("Erasing NAND flash...\r\n")
                for percent in (25, 50, 75, 100):
                    time.sleep(0.02)
                    self.write(f" {percent:3d} % complete\r")
            time.sleep(0.02)
            self.write("\r\nWriting NAND flash...\r\n")
            time.sleep(0.02)
            self.write("Setting test configuration...\r\n")
            time.sleep(0.02)
            self.state = "linux"
            if self.merged:
                self.write("Loading fpga...\r\n# ")
            else:
                self.write("Loading fpga...\r\n")
                time.sleep(0.03)
                self.write("# ")

    def _reboot(self, words):
        self.write("reboot: Restarting system\r\n")
        time.sleep(0.05)
        self.power_on()

    UBOOT = {"bdinfo": _bdinfo, "nop": lambda self, words: None, "set": _set, "tftp": _tftp, "crc32": _crc32,
             "protect": _protect, "cmp.b": _cmp, "erase": _erase, "cp.w": _cp, "go": _go}
    LINUX = {"ifconfig": _ifconfig, "reboot": _reboot}

    # --- for tests ----------------------------------------------------------------------------
    def wait(self, condition, timeout=60):  # generous: a busy machine can hold the server back
        deadline = time.time() + timeout
        while time.time() < deadline:
            with self.lock:
                if condition():
                    return True
            time.sleep(0.01)
        with self.lock:
            return condition()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("link")
    parser.add_argument("--mode", choices=("uboot", "linux", "silent"), default="uboot")
    parser.add_argument("--mac", default="00:a0:c6:12:34:5e")
    parser.add_argument("--flash-mb", type=int, default=64)
    parser.add_argument("--log")
    args = parser.parse_args()
    console = BootConsole(args.link, args.mode, args.mac, args.flash_mb, args.log)
    try:
        if args.mode == "silent":
            time.sleep(2)
            console.power_on()
        while True:
            time.sleep(1)
    except KeyboardInterrupt:
        pass
    finally:
        console.go_away()


if __name__ == "__main__":
    main()
