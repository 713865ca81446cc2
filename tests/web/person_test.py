#!/usr/bin/python3
"""The page as a person meets it, in headless Chromium: the menu at the first click in a short
window and a tall one, the pointer and what the status line says of it, Tab, bad addresses,
missing files, and the layout from 400 to 1400 pixels wide.

Usage: person_test.py BUILD_FOLDER
"""
import os
import shutil
import sys
import tempfile

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.keys import Keys

from browser import Browser

MENU_BAR_HEIGHT = 19
PAGE_FILES = ["index.html", "quillon.js", "quillon.wasm", "quillon.data"]


class Person(Browser):
    def __init__(self, build):
        super().__init__(build)
        self.failures = []

    def check(self, passed, message):
        print(("pass: " if passed else "FAIL: ") + message, flush=True)
        if not passed:
            self.failures.append(message)

    def js(self, script):
        return self.driver.execute_script(script)

    def open(self, width, height, query="?ms=0"):
        self.driver.set_window_size(width, height)
        self.load(query)
        return self.wait_for(lambda: self.frames() >= 3)

    def wait_frames(self, count=3):
        start = self.frames()
        return self.wait_for(lambda: self.frames() >= start + count or self.state() != "running", 5)

    def click_canvas(self, x, y):
        """A click where canvas pixel (x, y) shows on the screen, however large it shows."""
        left, top = self.js(f"""
            const canvas = document.getElementById("screen");
            const box = canvas.getBoundingClientRect();
            return [box.left + ({x} + 0.5) * box.width / canvas.width,
                    box.top + ({y} + 0.5) * box.height / canvas.height];""")
        actions = ActionBuilder(self.driver)
        actions.pointer_action.move_to_location(int(left), int(top)).click()
        actions.perform()
        self.wait_frames()

    def locked(self):
        return self.js("return document.pointerLockElement === document.getElementById('screen')")

    def menu_open(self):
        """The File popup drawn below the bar, where the client area is black at the start."""
        return self.js(f"""
            const canvas = document.getElementById("screen");
            const pixel = canvas.getContext("2d").getImageData(12, {MENU_BAR_HEIGHT + 3}, 1, 1);
            return pixel.data[0] + pixel.data[1] + pixel.data[2] > 0;""")

    def status(self):
        return self.js("return document.getElementById('status').textContent")

    def cursor(self):
        return self.js("return getComputedStyle(document.getElementById('screen')).cursor")


