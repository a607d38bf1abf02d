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

Every line received is kept in `lines` (and appended to `log_path` when given); ESC bytes count as
lines of their own ("\\x1b").

Usage by hand (inside `unshare -n -m`):
    boot_console.py LINK [--mode uboot|linux|silent] [--mac 00:11:22:aa:bb:cc] [--flash-mb 64] [--log FILE]
"""
import argparse
import os
import select
import termios
import threading
import time

ESC = b"\x1b"


class BootConsole:
    def __init__(self, link, mode="uboot", mac="00:a0:c6:12:34:5e", flash_mb=64, log_path=None,
                 autoboot_s=3.0):
        self.link = link
        self.mode = mode
        self.mac = mac
        self.flash_mb = flash_mb
        self.log_path = log_path
        self.autoboot_s = autoboot_s
        self.lines = []
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
        return {"uboot": "=> ", "linux": "# "}.get(self.state, "")

    # --- what the unit reads ------------------------------------------------------------------
    def _record(self, line):
        with self.lock:
            self.lines.append(line)
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
        answering = self.state in ("uboot", "linux")  # else nobody reads the line yet
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

    UBOOT = {"bdinfo": _bdinfo, "nop": lambda self, words: None}
    LINUX = {"ifconfig": _ifconfig}

    # --- for tests ----------------------------------------------------------------------------
    def wait(self, condition, timeout=10):
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
