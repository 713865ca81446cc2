"""The exercises as declared in exercises/exercises.txt, and their regions in the code.

A region is the text between `// Exercise NAME: ...` and `// End of exercise NAME`; the
markers themselves stay wherever the text between them is replaced (by a stub, by a
submission's region, by a known mistake)."""

import os
import re
import subprocess

DECLARATION = "exercises/exercises.txt"
STUBS = "exercises/stubs"
REFERENCES = "exercises/references"
MISTAKE_FRAMES = "exercises/mistakes"
CODE_FOLDERS = ("app", "math", "scene", "render", "raster", "bitmap")

OPENING = re.compile(r"^\s*// Exercise ([a-z0-9-]+): \S.*$")
CLOSING = re.compile(r"^\s*// End of exercise ([a-z0-9-]+)\s*$")
ANY_MARKER = re.compile(r"//\s*(Exercise|End of exercise)\b")


class Mistake:
    def __init__(self, name, title):
        self.name, self.title = name, title
        self.hint = self.file = self.replace = self.with_text = ""


class Exercise:
    def __init__(self, name):
        self.name = name
        self.title = self.task = ""
        self.points = 0
        self.needs = []
        self.frames = []   # (name, [capture arguments])
        self.images = []   # (name, [operation, arguments..., input])
        self.pins = []
        self.mistakes = []

    def scenario_names(self):
        return [name for name, _ in self.frames] + [name for name, _ in self.images]


def _logical_lines(text):
    """Lines with their indented continuations joined, as (number, key, value, indented)."""
    entries = []
    for number, raw in enumerate(text.splitlines(), 1):
        if not raw.strip() or raw.lstrip().startswith("#"):
            continue
        indent = len(raw) - len(raw.lstrip())
        if entries and indent > entries[-1][3] and not entries[-1][1].startswith("mistake "):
            entries[-1][2] += " " + raw.strip()
            continue
        entries.append([number, raw.strip(), "", indent])
    return entries


def parse_declaration(text, where=DECLARATION):
    """The exercises in their order, or raises ValueError naming the line."""
    exercises, exercise, mistake = [], None, None
    for number, line, continued, _ in _logical_lines(text):
        line = (line + continued).strip() if not continued else line + continued
        fail = lambda why: ValueError(f"{where}:{number}: {why}")
        if line.startswith("exercise "):
            exercise, mistake = Exercise(line.split(None, 1)[1].strip()), None
            if not re.fullmatch(r"[a-z0-9-]+", exercise.name):
                raise fail(f"'{exercise.name}' is not a name of small letters, digits and -")
            if any(e.name == exercise.name for e in exercises):
                raise fail(f"a second exercise {exercise.name}")
            exercises.append(exercise)
            continue
        if exercise is None:
            raise fail("a line before the first exercise")
        if line.startswith("mistake "):
            head, _, title = line[len("mistake "):].partition(":")
            mistake = Mistake(head.strip(), title.strip())
            exercise.mistakes.append(mistake)
            continue
        key, colon, value = line.partition(":")
        if not colon:
            raise fail("a line that is not 'key: value'")
        key, value = key.strip(), value.strip()
        if mistake is not None and key in ("hint", "in", "replace", "with"):
            setattr(mistake, {"in": "file", "with": "with_text"}.get(key, key), value)
        elif key in ("title", "task"):
            setattr(exercise, key, value)
        elif key == "points":
            if not value.isdigit():
                raise fail("points are a whole number")
            exercise.points = int(value)
        elif key in ("needs", "pins"):
            setattr(exercise, key, value.split())
        elif key in ("frame", "image"):
            words = value.split()
            if len(words) < 2:
                raise fail(f"a {key} scenario is a name and its arguments")
            (exercise.frames if key == "frame" else exercise.images).append(
                (words[0], words[1:]))
        else:
            raise fail(f"no key '{key}' here")
    names = [e.name for e in exercises]
    for position, exercise in enumerate(exercises):
        for need in exercise.needs:
            if need not in names[:position]:
                raise ValueError(f"{where}: {exercise.name} needs {need}, "
                                 "which is not an exercise before it")
    return exercises


def mistake_frames(exercise, folder):
    """(scenario, frame path, title, hint) of each frame a known mistake of the exercise
    renders that stands in folder (exercises/mistakes of a tree or a student copy)."""
    found = []
    for mistake in exercise.mistakes:
        for name, _ in exercise.frames:
            path = os.path.join(folder, exercise.name, mistake.name, name + ".png")
            if os.path.isfile(path):
                found.append((name, os.path.abspath(path), mistake.title, mistake.hint))
    return found


def load_declaration(root):
    with open(os.path.join(root, DECLARATION), encoding="utf-8") as f:
        return parse_declaration(f.read())


