"""A small web server on 127.0.0.1 standing for another local web application that the user has open
in the same browser: it serves the pages a test gives it.

A page holds the browser's load event (and so Chromium's --dump-dom) with an image of "/hold" until
the test calls release(); a page says it has done its work by fetching "/done".
"""
import http.server
import threading
import urllib.parse

HOLD_BOUND = 30  # seconds a held image waits at most


class PageServer:
    def __init__(self, port=9000):
        self.pages = {}  # path -> function(query dict) -> HTML text
        self.done = threading.Event()
        self.released = threading.Event()
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                path, _, query = self.path.partition("?")
                if path == "/hold":
                    server.released.wait(HOLD_BOUND)
                    return self.reply(b"", "image/gif")
                if path == "/done":
                    server.done.set()
                    return self.reply(b"done", "text/plain")
                page = server.pages.get(path)
                if not page:
                    return self.reply(b"none", "text/plain", 404)
                fields = dict(urllib.parse.parse_qsl(query))
                return self.reply(page(fields).encode(), "text/html; charset=utf-8")

            def reply(self, body, content_type, status=200):
                self.send_response(status)
                self.send_header("Content-Type", content_type)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        self.httpd.daemon_threads = True
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def reset(self):
        self.done.clear()
        self.released.clear()

    def release(self):
        self.released.set()

    def close(self):
        self.released.set()
        self.httpd.shutdown()
        self.httpd.server_close()
