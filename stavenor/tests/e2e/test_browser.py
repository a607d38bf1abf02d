"""The request guard against a real browser (Chromium, headless), all inside this test's network
namespace: a page of another local web application (127.0.0.1:9000, and localhost:9000 for
another site) fires every request a page can make a browser send at the server, and none of them
changes anything; the console's own page in the document root still works in the same browser."""
import json
import os
import re
import shutil
import sys
import tempfile
import unittest
import urllib.parse
import zipfile

sys.path.insert(0, os.path.dirname(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "peers"))
from browser import Browser  # noqa: E402
from harness import BASE, Server, curl  # noqa: E402
from page_server import PageServer  # noqa: E402

# Fires each request at the server twice, as an insert and as a "save_as" into DIR, then says done.
FOREIGN_PAGE = """<!DOCTYPE html>
<html><body>
<img src="/hold" alt="">
<script>
const server = "%(server)s";
const commands = {
  insert: name => ["/tuna/insert/globalEvents.json", {name}],
  save_as: name => ["/tuna/configurationFile.json", {command: "save_as", file: %(dir)s + "/" + name}],
};
const url = (path, fields) => server + path + "?" + new URLSearchParams(fields);
const element = (tag, src) => new Promise(done => {
  const e = document.createElement(tag);
  e.onload = e.onerror = done;
  e.src = src;
  document.body.appendChild(e);
});
let frames = 0;
const form = (path, fields, enctype) => new Promise(done => {
  const frame = document.createElement("iframe");
  frame.name = "sink" + frames++;
  document.body.appendChild(frame);
  const f = document.createElement("form");
  f.method = "post";
  f.enctype = enctype;
  f.action = server + path;
  f.target = frame.name;
  for (const [name, value] of Object.entries(fields)) {
    const input = document.createElement("input");
    input.name = name;
    input.value = value;
    f.appendChild(input);
  }
  document.body.appendChild(f);
  frame.onload = done;
  f.submit();
});
const ways = {
  img: (path, fields) => element("img", url(path, fields)),
  script: (path, fields) => element("script", url(path, fields)),
  nocors: (path, fields) => fetch(url(path, fields), {mode: "no-cors"}).catch(() => {}),
  urlencoded: (path, fields) => form(path, fields, "application/x-www-form-urlencoded"),
  multipart: (path, fields) => form(path, fields, "multipart/form-data"),
};
(async () => {
  for (const [command, request] of Object.entries(commands))
    for (const [way, send] of Object.entries(ways))
      await send(...request(way + "_%(tag)s_" + command));
  await fetch("/done");
})();
</script>
</body></html>
"""

# A link to a command that the page follows at once, as a user's click would.
NAVIGATION_PAGE = """<!DOCTYPE html>
<html><body><a id="go" href="%(to)s">go</a><script>document.getElementById("go").click();</script></body></html>
"""

# The console's own page: a form upload, a fetch GET and a fetch POST, each result written into the
# DOM, then a plain navigation to a download. Its script is a file of its own (the document root
# allows no inline script), and it reports what it saw to the server's own "rundis" page, since
# the root's policy lets it reach no other.
OWN_PAGE = """<!DOCTYPE html>
<html><head><title>self test</title></head><body>
<form id="upload" method="post" enctype="multipart/form-data" action="/tuna/configurationFile.json" target="sink">
<input type="hidden" name="command" value="load_file">
<input type="hidden" name="fileName" value="browser.conf">
<input type="hidden" name="filePath" value="%(path)s">
<input type="file" name="file" id="file">
</form>
<iframe name="sink" id="sink"></iframe>
<a id="download" download href="/icons/?command=save_icons">icons</a>
<pre id="results"></pre>
<script src="selftest.js"></script>
</body></html>
"""

OWN_SCRIPT = """
const results = document.getElementById("results");
const show = (what, text) => { results.textContent += what + " " + text.replace(/\\s+/g, " ") + "\\n"; };
(async () => {
  try {
    const files = new DataTransfer();
    files.items.add(new File(["|system|\\n\\t|filename| = |browser.conf|\\n"], "browser.conf"));
    document.getElementById("file").files = files.files;
    const sink = document.getElementById("sink");
    await new Promise(done => { sink.onload = done; document.getElementById("upload").submit(); });
    show("upload", sink.contentDocument.body.textContent);
    let reply = await fetch("/tuna/insert/globalEvents.json?name=own_get");
    show("get", reply.status + " " + await reply.text());
    reply = await fetch("/tuna/insert/globalEvents.json",
                        {method: "POST", body: new URLSearchParams({name: "own_post"})});
    show("post", reply.status + " " + await reply.text());
    document.getElementById("download").click();
  } catch (e) {
    show("failed", String(e));
  }
  fetch("/rundis/", {method: "POST", body: new URLSearchParams({results: results.textContent})});
})();
"""
REPORT = "param: results->"