def code_files(root):
    """The source files that may hold regions, as paths relative to root, sorted."""
    found = []
    for folder in CODE_FOLDERS:
        for directory, _, files in os.walk(os.path.join(root, folder)):
            for name in files:
                if name.endswith((".cpp", ".h")):
                    found.append(os.path.relpath(os.path.join(directory, name), root))
    return sorted(p.replace(os.sep, "/") for p in found)


class Region:
    """Lines [first, end) of a file's lines lie between a pair of markers."""

    def __init__(self, path, exercise, ordinal, first, end):
        self.path, self.exercise, self.ordinal = path, exercise, ordinal
        self.first, self.end = first, end

    def stub_path(self):
        stem, ext = os.path.splitext(self.path)
        return f"{STUBS}/{self.exercise}/{stem}.{self.ordinal}{ext}"


def regions_of_text(path, text):
    """The regions of one file in order; raises ValueError on a broken pair of markers."""
    regions, counts, open_at, open_name = [], {}, None, None
    for index, line in enumerate(text.splitlines(keepends=True)):
        opening, closing = OPENING.match(line), CLOSING.match(line)
        if opening:
            if open_name is not None:
                raise ValueError(f"{path}:{index + 1}: exercise {opening.group(1)} opens "
                                 f"inside exercise {open_name}")
            open_at, open_name = index, opening.group(1)
        elif closing:
            if closing.group(1) != open_name:
                raise ValueError(f"{path}:{index + 1}: the end of exercise "
                                 f"{closing.group(1)} where none of that name is open")
            counts[open_name] = counts.get(open_name, 0) + 1
            regions.append(Region(path, open_name, counts[open_name], open_at + 1, index))
            open_name = None
        elif ANY_MARKER.search(line):
            raise ValueError(f"{path}:{index + 1}: a marker that does not read "
                             "'// Exercise NAME: ...' or '// End of exercise NAME'")
    if open_name is not None:
        raise ValueError(f"{path}:{open_at + 1}: exercise {open_name} never ends")
    return regions


def read_text(path):
    with open(path, encoding="utf-8", newline="") as f:
        return f.read()


def write_if_changed(path, text):
    """Writes only a changed file, so that a build recompiles only what changed."""
    try:
        if read_text(path) == text:
            return False
    except OSError:
        pass
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)
    return True


def holds_regions(data):
    return b"// Exercise " in data


def all_regions(root):
    """path -> its regions, for every code file that holds any."""
    found = {}
    for path in code_files(root):
        regions = regions_of_text(path, read_text(os.path.join(root, path)))
        if regions:
            found[path] = regions
    return found


def region_texts(path, text):
    """(exercise, ordinal) -> the text between the markers, for one file's text."""
    lines = text.splitlines(keepends=True)
    return {(r.exercise, r.ordinal): "".join(lines[r.first:r.end])
            for r in regions_of_text(path, text)}


def replace_regions(path, text, replacements):
    """The file's text with each region whose (exercise, ordinal) is in replacements given
    that text instead."""
    lines = text.splitlines(keepends=True)
    for region in reversed(regions_of_text(path, text)):
        key = (region.exercise, region.ordinal)
        if key in replacements:
            new = replacements[key]
            if new and not new.endswith("\n"):
                new += "\n"
            lines[region.first:region.end] = [new]
    return "".join(lines)


def stub_texts(root, exercise_names):
    """path -> {(exercise, ordinal): stub text} for the named exercises."""
    stubs = {}
    for path, regions in all_regions(root).items():
        for region in regions:
            if region.exercise in exercise_names:
                stub = read_text(os.path.join(root, region.stub_path()))
                stubs.setdefault(path, {})[(region.exercise, region.ordinal)] = stub
    return stubs


def tracked_files(root):
    """The project's files: git's list where the tree is a checkout, else every file outside
    the build folders. A tree that is not a checkout's top (an unpacked autograder inside
    some other checkout) is walked."""
    try:
        if not os.path.exists(os.path.join(root, ".git")):
            raise OSError("not a checkout's top")
        listing = subprocess.run(["git", "-C", root, "ls-files", "-z"], capture_output=True,
                                 check=True).stdout.decode()
        return sorted(p for p in listing.split("\0") if p and os.path.isfile(os.path.join(root, p)))
    except (OSError, subprocess.CalledProcessError):
        found = []
        for directory, folders, files in os.walk(root):
            rel = os.path.relpath(directory, root)
            folders[:] = [f for f in folders if not (rel == "." and
                          (f.startswith("build") or f.startswith(".git") or f == "out"))]
            found += [os.path.normpath(os.path.join(rel, f)).replace(os.sep, "/") for f in files]
        return sorted(found)
