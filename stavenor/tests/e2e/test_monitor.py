"""The monitor channel (link driver's comm mode) against the monitor peer, over TCP and a pty."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "peers"))
import monitor_peer  # noqa: E402


class MonitorChannel(unittest.TestCase):
    SIZES = {"empty.bin": 0, "one-k.bin": 1024, "one-m.bin": 1 << 20}

    def setUp(self):
        self.driver_path = os.environ.get("LINK_DRIVER")
        if not self.driver_path:
            raise unittest.SkipTest("LINK_DRIVER is not set")
        self.dir = tempfile.mkdtemp(prefix="monitor-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        os.mkdir(os.path.join(self.dir, "in"))
        self.files = {name: os.urandom(size) for name, size in self.SIZES.items()}
        for name, data in self.files.items():
            with open(os.path.join(self.dir, name), "wb") as f:
                f.write(data)

    def start_driver(self, name):
        args = [self.driver_path, "comm", name, "-m", "+ping,abc", "-o", os.path.join(self.dir, "in")]
        for file_name in self.files:
            args += ["-f", os.path.join(self.dir, file_name)]
        self.stdout = open(os.path.join(self.dir, "stdout.txt"), "w+b")
        proc = subprocess.Popen(args, stdout=self.stdout, stderr=subprocess.STDOUT)
        self.addCleanup(self.stop, proc)
        return proc

    def stop(self, proc):
        proc.terminate()
        proc.wait(10)
        self.stdout.close()

    def output(self):
        with open(self.stdout.name, "rb") as f:
            return f.read().decode(errors="replace")

    def wait_output(self, text, count=1, timeout=30):
        deadline = time.time() + timeout
        while self.output().count(text) < count and time.time() < deadline:
            time.sleep(0.02)
        self.assertGreaterEqual(self.output().count(text), count, "\n".join(l for l in self.output().splitlines() if not l.startswith(("send:", "file:")))[-3000:])

    def exchange(self, peer):
        # The first message on the wire, byte for byte.
        self.assertTrue(peer.wait(lambda: peer.texts))
        self.assertEqual(peer.texts[0], b"<+ping,YWJj=,c7b38235>")
        self.assertEqual(peer.messages[0], ("+ping", [b"abc"]))

        # Files from the channel to the peer.
        paths = {os.path.join(self.dir, name): data for name, data in self.files.items()}
        self.assertTrue(peer.wait(lambda: len(peer.files) == 3, timeout=60), peer.files.keys())
        self.assertEqual(peer.files, paths)
        self.wait_output("all sent")

        # A wrong CRC is said and dropped; the channel goes on.
        peer.send_raw(b"<+ping,YWJj=,00000000>")
        peer.send("-pong", [b"xyz", b""])
        self.wait_output("message: -pong 78797a -")
        self.assertIn("CRC error!", self.output())
        self.assertNotIn("message: +ping", self.output())

        # Files from the peer to the channel.
        for name, data in self.files.items():
            peer.send_file("from/peer/" + name, data)
        self.wait_output("file received: from/peer/", 3)
        for name, data in self.files.items():
            with open(os.path.join(self.dir, "in", name), "rb") as f:
                self.assertTrue(f.read() == data, name)
        self.assertEqual(peer.crc_errors, 0)

    def test_over_tcp_22340(self):
        server, accept = monitor_peer.tcp_peer()
        self.addCleanup(server.close)
        self.start_driver("127.0.0.1")
        peer, conn = accept()
        self.addCleanup(conn.close)
        self.exchange(peer)
        self.assertIn("Resolved: 7f000001:22340", self.output())
        conn.shutdown(2)
        self.wait_output("link lost")

    def test_over_a_pty(self):
        peer, path, hang_up = monitor_peer.pty_peer()
        self.start_driver(path)
        try:
            self.exchange(peer)
            self.assertNotIn("Resolved", self.output())
        finally:
            hang_up()
        self.wait_output("link lost")  # the device went away


if __name__ == "__main__":
    unittest.main()