class BrowserGuard(unittest.TestCase):
    def setUp(self):
        self.outside = tempfile.mkdtemp(prefix="browser-")
        self.addCleanup(shutil.rmtree, self.outside, True)
        self.server = Server(args=("-l", "0x1"), files={
            "www/selftest.html": OWN_PAGE % {"path": os.path.join(self.outside, "browser.conf")},
            "www/selftest.js": OWN_SCRIPT})
        self.addCleanup(self.server.close)
        self.pages = PageServer()
        self.addCleanup(self.pages.close)
        self.browser = Browser()
        self.addCleanup(self.browser.close)

    def names(self, table):
        status, body = curl(f"/tuna/list/{table}.json")
        self.assertEqual(status, 200, body)
        return json.loads(body)["name"]

    def refusals(self):
        return re.findall(r"request refused \(([\w-]+) ", self.server.stderr())

    def test_nothing_another_page_makes_the_browser_send_changes_anything(self):
        self.pages.pages["/attack.html"] = lambda q: FOREIGN_PAGE % {
            "server": BASE, "dir": json.dumps(self.outside), "tag": q["tag"]}
        self.pages.pages["/nav.html"] = lambda q: NAVIGATION_PAGE % {"to": q["to"]}
        # Another port of 127.0.0.1 is the same site; localhost is another one.
        for host, tag in (("127.0.0.1", "samesite"), ("localhost", "crosssite")):
            self.browser.dump_dom(f"http://{host}:9000/attack.html?tag={tag}", self.pages)
            for to in (f"{BASE}/tuna/insert/globalEvents.json?name=nav_{tag}",
                       f"{BASE}/tuna/configurationFile.json?command=save_as&file={self.outside}/nav_{tag}"):
                dom = self.browser.dump_dom(f"http://{host}:9000/nav.html?to={urllib.parse.quote(to)}")
                self.assertIn("request refused (Sec-Fetch-Site", dom)

        self.assertEqual(self.names("globalEvents"), [])
        self.assertEqual(os.listdir(self.outside), [])
        self.assertEqual(os.listdir(self.server.path("tmp")), [])
        # Ten requests per page and one per navigation, each refused once: the forms' POSTs by their
        # Origin, the rest by what the browser says of their site.
        refusals = self.refusals()
        self.assertEqual(len(refusals), 2 * 10 + 4, self.server.stderr())
        self.assertEqual(refusals.count("Origin"), 2 * 4)
        self.assertEqual(refusals.count("Sec-Fetch-Site"), 2 * 6 + 4)

    def test_the_consoles_own_page_works_in_the_browser(self):
        download = os.path.join(self.browser.downloads, "icons.zip")
        self.browser.show(f"{BASE}/selftest.html",
                          ready=lambda: os.path.exists(download) and REPORT in self.server.stdout())
        results = self.server.stdout().partition(REPORT)[2]
        self.assertIn('upload { "status" : "success" }', results)
        self.assertRegex(results, r'get 200 \{ "id" : "id\d+", "name" : "own_get", "status" : "success" \}')
        self.assertRegex(results, r'post 200 \{ "id" : "id\d+", "name" : "own_post", "status" : "success" \}')
        self.assertNotIn("failed", results)
        self.assertEqual(sorted(self.names("globalEvents")), ["own_get", "own_post"])
        self.assertEqual(self.names("Configuration"), ["browser.conf"])
        with zipfile.ZipFile(download) as archive:
            self.assertIn("000_normal.bmp", archive.namelist())
        self.assertEqual(self.refusals(), [])
        # The page's upload named the user's file: Save writes it there.
        self.assertEqual(curl("/tuna/configurationFile.json?command=save_file")[0], 404)
        with open(os.path.join(self.outside, "browser.conf"), "rb") as f:
            self.assertIn(b"\t|own_get|\n", f.read())


if __name__ == "__main__":
    unittest.main()
