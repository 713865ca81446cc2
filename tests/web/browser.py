"""The page served on localhost and opened in Debian's headless Chromium through selenium:
what the page's checks and its benchmark share."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync", "--window-size=900,900"]


def start_server(build):
    """scripts/serve-web.py on a free port: the process and the page's address."""
    server = subprocess.Popen(
        [sys.executable, os.path.join(SOURCE, "scripts/serve-web.py"), build, "0"],
        stdout=subprocess.PIPE, text=True)
    line = server.stdout.readline()
    if " at " not in line:
        server.kill()
        raise RuntimeError(f"serve-web.py did not start: {line!r}")
    return server, line.split(" at ")[1].split()[0]


class Browser:
    """One Chromium with the page's server. init_script runs in every page before its own."""

    def __init__(self, build, init_script=None):
        self.server, self.address = start_server(build)
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        self.profile = tempfile.mkdtemp(prefix="quillon-chromium-")
        for flag in CHROMIUM_FLAGS + [f"--user-data-dir={self.profile}"]:
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        try:
            self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"),
                                           options=options)
        except Exception:
            self.server.kill()
            raise
        if init_script:
            self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                        {"source": init_script})

    def __enter__(self):
        return self

    def __exit__(self, *failure):
        self.close()

    def close(self):
        self.driver.quit()
        self.server.terminate()
        self.server.wait()
        self.server.stdout.close()
        shutil.rmtree(self.profile, ignore_errors=True)

    def load(self, query, page="index.html"):
        self.driver.get(self.address + page + query)

    def state(self):
        return self.driver.execute_script("return document.body.dataset.state")

    def frames(self):
        return self.driver.execute_script("return (window.Module && Module.framesShown) || 0")

    def wait_for(self, condition, seconds=20, every=0.05):
        deadline = time.time() + seconds
        while time.time() < deadline:
            if condition():
                return True
            time.sleep(every)
        return False
