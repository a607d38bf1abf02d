"""Operators in configuration files through the running server: the operator fixture loaded and saved
again, and a keypad whose keys the browser has put into a loop."""
import json
import os
import sys
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(__file__))
from harness import DATA_DIR, Server, curl  # noqa: E402

FIXTURE = os.path.join(DATA_DIR, "config", "operators.conf")


def query(path, fields):
    return curl(path + "?" + urllib.parse.urlencode(fields))


def command(**fields):
    return query("/tuna/configurationFile.json", fields)


def tuna(action, table, **fields):
    status, body = query(f"/tuna/{action}/{table}.json", fields)
    assert status == 200, (action, table, status, body)
    return json.loads(body)


def users(text):
    return text[text.index(b"\n|users|\n"):]


class ConfigOperators(unittest.TestCase):
    def setUp(self):
        self.server = Server(args=("-l", "0x1"))
        self.addCleanup(self.server.close)

    def test_the_operator_fixture_is_saved_as_it_was_loaded(self):
        status, body = curl("/tuna/configurationFile.json", "-F", "command=load_file", "-F", "fileName=ops.conf",
                            "-F", f"file=@{FIXTURE};filename=ops.conf")
        self.assertEqual((status, json.loads(body)), (200, {"status": "success"}))
        self.assertEqual(command(command="save_as", file="again")[0], 404)
        with open(FIXTURE, "rb") as f:
            self.assertEqual(users(self.server.read("again.conf")), users(f.read()))
        self.assertEqual(sorted(tuna("list", "operatorGeneral")["name"]), ["Anna", "Bruno"])

    def test_a_keypad_loop_made_by_the_browser_is_left_out_of_the_file(self):
        operator = tuna("insert", "operatorGeneral", name="Anna")["id"]

        def key(parent, label, kind):
            return tuna("insert", "keypadDisplayButton", name="", operatorId=operator, parentButtonId=parent,
                        buttonLabelPrefix=label, type=kind, icon="empty.bmp")["id"]

        top = key("-1", "key 5", "submenu")
        child = key(top, "key 1", "submenu")
        key(child, "key OK", "dial")
        key("-1", "key 2", "dial")
        # The submenu key moved below its own child.
        moved = tuna("update", "keypadDisplayButton", id=top, name="", operatorId=operator, parentButtonId=child,
                     buttonLabelPrefix="key 5", type="submenu", icon="empty.bmp")
        self.assertEqual(moved, {"status": "success"})

        for _ in range(3):
            self.assertEqual(command(command="save_as", file="loop")[0], 404)
        written = self.server.read("loop.conf")
        self.assertIn(b"\t|Anna|\n", written)
        fk_menu = written[written.index(b"\t\t|fk menu|\n"):]
        self.assertTrue(fk_menu.startswith(b"\t\t|fk menu|\n\t\t\t|key 2|\n"), fk_menu[:200])
        self.assertNotIn(b"|key 5|", written)
        self.assertIn("3 keypad keys of operator Anna are not under its menu", self.server.stderr())

        # The server goes on answering, and the saved file loads.
        self.assertEqual(curl("/stavenorVersion")[0], 200)
        status, body = curl("/tuna/configurationFile.json", "-F", "command=load_file", "-F", "fileName=loop.conf",
                            "-F", f"file=@{self.server.path('loop.conf')};filename=loop.conf")
        self.assertEqual(json.loads(body), {"status": "success"})
        self.assertEqual(len(tuna("list", "keypadDisplayButton")["id"]), 1)


if __name__ == "__main__":
    unittest.main()
