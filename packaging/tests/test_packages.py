#!/usr/bin/env python3
"""The Debian packages, built by debian/rules from the build tree that CTest runs in and installed
into a throwaway root: an overlay over this machine's / in the test's own mount namespace, with
every write in a tmpfs that goes with the test. dpkg really installs there (maintainer scripts
run), and the programs are started from there under an Xvfb of the test's own.

Run as root inside stavenor/tests/in-netns and a pid namespace of its own (see CMakeLists.txt);
PACKAGE_BUILD_TREE names the built tree, PYM_SHOTS_DIR where the screenshots go.
"""
import glob
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "pym", "tests", "e2e"))
from harness import EVENT_BOUND, Display, wait_until  # noqa: E402

BUILD_TREE = os.environ.get("PACKAGE_BUILD_TREE", "")
CENTRE = "intercom-control-centre"
CONSOLE = "intercom-operator-console"
PYM_TITLE = "Configuration - ZT-5200K Digital Intercom System Control Center"
ZUD_TITLE = "Morvex ZT-5200K ZUD3"
MESSAGE_TITLE = "Intercom Control Centre"
UPGRADE_MARKER = "upgrade-check.txt"
USERS = {"alice": 2101, "bob": 2102}


def run(*args, **kwargs):
    return subprocess.run(list(args), check=True, capture_output=True, text=True, **kwargs)


def build_packages(work):
    """The .debs of the build tree, and a rebuild of them with a higher version whose pages carry
    one more file: {"old": [...], "new": [...]}."""
    source = os.path.join(work, "source")
    # The packaging only, without what an earlier build left in it: the files come from the
    # build tree through cmake --install.
    def leftovers(directory, names):
        return [n for n in names if n in ("debhelper-build-stamp", "files") or n.endswith((".substvars", ".log"))
                or (os.path.isdir(os.path.join(directory, n)) and n != "source")]
    shutil.copytree(os.path.join(SOURCE, "debian"), os.path.join(source, "debian"), ignore=leftovers)
    env = dict(os.environ, DEB_BUILD_OPTIONS="noautodbgsym")
    old = os.path.join(work, "old")
    run("debian/rules", "binary", f"BUILD_TREE={BUILD_TREE}", f"PACKAGE_DIR={old}", cwd=source, env=env)
    version = run("dpkg-parsechangelog", "-S", "Version", cwd=source).stdout.strip()
    with open(os.path.join(source, "debian", CENTRE, "usr", "share", CENTRE, "www", UPGRADE_MARKER), "w") as f:
        f.write("rebuilt\n")
    new = os.path.join(work, "new")
    os.mkdir(new)
    for step in (["dh_gencontrol", "--", f"-v{version}+rebuild1"], ["dh_md5sums"], ["dh_builddeb", f"--destdir={new}"]):
        run(*step, cwd=source, env=env)
    return {name: sorted(glob.glob(os.path.join(work, name, "*.deb"))) for name in ("old", "new")}


def kill(proc):
    """Ends a started command with everything it started (runuser forks the user's command)."""
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    proc.wait()


