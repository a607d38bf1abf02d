"""The configuration store through the "tuna" handler of the running server."""
import json
import os
import sys
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(__file__))
from harness import DATA_DIR, Server, curl, curl_headers  # noqa: E402

EMPTY_LIST = b'{\n\t"id" : [],\n\t"name" : []\n}\n'
NOT_FOUND = b"<html><head><title>Error 404</title></head><body>Page not found</body></html>\n"
PROBABLY = b'{\n\t"status" : "probably success"\n}\n'
NO_MORE = b'{\n\t"status" : "error",\n\t"description" : "no more savepoints"\n}\n'

with open(os.path.join(DATA_DIR, "tuna", "schema.json")) as f:
    SCHEMA = json.load(f)


def tuna(command, *fields, post=False):
    """Runs one tuna command with fields "name=value" (both url-encoded, as GET arguments or a
    POST form); returns (status, body)."""
    query = urllib.parse.urlencode([tuple(field.split("=", 1)) for field in fields])
    if post:
        return curl("/tuna/" + command, "--data", query)
    return curl("/tuna/" + command + ("?" + query if query else ""))


def reply(command, *fields, post=False):
    """Runs a command that must answer JSON and returns it parsed."""
    status, body = tuna(command, *fields, post=post)
    assert status == 200, (command, status, body)
    return json.loads(body)


