"""Configuration files through the running server: start-up with the shipped default.conf, and the
"configurationFile.json" command's load, save, save as and new file."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(__file__))
from harness import DATA_DIR, EVENT_BOUND, REPO_DIR, Server, curl, curl_headers  # noqa: E402

SHIPPED_DEFAULT = os.path.join(REPO_DIR, "run", "default.conf")
FIXTURE = os.path.join(DATA_DIR, "config", "system_sections.conf")
NODE_LINE = re.compile(rb"^\t*\|[^|\n]*\|( = \|[^|\n]*\|)?$")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def command(*fields):
    query = urllib.parse.urlencode([tuple(field.split("=", 1)) for field in fields])
    return curl("/tuna/configurationFile.json?" + query)


def names(table):
    status, body = curl(f"/tuna/list/{table}.json")
    assert status == 200, body
    return json.loads(body)["name"]


def upload_and_load(path, name, *more):
    """Uploads the file into the temporary directory and loads it, as the browser does."""
    return curl("/tuna/configurationFile.json", "-F", "command=load_file", "-F", f"fileName={name}",
                *[arg for field in more for arg in ("-F", field)], "-F", f"file=@{path};filename={name}")


class ConfigFiles(unittest.TestCase):
    def setUp(self):
        self.server = Server(args=("-l", "0x1"), files={"default.conf": read(SHIPPED_DEFAULT)})
        self.addCleanup(self.server.close)

    def test_start_up_writes_saved_conf_in_the_tree_text_form(self):
        saved = self.server.read("saved.conf")
        lines = saved.split(b"\n")
        self.assertTrue(lines[0].startswith(b"# config file "), lines[0])
        self.assertEqual(lines[1], b"")
        self.assertEqual(lines[-1], b"")  # every line ends with a line feed
        for line in lines[2:-1]:
            self.assertRegex(line, NODE_LINE)
        self.assertIn(b"\n|nodes|\n\t|CU-1|\n", saved)
        self.assertIn(b"\t\t\t\t\t|ip address| = |192.168.10.1/255.255.255.0|\n", saved)
        self.assertEqual(names("centralUnits"), ["CU-1"])
        self.assertTrue(os.path.isdir(self.server.path("announcements/English")))

    def test_save_file_save_as_and_new_file(self):
        # No file of the user's yet: the configuration is offered as a download.
        status, headers, offered = curl_headers("/tuna/configurationFile.json?command=save_file")
        self.assertEqual(status, 200)
        self.assertEqual(headers["content-disposition"], 'attachment; filename="New configuration.conf"')
        self.assertTrue(offered.startswith(b"# config file "))
        self.assertIn(b"\n|nodes|\n\t|CU-1|\n", offered)

        # A bare name is written in the working directory.
        self.assertEqual(command("command=save_as", "file=field exercise")[0], 404)
        written = self.server.read("field exercise.conf")
        self.assertIn(b"\t|filename| = |field exercise.conf|\n", written)
        self.assertEqual(names("Configuration"), ["field exercise.conf"])
        status, headers, offered = curl_headers("/tuna/configurationFile.json?command=save_file&saveAs=1")
        self.assertEqual(status, 200)
        self.assertEqual(headers["content-disposition"], 'attachment; filename="field exercise.conf"')
        self.assertIn(b"\t|filename| = |field exercise.conf|\n", offered)

        # The browser changes the configuration, saves it to the current file, then starts anew.
        status, body = curl("/tuna/insert/centralUnits.json?" + urllib.parse.urlencode(
            {"name": "CU-2", "ipAddress": "10.0.0.1", "netMask": "255.255.255.0"}))
        self.assertEqual(json.loads(body)["status"], "success")
        self.assertEqual(command("command=save_file")[0], 404)
        written = self.server.read("field exercise.conf")
        self.assertIn(b"\t|CU-2|\n", written)
        self.assertIn(b"\t\t\t\t\t|ip address| = |10.0.0.1/255.255.255.0|\n", written)
        self.assertIn(b"\t|CU-2|\n\t\t|disable local echo with pabx| = |0|\n\t\t|interfaces|\n", written)
        self.assertIn(b"\t\t|services|\n", written)

        self.assertEqual(command("command=new_file")[0], 404)
        self.assertEqual(names("centralUnits"), ["CU-1"])

    def test_load_file_and_its_failures(self):
        status, body = upload_and_load(FIXTURE, "sections.conf", "filePath=C:\\work\\sections.conf")
        self.assertEqual((status, json.loads(body)), (200, {"status": "success"}))
        self.assertEqual(sorted(names("centralUnits")), ["Unit \"A\"", "Zulu", "Žluťoučký kůň"])
        self.assertEqual(names("Configuration"), ["system sections.conf"])
        saved = self.server.read("saved.conf")
        self.assertIn(b"\t|filename| = |system sections.conf|\n", saved)

        broken = self.server.path("broken.conf")
        with open(broken, "wb") as f:
            f.write(b"|system|\n\t|name| = |unclosed\n")
        status, body = upload_and_load(broken, "broken.conf")
        self.assertEqual(json.loads(body),
                         {"status": "error", "description": "cannot load broken.conf: a value lacks its closing \"|\" (line 2). "
                                                    "The configuration in use is kept."})
        # Nothing of the current configuration is lost.
        self.assertEqual(sorted(names("centralUnits")), ["Unit \"A\"", "Zulu", "Žluťoučký kůň"])
        self.assertEqual(self.server.read("saved.conf"), saved)
        self.assertEqual(command("command=save_file")[0], 404)
        self.assertIn(b"\t|Zulu|\n", self.server.read("sections.conf"))

        status, body = command("command=load_file", "fileName=../config.cfg")
        self.assertEqual(json.loads(body)["status"], "error")
        self.assertEqual(sorted(names("centralUnits")), ["Unit \"A\"", "Zulu", "Žluťoučký kůň"])

    def test_files_where_the_user_chose(self):
        chosen = tempfile.mkdtemp(prefix="chosen-")
        self.addCleanup(shutil.rmtree, chosen, True)
        before = sorted(os.listdir(self.server.dir))

        # "save_as" with a path in another directory writes there and nowhere else.
        target = os.path.join(chosen, "exercise")
        self.assertEqual(command("command=save_as", "file=" + target)[0], 404)
        self.assertIn(b"\t|filename| = |exercise.conf|\n", read(target + ".conf"))
        self.assertEqual(os.listdir(chosen), ["exercise.conf"])
        self.assertEqual(sorted(os.listdir(self.server.dir)), before)
        self.assertEqual(names("Configuration"), ["exercise.conf"])

        # "load_file" remembers the whole path: an edit, then Save updates that file.
        mine = os.path.join(chosen, "mine.conf")
        shutil.copy(FIXTURE, mine)
        os.chmod(mine, 0o600)
        status, body = upload_and_load(mine, "mine.conf", "filePath=" + mine)
        self.assertEqual(json.loads(body), {"status": "success"})
        status, body = curl("/tuna/insert/centralUnits.json?name=CU-9")
        self.assertEqual(json.loads(body)["status"], "success")
        self.assertEqual(command("command=save_file")[0], 404)
        self.assertIn(b"\t|CU-9|\n", read(mine))
        self.assertEqual(os.stat(mine).st_mode & 0o777, 0o600)
        self.assertEqual(sorted(os.listdir(chosen)), ["exercise.conf", "mine.conf"])

        # A directory that does not exist, or a path with a control character: an error naming the
        # path, and nothing changes; Save still writes the loaded file.
        saved = read(mine)
        missing = os.path.join(chosen, "no such dir", "x")
        status, body = command("command=save_as", "file=" + missing)
        self.assertEqual(json.loads(body), {"status": "error", "description": f"cannot write {missing}.conf"})
        status, body = command("command=save_as", "file=" + os.path.join(chosen, "a\x01b"))
        self.assertEqual(json.loads(body)["status"], "error")
        self.assertFalse(os.path.exists(os.path.join(chosen, "no such dir")))
        self.assertEqual(names("Configuration"), ["system sections.conf"])
        self.assertEqual(sorted(os.listdir(chosen)), ["exercise.conf", "mine.conf"])
        self.assertEqual(read(mine), saved)
        self.assertEqual(command("command=save_file")[0], 404)
        self.assertEqual(sorted(os.listdir(chosen)), ["exercise.conf", "mine.conf"])
        self.assertEqual(sorted(os.listdir(self.server.dir)), before)

    def test_a_download_keeps_the_configurations_name_whole(self):
        # (the configuration's name, the ASCII name, the whole name as filename* carries it or None)
        cases = [
            ("Průzkum 2 – cvičení", "Pr_zkum 2 _ cvi_en_.conf",
             "Pr%C5%AFzkum%202%20%E2%80%93%20cvi%C4%8Den%C3%AD.conf"),
            ("North/South", "North-South.conf", None),
            ("C:\\exercises\\east", "C:-exercises-east.conf", None),
        ]
        for name, ascii_name, encoded in cases:
            with self.subTest(name=name):
                row = json.loads(curl("/tuna/list/Configuration.json")[1])
                status, body = curl("/tuna/update/Configuration.json", "--data-urlencode", f"id={row['id'][-1]}",
                                    "--data-urlencode", f"name={name}")
                self.assertEqual((status, json.loads(body)["status"]), (200, "success"), body)
                status, headers, offered = curl_headers("/tuna/configurationFile.json?command=save_file")
                self.assertEqual(status, 200)
                expected = f'attachment; filename="{ascii_name}"'
                if encoded:
                    expected += f"; filename*=UTF-8''{encoded}"
                self.assertEqual(headers["content-disposition"], expected)
                self.assertTrue(headers["content-disposition"].isascii())
                self.assertTrue(offered.startswith(b"# config file "))

    def test_the_temporaries_of_a_killed_save_go_at_the_next_start_or_save_of_that_file(self):
        chosen = tempfile.mkdtemp(prefix="chosen-")
        self.addCleanup(shutil.rmtree, chosen, True)
        target = os.path.join(chosen, "big500")
        units = "".join(f"\t|CU-{n:03}|\n\t\t|type| = |BRELT-10TA|\n\t\t|sip domain| = |{'d' * 200}|\n" for n in range(500))
        big = os.path.join(chosen, "source.txt")
        with open(big, "w") as f:
            f.write(f"|nodes|\n{units}|system|\n\t|name| = |big500|\n")
        self.assertEqual(json.loads(upload_and_load(big, "big500.conf")[1]), {"status": "success"})
        os.remove(big)
        self.assertEqual(command("command=save_as", "file=" + target)[0], 404)
        whole = read(target + ".conf")

        # Saves again and again, each killed as soon as its temporary file stands beside the target,
        # until a kill leaves one (the save may finish first); the user's file stays whole each time.
        server = self.server
        leftovers = []
        for _ in range(40):
            if leftovers:
                break
            saving = subprocess.Popen(["curl", "-s", "-o", "/dev/null", "--max-time", str(EVENT_BOUND),
                                       "http://127.0.0.1:8765/tuna/configurationFile.json?command=save_file"])
            deadline = time.monotonic() + EVENT_BOUND
            while saving.poll() is None and time.monotonic() < deadline:
                if [n for n in os.listdir(chosen) if n.startswith("big500.conf.")]:
                    break
            server.proc.kill()
            server.proc.wait(EVENT_BOUND)
            saving.wait(EVENT_BOUND)
            leftovers = [n for n in os.listdir(chosen) if n.startswith("big500.conf.")]
            self.assertEqual(read(target + ".conf").split(b"\n", 1)[1], whole.split(b"\n", 1)[1])
            server.close()
            server = Server(args=("-l", "0x1"), files={"default.conf": read(SHIPPED_DEFAULT),
                                                       "saved.conf.Xy12ab": "# config file cut"})
            self.addCleanup(server.close)
            # The start-up's own save of saved.conf removed what a killed one left beside it.
            self.assertEqual(sorted(n for n in os.listdir(server.dir) if n.startswith("saved.conf")), ["saved.conf"])
            self.assertEqual(json.loads(upload_and_load(target + ".conf", "big500.conf", "filePath=" + target + ".conf")[1]),
                             {"status": "success"})
        self.assertEqual(len(leftovers), 1, "no kill of 40 came while a save was writing")
        self.assertRegex(leftovers[0], r"^big500\.conf\.[A-Za-z0-9]{6}$")

        # A user's own file of a like name is no leftover.
        with open(os.path.join(chosen, "big500.conf.backup"), "w") as f:
            f.write("# config file kept by hand\n")
        self.assertEqual(command("command=save_file")[0], 404)
        self.assertEqual(sorted(os.listdir(chosen)), ["big500.conf", "big500.conf.backup"])
        self.assertEqual(read(target + ".conf").split(b"\n", 1)[1], whole.split(b"\n", 1)[1])


if __name__ == "__main__":
    unittest.main()
