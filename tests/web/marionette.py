"""Debian's headless Firefox ESR driven through Marionette, the protocol Firefox speaks itself,
so that no geckodriver is needed.

Firefox listens on the port its profile's prefs.js names. A message is its length in bytes, a
colon and JSON: on connecting, the browser greets with its protocol version; then each command
is [0, id, name, parameters], answered by [1, id, error, result].
"""
import json
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time

FIREFOX = "/usr/bin/firefox-esr"
TIME_LIMIT = 30  # seconds for starting, and for any one answer
# Nothing of the browser's own reaches the network, and it asks nothing on its first start.
PREFERENCES = {
    "browser.shell.checkDefaultBrowser": False,
    "browser.startup.homepage_override.mstone": "ignore",
    "browser.startup.page": 0,
    "browser.aboutwelcome.enabled": False,
    "startup.homepage_welcome_url": "about:blank",
    "datareporting.policy.dataSubmissionEnabled": False,
    "datareporting.healthreport.uploadEnabled": False,
    "toolkit.telemetry.enabled": False,
    "toolkit.telemetry.unified": False,
    "toolkit.telemetry.server": "",
    "app.update.enabled": False,
    "app.update.auto": False,
    "app.normandy.enabled": False,
    "app.shield.optoutstudies.enabled": False,
    "extensions.update.enabled": False,
    "extensions.getAddons.cache.enabled": False,
    "extensions.blocklist.enabled": False,
    "browser.safebrowsing.malware.enabled": False,
    "browser.safebrowsing.phishing.enabled": False,
    "browser.safebrowsing.downloads.enabled": False,
    "browser.safebrowsing.provider.mozilla.updateURL": "",
    "network.prefetch-next": False,
    "network.dns.disablePrefetch": True,
    "network.http.speculative-parallel-limit": 0,
    "network.captive-portal-service.enabled": False,
    "network.connectivity-service.enabled": False,
    "browser.newtabpage.enabled": False,
    "browser.newtabpage.activity-stream.feeds.topsites": False,
    "browser.newtabpage.activity-stream.feeds.section.topstories": False,
    "browser.search.update": False,
    "browser.ping-centre.telemetry": False,
    "services.settings.server": "",
    "media.gmp-manager.updateEnabled": False,
    "remote.prefs.recommended": True,
}


class MarionetteError(RuntimeError):
    pass


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def write_profile(folder, port):
    with open(os.path.join(folder, "prefs.js"), "w") as prefs:
        for name, value in dict(PREFERENCES, **{"marionette.port": port}).items():
            prefs.write(f"user_pref({json.dumps(name)}, {json.dumps(value)});\n")


class Firefox:
    """One headless Firefox with a fresh profile, in one session; close() always ends both."""

    def __init__(self, width=1600, height=1000):
        self.profile = tempfile.mkdtemp(prefix="quillon-firefox-")
        self.process = None
        self.connection = None
        self.last_id = 0
        try:
            port = free_port()
            write_profile(self.profile, port)
            self.process = subprocess.Popen(
                [FIREFOX, "--headless", "--marionette", "--remote-allow-system-access",
                 "--no-remote", "--profile", self.profile,
                 "--window-size", f"{width},{height}", "about:blank"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                env=dict(os.environ, MOZ_HEADLESS="1"), start_new_session=True)
            self.connection = self.connect(port)
            greeting = self.receive()
            if greeting.get("marionetteProtocol") != 3:
                raise MarionetteError(f"Firefox greets with {greeting}")
            # The browser's own limits stay below the wait for an answer.
            limit = (TIME_LIMIT - 5) * 1000
            self.command("WebDriver:NewSession")
            self.command("WebDriver:SetTimeouts", {"pageLoad": limit, "script": limit})
        except BaseException:
            self.close()
            raise

    def connect(self, port):
        deadline = time.time() + TIME_LIMIT
        while time.time() < deadline:
            if self.process.poll() is not None:
                raise MarionetteError(f"Firefox ended at its start with {self.process.returncode}")
            try:
                connection = socket.create_connection(("127.0.0.1", port), timeout=TIME_LIMIT)
                connection.settimeout(TIME_LIMIT)
                return connection
            except OSError:
                time.sleep(0.2)
        raise MarionetteError(f"Firefox does not listen on port {port} in {TIME_LIMIT} s")

    def receive_exactly(self, count):
        data = b""
        while len(data) < count:
            piece = self.connection.recv(count - len(data))
            if not piece:
                raise MarionetteError("Firefox closed the connection")
            data += piece
        return data

    def receive(self):
        length = b""
        while not length.endswith(b":"):
            length += self.receive_exactly(1)
            if len(length) > 12:
                raise MarionetteError(f"no message length: {length!r}")
        return json.loads(self.receive_exactly(int(length[:-1])))

    def command(self, name, parameters=None):
        """The result of one command; its error raised as MarionetteError."""
        self.last_id += 1
        data = json.dumps([0, self.last_id, name, parameters or {}]).encode()
        self.connection.sendall(str(len(data)).encode() + b":" + data)
        while True:
            kind, answer_id, error, result = self.receive()
            if kind == 1 and answer_id == self.last_id:
                break
        if error:
            raise MarionetteError(f"{name}: {error.get('error')}: {error.get('message')}")
        return result

    def get(self, url):
        self.command("WebDriver:Navigate", {"url": url})

    def execute_script(self, script, *arguments):
        return self.command("WebDriver:ExecuteScript",
                            {"script": script, "args": list(arguments)}).get("value")

    def page_errors(self):
        """The errors the browser noted for pages (not its own windows), as text. Reading them
        takes the browser's own context, which --remote-allow-system-access opens."""
        self.command("Marionette:SetContext", {"value": "chrome"})
        try:
            return self.execute_script("""
                return Services.console.getMessageArray().filter(message =>
                    message instanceof Ci.nsIScriptError &&
                    !(message.flags & Ci.nsIScriptError.warningFlag) &&
                    /^(file|https?):/.test(message.sourceName)).map(message =>
                    message.errorMessage + " (" + message.sourceName + ":" +
                    message.lineNumber + ")");""")
        finally:
            self.command("Marionette:SetContext", {"value": "content"})

    def press(self, key):
        """A key pressed and released as a person's keyboard sends it to the focused page."""
        self.command("WebDriver:PerformActions", {"actions": [{
            "type": "key", "id": "keyboard",
            "actions": [{"type": "keyDown", "value": key}, {"type": "keyUp", "value": key}]}]})
        self.command("WebDriver:ReleaseActions")

    def close(self):
        if self.connection is not None:
            try:
                # Quitting ends the session with the browser.
                self.command("Marionette:Quit", {"flags": ["eForceQuit"]})
            except (OSError, ValueError, MarionetteError):
                pass
            self.connection.close()
            self.connection = None
        if self.process is not None:
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
            # Whatever of its content processes outlived it: they share its process group.
            try:
                os.killpg(self.process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.process = None
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *failure):
        self.close()
