#!/usr/bin/python3
"""The frames report in Debian's headless Chromium, opened from the file system.

Usage: report_check.py BUILD_FOLDER [--screenshot FILE]

Makes a report with BUILD_FOLDER/quillon-frames against a copy of the golden references in
which one pixel at the edge of the three-click triangle was changed, opens its page and checks
that it names that frame first, that every picture loaded and that the console stayed clean.
With --screenshot, a picture of the page goes to FILE (the one in the README).
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains

import marionette

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CHANGED = "three-click-triangle"
ROW = 130  # crosses the triangle's right edge
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync"]


def widen_edge(path):
    """Colours the first black pixel right of the triangle on ROW as its left neighbour, as a
    rasterizer with another edge rule might; returns its place."""
    with open(path, "rb") as file:
        data = bytearray(file.read())
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    row = offset + (height - 1 - ROW) * ((width * 3 + 3) // 4 * 4)
    lit = False
    for x in range(width):
        pixel = data[row + 3 * x:row + 3 * x + 3]
        if lit and pixel == b"\0\0\0":
            data[row + 3 * x:row + 3 * x + 3] = data[row + 3 * x - 3:row + 3 * x]
            with open(path, "wb") as file:
                file.write(data)
            return x, ROW
        lit = lit or x > 30 and pixel != b"\0\0\0"
    raise ValueError(f"{path}: no triangle edge on row {ROW}")


def make_report(build, work):
    """The report in work/report; whether the tool named the changed pixel."""
    references = os.path.join(work, "references")
    shutil.copytree(os.path.join(SOURCE, "tests/golden"), references)
    place = widen_edge(os.path.join(references, CHANGED + ".bmp"))
    # Paths as a person gives them from the project's folder, as the page shows them.
    arguments = ["--references", references, "--report", os.path.join(work, "report"),
                 "--capture", os.path.join(build, "quillon-capture"), "--assets", "assets"]
    run = subprocess.run([os.path.join(build, "quillon-frames")] +
                         [os.path.relpath(a, SOURCE) if os.path.isabs(a) else a for a in arguments],
                         cwd=SOURCE, capture_output=True, text=True)
    print(run.stdout, end="")
    expected = f"{CHANGED}: 1 pixel differs, the first at ({place[0]}, {place[1]})"
    return run.returncode == 1 and expected in run.stdout.splitlines()


class Chromium:
    """Headless Chromium through selenium and chromedriver, with what the checks ask of a
    browser: get, execute_script, press (a key as the keyboard sends it), console_errors."""
    name = "Chromium"

    def __init__(self):
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        self.profile = tempfile.mkdtemp(prefix="quillon-chromium-")
        for flag in CHROMIUM_FLAGS + [f"--user-data-dir={self.profile}", "--window-size=1600,1000"]:
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        try:
            self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"),
                                           options=options)
        except Exception:
            shutil.rmtree(self.profile, ignore_errors=True)
            raise

    def get(self, url):
        self.driver.get(url)

    def execute_script(self, script, *arguments):
        return self.driver.execute_script(script, *arguments)

    def press(self, key):
        ActionChains(self.driver).send_keys(key).perform()

    def console_errors(self):
        return [entry["message"] for entry in self.driver.get_log("browser")
                if entry["level"] == "SEVERE"]

    def close(self):
        self.driver.quit()
        shutil.rmtree(self.profile, ignore_errors=True)


# What the page reports on its console once it has loaded, and the pictures it then fails to
# load; the browser notes uncaught errors itself, from the page's first line on.
CONSOLE_HOOK = """
    window.quillonConsoleErrors = [];
    window.addEventListener("error", function (event) {
        if (event.target !== window)
            window.quillonConsoleErrors.push("failed to load " + event.target.src);
    }, true);
    var error = console.error;
    console.error = function () {
        window.quillonConsoleErrors.push(Array.from(arguments, String).join(" "));
        return error.apply(console, arguments);
    };"""


class Firefox(marionette.Firefox):
    """Headless Firefox ESR through Marionette, with what the checks ask of a browser. Its
    console errors are the uncaught errors the browser noted for the page and, once the page
    has loaded, its console.error calls (those made while it loads go unseen)."""
    name = "Firefox"

    def get(self, url):
        super().get(url)
        self.execute_script(CONSOLE_HOOK)

    def console_errors(self):
        return self.page_errors() + (self.execute_script(
            "return window.quillonConsoleErrors || []") or [])


def open_page(report, browser=Chromium):
    """The report's page in a new browser of that kind."""
    page = browser()
    try:
        page.get("file://" + os.path.join(report, "index.html"))
    except BaseException:
        page.close()
        raise
    return page


def scenario_count():
    with open(os.path.join(SOURCE, "tests/golden/frames.list")) as listing:
        return sum(1 for line in listing if line.split() and not line.startswith("#"))


def check_page(browser):
    """The failures of the loaded page, as text, in a browser of the kinds above."""
    failures = []
    pictures = browser.execute_script("""
        return Array.from(document.images, image =>
            [image.getAttribute("src"), image.complete && image.naturalWidth > 0]);""")
    missing = [source for source, loaded in pictures if not loaded]
    # Five pictures of the frame that differs, one of each identical frame.
    if len(pictures) != 5 + scenario_count() - 1 or missing:
        failures.append(f"{len(pictures)} pictures, not loaded: {missing}")
    first = browser.execute_script("return document.querySelector('section').id")
    if first != CHANGED:
        failures.append(f"the first section is '{first}', not '{CHANGED}'")
    summary = f"{scenario_count() - 1} of {scenario_count()} frames identical"
    if summary not in browser.execute_script("return document.querySelector('.summary').innerText"):
        failures.append(f"no summary '{summary}'")
    failures += [f"console: {error}" for error in browser.console_errors()]
    return failures


def save_screenshot(page, path):
    """The top of the page, zoomed out so that the three pictures and the crops fit."""
    driver = page.driver
    driver.set_window_size(1100, 1000)
    driver.execute_script("document.body.style.zoom = '0.62'")
    driver.save_screenshot(path)


def main():
    if len(sys.argv) not in (2, 4) or (len(sys.argv) == 4 and sys.argv[2] != "--screenshot"):
        sys.exit(__doc__.strip())
    build = os.path.abspath(sys.argv[1])
    work = os.path.join(build, "report-check")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    try:
        named = make_report(build, work)
        failures = [] if named else [f"the report does not name the changed pixel of {CHANGED}"]
        page = open_page(os.path.join(work, "report"))
        try:
            failures += check_page(page)
            if len(sys.argv) == 4:
                save_screenshot(page, os.path.abspath(sys.argv[3]))
        finally:
            page.close()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAIL: " + failure)
    print("report check: " + ("all checks passed" if not failures else "failed"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
