#!/usr/bin/env python3
"""The Debian packages, built by debian/rules from the build tree that CTest runs in and installed
into a throwaway root: an overlay over this machine's / in the test's own mount namespace, with
every write in a tmpfs that goes with the test. dpkg really installs there (maintainer scripts
run), and the programs are started from there under an Xvfb of the test's own.

Run as root inside stavenor/tests/in-netns and a pid namespace of its own (see CMakeLists.txt);
PACKAGE_BUILD_TREE names the built tree, PYM_SHOTS_DIR where the screenshots go.
"""
import glob
import grp
import hashlib
import importlib.util
import json
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
# pym's test harness, under a name of its own: the pages' helpers import the server's "harness".
_spec = importlib.util.spec_from_file_location("pym_harness", os.path.join(SOURCE, "pym", "tests", "e2e", "harness.py"))
pym_harness = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(pym_harness)
Display, DevTools, wait_until = pym_harness.Display, pym_harness.DevTools, pym_harness.wait_until
EVENT_BOUND = pym_harness.EVENT_BOUND
sys.path.insert(0, os.path.join(SOURCE, "web", "tests"))
from pages import Browser, By  # noqa: E402
from netns_pair import UnitNamespace  # noqa: E402
from sim_unit import Simulator, Unit  # noqa: E402
import boot_console  # noqa: E402

BUILD_TREE = os.environ.get("PACKAGE_BUILD_TREE", "")
CENTRE = "intercom-control-centre"
CONSOLE = "intercom-operator-console"
PYM_TITLE = "Configuration - ZT-5200K Digital Intercom System Control Center"
ZUD_TITLE = "Morvex ZT-5200K ZUD3"
MESSAGE_TITLE = "Intercom Control Centre"
UPGRADE_MARKER = "upgrade-check.txt"
# alice and bob: ordinary users; carol a technician (groups dialout and the package's); dave in neither.
USERS = {"alice": 2101, "bob": 2102, "carol": 2103, "dave": 2104}
RIGHTS_GROUP = "intercom"
PRIVILEGED = f"/usr/lib/{CENTRE}/privileged/stavenor"
UNIT = "02:00:00:00:00:56"
CONSOLE_PORT = "/srv/console/unit"
MIB = 1 << 20
CAP_NET_BIND_SERVICE, CAP_NET_RAW = 10, 13


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
    """The installed servers running, the plain one and the one with the network rights."""
    return sorted(processes(f"/usr/lib/{CENTRE}/stavenor", user_id) + processes(PRIVILEGED, user_id))


def ended(pid):
    """Whether the process has ended with all it held (its sockets go after its memory, whose end
    already hides its exe): gone, or a zombie that no one reaps in the test's pid namespace."""
    try:
        return read(f"/proc/{pid}/stat").rsplit(")", 1)[1].split()[0] in ("Z", "X")
    except FileNotFoundError:
        return True


def capabilities(pid):
    """The process's capability sets as numbers: {"CapPrm": ..., "CapEff": ..., ...}."""
    return {line.split(":")[0]: int(line.split()[1], 16) for line in read(f"/proc/{pid}/status").splitlines()
            if line.startswith("Cap")}


