"""The updater's requests end to end: the running server against simulated units."""
import io
import json
import os
import tarfile
import tempfile
import time
import unittest
import urllib.parse

from units_support import UnitsCase, Unit, mac, wait_for
from harness import CONFIG, EVENT_BOUND, Lag, curl, curl_headers
import sim_unit as sim

CONF = ("# config file Thu Jan  1 00:00:00 1970\n\n|nodes|\n\t|unit a|\n\t\t|ip| = |1|\n\t|unit b|\n"
        "|system|\n\t|filename| = |cfg|\n\t|name| = |Bus 7|\n\t|organization| = |org|\n")


def query(target, /, **params):
    return target + "?" + urllib.parse.urlencode(params)


class UpdaterCase(UnitsCase):
    """The updater's requests as the page makes them, and what the units saw."""

    def get(self, command, **params):
        status, body = curl(query(f"/updater/{command}.json", **params))
        self.assertEqual(status, 200, body)
        return json.loads(body)

    def upload(self, name, data, **fields):
        path = os.path.join(tempfile.mkdtemp(prefix="upd-"), "f")
        with open(path, "wb") as f:
            f.write(data)
        args = ["-F", f"fileSent=@{path};filename={name}"]
        for key, value in fields.items():
            args += ["-F", f"{key}={value}"]
        status, body = curl("/updater/fileSent.json", *args)
        self.assertEqual(status, 200, body)
        return json.loads(body)

    @staticmethod
    def module_archive(name, content):
        archive = io.BytesIO()
        with tarfile.open(fileobj=archive, mode="w:gz") as tar:
            info = tarfile.TarInfo(f"modules/{name}/bin/{name}")
            info.size = len(content)
            tar.addfile(info, io.BytesIO(content))
        return archive.getvalue()

    def requests(self, unit, since=0.0):
        return [f for f in self.sim.frames("in", dst=unit.mac, since=since) if f["t"] not in (sim.A_O, sim.A_B)]

    def types(self, unit, since=0.0):
        """Request types in order, an upload's data parts left out."""
        return [f["t"] for f in self.requests(unit, since) if f["t"] != sim.FIL or self.is_file_request(f)]

    @staticmethod
    def is_file_request(frame):
        return frame["pl"] == 32 + 776

    def progress_until_end(self, unit, timeout=EVENT_BOUND):
        seen = []
        deadline = time.time() + timeout
        while time.time() < deadline:
            reply = self.get("breltProgress", macAddress=unit.mac)
            seen.append(reply)
            if reply["status"] != "progress":
                return seen
            time.sleep(0.02)
        self.fail(f"no end of program: {seen[-3:]}")


