#!/usr/bin/python3
"""The page's frame against the native headless frame, on the same still clock.

Usage: web-bench.py WEB_BUILD CAPTURE_TOOL [--runs N] [--frames N] [--profile [COUNT]]

The page runs ?frames=N&ms=0 in headless Chromium flat out: the browser's animation frames are
replaced by an immediate callback before the page loads. The native frame is quillon-capture's
on the same clock. Each side is a run of N frames less a run of one frame, divided by N - 1, so
that start-up (loading the page, starting the process) counts on neither: the page's frame is
rendering, putting the frame on the canvas, and unwinding and rewinding the stack around each
wait. The page is timed twice: with the next frame at once, in the same task of the browser,
and with a task of the browser between frames (a message to itself), in which the browser
also commits the canvas and runs whatever else it has to, as between animation frames.

Two clocks: the wall clock (for the page, from its first frame to its last), and the processor
time of the page's main thread (the renderer's) and of the native process, which varies less
while others use the machine. The sides take turns and each prints its median, so whatever
else the machine does falls on all alike.

With --profile the page (a task between frames) runs once more under the DevTools profiler and
the functions that took the most time are listed: build the page with QUILLON_WEB_NAMES=ON
(emcc --profiling-funcs) for the wasm functions to have their names.
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

# Each animation frame asked for is granted at once; the times at which the page asks are the
# ends of its frames.
FRAME_ENDS = """
    window.benchFrameEnds = [];
    function frameEnded() {
        window.benchFrameEnds.push(performance.now());
    }
"""
NEXT_FRAME_AT_ONCE = FRAME_ENDS + """
    window.requestAnimationFrame = (callback) => {
        frameEnded();
        Promise.resolve().then(() => callback(performance.now()));
        return 1;
    };
"""
A_TASK_BETWEEN_FRAMES = FRAME_ENDS + """
    const channel = new MessageChannel();
    const waiting = [];
    channel.port1.onmessage = () => waiting.shift()(performance.now());
    window.requestAnimationFrame = (callback) => {
        frameEnded();
        waiting.push(callback);
        channel.port2.postMessage(0);
        return 1;
    };
"""


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
            with open(f"/proc/{pid}/task/{pid}/schedstat") as file:
                seconds[pid] = int(file.read().split()[0]) / 1e9  # nanoseconds on a processor
        except OSError:
            continue  # a process that has just ended
    return seconds


def page_load(browser, frames):
    """Loads the page for `frames` frames: the processor seconds its main thread took, and the
    ends of its frames in milliseconds of the page's clock."""
    before = renderer_main_threads(browser.profile)
    browser.load(f"?frames={frames}&ms=0")
    if not browser.wait_for(lambda: browser.state() == "ended", 120, 0.1):
        sys.exit(f"web-bench: the page did not end (state {browser.state()})")
    after = renderer_main_threads(browser.profile)
    ends = browser.driver.execute_script("return window.benchFrameEnds")
    if len(ends) != frames - 1:
        sys.exit(f"web-bench: the page waited {len(ends)} times, not {frames - 1}")
    return sum(after[pid] - before.get(pid, 0) for pid in after), ends


def page_frame_ms(browser, frames):
    """(wall, processor) milliseconds of one frame of the page."""
    whole, ends = page_load(browser, frames)
    one, _ = page_load(browser, 1)
    wall = (ends[-1] - ends[0]) / (len(ends) - 1)
    return wall, max(0.0, whole - one) * 1000 / (frames - 1)


def native_run(tool, frames, output):
    began = time.perf_counter()
    process = subprocess.Popen([tool, "--frames", str(frames), "--ms", "0", "--assets",
                                os.path.join(SOURCE, "assets"), "--out", output])
    _, status, usage = os.wait4(process.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"web-bench: {tool} failed with {os.waitstatus_to_exitcode(status)}")
    return time.perf_counter() - began, usage.ru_utime + usage.ru_stime


def native_frame_ms(tool, frames, output):
    """(wall, processor) milliseconds of one native frame."""
    whole, one = native_run(tool, frames, output), native_run(tool, 1, output)
    return tuple(max(0.0, w - o) * 1000 / (frames - 1) for w, o in zip(whole, one))


def print_profile(browser, frames, count):
    """Self time by function over one run, from the DevTools protocol's sampling profiler."""
    driver = browser.driver
    driver.execute_cdp_cmd("Profiler.enable", {})
    driver.execute_cdp_cmd("Profiler.setSamplingInterval", {"interval": 100})
    driver.execute_cdp_cmd("Profiler.start", {})
    page_load(browser, frames)
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
    idle = by_name.pop("(idle)", 0)
    busy = sum(by_name.values())
    print(f"profile of one load of {frames} frames, self time: {busy / 1000:.0f} ms busy, "
          f"{idle / 1000:.0f} ms idle; (program) is the browser's own, loading the page included")
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
    build = os.path.abspath(options.web_build)
    rows = {"page, next frame at once": [], "page, a browser task between frames": [],
            "native headless frame": []}
    with tempfile.TemporaryDirectory(prefix="web-bench-") as work, \
            Browser(build, init_script=NEXT_FRAME_AT_ONCE) as at_once, \
            Browser(build, init_script=A_TASK_BETWEEN_FRAMES) as with_task:
        output = os.path.join(work, "frame.bmp")
        for browser in (at_once, with_task):
            page_load(browser, options.frames)  # the first load compiles the wasm
        for _ in range(options.runs):
            timings = rows.values()
            for measure, timing in zip((lambda: page_frame_ms(at_once, options.frames),
                                        lambda: page_frame_ms(with_task, options.frames),
                                        lambda: native_frame_ms(options.capture_tool,
                                                                options.frames, output)),
                                       timings):
                timing.append(measure())
        if options.profile:
            print_profile(with_task, options.frames, options.profile)
    medians = {name: [statistics.median(run[i] for run in runs) for i in range(2)]
               for name, runs in rows.items()}
    native = medians["native headless frame"]
    print(f"the page against the native headless frame: {options.frames} frames on a still "
          f"clock, medians of {options.runs} runs")
    print(f"  {'ms a frame':<38} {'wall clock':>16} {'processor':>16}")
    for name, (wall, processor) in medians.items():
        ratios = ("", "") if name.startswith("native") else \
            tuple(f"({value / max(base, 1e-6):.2f}x)" for value, base in zip((wall, processor), native))
        print(f"  {name:<38} {wall:7.3f} {ratios[0]:>8} {processor:7.3f} {ratios[1]:>8}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
