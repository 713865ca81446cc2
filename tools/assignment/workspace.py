"""A copy of the framework with a build tree of its own, reused from run to run.

Every run writes only the files whose text changes, so a build recompiles the translation
units a region lies in and relinks the tools, and nothing else."""

import os
import shutil
import subprocess

import exercises

TOOLS = ["quillon-capture", "quillon-frames", "quillon-image"]
BUILD_TIME_LIMIT = 600
ERROR_LINES = 12


def compiler_launcher_environment():
    environment = dict(os.environ)
    if shutil.which("ccache") and "CMAKE_CXX_COMPILER_LAUNCHER" not in environment:
        environment["CMAKE_CXX_COMPILER_LAUNCHER"] = "ccache"
        environment["CMAKE_C_COMPILER_LAUNCHER"] = "ccache"
    return environment


def first_error_lines(text, count=ERROR_LINES):
    lines = [l for l in text.splitlines() if l.strip()]
    errors = [i for i, l in enumerate(lines) if "error" in l.lower()]
    start = max(0, errors[0] - 2) if errors else max(0, len(lines) - count)
    return lines[start:start + count]


class Workspace:
    def __init__(self, folder, pristine_root):
        self.folder = os.path.abspath(folder)
        self.source = os.path.join(self.folder, "src")
        self.build_dir = os.path.join(self.folder, "build")
        self.pristine_root = os.path.abspath(pristine_root)
        self.pristine = {}

    def lay_out(self):
        """The pristine tree's files into the copy, only those that changed; True when any
        did."""
        changed = False
        for path in exercises.tracked_files(self.pristine_root):
            if path.startswith((".git/", "exercises/mistakes/", "docs/")):
                continue
            source = os.path.join(self.pristine_root, path)
            target = os.path.join(self.source, path)
            with open(source, "rb") as f:
                data = f.read()
            try:
                with open(target, "rb") as f:
                    if f.read() == data:
                        continue
            except OSError:
                pass
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as f:
                f.write(data)
            shutil.copymode(source, target)
            changed = changed or not exercises.holds_regions(data)
        for path in exercises.all_regions(self.pristine_root):
            self.pristine[path] = exercises.read_text(os.path.join(self.pristine_root, path))
        return changed

    def set_code(self, texts):
        """Each file holding regions takes its text from texts, else the pristine one."""
        for path, pristine in self.pristine.items():
            exercises.write_if_changed(os.path.join(self.source, path), texts.get(path, pristine))

    def has_tools(self):
        return all(os.path.exists(os.path.join(self.build_dir, t)) for t in TOOLS)

    def build(self, targets=TOOLS):
        """(True, []) when the tools build, else (False, the first lines of the errors)."""
        environment = compiler_launcher_environment()
        commands = []
        if not os.path.exists(os.path.join(self.build_dir, "CMakeCache.txt")):
            commands.append(["cmake", "-S", self.source, "-B", self.build_dir,
                             "-DCMAKE_BUILD_TYPE=Release"])
        commands.append(["cmake", "--build", self.build_dir, "-j", os.environ.get("JOBS", "2"),
                         "--target"] + list(targets))
        self.warnings = []
        for command in commands:
            try:
                run = subprocess.run(command, capture_output=True, text=True,
                                     timeout=BUILD_TIME_LIMIT, env=environment)
            except subprocess.TimeoutExpired:
                return False, [f"the build did not end within {BUILD_TIME_LIMIT} s"]
            said = run.stdout + "\n" + run.stderr
            if run.returncode != 0:
                return False, first_error_lines(said)
            self.warnings += [l for l in said.splitlines() if "warning:" in l]
        return True, []