class Updater(UpdaterCase):
    def test_reboot_and_progress(self):
        unit = Unit(mac(1), 6)
        unit.reboot_silence = 1.0
        self.add_units(unit)
        since = time.time()
        reply = self.get("action", type="reboot", macAddress=unit.mac)
        self.assertEqual(reply, {"statusList": [{"macAddress": unit.mac, "status": "commandAccepted"}]})
        seen = self.progress_until_end(unit)
        self.assertEqual(seen[-1], {"status": "success"})
        rebooting = [r for r in seen if r["status"] == "progress" and r["description"] == "rebooting"]
        self.assertTrue(rebooting, seen)
        self.assertEqual(list(rebooting[0]), ["status", "current", "overall", "description"])
        self.assertEqual(rebooting[0]["overall"], 220)
        self.assertEqual(self.types(unit, since), [sim.UPD, sim.RBT, sim.EOU])

    def test_action_refusals(self):
        free, busy = Unit(mac(1), 6), Unit(mac(2), 4)
        busy.reboot_silence = 2.0
        self.add_units(free, busy)
        self.assertEqual(self.get("action", type="reboot"), {"status": "error", "description": "empty unit list"})
        self.assertEqual(self.get("action", type="nonsense"), {"status": "error", "description": "empty unit list"})
        self.assertEqual(self.get("action", macAddress=free.mac), {"status": "error", "description": "no action type"})
        self.assertEqual(self.get("action", type="nonsense", macAddress=free.mac),
                         {"status": "error", "description": "unknown action type"})
        self.assertEqual(self.get("action", type="setRole", macAddress=free.mac),
                         {"status": "error", "description": "no role"})
        self.assertEqual(self.get("action", type="reboot", macAddress=""), {"statusList": []})
        self.assertEqual(self.get("action", type="reboot", macAddress="02:00:00:00:00:77"),
                         {"statusList": [{"macAddress": "02:00:00:00:00:77", "status": "error",
                                          "description": "no unit"}]})
        self.assertEqual(self.types(free), [])

        self.get("action", type="reboot", macAddress=busy.mac)
        reply = self.get("action", type="take", macAddress=f"{free.mac},{busy.mac}")
        self.assertEqual(reply["statusList"], [
            {"macAddress": free.mac, "status": "commandAccepted"},
            {"macAddress": busy.mac, "status": "error", "description": "operation in progress"}])
        self.assertEqual(self.progress_until_end(free)[-1], {"status": "success"})
        self.assertEqual(self.get("action", type="take", macAddress=free.mac)["statusList"],
                         [{"macAddress": free.mac, "status": "error", "description": "already done"}])
        self.get("action", type="release", macAddress=free.mac)
        self.assertEqual(self.progress_until_end(free)[-1], {"status": "success"})
        self.assertEqual(self.types(free), [sim.UPD, sim.EOU])

    def test_unlock_reaches_an_unlisted_unit(self):
        self.add_units(Unit(mac(1), 6))
        target = "02:00:00:00:00:42"
        reply = self.get("action", type="unlock", password="pw", macAddress=f"{target},zz")
        self.assertEqual(reply["statusList"], [{"macAddress": target, "status": "commandAccepted"},
                                               {"macAddress": "zz", "status": "error", "description": "no unit"}])
        frame = self.sim.wait_frame(dst=target, direction="in")
        self.assertIsNotNone(frame)
        self.assertIn(b"pw", frame["raw"])

    def test_enable_refused(self):
        unit = Unit(mac(1), 7)
        unit.replies[sim.UNBRICK] = ("ERR", -68)
        self.add_units(unit)
        self.get("action", type="enable", password="secret", macAddress=unit.mac)
        self.assertEqual(self.progress_until_end(unit)[-1],
                         {"status": "error", "code": -68, "description": "Try limit exceeded",
                          "reason": 'the unit refused the step "unbrick" (error -68: refused)'})
        self.assertEqual(self.types(unit), [sim.UPD, sim.UNBRICK, sim.EOU])

    def test_a_refusal_names_the_units_code(self):
        # (the unit's answers, the code the job's end names): a release refused after the step keeps
        # the step's code.
        cases = [({sim.ROL: ("ERR", -5)}, -5),
                 ({sim.ROL: ("ERR", -5), sim.EOU: ("ERR", -3)}, -5)]
        for number, (replies, code) in enumerate(cases, 1):
            with self.subTest(replies=replies):
                unit = Unit(mac(number), 6)
                unit.replies.update(replies)
                self.add_units(unit)
                self.get("action", type="setRole", role="north depot", macAddress=unit.mac)
                end = self.progress_until_end(unit)[-1]
                self.assertEqual((end["status"], end["code"]), ("error", code), end)

    def test_configuration_upload(self):
        unit = Unit(mac(1), 6)
        unit.delay = 0.03  # slow enough for the page to see the program run
        self.add_units(unit)
        data = CONF.encode()
        self.assertEqual(self.upload("a.conf", data, type="configuration", buttonId="b1", updaterName="a.conf")["status"],
                         "success")
        since = time.time()
        reply = self.get("action", type="configurationUpload", fileName="a.conf", updaterPath="", role="r",
                         macAddress=unit.mac)
        self.assertEqual(reply["statusList"][0]["status"], "commandAccepted")
        seen = self.progress_until_end(unit)
        self.assertEqual(seen[-1], {"status": "success"}, seen[-3:])
        self.assertIn(840, {r.get("overall") for r in seen})
        self.assertEqual(self.types(unit, since), [sim.UPD, sim.FIL, sim.FIL, sim.FIL, sim.RLD, sim.ROL, sim.RLD,
                                                   sim.PRC, sim.TTM, sim.EOU])
        fil = [f["payload"] for f in self.requests(unit, since) if f["t"] == sim.FIL and self.is_file_request(f)]
        move, remove = fil[1], fil[2]
        self.assertEqual((move[1], sim.cstr(move[2:130]), sim.cstr(move[386:514]), sim.cstr(move[514:770])),
                         (1, "a.conf", "system.conf", "/dis"))
        self.assertEqual((remove[1], sim.cstr(remove[2:130]), sim.cstr(remove[130:386])), (2, "role", "/dis"))
        role = [f for f in self.requests(unit, since) if f["t"] == sim.ROL][0]
        self.assertIn(b"r\0", role["payload"])
        prc = [f for f in self.requests(unit, since) if f["t"] == sim.PRC][0]
        self.assertEqual(prc["payload"][0], 16)
        self.assertEqual(unit.files["/dis/system.conf"], data)
        self.assert_clean_stop()

    def test_configuration_upload_version_1(self):
        unit = Unit(mac(1), 1)
        unit.reports = [(1, 2, "checking"), (2, 2, "installed")]
        self.add_units(unit)
        self.upload("a.conf", CONF.encode(), type="configuration", buttonId="b1", updaterName="a.conf")
        self.get("action", type="configurationUpload", fileName="a.conf", updaterPath="", macAddress=unit.mac)
        self.assertEqual(self.progress_until_end(unit)[-1], {"status": "success"})
        self.assertNotIn(sim.EOU, self.types(unit))
        self.assertEqual(unit.uploads[0]["path"], "/dis")
        self.assertEqual(unit.files["/dis/a.conf"], CONF.encode())

    def test_module_add_rundis(self):
        unit = Unit(mac(1), 4)
        unit.reboot_silence = 5.0
        self.add_units(unit)
        content = b"#!/bin/sh\n"
        name = "cu_module_rundis_2.mod"
        self.upload(name, self.module_archive("rundis", content), type="other", buttonId="m", updaterName=name)
        reply = self.get("action", type="moduleUpload", fileName=name, updaterPath="", macAddress=unit.mac)
        self.assertEqual(reply["statusList"][0]["status"], "commandAccepted")
        self.assertEqual(self.progress_until_end(unit)[-1], {"status": "success"})
        types = self.types(unit)
        self.assertEqual(types[-1], sim.RBT)
        self.assertNotIn(sim.EOU, types)
        self.assertEqual(unit.files["/modules/rundis/bin/rundis"], content)
        self.assert_clean_stop()

    def test_queries(self):
        unit = Unit(mac(1), 6)
        unit.roles = "r1|r2"
        unit.files = {"/dis/system.conf": CONF.encode(), "/dis/announcements/en/a.wav": b"RIFF"}
        self.add_units(unit)
        self.assertEqual(self.get("breltRoles", macAddress=unit.mac), {"roleList": ["r1", "r2"]})
        modules = self.get("breltModules", macAddress=unit.mac)["moduleList"]
        self.assertEqual(modules[0], {"name": "rundis", "displayName": "Rundis", "version": "2.1.0",
                                      "description": "Rundis core", "configurable": True, "removable": False})
        self.assertEqual([m["name"] for m in modules], ["rundis", "asterisk"])
        self.assertEqual(list(modules[1]), ["name", "displayName", "version", "description", "configurable",
                                            "removable"])
        self.assertEqual(self.get("modLsDir", path="/dis", macAddress=unit.mac),
                         {"path": "/dis", "status": "commandAccepted",
                          "contents": [{"name": "announcements", "directory": True},
                                       {"name": "system.conf", "directory": False}]})
        self.assertEqual(self.get("modDownload", filePath="/dis/system.conf", macAddress=unit.mac),
                         {"status": "commandAccepted"})
        status, headers, body = curl_headers(query("/updater/downloadConfigurationFile.json", macAddress=unit.mac))
        self.assertEqual((status, body), (200, CONF.encode()))
        self.assertEqual(headers["content-disposition"], 'attachment; filename="cfg.conf"')
        self.assertEqual(headers["content-type"], "text/updater-content; charset=utf-8")
        status, headers, body = curl_headers(query("/updater/passModuleFile.json", macAddress=unit.mac))
        self.assertEqual(headers["content-disposition"], 'attachment; filename="system.conf"')
        self.assertEqual(body, CONF.encode())
        self.assertEqual(self.get("modRmFile", path="/dis", fileName="system.conf", macAddress=unit.mac),
                         {"status": "commandAccepted"})
        self.assertNotIn("/dis/system.conf", unit.files)
        self.assertEqual(self.get("modRmFile", path="/dis", fileName="../x", macAddress=unit.mac)["status"], "error")
        self.assertEqual(self.get("modLsDir", macAddress=unit.mac),
                         {"status": "error", "description": "no path specified"})
        self.assertEqual(self.get("breltRoles"), {"status": "error", "description": "no unit"})
        status, body = curl("/updater/fileUploaded.json", "-F", "fileUploaded=@/dev/null;filename=m.mod")
        self.assertEqual(json.loads(body), {"status": "error", "description": "no path specified"})
        status, body = curl("/updater/fileUploaded.json", "-F", "fileUploaded=@/dev/null;filename=m.mod",
                            "-F", "path=/modules")
        self.assertEqual(json.loads(body), {"status": "error", "description": "no unit"})

        # A name from the file itself reaches the header as a plain file name: separators become dashes.
        unit.files["/dis/odd.conf"] = CONF.replace("|cfg|", '|../x"y\\z|').encode()
        self.get("modDownload", filePath="/dis/odd.conf", macAddress=unit.mac)
        status, headers, body = curl_headers(query("/updater/downloadConfigurationFile.json", macAddress=unit.mac))
        self.assertEqual(headers["content-disposition"], 'attachment; filename="..-xy-z.conf"')
        self.assert_clean_stop()

    def test_roles_refused_by_a_unit_without_them(self):
        unit = Unit(mac(1), 1)
        self.add_units(unit)
        start = time.time()
        with Lag() as lag:
            self.assertEqual(self.get("breltRoles", macAddress=unit.mac),
                             {"status": "error", "description": "some error happened"})
        # Refused at once, not after the wait for a unit's roles.
        self.assertLess(time.time() - start, 2 + lag.seconds())

    def test_uploads_described_and_logs(self):
        self.assertEqual(self.upload("org_x_dis1_2.4.dis", b"fw", type="dis", buttonId="d", updaterName="fw"),
                         {"organization": "org", "version": "2", "type": "dis1", "status": "success"})
        self.assertEqual(self.upload("o_x_core_main_3.1.mod", b"m", type="module", buttonId="m", updaterName="m"),
                         {"organization": "o", "name": "core", "version": "3", "type": "main", "status": "success"})
        for name, kind in (("org_x_dis1_2.dis.bak", "dis"), ("org_x.dis", "dis"), ("a_b_c_d.mod", "module")):
            self.assertEqual(self.upload(name, b"x", type=kind, buttonId="w", updaterName=name),
                             {"status": "error", "description": "wrong file"}, name)
        self.assertEqual(self.upload("c.conf", CONF.encode(), type="configuration", buttonId="c", updaterName="c.conf",
                                     updaterPath="/home/u/c.conf"),
                         {"roles": [{"name": "unit a", "type": "full"}, {"name": "unit b", "type": "full"}],
                          "name": "Bus 7", "organization": "org", "status": "success"})
        self.assertEqual(self.get("buttonData", buttonId="c"),
                         {"roles": [{"name": "unit a", "type": "full"}, {"name": "unit b", "type": "full"}],
                          "name": "Bus 7", "organization": "org", "status": "success", "updaterName": "c.conf",
                          "updaterPath": "/home/u/c.conf"})
        self.assertEqual(self.get("buttonData", buttonId="never"), {"updaterName": "", "updaterPath": ""})
        self.assertEqual(self.upload("bad.conf", b"no header\n", type="configuration", buttonId="c", updaterName="x"),
                         {"status": "error", "description": "cannot access file"})

        log = "first line\r\nzweite Zeile \u00e4\n\x01end"
        status, body = curl("/updater/prepareLog.json", "--data-urlencode", f"logEntries={log}")
        self.assertEqual((status, body), (200, b"{}"))
        status, headers, body = curl_headers("/updater/downloadLog.json")
        self.assertEqual(body, log.encode())
        self.assertEqual(headers["content-disposition"], 'attachment; filename="updater.log"')
        self.assertEqual(headers["content-type"], "text/logger-content; charset=utf-8")
        self.assert_clean_stop()

    def test_values_that_would_change_the_line_are_refused(self):
        unit = Unit(mac(1), 6)
        self.add_units(unit)
        cases = [dict(type="setRole", role='r" "x'), dict(type="moduleRemove", name="a\nreboot"),
                 dict(type="setDescription", description="d\r"), dict(type="lock", password='p"'),
                 dict(type="disUpload", fileName="../d.dis", updaterPath=""),
                 dict(type="disUpload", fileName="d.dis", updaterPath='/x" "y')]
        for params in cases:
            with self.subTest(**params):
                reply = self.get("action", macAddress=unit.mac, **params)
                self.assertEqual(reply["status"], "error", reply)
                self.assertNotIn("statusList", reply)
        time.sleep(0.3)
        self.assertEqual(self.types(unit), [])


