"""The units' network namespace, joined to the caller's namespace by a veth pair.

The caller (a test inside its own namespace, see tests/in-netns) is the server's side. The units'
side is a namespace held by a `sleep` process; nothing in it has a name outside this process, so a
test that dies leaves nothing behind but that process, which ends with the caller's namespace.
Raw sockets for the simulated units are opened inside it by switching one thread's namespace.
"""
import ctypes
import json
import os
import socket
import subprocess
import time

CLONE_NEWNET = 0x40000000
ETHERTYPE = 0x08F0
_libc = ctypes.CDLL(None, use_errno=True)


def run(*args, ns_pid=None):
    cmd = list(args)
    if ns_pid is not None:
        cmd = ["nsenter", "-t", str(ns_pid), "-n", *cmd]
    subprocess.run(cmd, check=True)


class UnitNamespace:
    def __init__(self, server_if="veth-srv", unit_if="veth-unit"):
        self.server_if = server_if
        self.unit_if = unit_if
        own = os.readlink("/proc/self/ns/net")
        # No inherited output: a holder left behind must not keep the test runner's pipes open.
        self.holder = subprocess.Popen(["unshare", "-n", "sleep", "infinity"], stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            deadline = time.time() + 10
            while True:
                try:
                    if os.readlink(f"/proc/{self.holder.pid}/ns/net") != own:
                        break
                except OSError:
                    pass
                if time.time() > deadline:
                    raise RuntimeError("units' namespace did not come up")
                time.sleep(0.01)
            run("ip", "link", "set", "lo", "up", ns_pid=self.holder.pid)
            self.add_link()
        except BaseException:
            self.close()
            raise

    @property
    def pid(self):
        return self.holder.pid

    def add_link(self):
        run("ip", "link", "add", self.server_if, "type", "veth", "peer", "name", self.unit_if,
            "netns", str(self.holder.pid))
        # No IPv6 link-local addresses: the units speak raw Ethernet, and an address that turns
        # valid a moment after the link comes up is a network change to a browser in this
        # namespace, which then aborts what it is loading (net::ERR_NETWORK_CHANGED).
        run("ip", "link", "set", self.server_if, "addrgenmode", "none", "up")
        run("ip", "link", "set", self.unit_if, "addrgenmode", "none", "up", ns_pid=self.holder.pid)

    def delete_link(self):
        run("ip", "link", "del", self.server_if)

    def server_mac(self):
        out = subprocess.run(["ip", "-j", "link", "show", self.server_if], check=True, capture_output=True).stdout
        return json.loads(out)[0]["address"].upper()

    def packet_socket(self):
        """An AF_PACKET socket for EtherType 0x08F0 bound to the units' end of the pair."""
        own = os.open("/proc/thread-self/ns/net", os.O_RDONLY)
        target = os.open(f"/proc/{self.holder.pid}/ns/net", os.O_RDONLY)
        try:
            if _libc.setns(target, CLONE_NEWNET) != 0:
                raise OSError(ctypes.get_errno(), "setns into the units' namespace")
            try:
                sock = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETHERTYPE))
                sock.bind((self.unit_if, ETHERTYPE))
            finally:
                if _libc.setns(own, CLONE_NEWNET) != 0:
                    raise OSError(ctypes.get_errno(), "setns back")
        finally:
            os.close(own)
            os.close(target)
        return sock

    def close(self):
        # The pair goes at once, not whenever the kernel tears the namespace down: the next test
        # makes one of the same name.
        subprocess.run(["ip", "link", "del", self.server_if], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.holder.poll() is None:
            self.holder.kill()
            self.holder.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
