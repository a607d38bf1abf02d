"""The server frame end to end: start and stop, logging, the document root, uploads, handlers."""
import http.client
import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import unittest

from harness import BASE, CONFIG, PORT, REPO_DIR, Server, curl, curl_headers, denying

ESCAPES = ("/../config.cfg", "/%2e%2e/config.cfg", "/sub/../../secret.txt", "/%2E%2E/secret.txt", "/index.html%00.js",
           "/escape.txt", "/..%2fconfig.cfg")


class StartAndStop(unittest.TestCase):
    def test_start_version_and_orderly_stop(self):
        with Server(files={"tmp/old/leftover": "x", "tmp/stale": "y"}) as s:
            self.assertIn("stavenor started - listening on port 8765", s.stderr())
            self.assertFalse(os.listdir(s.path("tmp")), "the temporary directory is purged at start")
            status, body = curl("/stavenorVersion")
            self.assertEqual(status, 200)
            self.assertRegex(body.decode(), r"^2014-04a \(\w{3} [ \d]\d \d{4} \d\d:\d\d:\d\d\)$")
            s.write("tmp/during", "z")

            self.assertEqual(s.stop(signal.SIGTERM), 0)
            self.assertEqual(s.stdout().splitlines()[-1], "application exit")
            self.assertEqual(os.listdir(s.path("tmp")), [])
            log = s.stderr()
            steps = ["application exit on signal 15", "http daemon stopped", "curtain cleanup",
                     "delete all files from tmp dir", "logger bye bye", "JasonState deleted", "IpChecker deleted",
                     "TFTP Server is down!", "SerialManager deleted", "UnitManager deleted", "Network deleted",
                     "stavenor stopped"]
            positions = [log.rfind(step) for step in steps]
            self.assertNotIn(-1, positions, log)
            self.assertEqual(positions, sorted(positions), "stop order")

    def test_sigint_and_sighup_stop_too(self):
        for sig in (signal.SIGINT, signal.SIGHUP):
            with Server() as s:
                self.assertEqual(s.stop(sig), 0)
                self.assertIn(f"application exit on signal {int(sig)}", s.stderr())

    def test_log_mask(self):
        with Server(args=()) as s:
            curl("/nope")
            s.stop()
            self.assertEqual(s.stderr(), "", "no -l: not one record")
        with Server(args=("-l", "4")) as s:
            curl("/nope")
            s.stop()
            levels = set(re.findall(r"LOG \((0x[0-9a-f]{4})\)", s.stderr()))
            self.assertEqual(levels, {"0x0004"})
        with Server(args=("-d", "-l", "010")) as s:  # octal 8: start-up records only
            self.assertRegex(s.stdout(), r"^stavenor ver\. 2014-04a compiled \[")
            levels = set(re.findall(r"LOG \((0x[0-9a-f]{4})\)", s.stderr()))
            self.assertEqual(levels, {"0x0008"})

    def test_bad_option_starts_nothing(self):
        with Server(args=("-x",), wait=False) as s:
            self.assertNotEqual(s.wait(), 0)
            self.assertFalse(os.path.exists(s.path("tmp")))

    def test_second_instance_on_the_same_port(self):
        with Server() as first, Server(wait=False) as second:
            self.assertEqual(second.wait(), 1)
            self.assertIn("stavenor couldn't start http daemon on port 8765 - exiting", second.stderr())
            self.assertEqual(curl("/stavenorVersion")[0], 200, "the first instance still serves")

    def test_tmp_dir_without_slash_and_missing_config(self):
        config = CONFIG.replace('"./tmp/"', '"./work"')
        with Server(config=config, files={"up.txt": "payload"}) as s:
            self.assertIn("temporary dir created [./work/]", s.stderr())
            curl("/rundis/", "-F", f"f=@{s.path('up.txt')}")
            self.assertEqual(s.read("work/up.txt"), b"payload")
        with Server(config=None, args=("-l", "1"), wait=False) as s:
            # Without config.cfg the port is 80 (free inside the namespace) and "./tmp/" is used.
            for _ in range(100):
                if subprocess.run(["curl", "-s", "-o", "/dev/null", "http://127.0.0.1:80/stavenorVersion"]).returncode == 0:
                    break
                threading.Event().wait(0.05)
            self.assertIn("configuration error - not initialized", s.stderr())
            self.assertTrue(os.path.isdir(s.path("tmp")))

    def test_tmp_dir_holding_the_docroot_is_not_purged(self):
        config = CONFIG.replace('"./tmp/"', '"./"')
        with Server(config=config, files={"www/index.html": "home"}) as s:
            self.assertEqual(curl("/")[1], b"home")
            s.stop()
            self.assertTrue(os.path.exists(s.path("www/index.html")))
            self.assertTrue(os.path.exists(s.path("config.cfg")))


