#!/usr/bin/python3
"""The page's frame against the native headless frame, on the same still clock.

Usage: web-bench.py WEB_BUILD CAPTURE_TOOL [--runs N] [--frames N] [--profile [COUNT]]

The page runs ?frames=N&ms=0 in headless Chromium flat out: the browser's animation frames are
replaced by an immediate callback before the page loads (a message to itself, so the browser
still has its turn between frames). The native frame is quillon-capture's on the same clock.
Each side is a run of N frames less a run of one frame, divided by N - 1, so that start-up
(loading the page, starting the process) counts on neither: the page's frame is rendering,
putting the frame on the canvas, and unwinding and rewinding the stack around each wait.

Two clocks: the wall clock, and the processor time of the page's main thread (the renderer's)
and of the native process, which varies less while others use the machine. The two sides take
turns and each prints its median, so whatever else the machine does falls on both alike.

With --profile the page runs once more under the DevTools profiler and the functions that took
the most time are listed: build the page with QUILLON_WEB_NAMES=ON (emcc --profiling-funcs)
for the wasm functions to have their names.
"""
import argparse
import glob
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from browser import SOURCE, Browser  # noqa: E402

# Each animation frame asked for is granted at once.
IMMEDIATE_FRAMES = """
    const channel = new MessageChannel();
    const waiting = [];
    channel.port1.onmessage = () => waiting.shift()(performance.now());
    window.requestAnimationFrame = (callback) => {
        waiting.push(callback);
        channel.port2.postMessage(0);
        return waiting.length;
    };
"""
TICKS = os.sysconf("SC_CLK_TCK")


def renderer_main_threads(profile):
    """Processor seconds so far of the main thread of each renderer of our Chromium, by pid."""
    seconds = {}
    for cmdline in glob.glob("/proc/[0-9]*/cmdline"):
        try:
            with open(cmdline, "rb") as file:
                arguments = file.read()  # a renderer rewrites it as one line
            if b"--type=renderer" not in arguments or profile.encode() not in arguments:
                continue
            pid = cmdline.split("/")[2]
            with open(f"/proc/{pid}/task/{pid}/stat") as file:
                fields = file.read().rsplit(")", 1)[1].split()
            seconds[pid] = (int(fields[11]) + int(fields[12])) / TICKS
        except OSError:
            continue  # a process that has just ended
    return seconds


def page_run(browser, frames):
    """Wall and processor seconds of one load of the page running `frames` frames."""
    before = renderer_main_threads(browser.profile)
    began = time.perf_counter()
    browser.load(f"?frames={frames}&ms=0")
    if not browser.wait_for(lambda: browser.state() == "ended", 120, 0.002):
        sys.exit(f"web-bench: the page did not end (state {browser.state()})")
    wall = time.perf_counter() - began
    after = renderer_main_threads(browser.profile)
    return wall, sum(after[pid] - before.get(pid, 0) for pid in after)


def native_run(tool, frames, output):
    began = time.perf_counter()
    process = subprocess.Popen([tool, "--frames", str(frames), "--ms", "0", "--assets",
                                os.path.join(SOURCE, "assets"), "--out", output])
    _, status, usage = os.wait4(process.pid, 0)
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit(f"web-bench: {tool} failed with {process.returncode}")
    return time.perf_counter() - began, usage.ru_utime + usage.ru_stime


def per_frame_ms(run, frames):
    """A run of `frames` less a run of one, in milliseconds a frame: (wall, processor)."""
    whole, one = run(frames), run(1)
    return tuple(max(0.0, w - o) * 1000 / (frames - 1) for w, o in zip(whole, one))


def print_profile(browser, frames, count):
    """Self time by function over one run, from the DevTools protocol's sampling profiler."""
    driver = browser.driver
    driver.execute_cdp_cmd("Profiler.enable", {})
    driver.execute_cdp_cmd("Profiler.setSamplingInterval", {"interval": 100})
    driver.execute_cdp_cmd("Profiler.start", {})
    page_run(browser, frames)
    profile = driver.execute_cdp_cmd("Profiler.stop", {})["profile"]
    driver.execute_cdp_cmd("Profiler.disable", {})
    by_node = {}
    for node, delta in zip(profile["samples"], profile["timeDeltas"][1:] + [0]):
        by_node[node] = by_node.get(node, 0) + delta
    by_name = {}
    for node in profile["nodes"]:
        frame = node["callFrame"]
        name = frame["functionName"] or "(anonymous " + os.path.basename(frame["url"]) + ")"
        by_name[name] = by_name.get(name, 0) + by_node.get(node["id"], 0)
    busy = sum(spent for name, spent in by_name.items() if name != "(idle)")
    print(f"profile of one run of {frames} frames, self time ({busy / 1000:.0f} ms busy):")
    for name, spent in sorted(by_name.items(), key=lambda item: -item[1])[:count]:
        print(f"  {100 * spent / max(busy, 1):5.1f}%  {spent / 1000:8.1f} ms  {name}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("web_build")
    parser.add_argument("capture_tool")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--frames", type=int, default=601)
    parser.add_argument("--profile", type=int, nargs="?", const=15, default=0)
    options = parser.parse_args()
    if options.frames < 3 or options.runs < 1:
        sys.exit("web-bench: --frames is at least 3 and --runs at least 1")
    if not os.access(options.capture_tool, os.X_OK):
        sys.exit(f"web-bench: no {options.capture_tool}; build the capture tool first")
    page, native = [], []
    with tempfile.TemporaryDirectory(prefix="web-bench-") as work, \
            Browser(os.path.abspath(options.web_build), init_script=IMMEDIATE_FRAMES) as browser:
        output = os.path.join(work, "frame.bmp")
        page_run(browser, options.frames)  # the first load compiles the wasm
        for _ in range(options.runs):
            page.append(per_frame_ms(lambda n: page_run(browser, n), options.frames))
            native.append(per_frame_ms(lambda n: native_run(options.capture_tool, n, output),
                                       options.frames))
        if options.profile:
            print_profile(browser, options.frames, options.profile)
    print(f"web page against native, {options.frames} frames on a still clock, "
          f"median of {options.runs} runs")
    print("                                  wall clock   processor")
    rows = [("page frame, put on the canvas", page), ("native headless frame", native)]
    medians = {}
    for name, runs in rows:
        medians[name] = [statistics.median(run[i] for run in runs) for i in range(2)]
        print(f"  {name:<30} {medians[name][0]:8.3f} ms {medians[name][1]:8.3f} ms")
    ratio = [p / max(n, 1e-6) for p, n in zip(medians[rows[0][0]], medians[rows[1][0]])]
    print(f"  {'ratio':<30} {ratio[0]:8.2f} x  {ratio[1]:8.2f} x")
    return 0


if __name__ == "__main__":
    sys.exit(main())
