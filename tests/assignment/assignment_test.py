#!/usr/bin/env python3
"""The assignment from the outside, as CI runs it after `make handout`: the student copy
builds and passes its tests, grades zero with every stub, one exercise's marks with that
solution put back and full marks with all; the teacher's grading of submissions (whole,
mixed, broken, hostile), the Gradescope autograder in a folder standing for /autograder,
and a class's grades.

With --windows, only the student copy, graded by its `make test-windows` with the Windows
tools under Wine as well as by `make grade`: the same results, zero with every stub and full
marks with every solution.

Usage: tests/assignment/assignment_test.py [--windows]   (from the project's top folder)"""

import csv
import json
import os
import shutil
import subprocess
import sys
import tarfile
import zipfile

TOP = os.getcwd()
WORK = os.path.join(TOP, "build", "test-assignment")
HANDOUT = os.path.join(TOP, "build", "handout")
ASSIGNMENT = [sys.executable, os.path.join(TOP, "tools", "assignment", "assignment.py")]
failures = []


def run(command, cwd=TOP, expect=None):
    done = subprocess.run(command, cwd=cwd, capture_output=True, text=True)
    if expect is not None and done.returncode != expect:
        check(False, f"{' '.join(command)} exited {done.returncode}, not {expect}:\n"
              + done.stdout[-3000:] + done.stderr[-3000:])
    return done


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what.splitlines()[0])
    if not ok:
        failures.append(what)
        print(what)


def scores(results_path):
    with open(results_path) as f:
        results = json.load(f)
    for test in results["tests"]:
        assert set(test) >= {"name", "score", "max_score", "output", "visibility"}, test
    return results["score"], {t["name"].split(":")[0]: t["score"] for t in results["tests"]}


def copy_handout(name, exercises=None):
    target = os.path.join(WORK, name)
    shutil.rmtree(target, ignore_errors=True)
    shutil.copytree(HANDOUT, target, ignore=shutil.ignore_patterns("build"))
    if exercises is not None:
        command = ASSIGNMENT + ["put-back", "--into", target]
        run(command + (["--exercises", exercises] if exercises else []), expect=0)
    return target


def teacher_grade(submission, expect, *extra):
    out = os.path.join(WORK, "teacher")
    done = run(ASSIGNMENT + ["grade", "--submission", submission, "--out", out,
                             "--work", os.path.join(WORK, "teacher-work")] + list(extra),
               expect=expect)
    return done, os.path.join(out, "results.json")


def graded_under_wine(copy, expect, what):
    """The copy's `make test-windows` gives the results its `make grade` just wrote."""
    results = os.path.join(copy, "build", "grade", "results.json")
    with open(results) as f:
        linux = json.load(f)
    os.remove(results)
    # The MinGW builds of libpng and libjpeg-turbo, where this tree has built them already.
    pictures = os.path.join(TOP, "build-windows", "pictures")
    if os.path.isdir(pictures) and not os.path.isdir(os.path.join(copy, "build-windows")):
        shutil.copytree(pictures, os.path.join(copy, "build-windows", "pictures"), symlinks=True)
    run(["make", "test-windows"], cwd=copy, expect=expect)
    with open(results) as f:
        windows = json.load(f)
    differing = [(w, l) for w, l in zip(windows["tests"], linux["tests"]) if w != l]
    check(windows == linux, f"{what}: the Windows tools under Wine grade as the Linux ones "
          f"({windows['score']} and {linux['score']})" +
          "".join(f"\nunder Wine: {w}\non Linux:   {l}" for w, l in differing[:1]))


def student_copy(windows=False):
    copy = copy_handout("student")
    if not windows:
        run(["make", "test"], cwd=copy, expect=0)
    done = run(["make", "grade"], cwd=copy, expect=2)
    total, each = scores(os.path.join(copy, "build", "grade", "results.json"))
    check(total == 0 and not any(each.values()), f"every stub grades zero ({total})")
    if windows:
        graded_under_wine(copy, 2, "every stub")
        run(ASSIGNMENT + ["put-back", "--into", copy], expect=0)
        run(["make", "grade"], cwd=copy, expect=0)
        graded_under_wine(copy, 0, "every solution")
        return copy
    check("needs: line" in done.stdout, "an exercise after an unfinished one says needs: line")
    run(ASSIGNMENT + ["put-back", "--into", copy, "--exercises", "line"], expect=0)
    run(["make", "grade"], cwd=copy, expect=2)
    total, each = scores(os.path.join(copy, "build", "grade", "results.json"))
    check(total == 10 and each["line"] == 10, f"the line's solution alone gives its 10 ({total})")
    known_mistake(copy)
    run(ASSIGNMENT + ["put-back", "--into", copy], expect=0)
    done = run(["make", "grade"], cwd=copy, expect=0)
    total, _ = scores(os.path.join(copy, "build", "grade", "results.json"))
    check(total == 100 and "total: 100 of 100 points" in done.stdout,
          f"every solution put back gives full marks ({total})")
    return copy


