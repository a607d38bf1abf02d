"""The devices of the central units through the running server: a configuration with every device
kind as the start-up template and as an uploaded file, saved back with its devices, port lists and
radio links."""
import json
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from conf_text import branch  # noqa: E402
from harness import DATA_DIR, Server, curl  # noqa: E402

FIXTURE = os.path.join(DATA_DIR, "config", "devices.conf")


def read(path):
    with open(path, "rb") as f:
        return f.read()


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