class TunaStore(unittest.TestCase):
    def setUp(self):
        self.server = Server(args=("-l", "0x1"))
        self.addCleanup(self.server.close)

    def names(self, table):
        return reply(f"list/{table}.json")["name"]

    def insert(self, table, *fields):
        r = reply(f"insert/{table}.json", *fields)
        self.assertEqual(r["status"], "success", r)
        return r["id"]

    def test_insert_and_list(self):
        self.assertEqual(tuna("list/radio.json"), (200, EMPTY_LIST))
        status, body = tuna("insert/radio.json", "name=R1", post=True)
        self.assertEqual(status, 200)
        self.assertEqual(body, b'{\n\t"id" : "id2",\n\t"name" : "R1",\n\t"status" : "success"\n}\n')
        self.assertEqual(tuna("list/radio.json"), (200, b'{\n\t"id" : ["id2"],\n\t"name" : ["R1"]\n}\n'))
        self.assertEqual(reply("list/radio", "id=", "name="), [["R1", "id2"]])
        self.assertEqual(reply("list/radio.json", "id=id2")["name"], "R1")
        status, headers, _ = curl_headers("/tuna/list/radio.json")
        self.assertEqual(headers["content-type"], "application/json; charset=utf-8")

    def test_rename_and_collision(self):
        r1 = self.insert("radio", "name=R1")
        r2 = self.insert("radio", "name=R2")
        self.assertEqual(reply("update/radio.json", f"id={r2}", "name=R1"),
                         {"id": r2, "status": "error", "description": "collision detection"})
        self.assertEqual(reply("update/radio.json", f"id={r2}", "name=R3", post=True), {"status": "success"})
        self.assertEqual(reply("list/radio.json"), {"id": [r1, r2], "name": ["R1", "R3"]})
        # The old name is free again, the new one is taken.
        self.assertEqual(reply("update/radio.json", f"id={r1}", "name=R2")["status"], "success")
        self.assertEqual(reply("update/radio.json", f"id={r1}", "name=R3")["description"], "collision detection")

    def test_awkward_names_round_trip(self):
        name = "O'Brien \"x\" \\ Žluť"
        rid = self.insert("radio", "name=" + name)
        self.assertEqual(self.names("radio"), [name])
        self.assertEqual(reply("list/radio", "name="), [[name]])
        self.assertEqual(reply("list/radio.json", f"id={rid}")["name"], name)
        self.assertEqual(reply("list/radio.json", "name=" + name)["id"], [rid])
        renamed = name + " ✓\t"
        self.assertEqual(reply("update/radio.json", f"id={rid}", "name=" + renamed)["status"], "success")
        self.assertEqual(self.names("radio"), [renamed])
        # A line break, a bar or a NUL byte could never be written to a configuration file.
        for bad in ("a\nb", "a|b", "a\rb"):
            self.assertEqual(reply("update/radio.json", f"id={rid}", "name=" + bad)["status"], "error")
            self.assertEqual(reply("insert/radio.json", "name=" + bad)["status"], "error")
        self.assertEqual(self.names("radio"), [renamed])
        for command in ("list/ids.json", "exportSipPhonebook"):
            self.assertEqual(tuna(command)[0], 200)
        json.loads(tuna("list/ids.json")[1])

    def test_names_that_are_no_columns_change_nothing(self):
        self.insert("radio", "name=R1")
        self.assertEqual(tuna("list/radio", "name;DROP TABLE radio="), (404, NOT_FOUND))
        self.assertEqual(tuna("list/radio", "nosuchcolumn="), (404, NOT_FOUND))
        self.assertEqual(tuna("list/radio.json", "name;DROP TABLE radio=x"), (200, EMPTY_LIST))
        self.assertEqual(tuna("list/radio.json", "name=' OR '1'='1"), (200, EMPTY_LIST))
        self.insert("radio", "name=R2", "breltID'); DROP TABLE radio; --=x")
        self.assertEqual(self.names("radio"), ["R1", "R2"])

    def test_savepoints_and_undo(self):
        self.assertEqual(tuna("undo.json"), (200, NO_MORE))
        self.assertEqual(reply("savepoint", "savepoint=edit"), {"status": "probably success"})
        self.insert("radio", "name=Temp")
        self.assertEqual(tuna("rollback", "savepoint=edit"), (200, PROBABLY))
        self.assertEqual(self.names("radio"), [])
        self.assertEqual(reply("rollback", "savepoint=gone")["status"], "error")
        self.assertEqual(reply("savepoint", "savepoint=x' ; DROP TABLE radio")["status"], "error")

        for i in range(1, 13):
            self.assertEqual(tuna("save.json"), (200, PROBABLY))
            self.insert("radio", f"name=R{i}")
        # Twelve saves, twelve undos: each takes back one insert.
        for step in range(1, 13):
            self.assertEqual(tuna("undo.json"), (200, PROBABLY), step)
            self.assertEqual(self.names("radio"), [f"R{i}" for i in range(1, 13 - step)], step)
        self.assertEqual(tuna("undo.json"), (200, NO_MORE))
        self.assertEqual(self.names("radio"), [])

    def test_every_table_lists_its_columns(self):
        for entry in SCHEMA:
            for name in [entry["table"], *entry["aliases"]]:
                with self.subTest(table=name):
                    listed = reply(f"list/{name}.json")
                    self.assertEqual(list(listed), entry["listColumns"])
                    if entry["table"] not in ("ids", "Configuration"):
                        self.assertEqual(listed, {c: [] for c in entry["listColumns"]})
                    status, body = tuna(f"list/{name}", "id=")
                    self.assertEqual(status, 200)
                    self.assertIsInstance(json.loads(body), list)
        self.assertEqual(tuna("list/nosuchtable.json"), (404, NOT_FOUND))

    def test_collision_rules_of_every_table(self):
        for entry in SCHEMA:
            table, rules = entry["table"], entry["collisionRules"]
            if not rules or "name" not in entry["columns"]:
                continue
            with self.subTest(table=table):
                owners = [c for c, op in rules if op == "==" and c != "name"]
                same = [f"{c}=owner1" for c in owners]
                self.insert(table, f"name={table}A", *same)
                b = self.insert(table, f"name={table}B", *same)
                self.assertEqual(reply(f"update/{table}.json", f"id={b}", f"name={table}A", *same)["description"],
                                 "collision detection")
                if owners:
                    other = [f"{c}=owner2" for c in owners]
                    self.assertEqual(reply(f"update/{table}.json", f"id={b}", f"name={table}A", *other)["status"],
                                     "success")

    def test_delete_and_validate(self):
        unit = self.insert("centralUnits", "name=CU")
        self.insert("crewStation", "name=kept", f"breltID={unit}")
        self.insert("crewStation", "name=orphan", "breltID=id999")
        self.assertEqual(tuna("validate.json"), (200, PROBABLY))
        self.assertEqual(self.names("crewStation"), ["kept"])
        self.assertEqual(reply("delete/centralUnits.json", f"id={unit}"), {"status": "success"})
        self.assertEqual(self.names("centralUnits"), [])
        self.assertEqual(tuna("delete/centralUnits.json")[0], 404)

    def test_sip_phone_book_is_a_text_attachment(self):
        status, headers, body = curl_headers("/tuna/exportSipPhonebook")
        self.assertEqual(status, 200)
        self.assertEqual(body, b"\n---\n")
        self.assertEqual(headers["content-type"], "text/plain; charset=utf-8")
        self.assertEqual(headers["content-disposition"], 'attachment; filename="phonebook.txt"')
        unit = self.insert("centralUnits", "name=Hull", "type=BRELT-10TA", "sipExchangeNumber=7")
        self.insert("radio", "name=VHF", f"breltID={unit}")
        status, body = tuna("exportSipPhonebook")
        self.assertIn(b"Name: Hull\nPart Number: ZT-5200K-CU-10X\nPrefix: 7\n", body)
        self.assertIn(b"\t- Name: VHF\n", body)

    def test_unknown_commands(self):
        for command in ("", "nosuch", "List/radio.json"):
            with self.subTest(command=command):
                self.assertEqual(tuna(command), (404, NOT_FOUND))


if __name__ == "__main__":
    unittest.main()
