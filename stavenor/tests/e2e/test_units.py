"""Unit discovery, the unit list and the frame channel, against simulated units across a veth pair."""
import time
import unittest

from harness import EVENT_BOUND, Lag
from units_support import UnitsCase, Unit, curl, get_json, mac, unit_list, wait_for
import sim_unit as sim


class Discovery(UnitsCase):
    def test_a_query_every_second(self):
        server = self.ns.server_mac()
        queries = wait_for(lambda: len(self.sim.frames("in", t=sim.QRY)) >= 4 and self.sim.frames("in", t=sim.QRY),
                           8)
        self.assertTrue(queries)
        expected = (b"\xff" * 6 + sim.mac_bytes(server) + b"\x08\xf0" + bytes.fromhex("0001000000002000") +
                    bytes(8) + b"\xba\x7f" + bytes(14))
        for q in queries:
            self.assertEqual(q["raw"], expected)
        gaps = [b["time"] - a["time"] for a, b in zip(queries, queries[1:])]
        for gap in gaps:
            self.assertAlmostEqual(gap, 1.0, delta=0.15)

    def test_list_and_information(self):
        units = [Unit(mac(v), v, name=f"cfg{v}", lock=(v == 7), cmem=(v == 6)) for v in range(9, 0, -1)]
        units[-1].fields["name"] = b"caf\xe9"  # Latin-1, not UTF-8: the unit must stay listed
        self.add_units(*units)
        records = unit_list()
        self.assertEqual([r["macAddress"] for r in records], [mac(v) for v in range(1, 10)])
        for r in records:
            self.assertEqual(list(r), ["macAddress", "status", "beardLength", "protocolVersion", "type", "cubCapable",
                                       "bricked"])
        self.assertEqual([r["beardLength"] for r in records], [-50, -50, -60, -20, -20, 0, 0, -60, -60])
        self.assertEqual([r["protocolVersion"] for r in records], list(range(1, 10)))
        self.assertEqual([r["type"] for r in records], ["unknown"] * 5 + ["CU-1"] * 4)
        self.assertEqual([r["cubCapable"] for r in records], [False] * 5 + [True] * 4)
        self.assertEqual([r["bricked"] for r in records], [False] * 6 + [True, False, False])
        self.assertEqual({r["status"] for r in records}, {"up"})

        common = {"date": "2014-04-01", "organization": "org"}
        expected = {
            1: dict(configuration="café", **common, description="", ipAddress="unknown", dis="dis-1.0", base="4",
                    cubMember=False, cubRole="inCUBable", id="unknown", bricked=False, languages="unsupported"),
            4: dict(configuration="cfg4", **common, description="description", ipAddress="10.0.0.1", dis="dis-1.0",
                    base="4", cubMember=False, cubRole="inCUBable", id="unknown", bricked=False,
                    languages="unsupported"),
            6: dict(configuration="cfg6", **common, description="description", ipAddress="10.0.0.1", dis="dis-1.0",
                    base="base-5", cubMember=True, cubRole="master", id="unknown", bricked=False,
                    languages=["en", "de"], availableLanguages=[True, False]),
            7: dict(configuration="cfg7", **common, description="description", ipAddress="10.0.0.1", dis="dis-1.0",
                    base="base-5", cubMember=False, cubRole="master", id="id-1", bricked=True,
                    languages=["en", "de"], availableLanguages=[True, False]),
        }
        for version, record in expected.items():
            with self.subTest(version=version):
                info = get_json("/updater/brelt.json", "-G", "--data-urlencode", f"macAddress={mac(version)}")
                self.assertEqual(list(info["breltInfo"].items()), list(record.items()))

    def test_paths_and_unit_parameter(self):
        a, b = mac(0xA1), mac(0xB2)
        self.add_units(Unit(a, 4, name="A"), Unit(b, 4, name="B"))
        cases = [
            # (path, macAddress or None, expected HTTP status, expected body or a check)
            ("/updater/breltList.json", None, 200, lambda j: len(j["breltList"]) == 2),
            ("/updater/a/breltList.json", b, 200, lambda j: len(j["breltList"]) == 2),
            ("/updater/brelt.json", f",,{a},,{b},", 200, lambda j: j["breltInfo"]["configuration"] == "A"),
            ("/updater/brelt.json", f"{b},{a}", 200, lambda j: j["breltInfo"]["configuration"] == "B"),
            ("/updater/brelt.json", f" {a}", 200, lambda j: j == {"status": "error", "description": "no unit"}),
            ("/updater/brelt.json", None, 200, lambda j: j == {"status": "error", "description": "no unit"}),
            ("/updater/list.json.json", a, 200, lambda j: j == {}),
            ("/updater/" + "b" * 128 + ".json", a, 200, lambda j: j == {}),
            ("/updater/brelt.json", a.lower(), 200, lambda j: j == {"status": "error", "description": "no unit"}),
            ("/updater/x.json/breltList", None, 404, None),
            ("/updater/x.json/y", None, 404, None),
            ("/updater/", None, 404, None),
            ("/updater/breltList", None, 404, None),
        ]
        for path, units, status, check in cases:
            with self.subTest(path=path, units=units):
                args = ["-G", "--data-urlencode", f"macAddress={units}"] if units is not None else []
                code, body = curl(path, *args)
                self.assertEqual(code, status, body)
                if check:
                    import json
                    self.assertTrue(check(json.loads(body)), body)