def check_first_click_opens_the_menu(person):
    for width, height in [(1000, 600), (1000, 1100)]:
        person.open(width, height)
        person.click_canvas(12, MENU_BAR_HEIGHT // 2)
        scrolled, locked, opened = person.js("return scrollY"), person.locked(), person.menu_open()
        person.check(scrolled == 0 and not locked and opened,
                     f"in a {width} x {height} window the first click on File opens the menu "
                     f"(scrolled {scrolled} px, pointer locked {locked}, menu open {opened})")


def check_pointer_and_status(person):
    person.open(1000, 900)
    cursor, waiting = person.cursor(), person.status()
    person.check(cursor != "none" and "Click" in waiting,
                 f"before a capture the pointer shows over the canvas ({cursor}) and the status "
                 f"says how to capture it ('{waiting}')")
    person.click_canvas(240, 200)
    locked = person.wait_for(person.locked, 5)
    captured = person.status()
    person.check(locked and captured != waiting and "C" in captured and "Esc" in captured,
                 f"once locked the status says so and how to free it ('{captured}')")
    ActionChains(person.driver).send_keys(Keys.ESCAPE).perform()
    unlocked = person.wait_for(lambda: not person.locked(), 5)
    person.wait_frames()
    person.check(unlocked and person.state() == "running" and person.status() == waiting,
                 f"Esc frees the locked pointer and the program runs on ('{person.status()}')")
    person.click_canvas(240, 200)
    person.wait_for(person.locked, 5)
    ActionChains(person.driver).send_keys("c").perform()
    person.wait_for(lambda: not person.locked(), 5)
    person.wait_frames()
    freed = person.status()
    person.check(not person.locked() and "free" in freed and person.cursor() != "none",
                 f"C frees the pointer and the status says so ('{freed}')")


def check_tab_leaves_the_canvas(person):
    person.open(1000, 900)
    person.js("document.getElementById('screen').focus()")
    ActionChains(person.driver).send_keys(Keys.TAB).perform()
    person.wait_frames()
    focused = person.js("return document.activeElement && document.activeElement.id")
    person.check(focused != "screen" and person.state() == "running",
                 f"Tab takes the focus from the canvas (now on '{focused}'), the program runs on")


def check_addresses(person):
    for query, parameter in [("?frames=abc", "frames=abc"), ("?ms=16&at=5:key:F1", "at=5:key:F1"),
                             ("?frames=0", "frames=0"),
                             ("?frames=5&at=10:key:F", "after the last frame (4)"),
                             ("?frames=1&" + "&".join(["at=0:key:F"] * 5001),
                              "message queue cannot hold")]:
        person.load(query)
        person.wait_for(lambda: person.state() == "failed", 5)
        said = person.status()
        person.check(person.state() == "failed" and parameter in said,
                     f"{query[:40]} is refused on the page, naming the parameter ('{said}')")
    shown = []
    for query in ["?frames=2&ms=0", "?utm_source=news&x=1&frames=2&ms=0&fbclid=a%2"]:
        person.load(query)
        shown.append(person.wait_for(lambda: person.state() == "ended", 10) and person.frames())
    person.check(shown[0] and shown[1] == shown[0],
                 f"names that are not the page's are left alone ({shown[1]} frames shown, "
                 f"{shown[0]} without them)")


def check_missing_files(person, build):
    for missing in ["quillon.data", "quillon.wasm", "quillon.js"]:
        folder = tempfile.mkdtemp(prefix="quillon-page-")
        try:
            for name in PAGE_FILES:
                if name != missing:
                    shutil.copy(os.path.join(build, name), folder)
            with Browser(folder) as other:
                other.load("")
                failed = other.wait_for(lambda: other.state() == "failed", 10)
                said = other.driver.execute_script(
                    "return document.getElementById('status').textContent")
        finally:
            shutil.rmtree(folder)
        person.check(failed and missing in said,
                     f"without {missing} the page says what is missing ('{said}')")


def check_layout(person):
    for width in [400, 500, 800, 1400]:
        person.open(width, 900)
        sideways, canvas_right, viewport = person.js("""
            const box = document.getElementById("screen").getBoundingClientRect();
            return [document.documentElement.scrollWidth > document.documentElement.clientWidth,
                    box.right, document.documentElement.clientWidth];""")
        person.click_canvas(12, MENU_BAR_HEIGHT // 2)
        opened = person.menu_open()
        person.click_canvas(20, MENU_BAR_HEIGHT + 10)  # Exit
        ended = person.wait_for(lambda: person.state() == "ended", 5)
        panel, frame = person.js("""
            return [document.getElementById("ended").getBoundingClientRect().width,
                    document.querySelector(".frame").getBoundingClientRect().width];""")
        person.check(not sideways and canvas_right <= viewport and opened and ended and
                     panel <= frame,
                     f"{width} px wide: no sideways scroll ({sideways}), the canvas fits "
                     f"({canvas_right:.0f} of {viewport} px), File and Exit hit ({opened}, "
                     f"{ended}), the ended panel within the canvas's width ({panel:.0f} of "
                     f"{frame:.0f} px)")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip())
    build = os.path.abspath(sys.argv[1])
    person = Person(build)
    try:
        check_first_click_opens_the_menu(person)
        check_pointer_and_status(person)
        check_tab_leaves_the_canvas(person)
        check_layout(person)
        errors = [entry["message"] for entry in person.driver.get_log("browser")
                  if entry["level"] == "SEVERE"]
        person.check(not errors, "the console shows no error" + "".join("\n  " + e for e in errors))
        check_addresses(person)
        check_missing_files(person, build)
    finally:
        person.close()
    if person.failures:
        print(f"person_test: {len(person.failures)} check(s) failed")
        return 1
    print("person_test: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