class DocumentRoot(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        big = os.urandom(6 * 1024 * 1024)
        cls.big = big
        # Small files go out from memory, larger ones from the file: both sides of the limit.
        cls.at_limit, cls.over_limit = os.urandom(16 * 1024), os.urandom(16 * 1024 + 1)
        cls.server = cls.start({"www/big.bin": big, "www/at-limit.bin": cls.at_limit,
                                "www/over-limit.bin": cls.over_limit})

    @staticmethod
    def start(files=None, **options):
        server = Server(files={"www/index.html": "<p>home</p>", "www/app.js": "x=1", "www/sub/README": "plain",
                               "secret.txt": "do not serve", **(files or {})}, **options)
        os.symlink(server.path("secret.txt"), server.path("www/escape.txt"))
        # A link that stays inside the root is served, whether its target is written absolute or not.
        os.symlink(server.path("www/app.js"), server.path("www/absolute.js"))
        os.symlink("sub/README", server.path("www/near"))
        return server

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def test_files_and_types(self):
        cases = [
            ("/", 200, "text/html; charset=utf-8", b"<p>home</p>"),
            ("/app.js", 200, "text/javascript; charset=utf-8", b"x=1"),
            # A file without an extension has no type; the daemon library sends no empty header.
            ("/sub/README", 200, None, b"plain"),
            ("/absolute.js", 200, "text/javascript; charset=utf-8", b"x=1"),
            ("/near", 200, None, b"plain"),
            ("/at-limit.bin", 200, "text/plain; charset=utf-8", self.at_limit),
            ("/over-limit.bin", 200, "text/plain; charset=utf-8", self.over_limit),
            ("/missing.html", 404, "text/html; charset=utf-8", b"none"),
            ("/sub", 404, "text/html; charset=utf-8", b"none"),
            ("/tuna", 404, "text/html; charset=utf-8", b"none"),
        ]
        for path, status, ctype, body in cases:
            with self.subTest(path=path):
                got_status, headers, got_body = curl_headers(path)
                self.assertEqual((got_status, headers.get("content-type"), got_body), (status, ctype, body))

    def test_paths_that_leave_the_root(self):
        for path in ESCAPES:
            with self.subTest(path=path):
                self.assertEqual(curl(path, "--path-as-is"), (404, b"none"))

    def test_large_file_arrives_whole(self):
        r = subprocess.run(["curl", "-s", BASE + "/big.bin"], capture_output=True)
        self.assertEqual(len(r.stdout), len(self.big))
        self.assertTrue(r.stdout == self.big)

    def test_other_methods_get_no_response(self):
        r = subprocess.run(["curl", "-s", "-X", "PUT", "-o", "/dev/null", "-w", "%{http_code}", BASE + "/"],
                           capture_output=True, text=True)
        self.assertEqual(r.stdout, "000")


class DocumentRootBeside(unittest.TestCase):
    """The document root under a sandbox, and a root whose folder is replaced while the server runs."""

    def test_a_sandbox_that_refuses_the_kernel_walk(self):
        # Some container runtimes and service managers answer the call with EPERM; the kernel answers
        # EAGAIN for a ".." that meets a rename anywhere on the system.
        for error in ("EPERM", "EAGAIN"):
            with self.subTest(error=error), DocumentRoot.start(wrapper=denying("openat2", error)):
                for path, body in (("/index.html", b"<p>home</p>"), ("/near", b"plain"), ("/absolute.js", b"x=1")):
                    self.assertEqual(curl(path), (200, body), path)
                for path in ESCAPES:
                    self.assertEqual(curl(path, "--path-as-is"), (404, b"none"), path)

    def test_requests_through_lay_outs_of_the_pages(self):
        # The build's own lay-out of the pages, run again and again while requests keep coming: each
        # is served from the whole old tree or the whole new one, none finds the folder missing.
        swap = os.environ.get("SWAP_FOLDERS")
        if not swap:
            self.skipTest("SWAP_FOLDERS is not set")
        with Server(files={"www/index.html": "old", "www/old.js": "o"}) as s, \
                tempfile.TemporaryDirectory() as work:
            lay_out = pages_to_lay_out(work, swap, s.path("www"))
            # curl's parallel transfers ask far faster than Python threads could; each answer's status
            # on a line of its own.
            asking = subprocess.Popen(["curl", "-s", "--no-progress-meter", "-Z", "--parallel-max", "6",
                                       "-w", "%{stderr}%{http_code}\\n", f"{BASE}/?n=[1-1000000]"],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            try:
                # A request between two renames would have found no folder: many lay-outs, many chances.
                for n in range(16):
                    subprocess.run(lay_out(n % 2), check=True)
            finally:
                asking.terminate()
                answers = asking.communicate()[1].decode().splitlines()[:-1]
            self.assertGreater(len(answers), 100)
            self.assertEqual({code: answers.count(code) for code in set(answers)}, {"200": len(answers)})
            self.assertEqual(curl("/"), (200, b"new 1"))
            self.assertEqual(curl("/lib/preact-htm.js"), (200, b"export {};"))
            self.assertEqual(curl("/old.js"), (404, b"none"))


    def test_lay_outs_where_the_file_system_refuses_rename_flags(self):
        # Network and older overlay file systems answer renameat2's flags with EINVAL or ENOSYS: the
        # first lay-out is a plain rename, and a later one still puts the new pages in place.
        swap = os.environ.get("SWAP_FOLDERS")
        if not swap:
            self.skipTest("SWAP_FOLDERS is not set")
        for error in ("EINVAL", "ENOSYS"):
            with self.subTest(error=error), tempfile.TemporaryDirectory() as work:
                www = os.path.join(work, "www")
                lay_out = pages_to_lay_out(work, swap, www)
                for n in (0, 1):
                    r = subprocess.run([*denying("renameat2", error), *lay_out(n)], capture_output=True, text=True)
                    self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
                    with open(os.path.join(www, "index.html")) as f:
                        self.assertEqual(f.read(), f"new {n}")
                self.assertIn("cannot exchange", r.stderr)
                with open(os.path.join(www + ".old", "index.html")) as f:
                    self.assertEqual(f.read(), "new 0")
                self.assertEqual(sorted(os.listdir(work)), ["library.js", "pages0", "pages1", "store_tables.js",
                                                            "www", "www.old"])


def pages_to_lay_out(work, swap, destination):
    """Two page folders in `work` ("new 0", "new 1" in their index.html), and the command that lays
    out folder n at `destination` as the build does."""
    library = os.path.join(work, "library.js")
    store_tables = os.path.join(work, "store_tables.js")
    for path in (library, store_tables):
        with open(path, "w") as f:
            f.write("export {};")
    for n in (0, 1):
        os.makedirs(os.path.join(work, f"pages{n}"))
        with open(os.path.join(work, f"pages{n}", "index.html"), "w") as f:
            f.write(f"new {n}")
    return lambda n: ["cmake", f"-DSOURCE={work}/pages{n}", f"-DLIBRARY={library}", f"-DSTORE_TABLES={store_tables}",
                      f"-DDESTINATION={destination}", f"-DSWAP={swap}", "-P",
                      os.path.join(REPO_DIR, "cmake", "lay_out_pages.cmake")]


class Uploads(unittest.TestCase):
    def setUp(self):
        self.server = Server(files={"a.conf": bytes(range(256)) * 300, "b.conf": "second"})

    def tearDown(self):
        self.server.close()

    def test_upload_is_stored_byte_identical(self):
        s = self.server
        status, body = curl("/rundis/", "-F", f"f=@{s.path('a.conf')}", "-F", "g=1")
        self.assertEqual(status, 200)
        self.assertIn(b"<body>rundis</body>", body)
        self.assertEqual(s.read("tmp/a.conf"), s.read("a.conf"))
        # The rundis page lists what it got on standard output.
        self.assertIn("param: g->1", s.stdout())
        # A second upload of the same name replaces the first.
        curl("/rundis/", "-F", f"f=@{s.path('b.conf')};filename=a.conf")
        self.assertEqual(s.read("tmp/a.conf"), b"second")

    def test_file_names_never_leave_the_temporary_directory(self):
        s = self.server
        curl("/rundis/", "-F", f"f=@{s.path('b.conf')};filename=../x")
        self.assertFalse(os.path.exists(s.path("x")))
        self.assertEqual(s.read("tmp/x"), b"second")
        status, body = curl("/rundis/", "-F", f"f=@{s.path('b.conf')};filename=..")
        self.assertNotEqual(status, 200)
        self.assertIn(b'"status": "error"', body)

    def test_two_fields_of_one_name_stay_apart(self):
        s = self.server
        curl("/rundis/", "-F", f"f=@{s.path('a.conf')};filename=same.bin", "-F",
             f"f=@{s.path('b.conf')};filename=same.bin")
        self.assertEqual(s.read("tmp/same.bin"), s.read("a.conf"))
        self.assertEqual(s.read("tmp/2-same.bin"), b"second")

    def test_empty_upload_creates_no_file(self):
        s = self.server
        s.write("empty.conf", b"")
        curl("/rundis/", "-F", f"f=@{s.path('empty.conf')}")
        self.assertFalse(os.path.exists(s.path("tmp/empty.conf")))
        self.assertEqual([n for n in os.listdir(s.path("tmp")) if n.startswith(".upload")], [])

    def test_get_arguments(self):
        s = self.server
        curl("/rundis/?nocache=1&NoCache=2&a=1&bare")
        out = s.stdout()
        self.assertIn("param: a->1", out)
        self.assertIn("param: bare->(null)", out)
        self.assertNotIn("ocache", out.lower())


class Concurrency(unittest.TestCase):
    """20 parallel curl loops against the version path and the document root, under ThreadSanitizer,
    while the root is replaced again and again (a link flipped between two equal trees)."""

    def test_parallel_requests_under_thread_sanitizer(self):
        config = CONFIG.replace('"./www/"', '"./site/"')
        with Server(tsan=True, args=("-l", "0x21"), config=config,
                    files={"a/page.html": "P" * 5000, "b/page.html": "P" * 5000}) as s:
            os.symlink("a", s.path("site"))
            failures = []
            done = threading.Event()

            def flip():
                for n in range(5000):
                    if done.wait(0.002):
                        return
                    os.symlink("ab"[n % 2], s.path("site.new"))
                    os.rename(s.path("site.new"), s.path("site"))

            flipper = threading.Thread(target=flip)
            flipper.start()

            def loop(n):
                for i in range(10):
                    path = "/stavenorVersion" if (n + i) % 2 else "/page.html"
                    status, body = curl(path)
                    ok = status == 200 and (body.startswith(b"2014-04a (") if path == "/stavenorVersion"
                                            else body == b"P" * 5000)
                    if not ok:
                        failures.append((path, status, body[:40]))

            threads = [threading.Thread(target=loop, args=(n,)) for n in range(20)]
            for t in threads:
                t.start()
            for t in threads:
                t.join(120)
            done.set()
            flipper.join(30)
            self.assertEqual(failures, [])
            self.assertEqual(s.stop(), 0)
            self.assertNotIn("ThreadSanitizer", s.stderr())


if __name__ == "__main__":
    unittest.main()
