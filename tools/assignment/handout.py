"""The student copy: the project with each chosen exercise's regions replaced by their stubs,
without the tests that pin them, the known mistakes' code, or any history."""

import os
import re
import shutil
import stat
import tarfile
import zipfile

import exercises

# What stays with the teacher whatever is chosen.
TEACHER_ONLY = (".ci/", "exercises/stubs/", ".git", "tests/assignment/assignment_test.py")
TRIVIAL = re.compile(r"^[\s{}()\[\];,]*$|^\s*(return|break|continue|else|default:)\b[^a-z]*$")


def student_declaration(chosen):
    """The declaration of the chosen exercises, their mistakes named and hinted only."""
    lines = ["# The exercises of this assignment, in the order they are done. Each exercise's",
             "# code lies between '// Exercise NAME: ...' and '// End of exercise NAME';",
             "# `make grade` renders its scenarios and compares them with",
             "# exercises/references/. A known mistake's frames are in exercises/mistakes/.", ""]
    for exercise in chosen:
        lines += [f"exercise {exercise.name}", f"title: {exercise.title}",
                  f"points: {exercise.points}"]
        if exercise.needs:
            lines.append("needs: " + " ".join(n for n in exercise.needs
                                              if n in [e.name for e in chosen]))
        lines.append(f"task: {exercise.task}")
        lines += [f"frame: {n} {' '.join(a)}" for n, a in exercise.frames]
        lines += [f"image: {n} {' '.join(a)}" for n, a in exercise.images]
        for mistake in exercise.mistakes:
            lines += [f"mistake {mistake.name}: {mistake.title}", f"  hint: {mistake.hint}"]
        lines.append("")
    return "\n".join(line for line in lines if line != "needs: ") + "\n"


def assignment_readme(chosen):
    total = sum(e.points for e in chosen)
    lines = ["# Your assignment", "",
             f"Write the code of the exercises below, in this order ({total} points in all). "
             "Each lives in the program's own files, between a line `// Exercise NAME: ...` and "
             "a line `// End of exercise NAME`; write only between them (a region may hold "
             "helper functions of its own), and keep both marker lines as they are. What stands "
             "there now keeps the program running and says what to write.", "",
             "```sh", "make run     # build and start the program", "make test    # build and "
             "run the tests", "make grade   # build, render every exercise's scenarios and "
             "compare them with the references", "```", "",
             "`make grade` prints, for each exercise, how many of its scenarios are identical "
             "to their references, its points and where its frames report is (a page of the "
             "pictures, differences marked), and it writes `build/grade/results.json`. It "
             "exits 0 only at full marks. Each exercise's scenarios go through the code of "
             "the exercises before it as well: one that says `needs: NAME` waits for NAME.", ""]
    for number, exercise in enumerate(chosen, 1):
        lines += [f"## {number}. {exercise.title} (`{exercise.name}`, {exercise.points} points)",
                  "", exercise.task, "",
                  f"Checked by {len(exercise.scenario_names())} scenarios of `make grade`: " +
                  ", ".join(f"`{n}`" for n in exercise.scenario_names()) + "; "
                  f"the report is `build/grade/{exercise.name}/report/index.html`." +
                  (" Needs " + ", ".join(f"`{n}`" for n in exercise.needs) + "."
                   if exercise.needs else ""), ""]
    lines += ["The frames and pictures each scenario makes are listed in "
              "`exercises/exercises.txt`; to render one by hand, run the capture tool with the "
              "scenario's arguments (see \"Tools\" below).", ""] + on_windows() + [""]
    return "\n".join(lines)


def on_windows():
    """How a Windows student builds and grades without make: MSYS2's MinGW and CMake."""
    return ["## On Windows", "",
            "Install [MSYS2](https://www.msys2.org/), open its UCRT64 shell (or MINGW64) and "
            "install the compiler, CMake, Ninja, the picture libraries, GoogleTest and Python "
            "(`$MINGW_PACKAGE_PREFIX` names the shell's own packages, e.g. "
            "`mingw-w64-ucrt-x86_64`):", "",
            "```sh", "pacman -S --needed $MINGW_PACKAGE_PREFIX-{gcc,cmake,ninja,libpng,"
            "libjpeg-turbo,gtest,python}", "```", "",
            "Then, in this folder, build, test and grade without make:", "",
            "```sh", "cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release",
            "cmake --build build", "ctest --test-dir build --output-on-failure",
            "python tools/assignment/assignment.py grade --build build", "```", "",
            "The grade is the same as `make grade`'s: the Windows tools `quillon-capture.exe`, "
            "`quillon-frames.exe` and `quillon-image.exe` render the scenarios, and "
            "`build/grade/results.json` holds the scores. `build\\quillon.exe` is the "
            "program. This was verified with MinGW-w64 under Wine on Linux (`make "
            "test-windows` in this copy builds the Windows tools with Debian's MinGW-w64 and "
            "grades with them under Wine, with the same results as `make grade`), not on a "
            "real Windows machine nor with MSYS2's own packages.", ""]


def filtered_golden_list(text, dropped):
    kept = []
    for line in text.splitlines(keepends=True):
        words = line.split()
        if words and not words[0].startswith("#") and ("*" in dropped or words[0] in dropped):
            continue
        kept.append(line)
    return "".join(kept)