def known_mistake(copy):
    """A known mistake made in the student copy, which holds its frames and not its code."""
    replace(copy, "raster/line.cpp", "for (long long x = x0; x <= x1; ++x) {",
            "for (long long x = x0; x < x1; ++x) {")
    done = run(["make", "grade"], cwd=copy, expect=2)
    said = "Known mistake: The last pixel left out; hint: Both end points belong to the line"
    check("line-shallow: " + said in done.stdout, "make grade names the known mistake:\n" +
          done.stdout)
    with open(os.path.join(copy, "build", "grade", "results.json")) as f:
        outputs = [t["output"] for t in json.load(f)["tests"] if t["name"].startswith("line:")]
    check(any("\n  " + said in o for o in outputs), f"results.json names it too: {outputs}")


def teacher_grades(full):
    _, results = teacher_grade(HANDOUT + ".zip", 1)
    check(scores(results)[0] == 0, "the handout's zip grades zero")
    _, results = teacher_grade(full, 0)
    check(scores(results)[0] == 100, "a whole submission grades full marks")
    mixed = copy_handout("mixed", "camera")
    with tarfile.open(mixed + ".tar.gz", "w:gz") as archive:
        archive.add(mixed, "mixed")
    _, results = teacher_grade(mixed + ".tar.gz", 1)
    total, each = scores(results)
    check(total == 15 and each["camera"] == 15, f"camera alone gives exactly its 15 ({total})")
    broken = copy_handout("broken", "")
    replace(broken, "raster/line.cpp", "const double slope = dy / dx;", "const double slope = ;")
    replace(broken, "bitmap/dither_ops.cpp", "// End of exercise diffusion\n", "")
    replace(broken, "math/vecmath.cpp", "const float ab = a * b;",
            "volatile bool forever = true;\n    while (forever) {\n    }\n    const float ab = a * b;")
    done, results = teacher_grade(broken, 1, "--time-limit", "3")
    total, each = scores(results)
    check(total == 60 and each["line"] == 0 and each["camera"] == 0 and each["diffusion"] == 0,
          f"a build failure, a hang and a lost marker cost only their exercises ({total})")
    check("does not build" in done.stdout and "slope" in json.dumps(json.load(open(results))),
          "the failed build's first lines are in the output")
    check("never ends" in done.stdout or "markers" in done.stdout, "the lost marker is named")


def replace(root, path, old, new):
    full = os.path.join(root, path)
    with open(full) as f:
        text = f.read()
    assert old in text, (path, old)
    with open(full, "w") as f:
        f.write(text.replace(old, new, 1))


def hostile():
    folder = os.path.join(WORK, "hostile")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    cases = {}
    with zipfile.ZipFile(os.path.join(folder, "climbs.zip"), "w") as z:
        z.writestr("copy/CMakeLists.txt", "")
        z.writestr("copy/../../outside.txt", "x")
    cases["climbs.zip"] = "'..'"
    with tarfile.open(os.path.join(folder, "absolute.tar.gz"), "w:gz") as t:
        info = tarfile.TarInfo("/tmp/absolute.txt")
        t.addfile(info)
    cases["absolute.tar.gz"] = "absolute"
    with tarfile.open(os.path.join(folder, "link.tar.gz"), "w:gz") as t:
        info = tarfile.TarInfo("copy/raster/line.cpp")
        info.type, info.linkname = tarfile.SYMTYPE, "../../../../etc/passwd"
        t.addfile(info)
    cases["link.tar.gz"] = "link"
    linked = os.path.join(folder, "linked")
    shutil.copytree(HANDOUT, linked, ignore=shutil.ignore_patterns("build"))
    os.remove(os.path.join(linked, "raster", "line.cpp"))
    os.symlink("/etc/passwd", os.path.join(linked, "raster", "line.cpp"))
    cases["linked"] = "outside"
    plain = os.path.join(folder, "plain")
    shutil.copytree(os.path.join(TOP, "tests"), os.path.join(plain, "tests"))
    cases["plain"] = "not a student copy"
    with zipfile.ZipFile(os.path.join(folder, "huge.zip"), "w", zipfile.ZIP_DEFLATED) as z:
        with z.open("copy/assets/huge.bmp", "w", force_zip64=True) as member:
            block = bytes(1 << 20)
            for _ in range(300):
                member.write(block)
    cases["huge.zip"] = "too large"
    with open(os.path.join(folder, "notes.txt"), "w") as f:
        f.write("my assignment\n")
    cases["notes.txt"] = "not a folder"
    for name, reason in cases.items():
        done, results = teacher_grade(os.path.join(folder, name), 2)
        said = done.stderr.strip()
        check(reason in said and scores(results)[0] == 0, f"{name} is refused: {said}")
    check(not os.path.exists("/tmp/absolute.txt") and
          not os.path.exists(os.path.join(WORK, "outside.txt")), "nothing was written outside")
    return folder


