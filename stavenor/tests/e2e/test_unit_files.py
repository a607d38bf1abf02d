"""File transfers to and from a unit, file and directory requests, announcement packing: the job
driver against a simulated unit, byte for byte."""
import hashlib
import io
import os
import shutil
import struct
import tarfile
import tempfile
import time
import unittest

from units_support import JobCase, Unit, mac
import sim_unit as sim


class Files(JobCase):
    def setUp(self):
        super().setUp()
        self.unit = Unit(mac(1), 7)
        self.sim.add(self.unit)
        self.dir = tempfile.mkdtemp(prefix="unit-files-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def local(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def fil(self, since=0.0):
        return [f for f in self.requests(self.unit, since) if f["t"] == sim.FIL]

    def test_upload_in_parts(self):
        data = os.urandom(2500)
        r = self.job(self.unit, "send=" + self.local("conf.bin", data))
        self.assertEqual(r.verdict, "done", r.stdout)
        request, *parts = self.fil()
        p = request["payload"]
        self.assertEqual((request["pl"], request["part_count"], request["part_number"]), (808, 4, 0))
        self.assertEqual((p[0], p[1], p[2:11], p[11], p[130:134], p[134]), (0, 0, b"conf.bin\0"[:9], 0, b"/tmp", 0))
        self.assertEqual([(f["part_number"], f["pl"]) for f in parts], [(1, 1056), (2, 1056), (3, 484)])
        self.assertEqual(hashlib.sha256(self.unit.files["/tmp/conf.bin"]).digest(), hashlib.sha256(data).digest())
        self.assertEqual(r.progress[-1][:2], (200, 200))

        for size, counts in ((0, [(1, 32)]), (1024, [(1, 1056)]), (1025, [(1, 1056), (2, 33)])):
            with self.subTest(size=size):
                since = time.time()
                data = os.urandom(size)
                r = self.job(self.unit, "send=" + self.local(f"f{size}", data))
                self.assertEqual(r.verdict, "done", r.stdout)
                request, *parts = self.fil(since)
                self.assertEqual(request["part_count"], len(counts) + (0 if size == 0 else 1))
                self.assertEqual([(f["part_number"], f["pl"]) for f in parts], counts)
                self.assertEqual(self.unit.files[f"/tmp/f{size}"], data)

    def test_upload_ends_with_the_last_acknowledgement(self):
        data = os.urandom(2500)
        self.unit.drop_acks = {4}  # the acknowledgement of part 3 is lost once
        start = time.time()
        r = self.job(self.unit, "send=" + self.local("a.bin", data))
        self.assertEqual(r.verdict, "done", r.stdout)
        self.assertGreater(time.time() - start, 1.0)
        self.assertEqual([f["part_number"] for f in self.fil()], [0, 1, 2, 3, 3])

        since = time.time()
        self.unit.drop_frames = set(range(self.unit.frames_seen + 3, self.unit.frames_seen + 100))
        r = self.job(self.unit, "send=" + self.local("b.bin", data))
        self.assertEqual(r.verdict, "failed just like that", r.stdout)
        parts = self.fil(since)
        self.assertGreaterEqual(time.time() - parts[-1]["time"], 0)
        self.assertAlmostEqual(time.time() - parts[2]["time"], 3.0, delta=0.8)

    def test_report_mode(self):
        cases = [  # (reports, verdict, a progress line expected)
            ([(3, 5, "writing"), (5, 5, "ready")], "done", (120, 200, "writing")),
            ([(6, 5, "what")], "failed just like that", None),
        ]
        for reports, verdict, line in cases:
            with self.subTest(reports=reports):
                self.unit.reports = reports
                since = time.time()
                r = self.job(self.unit, "send=" + self.local("x.dis", os.urandom(1500)) + ",/dis,2,report")
                self.assertEqual(r.verdict, verdict, r.stdout)
                if line:
                    self.assertIn(line, r.progress)
                request, *parts = self.fil(since)
                self.assertEqual((request["payload"][0], request["payload"][130:134]), (2, b"/dis"))
                extra = [f for f in parts if f["part_number"] >= request["part_count"]]
                self.assertTrue(extra, "empty parts go out until the report")
                self.assertTrue(all(f["pl"] == 32 for f in extra))

    def test_byte_order_marks(self):
        cases = [  # (file start, what part 1 carries)
            (b"\xef\xbb\xbfA", b"A"),
            (b"\xfe\xffA", b"A"),
            (b"\xff\xfeA", b"A"),
            (b"\xffA", b"\xffA"),
        ]
        for start, sent in cases:
            with self.subTest(start=start):
                since = time.time()
                r = self.job(self.unit, "send=" + self.local("bom.txt", start))
                self.assertEqual(r.verdict, "done")
                self.assertEqual(self.fil(since)[1]["payload"], sent)
        since = time.time()
        body = b"x" * 1024 + b"\xef\xbb\xbfB"
        self.job(self.unit, "send=" + self.local("bom2.txt", body))
        self.assertEqual(self.fil(since)[2]["payload"], b"\xef\xbb\xbfB")

    def test_download(self):
        data = os.urandom(2500)
        self.unit.files["/cfg/system.conf"] = data
        self.unit.download_faults = {"twice": 1}
        r = self.job(self.unit, "get=/cfg/system.conf", cwd=self.dir, after_ms=500)
        self.assertEqual(r.verdict, "done", r.stdout)
        with open(os.path.join(self.dir, "system.conf"), "rb") as f:
            self.assertEqual(f.read(), data)
        self.assertEqual((r.settings["downloaded file"], r.settings["downloaded file path"]), ("system.conf", "."))
        request, *acks = self.fil()
        self.assertEqual((request["payload"][1], request["payload"][2:13], request["payload"][130:135]),
                         (5, b"system.conf", b"/cfg/"))
        self.assertEqual([(f["payload"][1], f["part_number"], f["part_count"], f["pl"]) for f in acks],
                         [(254, 0, 3, 808), (254, 1, 3, 808), (254, 1, 3, 808), (254, 2, 3, 808)])
        self.assertEqual([f["payload"][2:14] for f in acks[:1]], [data[2:14]])

        os.remove(os.path.join(self.dir, "system.conf"))
        self.unit.download_faults = {"skip": 1}
        r = self.job(self.unit, "get=/cfg/system.conf", cwd=self.dir)
        self.assertEqual(r.verdict, "failed just like that")
        self.assertEqual(os.listdir(self.dir), [], "nothing partial stays")
        self.assertEqual((r.settings["downloaded file"], r.settings["downloaded file path"]), ("", ""))

        big = os.urandom(16 * 1024 * 1024)
        self.unit.files["/cfg/big"] = big
        self.unit.download_faults = {}
        r = self.job(self.unit, "get=/cfg/big", cwd=self.dir, timeout=300)
        self.assertEqual(r.verdict, "done")
        with open(os.path.join(self.dir, "big"), "rb") as f:
            self.assertEqual(hashlib.sha256(f.read()).digest(), hashlib.sha256(big).digest())

    def test_file_and_directory_requests(self):
        self.unit.files["/tmp/a"] = b"1"
        r = self.job(self.unit, "chmod=a,/tmp,0x1ed", "rmlink=l,/lib", "~untar=x.tgz,/tmp,,skip", "lsdir=/tmp",
                     "~untar=x.tgz,/tmp,/opt,skip", "~rm=none,/tmp", "~emptydir=/empty")
        self.assertEqual(r.verdict, "done", r.stdout)
        frames = self.fil() + [f for f in self.requests(self.unit) if f["t"] == sim.DIR]
        chmod, rmlink, untar1, untar2, rm, lsdir, emptydir = frames
        p = chmod["payload"]
        self.assertEqual((chmod["pl"], chmod["part_count"], chmod["part_number"], p[1]), (808, 1, 1, 6))
        self.assertEqual((p[2:4], p[130:135], p[386:772], p[772:776]), (b"a\0", b"/tmp\0", bytes(386), b"\xed\x01\0\0"))
        p = rmlink["payload"]
        self.assertEqual((p[1], p[2:386], p[386:388], p[514:519]), (7, bytes(384), b"l\0", b"/lib\0"))
        # The exclusion goes only once a listing was answered; the target is /tmp unless set.
        self.assertEqual((untar1["payload"][386:390], untar1["payload"][514:519]), (bytes(4), b"/tmp\0"))
        self.assertEqual((untar2["payload"][386:391], untar2["payload"][514:519]), (b"skip\0", b"/opt\0"))
        self.assertEqual((lsdir["pl"], lsdir["payload"][0], lsdir["payload"][1:6], lsdir["payload"][546:548]),
                         (582, 1, b"/tmp\0", b"\x08\0"))
        self.assertEqual((emptydir["payload"][0], emptydir["payload"][546:548]), (3, b"\0\0"))
        self.assertEqual(r.settings["dir content"], "a/f")
        self.assertEqual(rm["payload"][1], 2)

    def test_announcement_packing(self):
        root = os.path.join(self.dir, "announcements")
        for path, size in (("hello.wav", 100), ("en/one.wav", 200), ("en/two.wav", 300), ("de/eins.wav", 50),
                           ("en/sub/deep.wav", 10)):
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "wb") as f:
                f.write(os.urandom(size))
        self.unit.languages = "en|fr"

        def packed(*operations):
            r = self.job(self.unit, "langs", *operations, "send=anno.tar,/tmp,,memory", cwd=self.dir)
            self.assertEqual(r.verdict, "done", r.stdout)
            with tarfile.open(fileobj=io.BytesIO(self.unit.files["/tmp/anno.tar"]), mode="r:gz") as tar:
                return sorted(tar.getnames())

        self.assertEqual(packed("pack"), ["announcements/en/one.wav", "announcements/en/two.wav",
                                          "announcements/hello.wav"])
        self.assertEqual(packed("pack=all"), ["announcements/de/eins.wav", "announcements/en/one.wav",
                                              "announcements/en/two.wav", "announcements/hello.wav"])

        with open(os.path.join(root, "en", "noise.wav"), "wb") as f:
            f.write(os.urandom(17 * 1024 * 1024))
        since = time.time()
        r = self.job(self.unit, "take", "langs", "pack", "emptydir=/anno", "send=anno.tar,/tmp,,memory", "release",
                     cwd=self.dir)
        self.assertEqual(r.verdict, "failed just like that")
        self.assertEqual([f["t"] for f in self.requests(self.unit, since)], [sim.UPD, sim.LANGUAGES, sim.EOU])


if __name__ == "__main__":
    unittest.main()
