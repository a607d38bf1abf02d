"""The page in pym: its title, its upload fields, what it saves, and its user agent.

One pym start serves every check; the test pages (pym/tests/docroot) are steered through
driver.js, the file dialogs are answered by typing into them (xdotool), and what reaches the
server is read from a capture on loopback (tests/peers/lo_capture.py).
"""
import filecmp
import io
import os
import re
import shutil
import subprocess
import sys
import time
import unittest
import zipfile
from urllib.parse import unquote, unquote_to_bytes

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "peers"))
from harness import EVENT_BOUND, TITLE, PageTest, wait_until  # noqa: E402
from lo_capture import LoopbackCapture  # noqa: E402

DOCROOT = os.path.join(os.path.dirname(__file__), "..", "docroot")
USER_AGENT = ("Mozilla/5.0 (Windows; U; Windows NT 5.1; pl-PL) AppleWebKit/532.4 (KHTML, like Gecko) "
              "XJE/1.0 Safari/532.4")
UPLOAD_FIELD = (300, 130)  # the middle of the test page's upload field


def multipart_field(request, name):
    match = re.search(rb'name="' + re.escape(name.encode()) + rb'"\r\n\r\n(.*?)\r\n--', request, re.S)
    return match.group(1).decode() if match else None


class WebPageTest(PageTest):
    docroot = DOCROOT

    @classmethod
    def start_peers(cls):
        cls.capture = LoopbackCapture(8765)

    @classmethod
    def stop_peers(cls):
        cls.capture.stop()

    @classmethod
    def add_files(cls):
        with open(cls.run_dir.path("bin", "www", "big.tar"), "wb") as f:
            f.write(os.urandom(4 * 1024 * 1024))

    # Helpers

    def go(self, url, title=None):
        self.run_dir.navigate(url)
        if title:
            self.wait_title(title)

    def new_window(self, title=None, timeout=EVENT_BOUND):
        """The first visible window other than pym's main window (with the given title)."""
        def find():
            return [w for w in self.screen.all_windows()
                    if w != self.window and (title is None or self.screen.title(w) == title)]
        found = wait_until(find, timeout)
        self.assertTrue(found, f"no window {title!r}")
        return found[-1]

    def no_window(self, title, seconds):
        deadline = time.time() + seconds
        while time.time() < deadline:
            self.assertEqual(self.screen.titled(title), [], f"a window {title!r}")
            time.sleep(0.1)

    def confirm_overwrite(self, dialog):
        # The question has a title; the name field's completer, which may still be open, has none.
        box = wait_until(lambda: [w for w in self.screen.all_windows()
                                  if w not in (self.window, dialog) and self.screen.title(w)], EVENT_BOUND)
        self.assertTrue(box, "no question before replacing the file")
        self.screen.key(box[0], "alt+y")

    def dismiss(self, window):
        self.screen.key(window, "Return")
        self.assertTrue(wait_until(lambda: window not in self.screen.all_windows(), EVENT_BOUND))

    def click_upload(self):
        self.screen.click(*UPLOAD_FIELD)

    def posted(self, path):
        """The upload request that carried the file with this path in "filePath"."""
        return wait_until(lambda: next((r for r in self.capture.requests()
                                        if r.startswith(b"POST ") and multipart_field(r, "filePath") == path), None), 10)

    def setting(self, key):
        match = re.search(rf"^{key}=(.*)$", self.pym.settings(), re.M)
        return match.group(1) if match else None

    # Checks, in the order they run

    def test_1_user_agent(self):
        self.assertIsNotNone(self.window)
        self.assertEqual(self.screen.title(self.window), TITLE)
        ua = wait_until(lambda: next((r for r in self.capture.requests() if r.startswith(b"GET /ua.txt?ua=")), None), EVENT_BOUND)
        self.assertIsNotNone(ua, "the page never said its user agent")
        said = ua.split(b" ")[1].split(b"?ua=", 1)[1]
        self.assertEqual(unquote(said.decode()), USER_AGENT)
        agents = {m.group(1).decode() for r in self.capture.requests() for m in re.finditer(rb"\r\nUser-Agent: ([^\r]*)", r)}
        self.assertEqual(agents, {USER_AGENT})

    def test_2_module_titles(self):
        log_before = self.pym.log()
        # 2 is shown inside an iframe: the element is found in a child frame.
        for module, frame, title in (("1", "0", "Configuration - " + TITLE), ("2", "1", "Updater - " + TITLE),
                                     ("3", "0", "Recovery - " + TITLE), ("9", "0", TITLE)):
            self.go(f"page.html?module={module}&frame={frame}", title)
        time.sleep(1)  # the pages keep polling: no change may be logged twice
        changes = re.findall(r"webview: module changed to (.*)", self.pym.log()[len(log_before):])
        self.assertEqual(changes, ["pym ()", "updater", "curtain", "unknown"])

    def test_3_configuration_upload(self):
        folder = os.path.join(self.user, "my configs")
        os.makedirs(folder)
        for name in ("site a.conf", "other.conf"):
            shutil.copy(self.run_dir.path("bin", "default.conf"), os.path.join(folder, name))
        self.go("page.html?module=1&kind=conf", "Configuration - " + TITLE)

        self.click_upload()
        dialog = self.new_window("Open intercom configuration file")
        time.sleep(0.5)
        self.screen.screenshot("upload-conf-dialog")
        self.screen.answer(dialog, os.path.join(folder, "site a.conf"))
        self.wait_title("Configuration - site a.conf - " + TITLE)
        self.assertIsNotNone(self.posted(os.path.join(folder, "site a.conf")), "#uploadRealPath did not hold the path")
        uploaded = self.run_dir.path("bin", "tmp", "site a.conf")
        self.assertTrue(wait_until(lambda: os.path.exists(uploaded), EVENT_BOUND))
        self.assertTrue(filecmp.cmp(uploaded, os.path.join(folder, "site a.conf"), shallow=False))
        self.assertEqual(self.setting("OpenFileLocation"), folder)

        # The next dialog starts in that folder: a bare name is taken from there.
        self.click_upload()
        dialog = self.new_window("Open intercom configuration file")
        self.screen.answer(dialog, "other.conf")
        self.wait_title("Configuration - other.conf - " + TITLE)
        self.assertIsNotNone(self.posted(os.path.join(folder, "other.conf")))

        # A new configuration has no file name.
        self.go("page.html?module=1&newfile=1", "Configuration - " + TITLE)
        self.assertIn("new configuration request", self.pym.log())

    def test_4_upload_without_filter_and_in_a_frame(self):
        self.go("page.html?module=9&kind=none", TITLE)
        self.click_upload()
        dialog = self.new_window()
        # An empty caption: the dialog shows the toolkit's own title.
        self.assertEqual(self.screen.title(dialog), "Open")
        time.sleep(0.5)
        self.screen.screenshot("upload-unfiltered-dialog")
        self.screen.key(dialog, "Escape")
        self.assertTrue(self.pym.wait_log(" opendialog: cancel clicked"))

        self.go("page.html?module=9&kind=wav&frame=1")
        time.sleep(1)
        self.click_upload()
        dialog = self.new_window("Open audio file")
        self.screen.key(dialog, "Escape")
        self.assertTrue(wait_until(lambda: dialog not in self.screen.all_windows(), EVENT_BOUND))

    def test_5_configuration_saved_by_the_server(self):
        folder = os.path.join(self.user, "saves")
        os.makedirs(folder)
        chosen = os.path.join(folder, "a b&c#d+e%f=\u00fc")
        self.go("/tuna/configurationFile.json?command=save_file&saveAs=1")
        dialog = self.new_window("Save File")
        time.sleep(0.5)
        self.screen.screenshot("save-configuration-dialog")
        self.screen.answer(dialog, chosen)
        self.assertTrue(self.pym.wait_log("save file as : " + chosen))
        written = chosen + ".conf"
        self.assertTrue(wait_until(lambda: os.path.exists(written), EVENT_BOUND), os.listdir(folder))
        prefix = b"GET /tuna/configurationFile.json?command=save_as&file="
        request = next(r for r in self.capture.requests() if r.startswith(prefix) and b"%C3%BC" in r.split(b" ")[1])
        value = request.split(b" ")[1].split(b"&file=", 1)[1]
        self.assertNotRegex(value, rb"[ &#+=\x80-\xff]")
        self.assertEqual(unquote_to_bytes(value).decode(), chosen)
        # The server wrote it; pym wrote nothing of its own.
        self.assertEqual(os.listdir(folder), [os.path.basename(written)])
        with open(written, encoding="utf-8") as f:
            self.assertIn("\t|filename| = |a b&c#d+e%f=\u00fc.conf|\n", f.read())
        self.assertEqual(self.setting("SaveFileLastLocation"), folder)
        self.assertIn("a b&c#d+e%f=", self.setting("SaveFilePath") or "")
        self.no_window("Error saving file", 1)

    def test_6_download_over_an_older_file(self):
        folder = os.path.join(self.user, "icons")
        os.makedirs(folder)
        target = os.path.join(folder, "icons.zip")
        with open(target, "wb") as f:
            f.write(b"an older archive")
        self.go("/icons/?command=save_icons")
        dialog = self.new_window("Save File")
        time.sleep(0.5)
        self.screen.screenshot("download-dialog")
        self.screen.answer(dialog, target)
        self.confirm_overwrite(dialog)
        box = self.new_window("Save file")
        self.screen.screenshot("download-saved")
        self.dismiss(box)
        expected = subprocess.run(["curl", "-s", "http://127.0.0.1:8765/icons/?command=save_icons"],
                                  capture_output=True).stdout
        # Equal but for the archive's time stamps.
        with zipfile.ZipFile(target) as saved, zipfile.ZipFile(io.BytesIO(expected)) as fetched:
            self.assertEqual(saved.namelist(), fetched.namelist())
            for name in saved.namelist():
                self.assertEqual(saved.read(name), fetched.read(name), name)
        self.assertEqual(os.listdir(folder), ["icons.zip"])
        self.no_window("Save file", 1)
        self.no_window("Error saving file", 0.1)

    def test_7_download_onto_a_full_disk(self):
        folder = os.path.join(self.user, "small disk")
        os.makedirs(folder)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", folder], check=True)
        try:
            target = os.path.join(folder, "big.tar")
            old = os.urandom(100 * 1024)
            with open(target, "wb") as f:
                f.write(old)
            self.go("/big.tar")
            dialog = self.new_window("Save File")
            self.screen.answer(dialog, target)
            self.confirm_overwrite(dialog)
            box = self.new_window("Error saving file")
            self.screen.screenshot("download-disk-full")
            self.dismiss(box)
            self.no_window("Error saving file", 2)
            self.no_window("Save file", 0.1)
            with open(target, "rb") as f:
                self.assertEqual(f.read(), old)
            self.assertEqual(os.listdir(folder), ["big.tar"])

            # A configuration that the server cannot write there is reported the same way.
            with open(os.path.join(folder, "filler"), "wb", buffering=0) as f:
                try:
                    while True:
                        f.write(bytes(65536))
                except OSError:
                    pass
            self.go("/tuna/configurationFile.json?command=save_file&saveAs=1")
            dialog = self.new_window("Save File")
            self.screen.answer(dialog, os.path.join(folder, "site"))
            box = self.new_window("Error saving file")
            self.dismiss(box)
            self.assertEqual(sorted(os.listdir(folder)), ["big.tar", "filler"])
        finally:
            subprocess.run(["umount", folder])

    def test_8_cancel(self):
        settings = self.pym.settings()
        before = set(os.listdir(self.user))
        self.go("/big.tar")
        dialog = self.new_window("Save File")
        self.screen.key(dialog, "Escape")
        self.assertTrue(self.pym.wait_log("save dialog: cancel clicked"))
        time.sleep(1)
        self.assertEqual(self.pym.settings(), settings)
        self.assertEqual(set(os.listdir(self.user)), before)

    def test_9_close(self):
        self.screen.close_window(self.window)
        self.assertEqual(self.pym.wait(), 0)


if __name__ == "__main__":
    unittest.main()
