#!/usr/bin/python3
"""The browser build in Debian's headless Chromium, driven through selenium.

Usage: run.py BUILD_FOLDER [--screenshot FILE]

Serves BUILD_FOLDER on localhost, loads the page and checks the first frame against the golden
frame, the title, the keys F, B, W, C with three clicks, Escape, and that the console stayed
clean. Screenshots of every step go to BUILD_FOLDER/test/ and stay there when a check fails.
With --screenshot, a picture of the page with the running program is written to FILE.
"""
import base64
import os
import shutil
import struct
import sys
import time

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

from browser import SOURCE, Browser

FIRST_SCENE_ROW = 29  # the rows above hold the head-up text, as in tests/golden_test.cpp
MENU_BAR_HEIGHT = 19  # above the client area on the canvas
TITLE = "Velmora's Quillon Framework - Assignment 2"


def read_bmp(path):
    """A 24-bit bottom-up BMP as (width, height, rows of (r, g, b) tuples, top row first)."""
    with open(path, "rb") as file:
        data = file.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    if bits != 24 or height <= 0:
        raise ValueError(f"{path}: not a bottom-up 24-bit BMP")
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(height - 1, -1, -1):
        start = offset + y * stride
        rows.append([(data[start + 3 * x + 2], data[start + 3 * x + 1], data[start + 3 * x])
                     for x in range(width)])
    return width, height, rows


class Canvas:
    """The canvas's pixels as the page reads them back."""

    def __init__(self, driver):
        width, height, encoded = driver.execute_script("""
            const canvas = document.getElementById("screen");
            const rgba = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
            let text = "";
            for (let i = 0; i < rgba.length; i += 0x8000)
                text += String.fromCharCode.apply(null, rgba.subarray(i, i + 0x8000));
            return [canvas.width, canvas.height, btoa(text)];""")
        self.width, self.height = width, height
        self.rgba = base64.b64decode(encoded)

    def pixel(self, x, y):
        i = (y * self.width + x) * 4
        return tuple(self.rgba[i:i + 3])

    def lit(self, top, bottom):
        """How many pixels between rows top and bottom are not black."""
        return sum(1 for y in range(top, bottom) for x in range(self.width)
                   if self.pixel(x, y) != (0, 0, 0))