class Root:
    """A throwaway root: this machine's / below, the writes in a tmpfs of the test's own."""

    def __init__(self):
        self.base = tempfile.mkdtemp(prefix="throwaway-root-")
        run("mount", "-t", "tmpfs", "tmpfs", self.base)
        for d in ("upper", "work", "root"):
            os.mkdir(os.path.join(self.base, d))
        self.path = os.path.join(self.base, "root")
        run("mount", "-t", "overlay", "overlay", "-o",
            f"lowerdir=/,upperdir={self.base}/upper,workdir={self.base}/work", self.path)
        run("mount", "-t", "proc", "proc", self.at("/proc"))
        run("mount", "--rbind", "/dev", self.at("/dev"))
        run("mount", "--rbind", "/sys", self.at("/sys"))
        run("mount", "-t", "tmpfs", "tmpfs", self.at("/run"))
        # The test's own /tmp (in-netns), without the mounts below it: the packages and the X sockets.
        run("mount", "--bind", "/tmp", self.at("/tmp"))
        for user, uid in USERS.items():
            self.chroot("useradd", "--create-home", "--uid", str(uid), "--shell", "/bin/sh", user)

    def at(self, path):
        return self.path + path

    def chroot(self, *args):
        return run("chroot", self.path, *args)

    def dpkg(self, *args):
        return self.chroot("dpkg", *args)

    def home(self, user):
        return "/root" if user == "root" else f"/home/{user}"

    def start(self, user, command, display, cwd=None, env=()):
        """Starts a command as the user in a fresh login environment (as a desktop session has it),
        with its standard error in a log: (process, log path)."""
        uid = USERS.get(user, 0)
        runtime = f"/run/user/{uid}"
        os.makedirs(self.at(runtime), mode=0o700, exist_ok=True)
        os.chown(self.at(runtime), uid, uid)
        environment = {"HOME": self.home(user), "USER": user, "LOGNAME": user, "LANG": "C.UTF-8",
                       "PATH": "/usr/local/bin:/usr/bin:/bin", "DISPLAY": display.name,
                       "XDG_RUNTIME_DIR": runtime, **dict(env)}
        log = tempfile.NamedTemporaryFile(prefix=f"{user}-", suffix=".log", dir=self.base, delete=False)
        script = 'cd "$1" && shift && exec "$@"'
        proc = subprocess.Popen(["chroot", self.path, "runuser", "-u", user, "--", "env", "-i",
                                 *[f"{k}={v}" for k, v in environment.items()],
                                 "sh", "-c", script, "sh", cwd or self.home(user), *command],
                                stdout=subprocess.DEVNULL, stderr=log, start_new_session=True)
        return proc, log.name

    def close(self):
        subprocess.run(["umount", "-R", self.path], capture_output=True)
        subprocess.run(["umount", "-R", self.base], capture_output=True)
        shutil.rmtree(self.base, ignore_errors=True)


def read(path, mode="r"):
    with open(path, mode) as f:
        return f.read()


def desktop_exec(root, package):
    """The command that the desktop menu runs for the package's entry."""
    for line in read(root.at(f"/usr/share/applications/{package}.desktop")).splitlines():
        if line.startswith("Exec="):
            return line[len("Exec="):].split()
    raise AssertionError(f"{package}.desktop has no Exec")