class Liveness(UnitsCase):
    def test_silent_unit_goes_down_and_comes_back(self):
        unit = Unit(mac(1), 6)
        self.add_units(unit)
        unit.silent = True
        start = time.time()
        polls = []  # (asked, status, answered)
        with Lag() as lag:
            while time.time() - start < EVENT_BOUND and (not polls or polls[-1][1] != "down"):
                asked = time.time()
                polls.append((asked, self.status_of(unit.mac), time.time()))
                time.sleep(0.05)
        # Counted from the unit's last frame, not from the polls' clock: the server checks every two
        # seconds, the unit is "probably down" at the second silent check and "down" at the fourth. A
        # check may run half a second late, and later by as much as the machine held this process back.
        last = max(f["time"] for f in self.sim.frames("out", src=unit.mac))
        for status, checks in (("probably down", 2), ("down", 4)):
            turned = next((i for i, p in enumerate(polls) if p[1] in (status, "down")), 0)
            self.assertGreater(turned, 0, (status, polls[:2], polls[-2:]))
            self.assertGreater(polls[turned][2] - last, (checks - 1) * 2.0 - 0.05, (status, polls[turned], last))
            self.assertLess(polls[turned - 1][0] - last, checks * 2.0 + 0.5 + lag.seconds(),
                            (status, polls[turned - 1], last, lag.seconds()))
        unit.silent = False
        self.assertTrue(wait_for(lambda: self.status_of(unit.mac) == "up", EVENT_BOUND))

    def test_state_reports(self):
        unit = Unit(mac(1), 6)
        self.add_units(unit)
        unit.silent = True  # no announcement may set the status back meanwhile
        steps = [  # (state byte, damaged crc, status word expected after it)
            (3, False, "locked"),
            (2, False, "up"),
            (1, False, "busy"),
            (3, True, "busy"),
            (2, False, "up"),
        ]
        for value, bad, expected in steps:
            with self.subTest(state=value, bad_crc=bad):
                self.sim.state(unit, value, bad_crc=bad)
                if bad:
                    time.sleep(0.3)
                self.assertTrue(wait_for(lambda: self.status_of(unit.mac) == expected, EVENT_BOUND), self.status_of(unit.mac))
        self.assertEqual(self.sim.frames("in", dst=unit.mac, t=sim.A_O) + self.sim.frames("in", t=sim.A_B), [],
                         "state frames are never acknowledged")