class Session(Browser):
    def __init__(self, build, shots):
        super().__init__(build)
        self.shots = shots
        self.failures = []
        self.console = []

    def check(self, passed, message):
        print(("pass: " if passed else "FAIL: ") + message, flush=True)
        if not passed:
            self.failures.append(message)

    def shot(self, name):
        self.driver.save_screenshot(os.path.join(self.shots, name + ".png"))

    def load(self, query):
        self.collect_console()
        super().load(query)

    def wait_frames(self, count=4):
        start = self.frames()
        return self.wait_for(lambda: self.frames() >= start + count)

    def press(self, *keys):
        for key in keys:
            ActionChains(self.driver).send_keys(key).perform()
            self.wait_frames(2)
        self.wait_frames()

    def click(self, x, y, bar):
        canvas = self.driver.find_element("id", "screen")
        size = canvas.size
        ActionChains(self.driver).move_to_element_with_offset(
            canvas, x - size["width"] // 2, y + bar - size["height"] // 2).click().perform()
        self.wait_frames(3)

    def collect_console(self):
        self.console += self.driver.get_log("browser")


def check_first_frame(session):
    session.load("?frames=1&ms=16")
    session.wait_for(lambda: session.state() == "ended")
    session.shot("first-frame")
    canvas = Canvas(session.driver)
    # The golden frame is the back buffer; the window shows the part its client area holds.
    _, _, golden = read_bmp(os.path.join(SOURCE, "tests/golden/first-frame.bmp"))
    bar = MENU_BAR_HEIGHT
    width = min(canvas.width, len(golden[0]))
    height = min(canvas.height - bar, len(golden))
    differing = sum(1 for y in range(FIRST_SCENE_ROW, height) for x in range(width)
                    if canvas.pixel(x, y + bar) != golden[y][x])
    session.check(height > 300 and width > 300 and differing == 0,
                  f"the first frame equals the golden frame below the head-up text "
                  f"({width} x {height - FIRST_SCENE_ROW} pixels compared, {differing} differ)")
    return bar


def golden_queries():
    """tests/golden/frames.list as page addresses: --frames 20 --at 10 key:F is
    ?frames=20&at=10:key:F, and --inspect is inspect=1."""
    with open(os.path.join(SOURCE, "tests/golden/frames.list")) as listing:
        for line in listing:
            words = line.split()
            if not words or words[0].startswith("#"):
                continue
            name, arguments, parameters = words[0], words[1:], []
            while arguments:
                option = arguments.pop(0)[2:]
                if option == "inspect":
                    parameters.append("inspect=1")
                elif option == "at":
                    parameters.append(f"at={arguments.pop(0)}:{arguments.pop(0)}")
                else:
                    parameters.append(f"{option}={arguments.pop(0)}")
            yield name, "?" + "&".join(parameters)


def check_golden_frames(session, bar):
    """Every golden frame through the page's clock and script, head-up text included."""
    for name, query in golden_queries():
        session.load(query if "ms=" in query else query + "&ms=16")
        ended = session.wait_for(lambda: session.state() == "ended", 30)
        canvas = Canvas(session.driver)
        _, _, golden = read_bmp(os.path.join(SOURCE, f"tests/golden/{name}.bmp"))
        width, height = min(canvas.width, len(golden[0])), min(canvas.height - bar, len(golden))
        differing = sum(1 for y in range(height) for x in range(width)
                        if canvas.pixel(x, y + bar) != golden[y][x])
        if differing:
            session.shot("golden-" + name)
        session.check(ended and differing == 0,
                      f"{query} shows the golden frame {name} ({differing} pixels differ)")


def lit_scene(canvas, bar):
    return canvas.lit(bar + FIRST_SCENE_ROW, canvas.height)


def check_interaction(session, bar):
    # The clock held still: the cubes do not spin, so frames before and after a key compare.
    session.load("?ms=0")
    started = session.wait_for(lambda: session.frames() >= 3)
    session.check(started and session.driver.title == TITLE,
                  f"the program runs and titles the page '{session.driver.title}'")
    session.shot("start")
    start = lit_scene(Canvas(session.driver), bar)

    session.press("f")
    session.shot("wireframe")
    wire = lit_scene(Canvas(session.driver), bar)
    session.check(0 < wire < start // 2, f"F switches to wireframe ({start} lit, then {wire})")
    session.press("f")

    session.press("b")
    session.shot("texture")
    canvas = Canvas(session.driver)
    width, height, texture = read_bmp(os.path.join(SOURCE, "assets/marquetile.bmp"))
    differing = sum(1 for y in range(height) for x in range(width)
                    if canvas.pixel(x, y + bar) != texture[y][x])
    session.check(differing == 0, f"B shows marquetile.bmp at the top left ({differing} differ)")
    session.press("b")

    session.press(*"wwwwwwww")
    session.shot("closer")
    closer = lit_scene(Canvas(session.driver), bar)
    session.check(closer > start * 13 // 10, f"W brings the cubes closer ({start} lit, then {closer})")
    session.press(*"ssssssss")

    session.press("c")
    corners = [(40, 60), (160, 70), (50, 200)]
    for x, y in corners:
        session.click(x, y, bar)
    session.wait_frames()
    session.shot("triangle")
    canvas = Canvas(session.driver)
    centre = (sum(x for x, _ in corners) / 3, sum(y for _, y in corners) / 3)
    near = [canvas.pixel(int(x + (centre[0] - x) * 0.15), int(y + (centre[1] - y) * 0.15) + bar)
            for x, y in corners]
    strongest = [max(range(3), key=lambda channel: colour[channel]) for colour in near]
    session.check(strongest == [0, 1, 2],
                  f"C and three clicks give a red, green and blue triangle ({near})")
    session.press(Keys.ESCAPE)
    ended = session.wait_for(lambda: session.state() == "ended", 5)
    offered = session.driver.find_element("id", "again").is_displayed()
    session.shot("ended")
    session.check(ended and offered, "Escape ends the program and the page offers to start again")


def check_pointer_lock(session):
    """A click captures the pointer, its movement turns the view, and C lets it go."""
    session.load("?ms=0")
    session.wait_for(lambda: session.frames() >= 3)
    locked = "return document.pointerLockElement === document.getElementById('screen')"
    canvas = session.driver.find_element("id", "screen")
    ActionChains(session.driver).move_to_element(canvas).click().perform()
    captured = session.wait_for(lambda: session.driver.execute_script(locked), 5)
    before = Canvas(session.driver).rgba
    ActionChains(session.driver).move_by_offset(40, 0).perform()
    session.wait_frames()
    turned = Canvas(session.driver).rgba != before
    session.shot("captured")
    session.press("c")
    released = not session.driver.execute_script(locked)
    session.check(captured and turned and released,
                  f"a click locks the pointer ({captured}), moving it turns the view ({turned}), "
                  f"C releases it ({released})")


def check_menu_exit(session, bar):
    """File, Exit from the menu bar, with the pointer still waiting to be captured."""
    session.load("?ms=0")
    session.wait_for(lambda: session.frames() >= 3)
    session.click(12, -bar // 2, bar)
    session.shot("menu")
    opened = Canvas(session.driver).pixel(12, bar + 2) != (0, 0, 0)
    session.click(20, 10, bar)
    ended = session.wait_for(lambda: session.state() == "ended", 5)
    session.check(opened and ended, "File opens its popup and Exit ends the program")


def measure_frame_rate(session, screenshot):
    session.load("")
    session.wait_for(lambda: session.frames() >= 10)
    first, began = session.frames(), time.time()
    time.sleep(3)
    rate = (session.frames() - first) / (time.time() - began)
    print(f"note: {rate:.1f} frames a second in headless Chromium on the real clock")
    if screenshot:
        session.driver.set_window_size(760, 880)
        session.wait_frames()
        session.driver.save_screenshot(screenshot)


def main():
    if len(sys.argv) not in (2, 4) or (len(sys.argv) == 4 and sys.argv[2] != "--screenshot"):
        sys.exit(__doc__.strip())
    build = os.path.abspath(sys.argv[1])
    screenshot = os.path.abspath(sys.argv[3]) if len(sys.argv) == 4 else None
    shots = os.path.join(build, "test")
    shutil.rmtree(shots, ignore_errors=True)
    os.makedirs(shots)
    session = Session(build, shots)
    try:
        bar = check_first_frame(session)
        check_golden_frames(session, bar)
        check_interaction(session, bar)
        check_pointer_lock(session)
        check_menu_exit(session, bar)
        measure_frame_rate(session, screenshot)
        session.collect_console()
        errors = [entry["message"] for entry in session.console if entry["level"] == "SEVERE"]
        session.check(not errors, "the console shows no error" + "".join("\n  " + e for e in errors))
    finally:
        session.close()
    if session.failures:
        print(f"test-web: {len(session.failures)} check(s) failed; screenshots in {shots}")
        return 1
    shutil.rmtree(shots)
    print("test-web: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
