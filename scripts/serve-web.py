#!/usr/bin/env python3
"""Serves the page of the browser build on localhost and prints its address.

Usage: serve-web.py FOLDER [PORT]   (port 0 takes a free one)

Only the page's own files are handed out, read from FOLDER when asked for; nothing else of
the build folder (its cache, makefiles, libraries) and no folder listings. Only requests
addressed to localhost or 127.0.0.1 are answered, so that a page elsewhere whose name has been
pointed at this machine (DNS rebinding) cannot read them.
"""
import errno
import http.server
import os
import sys

# What the browser asks for, and what each is. Browsers compile WebAssembly while it
# downloads only when it comes as application/wasm.
PAGE_FILES = {
    "index.html": "text/html; charset=utf-8",
    "quillon.js": "text/javascript",
    "quillon.wasm": "application/wasm",
    "quillon.data": "application/octet-stream",
}
LOCAL_HOSTS = ("localhost", "127.0.0.1")


def local_host(host, port):
    """Whether a Host header names this server on this machine, with or without its port."""
    name, _, given_port = (host or "").strip().lower().rpartition(":")
    if not name or not given_port.isdigit():
        name, given_port = (host or "").strip().lower(), None
    return name in LOCAL_HOSTS and given_port in (None, str(port))


class PageHandler(http.server.BaseHTTPRequestHandler):
    folder = "."

    def do_GET(self):
        self.answer(with_body=True)

    def do_HEAD(self):
        self.answer(with_body=False)

    def answer(self, with_body):
        hosts = self.headers.get_all("Host") or []
        if len(hosts) != 1:
            self.send_error(400, "A request names exactly one Host")
            return
        if not local_host(hosts[0], self.server.server_address[1]):
            self.send_error(403, "Only localhost and 127.0.0.1 are served")
            return
        name = self.path.split("?", 1)[0].split("#", 1)[0].lstrip("/") or "index.html"
        if name not in PAGE_FILES:
            self.send_error(404)
            return
        try:
            with open(os.path.join(self.folder, name), "rb") as file:
                body = file.read()
        except OSError:
            self.send_error(404)  # not built
            return
        self.send_response(200)
        self.send_header("Content-Type", PAGE_FILES[name])
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-cache")
        self.end_headers()
        if with_body:
            self.wfile.write(body)

    def log_message(self, format, *args):
        pass


def main():
    port = sys.argv[2] if len(sys.argv) == 3 else "8000"
    if len(sys.argv) not in (2, 3) or not port.isdigit() or int(port) > 65535:
        sys.exit(__doc__.strip())
    port = int(port)
    PageHandler.folder = sys.argv[1]
    try:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", port), PageHandler)
    except OSError as error:
        if error.errno == errno.EADDRINUSE:
            sys.exit(f"serve-web: port {port} is in use; choose another with WEB_PORT=N")
        sys.exit(f"serve-web: cannot serve on port {port} ({error.strerror}); "
                 "choose another with WEB_PORT=N")
    with server:
        print(f"Serving the program at http://localhost:{server.server_address[1]}/ "
              "(Ctrl+C stops)", flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass


if __name__ == "__main__":
    main()
