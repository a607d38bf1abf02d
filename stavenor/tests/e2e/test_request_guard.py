"""The request guard of the running server: what another web page or a rebound DNS name makes a
browser send is refused before any handler or the document root; the console's own pages and
header-less clients (the control centre, curl) pass."""
import json
import os
import re
import shutil
import sys
import tempfile
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(__file__))
from harness import Server, curl  # noqa: E402

FOREIGN = [
    ("Host", "evil.example:8765"),
    ("Host", "127.0.0.1:9000"),
    ("Origin", "http://evil.example"),
    ("Origin", "http://127.0.0.1:9000"),
    ("Origin", "null"),
    ("Sec-Fetch-Site", "same-site"),
    ("Sec-Fetch-Site", "cross-site"),
    ("Referer", "http://127.0.0.1:9000/page.html"),
]
OWN = [
    ("Host", "localhost:8765"),
    ("Host", "[::1]:8765"),
    ("Origin", "http://127.0.0.1:8765"),
    ("Sec-Fetch-Site", "same-origin"),
    ("Sec-Fetch-Site", "none"),
    ("Referer", "http://127.0.0.1:8765/index.html"),
]


class RequestGuard(unittest.TestCase):
    def setUp(self):
        self.server = Server(args=("-l", "0x1"), files={"www/index.html": "<html>console</html>"})
        self.addCleanup(self.server.close)
        self.outside = tempfile.mkdtemp(prefix="guard-")
        self.addCleanup(shutil.rmtree, self.outside, True)

    def names(self, table):
        status, body = curl(f"/tuna/list/{table}.json")
        self.assertEqual(status, 200, body)
        return json.loads(body)["name"]

    def insert(self, name, *headers, post=False):
        query = urllib.parse.urlencode({"name": name})
        args = [arg for header in headers for arg in ("-H", "%s: %s" % header)]
        if post:
            return curl("/tuna/insert/globalEvents.json", "--data", query, *args)
        return curl("/tuna/insert/globalEvents.json?" + query, *args)

    def save_as(self, stem, *headers):
        query = urllib.parse.urlencode({"command": "save_as", "file": os.path.join(self.outside, stem)})
        args = [arg for header in headers for arg in ("-H", "%s: %s" % header)]
        return curl("/tuna/configurationFile.json?" + query, *args)

    def test_foreign_requests_change_nothing_and_are_logged_once(self):
        for n, header in enumerate(FOREIGN):
            with self.subTest(header=header):
                for post in (False, True):
                    status, body = self.insert(f"foreign{n}{post}", header, post=post)
                    self.assertEqual(status, 403, body)
                    self.assertEqual(json.loads(body)["status"], "error")
                    self.assertIn(f"({header[0]} ", json.loads(body)["description"])
                self.assertEqual(self.save_as(f"foreign{n}", header)[0], 403)
                # The document root and the version path are behind the guard too.
                self.assertEqual(curl("/", "-H", "%s: %s" % header)[0], 403)
                self.assertEqual(curl("/stavenorVersion", "-H", "%s: %s" % header)[0], 403)
        self.assertEqual(self.names("globalEvents"), [])
        self.assertEqual(os.listdir(self.outside), [])
        refusals = re.findall(r"request refused \(([\w-]+) ", self.server.stderr())
        self.assertEqual(len(refusals), 5 * len(FOREIGN), self.server.stderr())
        self.assertEqual(sorted(set(refusals)), ["Host", "Origin", "Referer", "Sec-Fetch-Site"])

    def test_a_refused_upload_leaves_no_file(self):
        source = os.path.join(self.outside, "a.conf")
        with open(source, "w") as f:
            f.write("|system|\n")
        status, _ = curl("/tuna/configurationFile.json", "-H", "Origin: http://evil.example", "-F",
                         "command=load_file", "-F", "fileName=a.conf", "-F", f"file=@{source};filename=a.conf")
        self.assertEqual(status, 403)
        self.assertEqual(os.listdir(self.server.path("tmp")), [])

    def test_own_pages_and_header_less_clients_pass(self):
        self.assertEqual(curl("/")[:2], (200, b"<html>console</html>"))
        for n, header in enumerate(OWN):
            with self.subTest(header=header):
                status, body = self.insert(f"own{n}", header)
                self.assertEqual((status, json.loads(body)["status"]), (200, "success"))
                self.assertEqual(self.save_as(f"own{n}", header)[0], 404)  # written: no reply text
        both = (("Host", "localhost:8765"), ("Origin", "http://127.0.0.1:8765"), ("Sec-Fetch-Site", "same-origin"))
        self.assertEqual(self.insert("own both", *both, post=True)[0], 200)
        self.assertEqual(sorted(self.names("globalEvents")), sorted([f"own{n}" for n in range(len(OWN))] + ["own both"]))
        self.assertEqual(sorted(os.listdir(self.outside)), sorted(f"own{n}.conf" for n in range(len(OWN))))
        self.assertNotIn("request refused", self.server.stderr())


if __name__ == "__main__":
    unittest.main()
