#!/usr/bin/python3
"""scripts/serve-web.py hands out the page and nothing else, and only to this machine.

Usage: serve_test.py BUILD_FOLDER
"""
import http.client
import os
import subprocess
import sys

from browser import SOURCE, start_server

PAGE = {"/": "text/html", "/index.html?frames=2&ms=0": "text/html", "/quillon.js": "text/javascript",
        "/quillon.wasm": "application/wasm", "/quillon.data": "application/octet-stream"}
NOT_PAGE = ["/CMakeCache.txt", "/Makefile", "/libquillon_core.a", "/CMakeFiles/", "/test/",
            "/../CMakeLists.txt", "/%2e%2e/CMakeLists.txt", "//etc/passwd", "/index.html/"]


def request(port, path, host=None, method="GET"):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    connection.putrequest(method, path, skip_host=host is not None)
    for name in [host] if isinstance(host, str) else host or []:
        connection.putheader("Host", name)
    connection.endheaders()
    response = connection.getresponse()
    body = response.read()
    connection.close()
    return response.status, response.getheader("Content-Type") or "", body


def main():
    build = os.path.abspath(sys.argv[1])
    failures = []

    def check(passed, message):
        print(("pass: " if passed else "FAIL: ") + message, flush=True)
        if not passed:
            failures.append(message)

    server, address = start_server(build)
    port = int(address.rstrip("/").rsplit(":", 1)[1])
    try:
        for path, kind in PAGE.items():
            status, content_type, body = request(port, path)
            check(status == 200 and content_type.startswith(kind) and body,
                  f"{path} is served as {kind} ({status}, {content_type})")
        refused = {path: request(port, path)[0] for path in NOT_PAGE}
        check(all(status == 404 for status in refused.values()),
              f"nothing but the page's files, no listings ({refused})")
        hosts = {host: request(port, "/quillon.data", host)[0]
                 for host in ["localhost", f"localhost:{port}", f"127.0.0.1:{port}", "LocalHost",
                              "evil.example", f"evil.example:{port}", "localhost.evil.example",
                              f"localhost:{port + 1}", ""]}
        local = [hosts.pop(host) for host in ["localhost", f"localhost:{port}",
                                              f"127.0.0.1:{port}", "LocalHost"]]
        check(all(status == 200 for status in local) and
              all(status == 403 for status in hosts.values()),
              f"only a Host of localhost or 127.0.0.1 is answered ({local}, {hosts})")
        doubled = [request(port, "/quillon.data", pair)[0]
                   for pair in [["localhost", "evil.example"], ["localhost", "localhost"]]]
        check(doubled == [400, 400], f"a request with two Host headers is refused ({doubled})")
        status, _, body = request(port, "/quillon.js", method="HEAD")
        check(status == 200 and not body, "HEAD answers without a body")

        taken = subprocess.run([sys.executable, os.path.join(SOURCE, "scripts/serve-web.py"),
                                build, str(port)], capture_output=True, text=True, timeout=20)
        lines = (taken.stdout + taken.stderr).strip().splitlines()
        check(taken.returncode != 0 and len(lines) == 1 and "WEB_PORT" in lines[0],
              f"a port in use is one line naming WEB_PORT ({taken.returncode}, {lines})")
    finally:
        server.terminate()
        server.wait()
        server.stdout.close()
    if failures:
        print(f"serve_test: {len(failures)} check(s) failed")
        return 1
    print("serve_test: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
