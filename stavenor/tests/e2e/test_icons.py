"""The "icons" handler through HTTP: rendering, upload, deletion and the icons.zip archive."""
import json
import os
import struct
import subprocess
import sys
import tempfile
import threading
import unittest
import zlib

sys.path.insert(0, os.path.dirname(__file__))
from harness import Server, curl, curl_headers  # noqa: E402


def png(width, height, colour):
    """An RGB PNG; colour(x, y) gives (r, g, b)."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + b"".join(bytes(colour(x, y)) for x in range(width)) for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


def pattern(x, y):
    return x in (0, 19) or y in (0, 19) or x == y


def two_colours(x, y):
    return (0, 0, 0) if pattern(x, y) else (255, 255, 255)


def three_colours(x, y):
    return (255, 0, 0) if (x, y) == (4, 5) else two_colours(x, y)


# ImageMagick's own convert, not a stand-in earlier on the PATH.
CONVERT = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else "convert"


def grey_pixels(image_bytes, suffix=".bmp"):
    """(width, height, format, 400 grey bytes) of an image, read by ImageMagick's own tools."""
    with tempfile.NamedTemporaryFile(suffix=suffix) as f:
        f.write(image_bytes)
        f.flush()
        info = subprocess.run(["identify", "-format", "%w %h %m", f.name], capture_output=True, text=True)
        grey = subprocess.run([CONVERT, f.name, "-depth", "8", "gray:-"], capture_output=True)
    width, height, kind = info.stdout.split()
    return int(width), int(height), kind, grey.stdout