class Channel(UnitsCase):
    def test_acknowledgements_of_unit_frames(self):
        unit = Unit(mac(1), 6)
        self.add_units(unit)
        since = time.time()
        self.sim.send(unit, sim.PNG, fid=40)
        time.sleep(0.7)
        self.assertEqual(self.sim.frames("in", dst=unit.mac, since=since), [], "a ping is unanswered while free")

        self.sim.send(unit, sim.SUC, b"hello", fid=41, bad_crc=True)
        sent = self.sim.frames("out", src=unit.mac, t=sim.SUC)[-1]
        ack = self.sim.wait_frame(dst=unit.mac, t=sim.A_B, direction="in")
        self.assertIsNotNone(ack)
        self.assertEqual((ack["length"], ack["fid"], ack["crc"], ack["pl"], ack["v"]),
                         (46, 41, sent["crc"], 37, 5))

        self.sim.send(unit, sim.SUC, b"hello", fid=42)
        ack = self.sim.wait_frame(dst=unit.mac, t=sim.A_O, direction="in")
        self.assertIsNotNone(ack)
        self.assertEqual(ack["fid"], 42)
        self.assertEqual(ack["raw"][14:46], bytes([ack["raw"][14], sim.A_O]) + self.sim.frames(
            "out", src=unit.mac, t=sim.SUC)[-1]["raw"][16:46])

    def test_version_change_and_link_flap(self):
        unit = Unit(mac(1), 6)
        self.add_units(unit)
        unit.version = 7
        self.assertTrue(wait_for(lambda: [r["protocolVersion"] for r in unit_list()] == [7], EVENT_BOUND), unit_list())

        self.ns.delete_link()
        time.sleep(1.5)
        self.ns.add_link()
        self.sim.replace_socket(self.ns.packet_socket())
        since = time.time()
        self.assertTrue(self.sim.wait_frame(t=sim.QRY, direction="in", since=since, timeout=EVENT_BOUND))
        # The unit is heard on the new link: its frames are acknowledged there again.
        self.assertTrue(wait_for(lambda: self.status_of(unit.mac) == "up", EVENT_BOUND))
        time.sleep(0.3)
        self.sim.send(unit, sim.SUC, b"x")
        self.assertIsNotNone(self.sim.wait_frame(dst=unit.mac, t=sim.A_O, direction="in", since=since))


class MalformedFrames(UnitsCase):
    def test_malformed_frames_are_dropped_safely(self):
        good = Unit(mac(1), 7, name=b"\xff\xfe name")
        self.add_units(good)
        server = self.ns.server_mac()
        src = mac(0x40)

        def raw(body):
            self.sim.send_raw(server, src, body)

        inf = sim.build_body(sim.INF, Unit(src, 7).announcement_payload(), v=7)
        cases = [
            b"",                                     # the Ethernet header alone
            inf[:31],                                # 45 bytes on the wire
            inf[:600],                               # pl beyond what arrived
            sim.build_body(sim.INF, Unit(src, 7).announcement_payload()[:700], v=7),  # under the minimum
            sim.build_body(sim.INF, Unit(src, 7).announcement_payload(), v=7, bad_crc=True),
            sim.header(sim.SUC, 31, v=5),            # pl below the header
            sim.header(sim.SUC, 0, v=5),
            sim.header(sim.A_O, 5000, v=5),          # an acknowledgement echoing a long frame
            sim.header(sim.A_B, 5, v=5),
            sim.build_body(sim.ERR, b"\x01", v=5),   # an error shorter than its code
            sim.build_body(sim.STA, b"", v=5),       # a state without its byte
        ]
        for body in cases:
            raw(body)
        # A valid announcement with trailing padding counts: the unit is created from it.
        raw(inf + bytes(100))
        self.assertTrue(wait_for(lambda: len(unit_list()) == 2, EVENT_BOUND), unit_list())
        for body in cases:  # the same frames to a known unit's channel
            self.sim.send_raw(server, good.mac, body)
        time.sleep(0.5)
        records = {r["macAddress"]: r for r in unit_list()}
        self.assertEqual(set(records), {good.mac, src})
        info = get_json("/updater/brelt.json", "-G", "--data-urlencode", f"macAddress={good.mac}")
        self.assertEqual(info["breltInfo"]["configuration"], "\u00ff\u00fe name")
        self.assert_clean_stop()


if __name__ == "__main__":
    unittest.main()
