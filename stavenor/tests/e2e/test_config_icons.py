"""The button icons inside configuration files, through the running server: the pages and their
footprint, save-load-save, a deleted icon that is saved and loaded back, the icons of default.conf at
start-up, and damaged icon sections."""
import base64
import json
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse
import zlib

sys.path.insert(0, os.path.dirname(__file__))
from harness import REPO_DIR, Server, curl  # noqa: E402

SHIPPED_DEFAULT = os.path.join(REPO_DIR, "run", "default.conf")
LINE = re.compile(rb"^(\t*)\|([^|]*)\|(?: = \|([^|]*)\|)?$")
STORE_SIZE = 12484
ICON_BYTES = 12480
RADIO = 6  # radio.bmp


def wait_for_handlers(timeout=30):
    """The daemon listens before the handlers are registered; "tuna" is registered last."""
    deadline = time.time() + timeout
    while curl("/tuna/list/Configuration.json")[0] != 200:
        assert time.time() < deadline, "the tuna handler was never registered"
        time.sleep(0.05)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def icons_section(text):
    """(count, footprint, [(page key, page text)] in file order) of "system"/"icons"."""
    path, count, footprint, pages = [], None, None, []
    for line in text.split(b"\n")[2:]:
        if not line:
            continue
        m = LINE.match(line)
        assert m, line
        depth = len(m.group(1))
        path[depth:] = [m.group(2)]
        value = (m.group(3) or b"").decode()
        if path[:3] == [b"system", b"icons", b"count"] and depth == 2:
            count = value
        elif path[:3] == [b"system", b"icons", b"footprint"] and depth == 2:
            footprint = value
        elif path[:3] == [b"system", b"icons", b"pages"] and depth == 3:
            pages.append((m.group(2).decode(), value))
    return count, footprint, pages


def decoded_store(text):
    count, footprint, pages = icons_section(text)
    store = base64.b64decode("".join(value for _, value in pages) + "==", validate=True)
    return count, footprint, pages, store


def command(*fields):
    return curl("/tuna/configurationFile.json?" + urllib.parse.urlencode([tuple(f.split("=", 1)) for f in fields]))


def load(server, text, name):
    """Uploads the text and loads it, as the browser does."""
    path = server.path(name)
    with open(path, "wb") as f:
        f.write(text)
    status, body = curl("/tuna/configurationFile.json", "-F", "command=load_file", "-F", f"fileName={name}",
                        "-F", f"file=@{path};filename={name}")
    return status, json.loads(body)


def save_as(server, name):
    status, _ = command("command=save_as", f"file={name}")
    assert status == 404, status
    return server.read(name + ".conf")


# ImageMagick's own convert, not a stand-in earlier on the PATH.
CONVERT = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else "convert"


def with_icons(text, lines):
    """The ".conf" text with its icons section replaced by the given lines."""
    kept, skipping = [], False
    for line in text.split(b"\n"):
        if line == b"\t|icons|":
            skipping = True
            continue
        if skipping and line.startswith(b"\t\t"):
            continue
        skipping = False
        kept.append(line)
    return b"\n".join(kept).replace(b"\n|system|\n", b"\n|system|\n" + lines, 1)


def radio_is_blank():
    """Whether /icons/radio.bmp shows no black pixel, read by ImageMagick."""
    status, body = curl("/icons/radio.bmp")
    assert status == 200, status
    with tempfile.NamedTemporaryFile(suffix=".bmp") as f:
        f.write(body)
        f.flush()
        grey = subprocess.run([CONVERT, f.name, "-depth", "8", "gray:-"], capture_output=True, check=True).stdout
    assert len(grey) == 400, len(grey)
    return all(value >= 128 for value in grey)


