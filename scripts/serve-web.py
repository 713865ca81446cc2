#!/usr/bin/env python3
"""Serves the browser build on localhost and prints its address.

Usage: serve-web.py FOLDER [PORT]   (port 0 takes a free one)
"""
import functools
import http.server
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    # Browsers compile WebAssembly while it downloads only when it comes as application/wasm.
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    def log_message(self, format, *args):
        pass


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__.strip())
    port = int(sys.argv[2]) if len(sys.argv) == 3 else 8000
    handler = functools.partial(Handler, directory=sys.argv[1])
    with http.server.ThreadingHTTPServer(("127.0.0.1", port), handler) as server:
        print(f"Serving the program at http://localhost:{server.server_address[1]}/ "
              "(Ctrl+C stops)", flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass


if __name__ == "__main__":
    main()
