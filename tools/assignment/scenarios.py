"""Running an exercise's scenarios with a build's tools, and comparing them with references.

Frames go through quillon-frames, which renders each in a capture process of its own with a
time limit; pictures of the image tool run in a child process with a time limit too."""

import functools
import os
import re
import shlex
import shutil
import subprocess

TIME_LIMIT = 20


MISTAKE_LINES = ("  Known mistake: ", "  Closest known mistake: ")
CONTROL = re.compile(r"[\x00-\x1f\x7f]")


class Outcome:
    def __init__(self, name, identical, line, picture=None, mistake=None):
        self.name, self.identical, self.line, self.picture = name, identical, line, picture
        self.mistake = mistake  # what the report says of a known mistake, or None


# The program the tools run through, as words of the shell: `wine` for the Windows tools on
# Linux, nothing to run them directly.
RUNNER = "QUILLON_TOOL_RUNNER"


def runner():
    return shlex.split(os.environ.get(RUNNER, ""))


@functools.lru_cache(maxsize=None)
def native(path):
    """A path as the tools read it: under Wine, its Windows form (Z:\\...)."""
    words = runner()
    if not words or os.path.basename(words[0]) != "wine":
        return path
    done = subprocess.run(["winepath", "-w", os.path.abspath(path)], capture_output=True,
                          text=True, timeout=TIME_LIMIT)
    return done.stdout.strip() or path


def tool(build_dir, name):
    path = os.path.join(build_dir, name)
    return path + ".exe" if not os.path.exists(path) and os.path.exists(path + ".exe") else path


def command_of(build_dir, name, *words):
    """The tool's command line: the runner's words, the tool, then words."""
    return runner() + [native(tool(build_dir, name))] + list(words)


def write_known_mistakes(path, known_mistakes):
    """The list quillon-frames --known-mistakes reads: a frame a line, four fields separated
    by tabs; a tab or other control character inside a field becomes a space."""
    with open(path, "w", encoding="utf-8") as f:
        for fields in known_mistakes:
            f.write("\t".join(CONTROL.sub(" ", field) for field in fields) + "\n")


def mistake_said(said, name):
    """The line the report printed of a known mistake under the scenario's own, or None."""
    try:
        at = said.index(next(l for l in said if l.startswith(name + ": ")))
    except StopIteration:
        return None
    for line in said[at + 1:]:
        if not line.startswith("  "):
            return None
        if line.startswith(MISTAKE_LINES):
            return line.strip()
    return None


def run_frames(build_dir, assets, frames, references, out_dir, time_limit=None,
               known_mistakes=()):
    """Outcomes of the frame scenarios, in order; the report is out_dir/report/index.html.
    known_mistakes: (scenario, frame path, title, hint) of the frames known mistakes render."""
    time_limit = time_limit or TIME_LIMIT
    if not frames:
        return []
    os.makedirs(out_dir, exist_ok=True)
    listing = os.path.join(out_dir, "frames.list")
    with open(listing, "w", encoding="utf-8") as f:
        for name, arguments in frames:
            f.write(name + " " + " ".join(arguments) + "\n")
    command = command_of(build_dir, "quillon-frames", "--frames-list", native(listing),
                         "--references", native(references),
                         "--report", native(os.path.join(out_dir, "report")),
                         "--capture", native(tool(build_dir, "quillon-capture")),
                         "--assets", native(assets), "--time-limit", str(time_limit))
    if known_mistakes:
        mistakes_list = os.path.join(out_dir, "known-mistakes.list")
        write_known_mistakes(mistakes_list, [(scenario, native(frame), title, hint)
                                             for scenario, frame, title, hint in known_mistakes])
        command += ["--known-mistakes", native(mistakes_list)]
    try:
        run = subprocess.run(command, capture_output=True, text=True,
                             timeout=time_limit * len(frames) + 60)
        said = run.stdout.splitlines() + run.stderr.splitlines()
    except (OSError, subprocess.TimeoutExpired) as error:
        said = [f"the frames report did not run: {error}"]
    outcomes = []
    for name, _ in frames:
        line = next((l for l in said if l.startswith(name + ": ")), None)
        if line is None:
            line = f"{name}: not rendered ({said[-1] if said else 'no output'})"
        identical = line == f"{name}: identical"
        outcomes.append(Outcome(name, identical, line, actual_picture(out_dir, name),
                                mistake_said(said, name)))
    return outcomes


def actual_picture(out_dir, name):
    """This build's frame of a scenario in the report, where the report keeps one."""
    report = os.path.join(out_dir, "report")
    for candidate in (f"{name}-frame.png",):
        if os.path.exists(os.path.join(report, candidate)):
            return os.path.join(report, candidate)
    return None


def run_images(build_dir, root, images, references, out_dir, time_limit=None):
    """Outcomes of the image tool's scenarios: its output's bytes against the reference's."""
    time_limit = time_limit or TIME_LIMIT
    outcomes = []
    os.makedirs(out_dir, exist_ok=True)
    for name, words in images:
        output = os.path.join(out_dir, name + ".png")
        if os.path.exists(output):
            os.remove(output)
        inputs = words[-1] if os.path.isabs(words[-1]) else os.path.join(root, words[-1])
        command = command_of(build_dir, "quillon-image", *words[:-1], native(inputs),
                             native(output))
        try:
            run = subprocess.run(command, capture_output=True, text=True, timeout=time_limit)
            failed = run.returncode != 0
            why = (run.stderr.strip().splitlines() or [f"exit status {run.returncode}"])[0]
        except subprocess.TimeoutExpired:
            failed, why = True, f"no picture within {time_limit} s"
        except OSError as error:
            failed, why = True, str(error)
        if failed:
            outcomes.append(Outcome(name, False, f"{name}: not made ({why})"))
            continue
        reference = os.path.join(references, name + ".png")
        with open(output, "rb") as made, open(reference, "rb") as wanted:
            same = made.read() == wanted.read()
        outcomes.append(Outcome(name, same, f"{name}: identical" if same else
                                f"{name}: the picture differs from {name}.png", output))
    return outcomes


def render_references(build_dir, root, exercise, out_folder, time_limit=None):
    """Renders an exercise's scenarios with this build as pictures in out_folder."""
    time_limit = time_limit or TIME_LIMIT
    os.makedirs(out_folder, exist_ok=True)
    for name, arguments in exercise.frames:
        subprocess.run([tool(build_dir, "quillon-capture")] + arguments +
                       ["--assets", os.path.join(root, "assets"),
                        "--out", os.path.join(out_folder, name + ".png")],
                       check=True, capture_output=True, timeout=time_limit)
    for name, words in exercise.images:
        subprocess.run([tool(build_dir, "quillon-image")] + words[:-1] +
                       [os.path.join(root, words[-1]), os.path.join(out_folder, name + ".png")],
                       check=True, capture_output=True, timeout=time_limit)


def copy_picture(source, target):
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copyfile(source, target)