class ModuleDirectories(UpdaterCase):
    """Directories whose names hold "_module_" name no module: only the file's own name does."""

    server_config = CONFIG.replace('"./tmp/"', '"./tmp_module_x/"')

    def test_module_upload_from_a_temporary_directory_named_like_a_module(self):
        unit = Unit(mac(1), 6)
        self.add_units(unit)
        own = os.path.join(self.server.path("up_module_rundis"), "cu_module_pager_1.2.mod")
        os.makedirs(os.path.dirname(own))
        with open(own, "wb") as f:
            f.write(self.module_archive("pager", b"pager"))
        name = "cu_module_intercom_1.2.mod"
        self.upload(name, self.module_archive("intercom", b"intercom"), type="other", buttonId="m", updaterName=name)
        cases = [  # (file name, updaterPath, module, content)
            (name, "", "intercom", b"intercom"),
            ("m.mod", own, "pager", b"pager"),
        ]
        for file_name, path, module, content in cases:
            with self.subTest(path=path):
                reply = self.get("action", type="moduleUpload", fileName=file_name, updaterPath=path,
                                 macAddress=unit.mac)
                self.assertEqual(reply["statusList"][0]["status"], "commandAccepted", reply)
                self.assertEqual(self.progress_until_end(unit)[-1], {"status": "success"})
                self.assertEqual(unit.files[f"/modules/{module}/bin/{module}"], content)
        self.assertNotIn(sim.RBT, self.types(unit), "rundis, named by a directory, is not the module")
        # A bad name of the file itself is still refused.
        for params in (dict(fileName="cu_module_.._1.mod", updaterPath=""),
                       dict(fileName="m.mod", updaterPath=self.server.path("tmp_module_x/cu_module_.._1.mod"))):
            with self.subTest(**params):
                self.assertEqual(self.get("action", type="moduleUpload", macAddress=unit.mac, **params),
                                 {"status": "error", "description": "invalid module name"})
        self.assert_clean_stop()


if __name__ == "__main__":
    unittest.main()