def udp_port_owners(port):
    """The user ids with a UDP socket bound to the port (IPv4)."""
    return {int(fields[7]) for fields in (line.split() for line in read("/proc/net/udp").splitlines()[1:])
            if int(fields[1].split(":")[1], 16) == port}


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

    def getcap(self, path):
        """The file's capabilities as getcap says them ("" for none)."""
        return " ".join(self.root.chroot("getcap", path).stdout.split()[1:])

    def test_the_servers_rights(self):
        # The package's system group, and its copy of the server with exactly the two rights, which
        # only the group may run; the plain server has none. Never set-user-ID.
        gid = int(self.root.chroot("getent", "group", RIGHTS_GROUP).stdout.split(":")[2])
        self.assertLess(gid, 1000, "a system group")
        plain = f"/usr/lib/{CENTRE}/stavenor"
        self.assertEqual(self.getcap(PRIVILEGED), "cap_net_bind_service,cap_net_raw=p")
        self.assertEqual(self.getcap(plain), "")
        for path, owner in ((PRIVILEGED, (0, gid, 0o750)), (plain, (0, 0, 0o755))):
            info = os.stat(self.root.at(path))
            self.assertEqual((info.st_uid, info.st_gid, info.st_mode & 0o7777), owner, path)

        # A file system without extended attributes: the package still installs, and says what is missing.
        deny = os.path.join(SOURCE, "stavenor", "tests", "tools", "deny_syscall.py")
        r = subprocess.run(["/usr/bin/python3", deny, "setxattr", "EOPNOTSUPP", "chroot", self.root.path,
                            "dpkg", "-i", *self.debs["old"]], capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn(f"{PRIVILEGED} could not be given its capabilities", r.stderr)
        self.assertIn("finds no units and serves no recovery image", r.stderr)
        self.assertEqual(self.root.chroot("dpkg-query", "-W", "-f=${Status}", CENTRE).stdout, "install ok installed")
        self.assertEqual(self.getcap(PRIVILEGED), "")

        # An administrator's statoverride holds across an upgrade; the rights come back with it.
        self.root.chroot("dpkg-statoverride", "--add", "root", "root", "0755", PRIVILEGED)
        self.root.dpkg("-i", *self.debs["new"])
        info = os.stat(self.root.at(PRIVILEGED))
        self.assertEqual((info.st_uid, info.st_gid, info.st_mode & 0o7777), (0, 0, 0o755))
        self.assertEqual(self.getcap(PRIVILEGED), "cap_net_bind_service,cap_net_raw=p")

    def test_maintainer_scripts_pass_lintian(self):
        r = subprocess.run(["lintian", "--tag-display-limit", "0", *self.debs["old"]], capture_output=True, text=True)
        findings = [line for line in r.stdout.splitlines() if line.startswith(("E:", "W:"))]
        self.assertEqual(findings, [], r.stdout + r.stderr)

    def test_a_technician_finds_updates_and_recovers_units(self):
        # carol is in dialout and the package's group; dave in neither. Neither has capabilities of
        # their own: runuser gives a login's groups and nothing else.
        for group in ("dialout", RIGHTS_GROUP):
            self.root.chroot("adduser", "--quiet", "carol", group)
        launcher = desktop_exec(self.root, CENTRE)
        units = UnitNamespace()
        self.addCleanup(units.close)
        simulator = Simulator(units.packet_socket())
        self.addCleanup(simulator.close)
        unit = Unit(UNIT, 6, hwd="Bus 56")
        simulator.add(unit)
        # The unit's console port as Debian has serial ports: group dialout, mode 0660.
        os.makedirs(self.root.at(os.path.dirname(CONSOLE_PORT)))
        console = boot_console.BootConsole(self.root.at(CONSOLE_PORT), mode="uboot", flash_mb=32, mac="00:a0:c6:00:00:56")
        self.addCleanup(console.go_away)
        pty = os.readlink(console.link)
        os.chown(pty, 0, grp.getgrnam("dialout").gr_gid)
        os.chmod(pty, 0o660)
        browser = Browser()
        self.addCleanup(browser.close)
        environment = {"STAVENOR_SERIAL_PORTS": CONSOLE_PORT}

        carol, carol_log = self.start("carol", launcher, env=environment)
        window = self.window(PYM_TITLE)
        self.assertTrue(wait_until(lambda: servers(USERS["carol"]), EVENT_BOUND), read(carol_log))
        [server] = servers(USERS["carol"])
        self.assertEqual(os.readlink(self.root.at(f"/home/carol/.local/share/{CENTRE}/bin/stavenor")), PRIVILEGED)
        # Port 69 as carol; then only raw Ethernet is kept for interfaces that come later, and no
        # right is effective between the opens, nor inheritable.
        self.assertTrue(wait_until(lambda: USERS["carol"] in udp_port_owners(69), EVENT_BOUND), udp_port_owners(69))
        caps = capabilities(server)
        self.assertEqual((caps["CapPrm"], caps["CapInh"], caps["CapAmb"]), (1 << CAP_NET_RAW, 0, 0), caps)
        self.assertIn(caps["CapEff"], (0, 1 << CAP_NET_RAW), caps)

        b = browser
        b.open("/updater.html")
        b.wait_text(UNIT)
        b.wait_text("Listening for units on")
        b.field(f"Select {UNIT}").click()
        from selenium.webdriver.support.select import Select
        Select(b.field("Job")).select_by_visible_text("Upload configuration")
        b.click("Use the configuration in use")
        b.wait_text("New configuration.conf")
        b.click("Upload configuration on 1 unit")
        b.find("//dialog[@open]//button[normalize-space(.)='Upload configuration']").click()
        b.wait_text("Upload configuration: done")
        self.assertTrue(unit.files["/dis/system.conf"].startswith(b"# "))

        image = os.path.join(self.work, "unit-32.bin")
        data = os.urandom(32 * MIB)
        with open(image, "wb") as f:
            f.write(data)
        b.open("/curtain.html")
        b.wait_text("boot loader")
        b.field(CONSOLE_PORT).click()
        b.choose_file("Choose image…", image)
        b.wait_text("Loaded:")
        b.click("Start")
        b.wait_text("Finished", timeout=240)
        b.wait_text("Linux shell")
        with console.lock:
            self.assertEqual(hashlib.sha256(console.flash).hexdigest(), hashlib.sha256(data).hexdigest())

        # Started with rights it did not have, the server lost the parent-death signal that pym set:
        # it must still end with pym, however pym ends.
        [pym] = processes(f"/usr/lib/{CENTRE}/pym", USERS["carol"])
        os.kill(pym, signal.SIGKILL)
        self.assertTrue(wait_until(lambda: ended(server), EVENT_BOUND), "carol's server outlived her pym")
        carol.wait(timeout=EVENT_BOUND)

        # dave: the configuration is his, the units and the port are not; pym says why and what mends it.
        dave, dave_log = self.start("dave", launcher, env={**environment, "QTWEBENGINE_REMOTE_DEBUGGING": "127.0.0.1:9256"})
        window = self.window(PYM_TITLE)
        self.assertEqual(os.readlink(self.root.at(f"/home/dave/.local/share/{CENTRE}/bin/stavenor")),
                         f"/usr/lib/{CENTRE}/stavenor")
        page = DevTools(9256)
        self.addCleanup(page.close)
        def shown(text):
            try:
                return page.evaluate(f"(document.body ? document.body.innerText : '').includes({json.dumps(text)})")
            except OSError:  # the page's DevTools not up yet
                page.close()
                return False
        self.assertTrue(wait_until(lambda: shown("Configuration"), EVENT_BOUND), read(dave_log))
        page.evaluate("location.assign('/curtain.html')")
        for text in (f"no permission to open {CONSOLE_PORT}: your user is not in group dialout: "
                     "add it with “sudo adduser dave dialout”, then log in again",
                     "No recovery can run on this PC now.",
                     f"your user is not in group {RIGHTS_GROUP}, whose members' server finds, updates and recovers units"):
            self.assertTrue(wait_until(lambda: shown(text), EVENT_BOUND), (text, page.evaluate("document.body.innerText")))
        self.screen.screenshot("packages-recovery-dave")
        self.close(dave, window)

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