def processes(program, user_id=None):
    """Pids of the running processes of an installed program (of one user when given)."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            exe = os.readlink(f"/proc/{pid}/exe")
            uid = int(read(f"/proc/{pid}/status").split("\nUid:")[1].split()[0])
        except (OSError, IndexError):
            continue
        if exe.split(" (deleted)")[0].endswith(program) and user_id in (None, uid):
            found.append(int(pid))
    return found


def servers(user_id=None):
    return processes(f"/usr/lib/{CENTRE}/stavenor", user_id)


class PackagesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not BUILD_TREE:
            raise unittest.SkipTest("PACKAGE_BUILD_TREE names no build tree")
        cls.work = tempfile.mkdtemp(prefix="packages-")
        started = time.time()
        cls.debs = build_packages(cls.work)
        sys.stderr.write(f"packages built in {time.time() - started:.0f} s: {cls.debs}\n")
        cls.screen = Display(7, 1280, 900)

    @classmethod
    def tearDownClass(cls):
        cls.screen.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        self.root = Root()
        self.addCleanup(self.root.close)
        self.root.dpkg("-i", *self.debs["old"])
        self.procs = []

    def tearDown(self):
        for proc in self.procs:
            kill(proc)

    def start(self, user, command, **kwargs):
        proc, log = self.root.start(user, command, self.screen, **kwargs)
        self.procs.append(proc)
        return proc, log

    def window(self, title, timeout=EVENT_BOUND):
        found = wait_until(lambda: self.screen.titled(title), timeout)
        self.assertTrue(found, f"no window {title!r}")
        return found[0]

    def assert_menu_entry_names(self, window, package):
        """The desktop finds the entry of a window by StartupWMClass, one of the names in WM_CLASS."""
        wm_class = self.screen.run("xprop", "-id", str(window), "WM_CLASS")
        startup = [line for line in read(self.root.at(f"/usr/share/applications/{package}.desktop")).splitlines()
                   if line.startswith("StartupWMClass=")]
        self.assertEqual(len(startup), 1)
        self.assertIn('"%s"' % startup[0].split("=", 1)[1], wm_class)

    def painted(self, window):
        """Whether the window shows more than a blank page: a drawn page has many colours."""
        width, height, pixels = self.screen.capture(window)
        return len({pixels[i:i + 3] for i in range(0, len(pixels), 3 * 97)}) > 20

    def close(self, proc, window):
        self.screen.close_window(window)
        self.assertEqual(proc.wait(timeout=EVENT_BOUND), 0)

    def test_installed_files(self):
        # What the desktop and man see of each package, and the launcher its menu entry runs.
        for package, program in ((CENTRE, "pym"), (CONSOLE, "zud")):
            with self.subTest(package=package):
                entry = self.root.at(f"/usr/share/applications/{package}.desktop")
                r = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
                self.assertEqual((r.returncode, r.stdout + r.stderr), (0, ""))
                self.assertEqual(desktop_exec(self.root, package), [program])
                self.assertTrue(os.access(self.root.at(f"/usr/bin/{program}"), os.X_OK))
                png = read(self.root.at(f"/usr/share/icons/hicolor/48x48/apps/{package}.png"), "rb")
                self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
                self.assertEqual(struct.unpack(">II", png[16:24]), (48, 48))
                self.assertIn("<svg", read(self.root.at(f"/usr/share/icons/hicolor/scalable/apps/{package}.svg")))
                for doc in ("copyright", "README.md.gz", "changelog.gz"):
                    self.assertTrue(os.path.isfile(self.root.at(f"/usr/share/doc/{package}/{doc}")), doc)
                self.assertTrue(os.path.isfile(self.root.at(f"/usr/share/man/man1/{program}.1.gz")))
        self.assertTrue(os.path.isfile(self.root.at("/usr/share/man/man1/stavenor.1.gz")))
        self.assertFalse(os.path.exists(self.root.at("/usr/bin/stavenor")), "the server is no command")

    def test_control_centre_for_two_users_and_an_upgrade(self):
        launcher = desktop_exec(self.root, CENTRE)
        run_dir = f"/home/alice/.local/share/{CENTRE}"
        bin_dir = self.root.at(run_dir + "/bin")

        # root's own run directory, laid out by the launcher while the port is free.
        root_pym, _ = self.start("root", launcher, env={"QTWEBENGINE_DISABLE_SANDBOX": "1"})
        self.close(root_pym, self.window(PYM_TITLE))

        # alice: her run directory on the first start, her server in it.
        alice, alice_log = self.start("alice", launcher)
        window = self.window(PYM_TITLE)
        self.assertTrue(wait_until(lambda: "element load finished: success" in read(alice_log), EVENT_BOUND), read(alice_log))
        self.assertTrue(wait_until(lambda: self.painted(window), EVENT_BOUND), "the page was never drawn")
        self.screen.screenshot("packages-pym-alice")
        self.assert_menu_entry_names(window, CENTRE)
        self.assertEqual(os.readlink(bin_dir + "/stavenor"), f"/usr/lib/{CENTRE}/stavenor")
        self.assertEqual(os.readlink(bin_dir + "/www"), f"/usr/share/{CENTRE}/www")
        for name in ("config.cfg", "default.conf"):
            path = bin_dir + "/" + name
            self.assertFalse(os.path.islink(path))
            self.assertEqual(os.stat(path).st_uid, USERS["alice"])
            self.assertEqual(read(path), read(self.root.at(f"/usr/share/{CENTRE}/{name}")))
        self.assertTrue(os.path.isdir(bin_dir + "/announcements"))
        [server] = servers(USERS["alice"])
        self.assertEqual(os.readlink(f"/proc/{server}/cwd"), bin_dir)
        self.assertTrue(wait_until(lambda: os.path.exists(bin_dir + "/saved.conf"), EVENT_BOUND), "no saved.conf")

        # bob at the same time: told who holds the port; alice's server and files untouched.
        bob, bob_log = self.start("bob", launcher)
        message = self.window(MESSAGE_TITLE)
        self.screen.screenshot("packages-pym-bob-told")
        self.screen.key(message, "Return")
        self.assertEqual(bob.wait(timeout=EVENT_BOUND), 1)
        self.assertIn("already in use on this PC by user alice", read(bob_log))
        self.assertFalse(os.path.exists(self.root.at(f"/home/bob/.local/share/{CENTRE}")))
        self.assertEqual(servers(USERS["alice"]), [server])

        # root's pym started by hand from its run directory, past the launcher's check: its
        # start-up check ends its own old servers only, never alice's (the same installed file).
        by_hand, by_hand_log = self.start("root", [f"/usr/lib/{CENTRE}/pym"], cwd=f"/root/.local/share/{CENTRE}",
                                          env={"QTWEBENGINE_DISABLE_SANDBOX": "1"})
        self.assertTrue(wait_until(lambda: "stavenor started" in read(by_hand_log), EVENT_BOUND), read(by_hand_log))
        kill(by_hand)
        self.assertNotIn("old child process found", read(by_hand_log))
        self.assertEqual(servers(USERS["alice"]), [server])
        self.assertIsNone(alice.poll())

        self.close(alice, window)
        self.assertTrue(wait_until(lambda: servers() == [], EVENT_BOUND), "a server outlived its pym")
        with open(bin_dir + "/config.cfg", "a") as f:
            f.write("# alice's own setting\n")
        config, saved = read(bin_dir + "/config.cfg"), read(bin_dir + "/saved.conf")

        # The upgrade: new pages and server through the links, alice's files as she left them.
        self.root.dpkg("-i", *self.debs["new"])
        self.assertTrue(self.root.chroot("dpkg-query", "-W", "-f=${Version}", CENTRE).stdout.endswith("+rebuild1"))
        self.assertEqual((read(bin_dir + "/config.cfg"), read(bin_dir + "/saved.conf")), (config, saved))
        # (The links name paths inside the root.)
        self.assertEqual(self.root.chroot("cat", f"{run_dir}/bin/www/{UPGRADE_MARKER}").stdout, "rebuilt\n")

        # A second start reuses the run directory.
        alice, alice_log = self.start("alice", launcher)
        window = self.window(PYM_TITLE)
        self.assertEqual(read(bin_dir + "/config.cfg"), config)
        [server] = servers(USERS["alice"])
        installed = os.stat(self.root.at(f"/usr/lib/{CENTRE}/stavenor"))
        running = os.stat(f"/proc/{server}/exe")
        self.assertEqual((running.st_dev, running.st_ino), (installed.st_dev, installed.st_ino))
        served = run("curl", "-s", "--max-time", "5", f"http://127.0.0.1:8765/{UPGRADE_MARKER}").stdout
        self.assertEqual(served, "rebuilt\n")
        self.close(alice, window)

        # Purging the packages leaves the users' files.
        self.root.dpkg("--purge", CENTRE, CONSOLE)
        self.assertFalse(os.path.exists(self.root.at(f"/usr/lib/{CENTRE}")))
        self.assertEqual(read(bin_dir + "/config.cfg"), config)
        self.assertTrue(os.path.isfile(bin_dir + "/saved.conf"))

    def test_operator_console_in_its_configuration_directory(self):
        # A fresh user: no zud.conf, so a console without units.
        with_audio = self.root.at("/usr/local/bin/with-audio")
        shutil.copy(os.path.join(SOURCE, "zud", "tests", "with-audio"), with_audio)
        zud, zud_log = self.start("alice", ["with-audio", "pulse", *desktop_exec(self.root, CONSOLE)])
        window = self.window(ZUD_TITLE)
        time.sleep(1)
        self.screen.screenshot("packages-zud-alice")
        self.assert_menu_entry_names(window, CONSOLE)
        [pid] = processes(f"/usr/lib/{CONSOLE}/zud", USERS["alice"])
        self.assertEqual(os.readlink(f"/proc/{pid}/cwd"), self.root.at(f"/home/alice/.config/{CONSOLE}"))
        self.screen.close_window(window)
        self.assertEqual(zud.wait(timeout=EVENT_BOUND), 0, read(zud_log))


if __name__ == "__main__":
    unittest.main()