def black_set(grey):
    return {(i % 20, i // 20) for i, value in enumerate(grey) if value < 128}


PATTERN = {(x, y) for x in range(20) for y in range(20) if pattern(x, y)}


class IconsTest(unittest.TestCase):
    def setUp(self):
        self.server = Server()
        self.addCleanup(self.server.close)
        # Until "icons" is registered by the server, these tests have nothing to talk to.
        if "init_icons" not in self.server.stderr():
            self.skipTest("the icons handler is not registered")

    def command(self, *fields):
        args = []
        for field in fields:
            args += ["-F", field]
        status, body = curl("/icons/", *args)
        self.assertEqual(status, 200, body)
        return json.loads(body)

    def icon(self, name):
        status, headers, body = curl_headers(f"/icons/{name}")
        self.assertEqual(status, 200)
        self.assertEqual(headers.get("content-type"), "image/bmp")
        return body

    def save_icons(self):
        status, headers, body = curl_headers("/icons/?command=save_icons")
        self.assertEqual(status, 200)
        self.assertEqual(headers.get("content-type"), "application/zip")
        self.assertEqual(headers.get("content-disposition"), 'attachment; filename="icons.zip"')
        return body

    def test_renders_an_icon_as_a_20x20_bmp(self):
        width, height, kind, grey = grey_pixels(self.icon("radio.bmp"))
        self.assertEqual((width, height, kind), (20, 20, "BMP"))
        self.assertTrue(black_set(grey), "the radio has a drawing")
        _, _, _, empty = grey_pixels(self.icon("empty.bmp"))
        self.assertEqual(black_set(empty), set())

        for path in ("/icons/nosuch.bmp", "/icons/radio", "/icons/RADIO.bmp"):
            with self.subTest(path=path):
                self.assertEqual(curl(path), (404, b"none"))

    def test_save_icons_answers_the_archive(self):
        with tempfile.TemporaryDirectory() as work:
            zip_path = os.path.join(work, "icons.zip")
            with open(zip_path, "wb") as f:
                f.write(self.save_icons())
            listing = subprocess.run(["bsdtar", "-tf", zip_path], capture_output=True, text=True, check=True)
            names = listing.stdout.split()
            expected = [f"{i:03d}_normal.bmp" if i % 2 == 0 else f"{i:03d}_disabled.bmp" for i in range(190)]
            self.assertEqual(sorted(names), sorted(expected))
            subprocess.run(["unzip", "-tq", zip_path], check=True, capture_output=True)
            radio = subprocess.run(["unzip", "-p", zip_path, "006_normal.bmp"], capture_output=True, check=True)
            self.assertEqual(grey_pixels(radio.stdout)[:3], (20, 20, "BMP"))
            self.assertEqual(black_set(grey_pixels(radio.stdout)[3]), black_set(grey_pixels(self.icon("radio.bmp"))[3]))

    def test_load_icons_checks_the_image(self):
        with tempfile.TemporaryDirectory() as work:
            images = {"good.png": png(20, 20, two_colours), "wide.png": png(21, 20, two_colours),
                      "three.png": png(20, 20, three_colours), "text.png": b"no picture here\n"}
            for name, data in images.items():
                with open(os.path.join(work, name), "wb") as f:
                    f.write(data)
            cases = [
                ("good.png", "success", 'Icon "phone.bmp" uploaded successfully'),
                ("wide.png", "error", "Wrong icon size (not equal to 20x20px)"),
                ("three.png", "error", "Wrong icon colorspace"),
                ("text.png", "error", 'Icon "phone.bmp" not found (possible read error)'),
            ]
            for name, status, description in cases:
                with self.subTest(image=name):
                    reply = self.command("command=load_icons", "originalName=phone.bmp",
                                         f"file=@{os.path.join(work, name)}")
                    self.assertEqual(reply, {"status": status, "description": description})
            _, _, _, grey = grey_pixels(self.icon("phone.bmp"))
            self.assertEqual(black_set(grey), PATTERN)

            reply = self.command("command=load_icons", "originalName=nosuch.bmp",
                                 f"file=@{os.path.join(work, 'good.png')}")
            self.assertEqual(reply, {"status": "error", "description": 'Icon "nosuch.bmp" not recognized'})

    def test_file_path_outside_the_temporary_directory_is_not_read(self):
        outside = self.server.path("outside.png")
        with open(outside, "wb") as f:
            f.write(png(20, 20, two_colours))
        before = self.icon("radio.bmp")
        for file_path in (outside, "../outside.png", "png:" + outside, "/etc/passwd"):
            with self.subTest(file_path=file_path):
                reply = self.command("command=load_icons", "originalName=radio.bmp", f"filePath={file_path}")
                self.assertEqual(reply["status"], "error")
                self.assertEqual(reply["description"], 'Icon "radio.bmp" not found (possible read error)')
        self.assertEqual(self.icon("radio.bmp"), before)

        # Inside it, "filePath" is read.
        with open(self.server.path("tmp/inside.png"), "wb") as f:
            f.write(png(20, 20, two_colours))
        reply = self.command("command=load_icons", "originalName=radio.bmp", "filePath=./tmp/inside.png")
        self.assertEqual(reply["status"], "success")

    def test_delete_icon_reaches_the_archive(self):
        reply = self.command("command=deleteIcon", "originalName=radio.bmp")
        self.assertEqual(reply, {"status": "success", "description": 'Icon "radio.bmp" deleted'})
        self.assertEqual(black_set(grey_pixels(self.icon("radio.bmp"))[3]), set())
        with tempfile.TemporaryDirectory() as work:
            zip_path = os.path.join(work, "icons.zip")
            with open(zip_path, "wb") as f:
                f.write(self.save_icons())
            radio = subprocess.run(["unzip", "-p", zip_path, "006_normal.bmp"], capture_output=True, check=True)
            self.assertEqual(black_set(grey_pixels(radio.stdout)[3]), set())

        reply = self.command("command=deleteIcon", "originalName=nosuch.bmp")
        self.assertEqual(reply, {"status": "error", "description": "Wrong icon"})

    def test_simultaneous_archives_are_whole(self):
        results = [None] * 4

        def fetch(i):
            results[i] = curl("/icons/?command=save_icons")

        threads = [threading.Thread(target=fetch, args=(i,)) for i in range(len(results))]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(60)
        with tempfile.TemporaryDirectory() as work:
            for i, (status, body) in enumerate(results):
                self.assertEqual(status, 200)
                zip_path = os.path.join(work, f"{i}.zip")
                with open(zip_path, "wb") as f:
                    f.write(body)
                listing = subprocess.run(["bsdtar", "-tf", zip_path], capture_output=True, text=True, check=True)
                self.assertEqual(len(listing.stdout.split()), 190)


if __name__ == "__main__":
    unittest.main()