class ConfigIcons(unittest.TestCase):
    def setUp(self):
        self.server = Server(args=("-l", "0x1"), files={"default.conf": read(SHIPPED_DEFAULT)})
        self.addCleanup(self.server.close)
        wait_for_handlers()

    def check_section(self, text):
        count, footprint, pages, store = decoded_store(text)
        self.assertEqual(count, "131")
        self.assertEqual([key for key, _ in pages], [f"{n:03d}" for n in range(131)])
        self.assertEqual([len(value) for _, value in pages], [128] * 130 + [6])
        self.assertEqual(len(store), STORE_SIZE)
        crc = zlib.crc32(store[:ICON_BYTES])
        self.assertEqual(int(footprint), crc)
        self.assertEqual(int.from_bytes(store[ICON_BYTES:], "little"), crc)
        return pages, store

    def test_saved_conf_carries_the_icons_with_their_footprint(self):
        _, store = self.check_section(self.server.read("saved.conf"))
        self.assertFalse(radio_is_blank())
        self.assertNotEqual(store[RADIO * 60:(RADIO + 1) * 60], bytes(60))

    def test_save_load_save_gives_the_same_pages(self):
        first = save_as(self.server, "first")
        self.assertEqual(load(self.server, first, "up.conf"), (200, {"status": "success"}))
        second = save_as(self.server, "second")
        self.assertEqual(self.check_section(first), self.check_section(second))
        self.assertEqual(icons_section(self.server.read("saved.conf")), icons_section(first))

    def test_a_deleted_icon_is_saved_and_loaded_back(self):
        status, body = curl("/icons/", "-F", "command=deleteIcon", "-F", "originalName=radio.bmp")
        self.assertEqual(json.loads(body)["status"], "success")
        saved = save_as(self.server, "deleted")
        _, store = self.check_section(saved)
        self.assertEqual(store[RADIO * 60:(RADIO + 1) * 60], bytes(60))
        self.assertNotEqual(store[(RADIO + 1) * 60:(RADIO + 2) * 60], bytes(60))

        # A new configuration brings the built-in icons; loading the saved file the deletion again.
        self.assertEqual(command("command=new_file")[0], 404)
        self.assertFalse(radio_is_blank())
        self.assertEqual(load(self.server, saved, "deleted-up.conf"), (200, {"status": "success"}))
        self.assertTrue(radio_is_blank())
        self.assertEqual(icons_section(self.server.read("saved.conf")), icons_section(saved))

    def test_start_up_keeps_the_icons_of_default_conf(self):
        curl("/icons/", "-F", "command=deleteIcon", "-F", "originalName=radio.bmp")
        edited = save_as(self.server, "edited")
        self.server.close()  # the port is the next server's
        with Server(args=("-l", "0x41"), files={"default.conf": edited}) as second:
            wait_for_handlers()
            self.assertIn("init_icons", second.stderr())
            self.assertTrue(radio_is_blank())
            self.assertEqual(icons_section(second.read("saved.conf")), icons_section(edited))

    def test_damaged_icon_sections_load_without_harm(self):
        whole = save_as(self.server, "whole")
        _, _, pages = icons_section(whole)

        def section(count, page_items):
            lines = b"\t|icons|\n"
            if count is not None:
                lines += b"\t\t|count| = |%s|\n" % count.encode()
            if page_items is not None:
                lines += b"\t\t|pages|\n" + b"".join(b"\t\t\t|%s| = |%s|\n" % (k.encode(), v.encode())
                                                    for k, v in page_items)
            return with_icons(whole, lines)

        cases = {
            "count of two billion": section("2147483647", pages),
            "count beyond the int range": section("99999999999", pages),
            "negative count": section("-1", pages),
            "no count": section(None, pages),
            "no pages": section("131", None),
            "truncated": section("131", pages[:40]),
            "cut inside a page": section("131", pages[:40] + [(pages[40][0], pages[40][1][:33])]),
            "not base64": section("3", [("000", "!!**"), ("001", "@"), ("002", "=====")]),
            "a huge page": section("1", [("000", "QUJD" * 20000)]),
        }
        for what, text in cases.items():
            with self.subTest(what):
                self.assertEqual(load(self.server, text, "damaged.conf"), (200, {"status": "success"}))
                self.assertEqual(curl("/stavenorVersion")[0], 200)
                self.assertEqual(curl("/icons/radio.bmp")[0], 200)
                # Whatever was loaded is saved whole again, 131 pages of the 12,484-byte store.
                count, _, saved_pages = icons_section(self.server.read("saved.conf"))
                self.assertEqual((count, len(saved_pages)), ("131", 131))
        self.assertIsNone(self.server.proc.poll())


if __name__ == "__main__":
    unittest.main()