def left_out(path, pins, dropped_golden):
    if path.startswith(TEACHER_ONLY) or path in pins:
        return True
    if path.startswith("exercises/references/") or path.startswith("exercises/mistakes/"):
        return True  # copied by choice below
    name = os.path.basename(path)
    if path.startswith("tests/golden/") and name.endswith(".bmp"):
        return "*" in dropped_golden or name[:-4] in dropped_golden
    return False


def make_handout(root, names, out_folder):
    """Writes the student copy into out_folder; returns the chosen exercises."""
    declared = exercises.load_declaration(root)
    chosen = [e for e in declared if not names or e.name in names]
    unknown = set(names or []) - {e.name for e in declared}
    if unknown:
        raise ValueError("no exercise " + ", ".join(sorted(unknown)))
    pins = {p for e in chosen for p in e.pins if not p.startswith("golden:")}
    dropped_golden = {p[len("golden:"):] for e in chosen for p in e.pins if p.startswith("golden:")}
    stubs = exercises.stub_texts(root, {e.name for e in chosen})
    if os.path.exists(out_folder):
        shutil.rmtree(out_folder)
    for path in exercises.tracked_files(root):
        if left_out(path, pins, dropped_golden):
            continue
        target = os.path.join(out_folder, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        source = os.path.join(root, path)
        if path in stubs:
            text = exercises.replace_regions(path, exercises.read_text(source), stubs[path])
            exercises.write_if_changed(target, text)
        elif path == "tests/golden/frames.list":
            exercises.write_if_changed(target, filtered_golden_list(
                exercises.read_text(source), dropped_golden))
        elif path == "README.md":
            exercises.write_if_changed(target, assignment_readme(chosen) +
                                       exercises.read_text(source))
        elif path == exercises.DECLARATION:
            exercises.write_if_changed(target, student_declaration(chosen))
        else:
            shutil.copyfile(source, target)
        shutil.copymode(source, target)
    references = os.path.join(out_folder, exercises.REFERENCES)
    os.makedirs(references, exist_ok=True)
    for exercise in chosen:
        for name in exercise.scenario_names():
            shutil.copyfile(os.path.join(root, exercises.REFERENCES, name + ".png"),
                            os.path.join(references, name + ".png"))
        mistakes = os.path.join(root, exercises.MISTAKE_FRAMES, exercise.name)
        if os.path.isdir(mistakes):
            shutil.copytree(mistakes, os.path.join(out_folder, exercises.MISTAKE_FRAMES,
                                                   exercise.name))
    return chosen


def solution_lines(root, chosen):
    """The lines of the chosen exercises' solutions that the framework holds nowhere else."""
    inside, outside = set(), set()
    names = {e.name for e in chosen}
    for path in exercises.tracked_files(root):
        if path.startswith(TEACHER_ONLY) or path == exercises.DECLARATION:
            continue
        try:
            text = exercises.read_text(os.path.join(root, path))
        except (UnicodeDecodeError, OSError):
            continue
        lines = text.splitlines()
        regions = exercises.regions_of_text(path, text) if path in exercises.code_files(root) \
            else []
        covered = set()
        for region in regions:
            if region.exercise in names:
                covered.update(range(region.first, region.end))
        for index, line in enumerate(lines):
            (inside if index in covered else outside).add(line.strip())
    for exercise in chosen:
        for mistake in exercise.mistakes:
            inside.add(mistake.with_text.strip())
    # What a stub hands out on purpose: the signatures and the lines it shares.
    for stubs in exercises.stub_texts(root, names).values():
        for stub in stubs.values():
            outside.update(line.strip() for line in stub.splitlines())
    return {l for l in inside - outside if len(l) > 3 and not TRIVIAL.match(l)}


def leaked_lines(root, chosen, out_folder):
    """(file, line) for every solution line found anywhere in the student copy."""
    secret = solution_lines(root, chosen)
    leaks = []
    for directory, _, files in os.walk(out_folder):
        for name in files:
            path = os.path.join(directory, name)
            with open(path, "rb") as f:
                data = f.read()
            text = data.decode("utf-8", errors="replace")
            lines = {l.strip() for l in text.splitlines()}
            for line in sorted(secret & lines):
                leaks.append((os.path.relpath(path, out_folder), line))
    return leaks


def write_archives(out_folder, zip_path, tar_path):
    """The copy as a zip (which opens on Windows) and a tar.gz, under one top folder."""
    top = os.path.basename(os.path.normpath(out_folder))
    files = []
    for directory, folders, names in os.walk(out_folder):
        folders.sort()
        for name in sorted(names):
            full = os.path.join(directory, name)
            files.append((full, top + "/" + os.path.relpath(full, out_folder).replace(os.sep, "/")))
    with zipfile.ZipFile(zip_path + ".partial", "w", zipfile.ZIP_DEFLATED) as archive:
        for full, name in files:
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.external_attr = (stat.S_IMODE(os.stat(full).st_mode) | stat.S_IFREG) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(full, "rb") as f:
                archive.writestr(info, f.read())
    os.replace(zip_path + ".partial", zip_path)
    with tarfile.open(tar_path + ".partial", "w:gz") as archive:
        for full, name in files:
            info = archive.gettarinfo(full, name)
            info.uid = info.gid = 0
            info.uname = info.gname = ""
            info.mtime = 1767225600
            with open(full, "rb") as f:
                archive.addfile(info, f)
    os.replace(tar_path + ".partial", tar_path)
