"""The devices of the central units through the running server: a configuration with every device
kind as the start-up template and as an uploaded file, saved back with its devices, port lists and
radio links."""
import json
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from harness import DATA_DIR, Server, curl  # noqa: E402

FIXTURE = os.path.join(DATA_DIR, "config", "devices.conf")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def branch(text, *path):
    """The lines below the node at `path` (keys from the top level), indented from 0; None when the
    path is not there."""
    lines = [line for line in text.split(b"\n") if line.startswith((b"|", b"\t"))]
    at, depth = 0, 0
    for key in path:
        while at < len(lines):
            level = len(lines[at]) - len(lines[at].lstrip(b"\t"))
            if level < depth:
                return None
            if level == depth and lines[at].lstrip(b"\t").split(b"|")[1] == key.encode():
                break
            at += 1
        else:
            return None
        at, depth = at + 1, depth + 1
    out = []
    for line in lines[at:]:
        if len(line) - len(line.lstrip(b"\t")) < depth:
            break
        out.append(line[depth:])
    return b"\n".join(out)


def names(table):
    status, body = curl(f"/tuna/list/{table}.json")
    assert status == 200, body
    return sorted(json.loads(body)["name"])


class ConfigDevices(unittest.TestCase):
    def start(self, default):
        self.server = Server(args=("-l", "0x1"), files={"default.conf": default})
        self.addCleanup(self.server.close)

    def check_saved_as_the_fixture(self):
        fixture, saved = read(FIXTURE), self.server.read("saved.conf")
        for path in (("system", "devices"), ("nodes", "CU-A", "interfaces"), ("nodes", "CU-B", "interfaces"),
                     ("nodes", "CU-A", "network", "interfaces"), ("nodes", "CU-B", "network", "interfaces")):
            self.assertTrue(branch(fixture, *path), path)
            self.assertEqual(branch(saved, *path), branch(fixture, *path), path)
        self.assertEqual(names("radio"), ["Handheld", "Net radio", "Spare radio", "VHF 1", "VHF 2"])
        self.assertEqual(names("telephone"), ["Intercom phone", "Phone"])

    def test_start_up_template_with_every_device_kind(self):
        # The telephones' alarm modes need the store's mode tables at start-up too.
        self.start(read(FIXTURE))
        self.check_saved_as_the_fixture()

    def test_uploaded_file_with_every_device_kind(self):
        self.start(b"|nodes|\n\t|CU-0|\n")
        self.assertEqual(names("radio"), [])
        status, body = curl("/tuna/configurationFile.json", "-F", "command=load_file", "-F", "fileName=devices.conf",
                            "-F", f"file=@{FIXTURE};filename=devices.conf")
        self.assertEqual((status, json.loads(body)), (200, {"status": "success"}))
        self.check_saved_as_the_fixture()


if __name__ == "__main__":
    unittest.main()
