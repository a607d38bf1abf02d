"""Chromium, headless, as the user's browser: it loads one page and returns the page's DOM.

Runs with a home and a profile of its own in a temporary directory, so downloads and settings stay
there. Every Chromium process is started in a process group of its own and ended with it.
"""
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

FLAGS = ["--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
         "--disable-component-update", "--disable-sync"]


def executable():
    path = shutil.which("chromium")
    if not path:
        raise unittest.SkipTest("chromium is not installed (scripts/install-deps installs it)")
    return path


class Browser:
    def __init__(self):
        self.home = tempfile.mkdtemp(prefix="chromium-")
        self.downloads = os.path.join(self.home, "Downloads")

    def close(self):
        shutil.rmtree(self.home, ignore_errors=True)

    def start(self, *args, stdout=subprocess.DEVNULL):
        profile = tempfile.mkdtemp(dir=self.home)
        env = dict(os.environ, HOME=self.home)
        return subprocess.Popen([executable(), *FLAGS, f"--user-data-dir={profile}", *args], env=env,
                                stdout=stdout, stderr=subprocess.DEVNULL, start_new_session=True)

    @staticmethod
    def end(proc):
        # Chromium's helper processes share its group: none outlives the page.
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait()

    def dump_dom(self, url, page_server=None, ready=lambda: True, timeout=30):
        """Loads `url` in a fresh profile and returns its DOM. With a page server, the page's held
        image is released once the page has fetched "/done" and `ready()` holds."""
        proc = self.start("--dump-dom", url, stdout=subprocess.PIPE)
        try:
            if page_server:
                deadline = time.time() + timeout
                page_server.done.wait(timeout)
                while not ready() and time.time() < deadline:
                    time.sleep(0.05)
                page_server.release()
            out, _ = proc.communicate(timeout=timeout)
            return out.decode(errors="replace")
        finally:
            self.end(proc)
            if page_server:
                page_server.reset()

    def show(self, url, ready, timeout=30):
        """Shows `url` in a fresh profile until `ready()` holds (a page that the document root's
        policy keeps from reaching any other server says it is done in its own server's effects)."""
        proc = self.start(url)
        try:
            deadline = time.time() + timeout
            while not ready() and time.time() < deadline and proc.poll() is None:
                time.sleep(0.05)
        finally:
            self.end(proc)