def autograder(full):
    run(["make", "autograder"], expect=0)
    root = os.path.join(WORK, "autograder-root")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(os.path.join(root, "source"))
    with zipfile.ZipFile(os.path.join(TOP, "build", "autograder.zip")) as z:
        z.extractall(os.path.join(root, "source"))
    for name in ("setup.sh", "run_autograder"):
        os.chmod(os.path.join(root, "source", name), 0o755)
    environment = dict(os.environ, AUTOGRADER_ROOT=root)
    setup = subprocess.run(["sh", os.path.join(root, "source", "setup.sh")], env=environment,
                           capture_output=True, text=True)
    check(setup.returncode == 0, "setup.sh lays out and builds the framework\n" +
          setup.stdout[-2000:] + setup.stderr[-2000:])
    mixed = copy_handout("autograder-mixed", "line,diffusion")
    for submitted, wanted in ((full, 100), (HANDOUT, 0), (mixed, 25)):
        target = os.path.join(root, "submission")
        shutil.rmtree(target, ignore_errors=True)
        shutil.copytree(submitted, target, ignore=shutil.ignore_patterns("build"))
        graded = subprocess.run([os.path.join(root, "source", "run_autograder")],
                                env=environment, capture_output=True, text=True)
        total, _ = scores(os.path.join(root, "results", "results.json"))
        check(graded.returncode == 0 and total == wanted,
              f"run_autograder gives {total} of {wanted} wanted\n{graded.stderr[-2000:]}")


def grade_class(full, hostile_folder):
    folder = os.path.join(WORK, "class")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    shutil.copytree(full, os.path.join(folder, "ada"), ignore=shutil.ignore_patterns("build"))
    shutil.copyfile(HANDOUT + ".zip", os.path.join(folder, "bo.zip"))
    shutil.copyfile(os.path.join(WORK, "mixed.tar.gz"), os.path.join(folder, "cy.tar.gz"))
    shutil.copyfile(os.path.join(hostile_folder, "climbs.zip"), os.path.join(folder, "dee.zip"))
    out = os.path.join(WORK, "class-grades")
    run(ASSIGNMENT + ["grade-class", "--submissions", folder, "--out", out, "--jobs", "2"],
        expect=0)
    with open(os.path.join(out, "summary.csv")) as f:
        rows = {r["submission"]: r for r in csv.DictReader(f)}
    check([rows[n]["total"] for n in ("ada", "bo.zip", "cy.tar.gz", "dee.zip")] ==
          ["100", "0", "15", "0"] and rows["dee.zip"]["refused"],
          f"the class's summary: {[(n, r['total']) for n, r in rows.items()]}")
    with open(os.path.join(out, "index.html")) as f:
        page = f.read()
    check("the same wrong frame in 2 submissions" in page,
          "the class's page groups a wrong frame two submissions share")


def main():
    os.makedirs(WORK, exist_ok=True)
    if not os.path.isdir(HANDOUT):
        print("make handout first", file=sys.stderr)
        return 2
    if "--windows" in sys.argv[1:]:
        student_copy(windows=True)
        print(f"{len(failures)} failures" if failures else "the Windows grades agree")
        return 1 if failures else 0
    full = student_copy()
    teacher_grades(full)
    hostile_folder = hostile()
    autograder(full)
    grade_class(full, hostile_folder)
    print(f"{len(failures)} failures" if failures else "every check of the assignment passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
