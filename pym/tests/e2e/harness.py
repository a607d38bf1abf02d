"""Runs the built pym with its own stavenor under an Xvfb of the test's own.

Every test runs inside stavenor/tests/in-netns: its own network namespace (so 127.0.0.1:8765 is
its alone) and a private /tmp/.X11-unix (so the X displays started here are too).
"""
import ctypes
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

import websocket

PYM_RUN_DIR = os.environ.get("PYM_RUN_DIR", "")
SHOTS_DIR = os.environ.get("PYM_SHOTS_DIR", "")
TITLE = "ZT-5200K Digital Intercom System Control Center"
SETTINGS = os.path.join("Morvex Corporation", TITLE + ".conf")


# The bound of a wait for an event, in seconds. A second test suite on the same machine can hold
# pym, its web engine or its server back for many seconds; a wait ends at its event, so a generous
# bound costs nothing when the event comes.
EVENT_BOUND = 90


def wait_until(predicate, timeout, step=0.05):
    """Returns predicate()'s first true value, or None after timeout seconds."""
    deadline = time.time() + timeout
    while True:
        value = predicate()
        if value or time.time() >= deadline:
            return value or None
        time.sleep(step)


class Display:
    """An Xvfb screen of the given size."""

    def __init__(self, number, width, height):
        self.name = f":{number}"
        self.proc = subprocess.Popen(
            ["Xvfb", self.name, "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp", "-nolock"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_until(lambda: os.path.exists(f"/tmp/.X11-unix/X{number}"), EVENT_BOUND):
            raise AssertionError("Xvfb did not start")

    def run(self, *args):
        r = subprocess.run(list(args), capture_output=True, text=True, env={**os.environ, "DISPLAY": self.name})
        return r.stdout

    def windows(self, name):
        """Ids of the visible windows whose title matches the regular expression (in any case)."""
        return [int(w) for w in self.run("xdotool", "search", "--onlyvisible", "--name", name).split()]

    def titled(self, title):
        """Ids of the visible windows whose title is exactly title."""
        return [w for w in self.all_windows() if self.title(w) == title]

    def title(self, window):
        return self.run("xdotool", "getwindowname", str(window)).rstrip("\n")

    def all_windows(self):
        """Ids of every visible top-level window, named or not."""
        return [int(w) for w in self.run("xdotool", "search", "--onlyvisible", "--classname", ".").split()]

    def geometry(self, window):
        """(x, y, width, height) of a window on the screen."""
        info = self.run("xwininfo", "-id", str(window))
        value = lambda key: int(re.search(key + r":\s+(-?\d+)", info).group(1))
        return value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height")

    def key(self, window, keys):
        self.run("xdotool", "windowfocus", "--sync", str(window))
        self.run("xdotool", "key", keys)

    def click(self, x, y):
        # (A move with --sync onto where the pointer already is would wait for a motion that never comes.)
        self.run("xdotool", "mousemove", str(x), str(y), "sleep", "0.1", "click", "1")

    def answer(self, dialog, text):
        """Types text into a file dialog's name field and accepts it, once the dialog has the keyboard."""
        self.run("xdotool", "windowfocus", "--sync", str(dialog))
        # Keys sent before a busy dialog has its focus and name field set up would be lost, and the
        # Return alone would accept the proposed name.
        wait_until(lambda: self.run("xdotool", "getwindowfocus").strip() == str(dialog), EVENT_BOUND)
        time.sleep(0.5)
        # The name goes through the clipboard: xdotool types a character that the keyboard map
        # lacks ("ü") through a key it remaps for the moment, which pym may read back too late.
        subprocess.run(["xclip", "-selection", "clipboard"], input=text.encode(), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env={**os.environ, "DISPLAY": self.name})
        self.run("xdotool", "key", "ctrl+a")
        self.run("xdotool", "key", "ctrl+v")
        self.run("xdotool", "key", "Return")

    def screenshot(self, name):
        if SHOTS_DIR:
            os.makedirs(SHOTS_DIR, exist_ok=True)
            self.run("import", "-window", "root", os.path.join(SHOTS_DIR, name + ".png"))

    def capture(self, window):
        """(width, height, rgb bytes) of what a window shows now."""
        data = subprocess.run(["import", "-window", str(window), "-depth", "8", "ppm:-"], capture_output=True,
                              env={**os.environ, "DISPLAY": self.name}, check=True).stdout
        magic, width, height, maximum, pixels = data.split(maxsplit=4)
        assert magic == b"P6" and maximum == b"255", data[:20]
        return int(width), int(height), pixels

    def close_window(self, window):
        """Asks a window to close as a window manager would (WM_DELETE_WINDOW)."""
        x11 = ctypes.CDLL("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
        x11.XFlush.argtypes = x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                        ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]

        display = x11.XOpenDisplay(self.name.encode())
        event = ClientMessage(type=33, display=display, window=window, format=32,
                              message_type=x11.XInternAtom(display, b"WM_PROTOCOLS", 0))
        event.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
        x11.XFlush(display)
        x11.XCloseDisplay(display)

    def stop(self):
        self.proc.terminate()
        self.proc.wait(10)


def children(pid):
    """{pid: name} of the live processes whose parent is pid."""
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        name = stat[stat.index("(") + 1:stat.rindex(")")]
        fields = stat[stat.rindex(")") + 2:].split()
        if int(fields[1]) == pid and fields[0] != "Z":
            found[int(entry)] = name
    return found


def processes_in(directory):
    """Pids of the live processes whose working directory is directory."""
    found = []
    for entry in os.listdir("/proc"):
        try:
            if entry.isdigit() and os.readlink(f"/proc/{entry}/cwd") == directory and alive(int(entry)):
                found.append(int(entry))
        except OSError:
            pass
    return found


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


class RunDir:
    """A copy of the run directory that the build lays out (pym, bin/stavenor, bin/config.cfg, bin/www)."""

    def __init__(self, with_server=True, docroot=None):
        self.dir = tempfile.mkdtemp(prefix="pym-run-")
        shutil.copytree(PYM_RUN_DIR, self.dir, dirs_exist_ok=True)
        if not with_server:
            os.remove(os.path.join(self.dir, "bin", "stavenor"))
        if docroot:
            www = os.path.join(self.dir, "bin", "www")
            shutil.rmtree(www)
            shutil.copytree(docroot, www)
        self.steps = 0

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def navigate(self, url):
        """Sends the test pages (their driver.js) to url."""
        self.steps += 1
        with open(self.path("bin", "www", "next.txt"), "w") as f:
            f.write(f"{self.steps} {url}\n")

    def close(self):
        shutil.rmtree(self.dir, ignore_errors=True)


class DevTools:
    """The page that pym shows, asked through its DevTools port (QTWEBENGINE_REMOTE_DEBUGGING) what
    it shows and which control has the keyboard: a test waits for that instead of for time.
    One request at a time, on one page (pym has one)."""

    def __init__(self, port):
        self.port = port
        self.connection = None
        self.calls = 0

    def connect(self):
        with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/json", timeout=EVENT_BOUND) as reply:
            pages = [t for t in json.load(reply) if t["type"] == "page"]
        if not pages:
            raise ConnectionError("pym shows no page to ask")
        self.connection = websocket.create_connection(pages[0]["webSocketDebuggerUrl"], timeout=EVENT_BOUND,
                                                      suppress_origin=True)

    def evaluate(self, expression):
        """The value of a JavaScript expression in the page (a promise's once it settles); an expression
        that throws fails the test."""
        if not self.connection:
            self.connect()
        self.calls += 1
        self.connection.send(json.dumps({"id": self.calls, "method": "Runtime.evaluate", "params": {
            "expression": expression, "returnByValue": True, "awaitPromise": True}}))
        while True:
            reply = json.loads(self.connection.recv())
            if reply.get("id") == self.calls:
                break
        result = reply.get("result", {})
        if "exceptionDetails" in result or "result" not in result:
            raise AssertionError(f"the page cannot evaluate {expression!r}: {reply}")
        return result["result"].get("value")

    def close(self):
        if self.connection:
            self.connection.close()
        self.connection = None


# What a person would call the control that has the keyboard: its label, else its text ("" for none).
FOCUSED = """(() => {
    const e = document.activeElement;
    if (!e || e === document.body) return "";
    const label = e.getAttribute("aria-label") || (e.labels && e.labels[0] ? e.labels[0].innerText : e.innerText);
    return label.trim().replace(/\\s+/g, " ");
})()"""


class Pym:
    """pym started from a run directory on a display, with its settings under config_home; with
    devtools_port, its page answers DevTools there (see DevTools)."""

    def __init__(self, run_dir, display, config_home, args=(), devtools_port=None):
        self.display = display
        self.config_home = config_home
        self.log_path = os.path.join(config_home, f"pym-{time.time_ns()}.log")
        env = dict(os.environ, DISPLAY=display.name, XDG_CONFIG_HOME=config_home, QTWEBENGINE_DISABLE_SANDBOX="1",
                   QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu", LIBGL_ALWAYS_SOFTWARE="1",
                   XDG_RUNTIME_DIR=config_home, XDG_DATA_HOME=config_home, XDG_CACHE_HOME=config_home)
        if devtools_port:
            env["QTWEBENGINE_REMOTE_DEBUGGING"] = f"127.0.0.1:{devtools_port}"
        self.stdout_path = self.log_path + ".stdout"
        with open(self.log_path, "wb") as log, open(self.stdout_path, "wb") as out:
            self.proc = subprocess.Popen([os.path.join(run_dir.dir, "pym"), *args], cwd=run_dir.dir, env=env,
                                         stdout=out, stderr=log)
        self.started = time.time()

    def log(self):
        """What pym wrote to its standard error."""
        with open(self.log_path, "rb") as f:
            return f.read().decode(errors="replace")

    def stdout(self):
        with open(self.stdout_path, "rb") as f:
            return f.read().decode(errors="replace")

    def wait_log(self, text, timeout=EVENT_BOUND):
        return wait_until(lambda: text in self.log(), timeout)

    def server(self):
        """Pid of the stavenor that pym started, or None."""
        return next((pid for pid, name in children(self.proc.pid).items() if name == "stavenor"), None)

    def main_window(self, timeout=EVENT_BOUND):
        # The title names the module that the page shows, before the product: "Configuration - ...".
        found = wait_until(lambda: self.display.windows("^(.* - )?" + re.escape(TITLE) + "$"), timeout)
        return found[0] if found else None

    def settings(self):
        path = os.path.join(self.config_home, SETTINGS)
        if not os.path.exists(path):
            return ""
        with open(path) as f:
            return f.read()

    def wait(self, timeout=EVENT_BOUND):
        return self.proc.wait(timeout)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGKILL)
            self.proc.wait()


class PageTest(unittest.TestCase):
    """pym on the pages of its run directory (or on `docroot` in their place), under a display of its
    own (`screen_size`, 1024 x 768 unless a class says otherwise), with a settings home and a user's
    folder of its own. A test class adds its peers in `start_peers` (run before pym starts, so pym and
    its server see them) and ends them in `stop_peers`; `add_files` puts files into the run directory
    before pym starts. With `devtools_port`, `page` asks the page what it shows (see DevTools)."""

    docroot = None
    devtools_port = None
    screen_size = (1024, 768)

    @classmethod
    def start_peers(cls):
        pass

    @classmethod
    def stop_peers(cls):
        pass

    @classmethod
    def add_files(cls):
        pass

    @classmethod
    def setUpClass(cls):
        cls.start_peers()
        cls.screen = Display(1, *cls.screen_size)
        cls.config_home = tempfile.mkdtemp(prefix="pym-config-")
        cls.user = tempfile.mkdtemp(prefix="pym-user-")
        cls.run_dir = RunDir(docroot=cls.docroot)
        cls.add_files()
        cls.pym = Pym(cls.run_dir, cls.screen, cls.config_home, devtools_port=cls.devtools_port)
        cls.page = DevTools(cls.devtools_port) if cls.devtools_port else None
        cls.window = cls.pym.main_window()

    @classmethod
    def tearDownClass(cls):
        if cls.page:
            cls.page.close()
        cls.pym.kill()
        sys.stderr.write("--- pym's log\n" + "".join(line + "\n" for line in cls.pym.log().splitlines()
                                                       if " LOG (" in line))
        cls.screen.stop()
        cls.run_dir.close()
        shutil.rmtree(cls.config_home, ignore_errors=True)
        shutil.rmtree(cls.user, ignore_errors=True)
        cls.stop_peers()

    def title(self):
        return self.screen.title(self.window)

    def wait_title(self, title, timeout=EVENT_BOUND):
        found = wait_until(lambda: self.title() == title, timeout)
        self.assertTrue(found, f"title {self.title()!r}, not {title!r}")

    def wait_page(self, expression, what, timeout=EVENT_BOUND):
        """Waits until a JavaScript expression holds in the page."""
        self.assertTrue(wait_until(lambda: self.page.evaluate(expression), timeout), f"the page: not {what}")

    def focused(self):
        return self.page.evaluate(FOCUSED)

    def keys_to(self, control, *keys):
        """Types keys into the window, then waits until the keyboard is on the named control: the page
        takes keys in their order, but in its own time."""
        for key in keys:
            self.screen.key(self.window, key)
        found = wait_until(lambda: self.focused() == control, EVENT_BOUND)
        self.assertTrue(found, f"after {' '.join(keys)} the keyboard is on {self.focused()!r}, not on {control!r}")

    def click_until(self, place, done, what, tries=5, wait=10):
        """Clicks until done() holds: the page draws what it learns from its requests a moment later."""
        for _ in range(tries):
            self.screen.click(*place)
            found = wait_until(done, wait)
            if found:
                return found
        self.fail(f"{what}: nothing after {tries} clicks")
