"""Every answer of the server names its type for good (nosniff), and every HTML answer, a page or an
error page of any handler, carries the pages' policy."""
import unittest

from harness import Server, curl_headers

POLICY = ("default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
          "object-src 'none'; base-uri 'none'; form-action 'self'; frame-ancestors 'self'")

# (what, path, curl arguments, status, an HTML answer)
CASES = [
    ("document root", "/", (), 200, True),
    ("a page's script", "/app.js", (), 200, False),
    ("a page sent from its file", "/large.html", (), 200, True),
    ("a missing file", "/missing.html", (), 404, True),
    ("the version", "/stavenorVersion", (), 200, True),
    ("the fixed page", "/rundis/", (), 200, True),
    ("the store's unknown command", "/tuna/noSuchCommand", (), 404, True),
    ("the store's answer", "/tuna/list/radio.json", (), 200, False),
    ("the updater's unknown path", "/updater/nothing", (), 404, True),
    ("the updater's answer", "/updater/breltList.json", (), 200, False),
    ("the recovery's unknown command", "/curtain/?command=noSuchCommand", (), 404, True),
    ("an icon that is not there", "/icons/noSuchIcon", (), 404, False),
    ("a request from another site", "/", ("-H", "Origin: http://example.com"), 403, False),
]


class AnswerHeaders(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server(args=("-l", "0x1"), files={"www/index.html": "<p>x</p>", "www/app.js": "let x;",
                                                           "www/large.html": "<p>x</p>" * 4096})

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def test_every_path_kind(self):
        for what, path, args, status, html in CASES:
            with self.subTest(what):
                got, headers, _ = curl_headers(path, *args)
                self.assertEqual(got, status)
                self.assertEqual(headers.get("x-content-type-options"), "nosniff")
                self.assertEqual(headers.get("content-type", "").startswith("text/html"), html, headers)
                self.assertEqual(headers.get("content-security-policy"), POLICY if html else None)


if __name__ == "__main__":
    unittest.main()
