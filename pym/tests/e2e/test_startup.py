"""pym's start, its window, its command line and its watch over the server it starts."""
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from harness import EVENT_BOUND, Display, Pym, RunDir, alive, processes_in, wait_until

ERROR_BOX = "^Error$"


def log_classes(log):
    return set(re.findall(r"\] LOG \((0x[0-9a-f]+)\) - ", log))


def curl_version(port=8765):
    r = subprocess.run(["curl", "-s", "--max-time", "5", f"http://127.0.0.1:{port}/stavenorVersion"],
                       capture_output=True)
    return r.returncode == 0 and r.stdout


class StartupTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.screen = Display(1, 1024, 768)

    @classmethod
    def tearDownClass(cls):
        cls.screen.stop()

    def setUp(self):
        self.config_home = tempfile.mkdtemp(prefix="pym-config-")
        self.run_dir = RunDir()
        self.pyms = []
        self.decoy = None

    def tearDown(self):
        for pym in self.pyms:
            pym.kill()
        if self.decoy:
            self.decoy.kill()
            self.decoy.wait()
        self.run_dir.close()
        shutil.rmtree(self.config_home, ignore_errors=True)

    def start(self, args=(), screen=None, run_dir=None):
        pym = Pym(run_dir or self.run_dir, screen or self.screen, self.config_home, args)
        self.pyms.append(pym)
        return pym

    def start_decoy(self):
        """A process named stavenor that pym did not start."""
        path = os.path.join(self.config_home, "decoy", "stavenor")
        os.makedirs(os.path.dirname(path))
        shutil.copy("/bin/sleep", path)
        self.decoy = subprocess.Popen([path, "300"])

    def wait_shown(self, pym, shot=None):
        self.assertTrue(wait_until(lambda: self.screen.windows("^splash$"), EVENT_BOUND), "the splash never mapped")
        if shot:
            time.sleep(0.3)
            self.screen.screenshot(shot)
        window = pym.main_window()
        self.assertIsNotNone(window, "the main window never showed")
        self.assertTrue(wait_until(lambda: not self.screen.windows("^splash$"), EVENT_BOUND), "the splash stayed")
        # The window came with the first page, not after the retries that a missing server gets.
        self.assertNotIn("startup finished - could not get data from server", pym.log())
        self.assertIn('"http://127.0.0.1:8765/"', pym.log())
        self.assertIn("element load finished: success", pym.log())
        return window

    def close(self, pym, window):
        self.screen.close_window(window)
        return pym.wait()

    def test_start_close_and_start_again(self):
        self.start_decoy()
        pym = self.start(["-i"])
        window = self.wait_shown(pym, shot="startup-splash")
        self.screen.screenshot("startup-main")

        server = pym.server()
        self.assertIsNotNone(server, "pym's own stavenor is not its child")
        self.assertEqual(os.readlink(f"/proc/{server}/cwd"), os.path.join(self.run_dir.dir, "bin"))
        self.assertTrue(curl_version())
        self.assertEqual(self.screen.geometry(window), (0, 0, 1024, 768))

        self.screen.key(window, "ctrl+shift+i")
        tools = wait_until(lambda: [w for w in self.screen.all_windows() if w != window
                                    and self.screen.geometry(w)[2:] == (1000, 500)], EVENT_BOUND)
        self.assertTrue(tools, "Ctrl+Shift+I with -i opened no 1000 x 500 developer tools")
        time.sleep(1.5)  # the tools draw themselves a little later
        self.screen.screenshot("startup-inspector")
        self.screen.close_window(tools[0])
        self.assertTrue(wait_until(lambda: not self.screen.all_windows() or self.screen.all_windows() == [window],
                                   EVENT_BOUND))

        self.screen.run("xdotool", "windowmove", str(window), "40", "30")
        self.screen.run("xdotool", "windowsize", str(window), "900", "650")
        self.assertTrue(wait_until(lambda: self.screen.geometry(window) == (40, 30, 900, 650), EVENT_BOUND))
        self.assertEqual(self.close(pym, window), 0)
        # Year, day, month: "[yy-dd-MM hh:mm:ss.zzz] LOG (0x..) - file:line - text".
        stamp = re.search(r"^\[(\d\d-\d\d-\d\d) \d\d:\d\d:\d\d\.\d{3}\] LOG \(0x04\) - viewer\.cpp:\d+ - viewer started$",
                          pym.log(), re.M)
        self.assertIsNotNone(stamp)
        self.assertIn(stamp.group(1), {time.strftime("%y-%d-%m", time.localtime(t)) for t in (pym.started, time.time())})
        self.assertIn("] LOG (0x04) - viewer bye bye", pym.log())
        self.assertIn("WinGeometry", pym.settings())
        # The server's own output (it says "application exit" on its standard output) joins pym's
        # standard error.
        self.assertIn("application exit", pym.log())
        self.assertEqual(pym.stdout(), "")
        self.assertEqual(os.listdir(os.path.join(self.run_dir.dir, "bin", "tmp")), [])
        self.assertFalse(alive(server))
        self.assertIsNone(self.decoy.poll(), "pym ended a stavenor it did not start")

        # The geometry returns; "-inspect" is not "-i"; -l12 keeps both classes in use.
        pym = self.start(["-l12", "-inspect"])
        window = self.wait_shown(pym)
        self.assertEqual(self.screen.geometry(window), (40, 30, 900, 650))
        self.screen.key(window, "ctrl+shift+i")
        time.sleep(1.5)
        self.assertEqual(self.screen.all_windows(), [window])
        self.assertEqual(log_classes(pym.log()), {"0x04", "0x08"})
        self.assertIn("logger mask set from 0xffff to 0x0c", pym.log())
        self.assertIsNone(self.decoy.poll())

        # The server dies: one box, said once, and no new server.
        server = pym.server()
        os.kill(server, signal.SIGKILL)
        self.assertTrue(wait_until(lambda: self.screen.windows(ERROR_BOX), EVENT_BOUND), "no box")
        self.screen.screenshot("startup-crashed")
        self.assertIn("stavenor crashed", pym.log())
        time.sleep(5)
        self.assertEqual(len(self.screen.windows(ERROR_BOX)), 1)
        self.assertEqual(pym.log().count("stavenor crashed"), 1)
        self.assertIsNone(pym.server(), "the server was started again")
        box = self.screen.windows(ERROR_BOX)[0]
        self.screen.key(box, "Return")
        self.assertTrue(wait_until(lambda: not self.screen.windows(ERROR_BOX), EVENT_BOUND))
        self.assertEqual(self.close(pym, window), 0)

    def test_a_second_start_brings_the_first_window_forward(self):
        first = self.start()
        window = self.wait_shown(first)
        server = first.server()
        self.assertIsNotNone(server)
        self.screen.run("xdotool", "windowminimize", "--sync", str(window))

        second = self.start()
        self.assertEqual(second.wait(), 0)
        self.assertIn("control centre already running", second.log())
        self.assertNotIn("old child process found", second.log())
        self.assertIsNone(second.server())
        # The first one keeps its server and shows its window again.
        self.assertTrue(first.wait_log("another start asked for the window"))
        self.assertTrue(wait_until(lambda: window in self.screen.all_windows(), EVENT_BOUND), "the first window stayed hidden")
        # Shown again, it draws its page a moment later.
        self.assertTrue(wait_until(lambda: set(self.screen.capture(window)[2]) != {255}, EVENT_BOUND), "the window stayed blank")
        self.screen.screenshot("startup-second-start")
        self.assertEqual(first.server(), server)
        self.assertTrue(curl_version())
        self.assertIsNone(first.proc.poll())
        self.assertEqual(self.close(first, window), 0)

    def test_the_splash_bar_moves(self):
        pym = self.start()
        splash = wait_until(lambda: self.screen.windows("^splash$"), EVENT_BOUND)
        self.assertTrue(splash, "the splash never mapped")

        # The bar is the splash's bottom row; the black frame around the splash is left out.
        def bar(shot, rows=30):
            width, height, pixels = shot
            return [tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3])
                    for y in range(height - 1 - rows, height - 1) for x in range(1, width - 1)]

        def look(why):
            """The bar as it shows now; the test fails for `why` once the splash has gone."""
            try:
                if self.screen.windows("^splash$"):
                    return bar(self.screen.capture(splash[0]))
            except subprocess.CalledProcessError:
                pass
            self.fail(why)

        def drawn():
            """The bar once its first frames are drawn: coloured, not merely the grey of its frame."""
            shot = look("the bar draws white on white")
            return shot if sum(1 for r, g, b in shot if max(r, g, b) - min(r, g, b) > 40) > 1000 else None

        first = wait_until(drawn, EVENT_BOUND)
        self.assertTrue(first, "the bar draws white on white")
        self.assertEqual(self.screen.capture(splash[0])[:2], (464, 197))
        self.screen.screenshot("startup-splash-bar")
        # It moves while the splash shows: a later look differs, however slowly the machine draws.
        self.assertTrue(wait_until(lambda: look("the bar stood still") != first, EVENT_BOUND), "the bar stood still")
        self.assertIsNotNone(pym.main_window())

    def test_a_leftover_server_of_pym_own_file_is_ended(self):
        self.check_leftover_server_ended(replaced=False)

    def test_a_leftover_server_whose_binary_was_replaced_is_ended(self):
        # A rebuild or an upgrade: the file at the path has a new inode, and the running server's
        # exe link reads the path followed by " (deleted)".
        self.check_leftover_server_ended(replaced=True)

    def check_leftover_server_ended(self, replaced):
        # One left running from pym's own bin/ holds the port; a byte-identical copy of that bin/
        # elsewhere (another file) runs on another port. When `replaced`, both binaries are then
        # replaced by copies of themselves, so the other one's exe link ends in " (deleted)" too.
        # A pym that died leaves its single-instance socket behind: the next start is not held by it.
        dead = self.start()
        self.assertIsNotNone(dead.main_window())
        dead.kill()
        self.assertTrue(os.path.exists(os.path.join(self.config_home, "intercom-control-centre")))
        self.assertTrue(wait_until(lambda: not curl_version(), EVENT_BOUND), "the dead pym's server outlived it")

        bin_dir = self.run_dir.path("bin")
        other = os.path.join(self.config_home, "other-bin")
        shutil.copytree(bin_dir, other)
        with open(os.path.join(other, "config.cfg")) as f:
            config = f.read()
        with open(os.path.join(other, "config.cfg"), "w") as f:
            f.write(config.replace("port = 8765;", "port = 8766;"))
        servers = []
        for directory in (bin_dir, other):
            servers.append(subprocess.Popen([os.path.join(directory, "stavenor")], cwd=directory,
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            self.addCleanup(servers[-1].wait)
            self.addCleanup(servers[-1].kill)
        leftover, elsewhere = servers
        self.assertTrue(wait_until(curl_version, EVENT_BOUND), "the leftover server never answered")
        self.assertTrue(wait_until(lambda: curl_version(8766), EVENT_BOUND), "the other server never answered")
        if replaced:
            for directory, server in zip((bin_dir, other), servers):
                path = os.path.join(directory, "stavenor")
                shutil.copy2(path, path + ".new")
                os.replace(path + ".new", path)
                self.assertEqual(os.readlink(f"/proc/{server.pid}/exe"), os.path.realpath(path) + " (deleted)")

        pym = self.start()
        self.assertTrue(pym.wait_log("old child process found - kill it!"))
        window = self.wait_shown(pym)
        self.assertEqual(leftover.poll(), -signal.SIGKILL)
        self.assertIsNone(elsewhere.poll(), "pym ended a stavenor from another directory")
        self.assertTrue(curl_version(8766))
        server = pym.server()
        self.assertIsNotNone(server)
        self.assertNotEqual(server, leftover.pid)
        self.assertTrue(curl_version())
        self.assertEqual(pym.log().count("old child process found - kill it!"), 1)
        self.assertEqual(self.close(pym, window), 0)
        self.assertIsNone(elsewhere.poll())

    def test_small_screen_silent_log_and_killed_pym(self):
        small = Display(2, 1023, 768)
        try:
            pym = self.start(["-l0x10", "-l0"], screen=small)
            self.assertIsNotNone(pym.main_window())
            state = small.run("xprop", "-id", str(pym.main_window()), "_NET_WM_STATE")
            self.assertIn("_NET_WM_STATE_MAXIMIZED_HORZ", state)
            self.assertIn("_NET_WM_STATE_MAXIMIZED_VERT", state)
            small.screenshot("startup-small-screen")

            log = pym.log()
            self.assertIn("ZT-5200K Configuration Tool compiled [", log)
            # "-l0x10" is no decimal: the mask was still the initial one when "-l0" came.
            self.assertEqual(re.findall(r"\] LOG \(0x[0-9a-f]+\) - .*", log),
                             ["] LOG (0x04) - logger mask set from 0xffff to 0x00"])

            server = pym.server()
            self.assertIsNotNone(server)
            pym.kill()
            self.assertTrue(wait_until(lambda: not alive(server), EVENT_BOUND), "the server outlived pym")
        finally:
            small.stop()

    def test_no_server(self):
        run_dir = RunDir(with_server=False)
        try:
            pym = self.start(run_dir=run_dir)
            box = wait_until(lambda: self.screen.windows(ERROR_BOX), EVENT_BOUND)
            self.assertTrue(box, "no box after the failed loads")
            self.screen.screenshot("startup-no-server")
            log = pym.log()
            self.assertEqual(log.count("load main page: http://127.0.0.1:8765"), 5)
            self.assertIn("startup finished - could not get data from server", log)
            self.assertIn("stavenor fuckup: ", log)
            self.assertEqual(self.screen.windows("^splash$"), [])
            self.screen.key(box[0], "Return")
            self.assertEqual(pym.wait(), 1)
            self.assertEqual(processes_in(run_dir.path("bin")), [])
        finally:
            run_dir.close()


if __name__ == "__main__":
    unittest.main()
