"""The TFTP server against real clients (curl, tftp-hpa) and a byte-exact UDP client.

Runs inside a network namespace of its own (tests/in-netns): port 69 on 127.0.0.1 is the test's.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "peers"))
import tftp_client as tftp  # noqa: E402
from harness import EVENT_BOUND, Lag, Server  # noqa: E402


class Driver:
    """The link driver serving `image` (bytes) by TFTP, logging the TFTP records."""

    def __init__(self, image):
        path = os.environ.get("LINK_DRIVER")
        if not path:
            raise unittest.SkipTest("LINK_DRIVER is not set")
        self.dir = tempfile.mkdtemp(prefix="tftp-")
        self.image = os.path.join(self.dir, "image.bin")
        with open(self.image, "wb") as f:
            f.write(image)
        self.log = open(os.path.join(self.dir, "log.txt"), "w+b")
        self.proc = subprocess.Popen([path, "-l", "0x2001", "tftp", self.image], stdout=subprocess.PIPE,
                                     stderr=self.log)
        if self.proc.stdout.readline() != b"ready\n":
            raise AssertionError("driver did not start: " + self.text())

    def text(self):
        self.log.flush()
        with open(self.log.name, "rb") as f:
            return f.read().decode(errors="replace")

    def wait_text(self, text, count=1, timeout=EVENT_BOUND):
        """The log once it holds `text` `count` times: a transfer is logged only after its last ACK,
        which the server may take after the client has already ended."""
        deadline = time.time() + timeout
        while self.text().count(text) < count and time.time() < deadline:
            time.sleep(0.05)
        return self.text()

    def close(self):
        self.proc.terminate()
        self.proc.wait(10)
        self.proc.stdout.close()
        self.log.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def curl_fetch(out, blksize):
    return subprocess.run(["curl", "-s", "--max-time", "60", "--tftp-blksize", str(blksize), "-o", out,
                           "tftp://127.0.0.1/cu_image"], capture_output=True)


def hpa_fetch(out):
    return subprocess.run(["tftp", "127.0.0.1", "-m", "binary", "-c", "get", "cu_image", out],
                          capture_output=True, timeout=120)


class RealClients(unittest.TestCase):
    SIZES = [0, 1, 511, 512, 1000, 1024, 1 << 20]

    def setUp(self):
        self.out = tempfile.mkdtemp(prefix="tftp-out-")
        self.addCleanup(shutil.rmtree, self.out, True)

    def check(self, image, result, out):
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(out, "rb") as f:
            self.assertTrue(f.read() == image, f"{out}: {len(image)} bytes not identical")

    def test_curl_and_tftp_hpa_fetch_identical_images(self):
        for size in self.SIZES:
            image = os.urandom(size)
            with Driver(image):
                for blksize in (512, 1100, 1468):
                    with self.subTest(size=size, blksize=blksize):
                        out = os.path.join(self.out, f"curl-{size}-{blksize}")
                        self.check(image, curl_fetch(out, blksize), out)
                with self.subTest(size=size, client="tftp-hpa"):
                    out = os.path.join(self.out, f"hpa-{size}")
                    self.check(image, hpa_fetch(out), out)

    def test_64_mib_across_the_block_number_rollover(self):
        image = os.urandom(64 << 20)
        with Driver(image):
            for name, fetch in (("curl-512", lambda out: curl_fetch(out, 512)),
                                ("curl-1100", lambda out: curl_fetch(out, 1100)), ("hpa", hpa_fetch)):
                with self.subTest(client=name):
                    out = os.path.join(self.out, name)
                    self.check(image, fetch(out), out)
                    os.unlink(out)

    def test_three_clients_at_once(self):
        image = os.urandom(1 << 20)
        with Driver(image) as driver:
            results = {}

            def run(i, blksize):
                out = os.path.join(self.out, f"parallel-{i}")
                results[out] = curl_fetch(out, blksize)

            threads = [threading.Thread(target=run, args=(i, b)) for i, b in enumerate((512, 1100, 1468))]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            for out, result in results.items():
                self.check(image, result, out)
            sent = "file successfuly sent to 127.0.0.1:"
            self.assertEqual(driver.wait_text(sent, 3).count(sent), 3)


class ByteExact(unittest.TestCase):
    IMAGE = bytes(range(256)) * 10 + b"tail"  # 2564 bytes: three blocks of 1100, the last 364

    def setUp(self):
        self.driver = Driver(self.IMAGE)
        self.addCleanup(self.driver.close)
        self.client = tftp.Client()
        self.addCleanup(self.client.close)

    def expect(self, timeout=EVENT_BOUND):
        got = self.client.receive(timeout)
        self.assertIsNotNone(got, "no packet")
        return got

    def expect_nothing(self, timeout=0.5):
        self.assertIsNone(self.client.receive(timeout))

    def resent(self, count):
        """`count` packets, each within 1.6 s of the one before (a time-out of 1 s), later by as
        much as a busy machine held this process back."""
        packets = []
        with Lag() as lag:
            last = time.time()
            for _ in range(count):
                packets.append(self.expect()[0])
                self.assertLess(time.time() - last, 1.6 + lag.seconds(), len(packets))
                last = time.time()
        return packets

    def test_negotiation_repeats_strangers_and_completion(self):
        self.client.send(tftp.request(tftp.RRQ, "cu_image", options=[("blksize", 1468), ("timeout", 5)]))
        packet, peer = self.expect()
        self.assertEqual(packet, b"\x00\x06blksize\x001100\x00timeout\x005\x00")
        self.assertNotEqual(peer[1], 69)
        self.assertTrue(64667 <= peer[1] <= 64866, peer)

        self.client.send(tftp.ack(0), peer)
        packet, _ = self.expect()
        self.assertEqual(packet, b"\x00\x03\x00\x01" + self.IMAGE[:1100])
        self.client.send(tftp.ack(0), peer)  # repeated: nothing more
        self.expect_nothing()

        with tftp.Client() as stranger:
            stranger.send(tftp.ack(1), peer)
            packet, sender = stranger.receive()
            self.assertEqual(sender, peer)
            self.assertEqual(packet[:4], b"\x00\x05\x00\x05")
            self.assertTrue(packet.endswith(b"\0"))
        self.expect_nothing()

        self.client.send(tftp.ack(1), peer)
        self.assertEqual(self.expect()[0], b"\x00\x03\x00\x02" + self.IMAGE[1100:2200])
        self.client.send(tftp.ack(1), peer)  # an older ACK: nothing
        self.expect_nothing()
        self.client.send(tftp.ack(2), peer)
        self.assertEqual(self.expect()[0], b"\x00\x03\x00\x03" + self.IMAGE[2200:])
        self.client.send(tftp.ack(3), peer)
        self.assertIn(f"file successfuly sent to 127.0.0.1:{self.client.sock.getsockname()[1]}",
                      self.driver.wait_text("file successfuly sent to"))

    def test_a_new_image_serves_later_requests_only(self):
        self.client.send(tftp.request(tftp.RRQ, "x"))
        first, peer = self.expect()
        self.assertEqual(first, b"\x00\x03\x00\x01" + self.IMAGE[:512])
        new_image = b"N" * 700
        with open(self.driver.image, "wb") as f:
            f.write(new_image)
        self.driver.proc.send_signal(signal.SIGUSR1)
        self.assertEqual(self.driver.proc.stdout.readline(), b"image replaced: 0\n")
        with tftp.Client() as later:
            self.assertEqual(later.fetch()[0], new_image)
        # The running transfer goes on with the bytes it started with.
        data = bytearray(first[4:])
        for block in range(1, 6):
            self.client.send(tftp.ack(block), peer)
            data += self.expect()[0][4:]
        self.client.send(tftp.ack(6), peer)
        self.assertEqual(bytes(data), self.IMAGE)

    def test_an_unanswered_block_goes_again_after_its_timeout(self):
        self.client.send(tftp.request(tftp.RRQ, "x", options=[("timeout", 5)]))
        packet, peer = self.expect()
        self.assertEqual(packet, b"\x00\x06timeout\x005\x00")
        self.client.send(tftp.ack(0), peer)
        first, _ = self.expect()
        sent = time.time()
        with Lag() as lag:
            again, _ = self.expect()
        self.assertEqual(again, first)
        self.assertGreater(time.time() - sent, 4.4)
        self.assertLess(time.time() - sent, 5.6 + lag.seconds())
        self.assertEqual(first[:4], b"\x00\x03\x00\x01")
        self.assertEqual(len(first), 4 + 512)

    def test_three_attempts_then_failure_frees_the_key(self):
        key = f"127.0.0.1:{self.client.sock.getsockname()[1]}"
        self.client.send(tftp.request(tftp.RRQ, "x", options=[("timeout", 1)]))
        _, peer = self.expect()
        self.client.send(tftp.ack(0), peer)
        blocks = self.resent(4)  # the block and three resends
        self.assertEqual(len(set(blocks)), 1)
        self.expect_nothing(timeout=1.5)
        log = self.driver.text()
        attempts = [line.rsplit(" - ", 1)[1] for line in log.splitlines() if "attempt)" in line]
        self.assertEqual(attempts, [f"tftp thread {key} file part 1/6 ({n} attempt)" for n in (1, 2, 3)])
        self.assertIn(f"failed to send file to {key}", log)
        # The key is free again: the same client port starts a new transfer.
        self.client.send(tftp.request(tftp.RRQ, "x"))
        self.assertEqual(self.expect()[0][:4], b"\x00\x03\x00\x01")

    def test_an_unanswered_option_ack_is_sent_again(self):
        self.client.send(tftp.request(tftp.RRQ, "x", options=[("timeout", 1)]))
        packets = self.resent(4)
        self.assertEqual(packets, [b"\x00\x06timeout\x001\x00"] * 4)
        self.expect_nothing(timeout=1.5)
        self.assertIn("failed to send file to 127.0.0.1:", self.driver.text())

    def test_options_not_taken(self):
        cases = [  # options, expected OACK, block size
            ([("blksize", 0)], b"\x00\x06", 512),
            ([("blksize", 7), ("timeout", 2)], b"\x00\x06timeout\x002\x00", 512),
            ([("blksize", "12x")], b"\x00\x06", 512),
            ([("blksize", 8)], b"\x00\x06blksize\x008\x00", 8),
            ([("BlkSize", 600)], b"\x00\x06blksize\x00600\x00", 600),
            ([("timeout", 0), ("tsize", 0)], b"\x00\x06", 512),
            ([("timeout", 256)], b"\x00\x06", 512),
        ]
        for options, oack, size in cases:
            with self.subTest(options=options), tftp.Client() as client:
                client.send(tftp.request(tftp.RRQ, "x", options=options))
                packet, peer = client.receive()
                self.assertEqual(packet, oack)
                client.send(tftp.ack(0), peer)
                packet, _ = client.receive()
                self.assertEqual(packet, b"\x00\x03\x00\x01" + self.IMAGE[:size])

    def test_requests_that_get_nothing(self):
        cases = [
            b"\x00",  # under 2 bytes
            b"\x00\x01",  # no fields
            b"\x00\x01cu_image\x00",  # one field only
            tftp.request(tftp.WRQ, "cu_image"),
            b"\x00\x05\x00\x01oops\x00",  # a stray ERROR
            b"\x00\x09junk",
        ]
        for packet in cases:
            with self.subTest(packet=packet):
                self.client.send(packet)
                self.expect_nothing(0.3)
        self.assertIn("dropping WRQ packet!", self.driver.text())

    def test_unterminated_fields_and_an_option_without_value(self):
        # The mode runs to the packet's end; the transfer starts at once with the default size.
        self.client.send(b"\x00\x01cu_image\x00octet")
        self.assertEqual(self.expect()[0], b"\x00\x03\x00\x01" + self.IMAGE[:512])
        with tftp.Client() as other:
            other.send(b"\x00\x01cu_image\x00octet\x00timeout\x003\x00blksize")
            self.assertEqual(other.receive()[0], b"\x00\x06timeout\x003\x00")


class RunningServer(unittest.TestCase):
    def test_up_and_an_error_without_image(self):
        with Server() as server, tftp.Client() as client:
            self.assertIn("TFTP Server is up!", server.stderr())
            client.send(tftp.request(tftp.RRQ, "cu_image"))
            packet, sender = client.receive()
            opcode, (code, text) = tftp.decode(packet)
            self.assertEqual((opcode, code, sender[1]), (tftp.ERROR, 1, 69))
            self.assertTrue(text)
            server.stop()
            self.assertIn("TFTP Server is down!", server.stderr())


if __name__ == "__main__":
    unittest.main()
