#!/usr/bin/python3
"""The frames report's viewer in Debian's headless Chromium and Firefox ESR, opened from the file
system.

Usage: viewer_check.py BUILD_FOLDER

Makes the report of report_check.py (one pixel at the edge of the three-click triangle changed
in its reference), points at that pixel and checks the line that reads both colours, flicks,
zooms and steps to the difference with the keys; the page keeps its pictures and a clean console.
Chromium runs through selenium and chromedriver, Firefox through its own Marionette protocol.
"""
import os
import shutil
import sys
import time

import report_check


def wait_for(driver, script, seconds=10):
    deadline = time.time() + seconds
    while time.time() < deadline:
        value = driver.execute_script(script)
        if value:
            return value
        time.sleep(0.1)
    return None


def text_of(driver, selector):
    return driver.execute_script(
        f"var e = document.querySelector('#{report_check.CHANGED} {selector}');"
        "return e ? e.textContent : '';")


def check_viewer(driver, place):
    failures = []
    canvas = f"#{report_check.CHANGED} canvas"
    if not wait_for(driver, f"return document.querySelector('{canvas}') !== null"):
        return ["no viewer on the differing frame"]
    if driver.execute_script("return document.querySelectorAll('canvas').length") != 1:
        failures.append("a viewer on a frame that does not differ")
    x, y = place
    # The pointer over the pixel, where the canvas lies on the page, at whole client coordinates
    # as a real pointer gives them (Firefox keeps only the whole part of a made event's).
    driver.execute_script("""
        var canvas = document.querySelector(arguments[0]), bounds = canvas.getBoundingClientRect();
        var size = bounds.width / canvas.width;
        function within(start, pixel) {
            var low = start + pixel * size, middle = Math.floor(low + size / 2);
            return middle >= low ? middle : middle + 1;
        }
        canvas.dispatchEvent(new MouseEvent("mousemove", {bubbles: true,
            clientX: within(bounds.left, arguments[1]),
            clientY: within(bounds.top, arguments[2])}));""", canvas, x, y)
    readout = text_of(driver, ".viewer-readout")
    line = readout.split(", difference")[0]
    if not (line.startswith(f"({x}, {y}): reference #") and ", this build #" in line):
        failures.append(f"pointing at ({x}, {y}) reads '{readout}'")
    else:
        colours = line.split("reference ")[1].split(", this build ")
        if colours[0] == colours[1]:
            failures.append(f"the changed pixel reads the same in both: '{readout}'")
    if "showing the reference" not in text_of(driver, ".viewer-state"):
        failures.append(f"not the reference at first: {text_of(driver, '.viewer-state')}")
    driver.press("f")
    if "showing this build" not in text_of(driver, ".viewer-state"):
        failures.append(f"F does not flick: {text_of(driver, '.viewer-state')}")
    driver.press("n")
    state = text_of(driver, ".viewer-state")
    if "region 1 of 1 (1 pixels)" not in state or "zoom 16x" not in state:
        failures.append(f"N does not go to the one difference: {state}")
    if not text_of(driver, ".viewer-readout").startswith(f"({x}, {y}):"):
        failures.append(f"N does not read the difference: {text_of(driver, '.viewer-readout')}")
    driver.press("+")
    driver.press("+")
    if "zoom 32x" not in text_of(driver, ".viewer-state"):
        failures.append(f"zoom goes past 32x or not there: {text_of(driver, '.viewer-state')}")
    slider = driver.execute_script(
        f"var s = document.querySelector('#{report_check.CHANGED} input[type=range]');"
        "s.value = 50; s.dispatchEvent(new Event('input')); return s.value")
    if slider != "50" or "50% this build" not in text_of(driver, ".viewer-state"):
        failures.append(f"the slider does not blend: {text_of(driver, '.viewer-state')}")
    return failures


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip())
    build = os.path.abspath(sys.argv[1])
    work = os.path.join(build, "viewer-check")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    try:
        references = os.path.join(work, "references")
        shutil.copytree(os.path.join(report_check.SOURCE, "tests/golden"), references)
        place = report_check.widen_edge(os.path.join(references, report_check.CHANGED + ".bmp"))
        shutil.rmtree(references)
        report_check.make_report(build, work)
        failures = []
        for browser in (report_check.Chromium, report_check.Firefox):
            page = report_check.open_page(os.path.join(work, "report"), browser)
            try:
                failures += [f"{browser.name}: {failure}" for failure in
                             check_viewer(page, place) + report_check.check_page(page)]
            finally:
                page.close()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAIL: " + failure)
    print("viewer check: " + ("all checks passed" if not failures else "failed"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
