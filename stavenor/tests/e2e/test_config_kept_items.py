"""What a configuration file holds, through the running server: device types of no named kind, static
routes through interfaces the unit lacks and references to nothing are kept by a load and survive a
save and a second load; and what the export leaves out (devices without the settings, empty types,
the name of a PPP link the unit does not have)."""
import json
import os
import sys
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(__file__))
from conf_text import branch, without_date  # noqa: E402
from harness import DATA_DIR, Server, curl  # noqa: E402

FIXTURE = os.path.join(DATA_DIR, "config", "kept_items.conf")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def tuna(path, **params):
    status, body = curl(path + ("?" + urllib.parse.urlencode(params) if params else ""))
    assert status == 200, (path, status, body)
    return json.loads(body)


def names(table):
    return sorted(tuna(f"/tuna/list/{table}.json")["name"])


def rows(table, **where):
    """Every row of the table (filtered by column values), each as a dict of all its columns."""
    return [tuna(f"/tuna/list/{table}.json", id=i) for i in tuna(f"/tuna/list/{table}.json", **where)["id"]]


def insert(table, **row):
    reply = tuna(f"/tuna/insert/{table}.json", **row)
    assert reply["status"] == "success", reply
    return reply["id"]


def save_as(server, name):
    status, _ = curl("/tuna/configurationFile.json?" + urllib.parse.urlencode({"command": "save_as", "file": name}))
    assert status == 404, status  # "save_as" writes the file and answers no page
    return server.read(name + ".conf")


def load(server, name, text):
    """Uploads the text as the browser does and loads it; returns saved.conf, which the load writes."""
    server.write(name, text)
    status, body = curl("/tuna/configurationFile.json", "-F", "command=load_file", "-F", f"fileName={name}",
                        "-F", f"file=@{server.path(name)};filename={name}")
    assert (status, json.loads(body)) == (200, {"status": "success"}), body
    return server.read("saved.conf")


class ConfigKeptItems(unittest.TestCase):
    def start(self, default):
        self.server = Server(args=("-l", "0x1"), files={"default.conf": default})
        self.addCleanup(self.server.close)

    def check_kept(self):
        self.assertEqual(names("crewStation"), ["Box", "Headset", "Short"])
        self.assertEqual(names("telephone"), ["Phone B"])
        self.assertEqual([r["type"] for r in sorted(rows("crewStation"), key=lambda r: r["name"])],
                         ["XR-9 Field Box", "USB headset ", "MVQ-2T"])
        unit = tuna("/tuna/list/centralUnits.json", name="CU-1")["id"][0]
        routes = sorted(rows("staticRouting", breltID=unit), key=lambda r: r["targetSubnet"])
        self.assertEqual([(r["targetAddress"], r["targetAddressAddress"], r["targetSubnetAddress"],
                           r["targetSubnetMask"], r["gatewayInterface"], r["gatewayInterfaceName"]) for r in routes],
                         [("true", "192.168.2.0/24", "", "", "false", ""),
                          ("false", "", "10.2.0.0", "255.255.0.0", "true", "")])

    def test_kept_at_start_up_and_through_save_and_load(self):
        self.start(read(FIXTURE))
        self.check_kept()
        self.assertEqual(sorted(r["name"] for r in rows("globalOverviewSipAliases")), ["sip_Anna", "sip_Ghost"])
        self.assertEqual([r["ripReceiveVersion"] for r in rows("routingProtocols") if r["rip"] == "true"], ["3"])

        # Save, load what was saved: the same devices; the route through no interface of the unit
        # cannot be written, and the next save is the same file.
        s1 = save_as(self.server, "kept")
        self.assertIn(b"\t\t\t|type| = |USB headset |\n", s1)
        self.assertIn(b"\t\t\t|type| = |MVQ-2TS-B|\n", s1)
        saved = load(self.server, "kept.conf", s1)
        self.assertEqual(names("crewStation"), ["Box", "Headset", "Short"])
        self.assertEqual(names("telephone"), ["Phone B"])
        self.assertEqual(len(rows("staticRouting")), 1)
        self.assertEqual(without_date(saved), without_date(s1))

    def test_kept_by_an_uploaded_file(self):
        self.start(b"|nodes|\n\t|CU-0|\n")
        self.assertEqual(names("crewStation"), [])
        s1 = load(self.server, "kept_items.conf", read(FIXTURE))
        self.check_kept()
        self.assertEqual(without_date(load(self.server, "s1.conf", s1)), without_date(s1))

    def test_what_the_export_leaves_out(self):
        self.start(b"|nodes|\n\t|CU-1|\n\t\t|interfaces|\n\t\t\t|line 1|\n\t\t\t\t|Station|\n"
                   b"\t|CU-2|\n|system|\n\t|devices|\n\t\t|Station|\n\t\t\t|type| = |MVQ-2CS|\n"
                   b"\t|name| = |Installation|\n")
        self.assertEqual(branch(save_as(self.server, "with settings"), "system", "devices"),
                         b"|Station|\n\t|type| = |MVQ-2CS|")

        # Empty types are left out.
        insert("globalOverviewRadioModels", name="Plain")
        insert("globalOverviewPhoneBook", name="Nobody", contactNumber="123")
        saved = save_as(self.server, "empty types")
        self.assertEqual(branch(saved, "system", "transceivers", "Plain"), b"|capabilities|\n|side tone| = |0|")
        self.assertEqual(branch(saved, "system", "global phone book", "Nobody"), b"|telephone number| = |123|")

        # A PPP link's routing row under a unit that does not have the link: the empty name.
        units = {name: tuna("/tuna/list/centralUnits.json", name=name)["id"][0] for name in ("CU-1", "CU-2")}
        link = insert("pppProperties", name="far", parentId=units["CU-2"], parentType="centralUnit")
        insert("routingProtocols", name="CU-1 @ppp_far", parentId=units["CU-1"], pppId=link, parentType="ppp",
               rip="true")
        saved = save_as(self.server, "foreign link")
        self.assertEqual(branch(saved, "nodes", "CU-1", "network", "routing", ""),
                         b"|rip|\n\t|enabled| = |1|\n\t|receive version| = |2|\n\t|send version| = |2|\n|type| = |4|")
        s1 = load(self.server, "foreign link.conf", saved)
        self.assertEqual(without_date(load(self.server, "s1.conf", s1)), without_date(s1))

        # Without a settings row no device is written.
        for settings in tuna("/tuna/list/cubSettings.json")["id"]:
            self.assertEqual(tuna("/tuna/delete/cubSettings.json", id=settings)["status"], "success")
        self.assertEqual(names("crewStation"), ["Station"])
        saved = save_as(self.server, "without settings")
        self.assertIsNotNone(branch(saved, "system"))
        self.assertIsNone(branch(saved, "system", "devices"))


if __name__ == "__main__":
    unittest.main()
