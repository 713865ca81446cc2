"""Grades: the student's own build in their copy, or a submission spliced into a pristine
copy of the framework one exercise at a time (the solution everywhere else)."""

import json
import os
import re

import exercises
import scenarios
import submission
import workspace

PREPROCESSOR_LINE = re.compile(r"^\s*#", re.M)


class Grade:
    """One exercise's (or its held-out part's) result."""

    def __init__(self, exercise, held_out=False):
        self.exercise, self.held_out = exercise, held_out
        self.outcomes, self.problem, self.missing_needs = [], [], []
        self.report = None
        self.max_points = exercise.points

    def identical(self):
        return sum(1 for o in self.outcomes if o.identical)

    def total(self):
        return len(self.outcomes) or len(self.exercise.scenario_names())

    def score(self):
        if self.problem or not self.outcomes:
            return 0.0
        return round(self.max_points * self.identical() / len(self.outcomes), 2)

    def line(self):
        name = self.exercise.name + (" (held out)" if self.held_out else "")
        text = (f"{name}: {self.identical()} of {self.total()} scenarios identical, "
                f"{_number(self.score())} of {_number(self.max_points)} points")
        if self.missing_needs:
            text += ", needs: " + ", ".join(self.missing_needs)
        if self.problem:
            text += ", " + self.problem[0]
        if self.report:
            text += ", report " + self.report
        return text

    def output(self):
        lines = list(self.problem)
        for outcome in self.outcomes:
            lines.append(outcome.line)
            if outcome.mistake:
                lines.append("  " + outcome.mistake)
        if self.missing_needs:
            lines.append("needs: " + ", ".join(self.missing_needs) +
                         " (their scenarios are not all identical yet)")
        return "\n".join(lines)


def _number(value):
    return str(int(value)) if value == int(value) else f"{value:.2f}"


def run_exercise(grade, build_dir, root, references, out_dir, frames=None, mistakes=None):
    """mistakes: the folder of the known mistakes' frames, exercises/mistakes of the tree or
    the student copy whose declaration is graded."""
    exercise = grade.exercise
    frames = exercise.frames if frames is None else frames
    known = exercises.mistake_frames(exercise, mistakes) if mistakes else []
    grade.outcomes = scenarios.run_frames(build_dir, os.path.join(root, "assets"), frames,
                                          references, out_dir, known_mistakes=known)
    if frames:
        grade.report = os.path.join(out_dir, "report", "index.html")
    if not grade.held_out:
        grade.outcomes += scenarios.run_images(build_dir, root, exercise.images, references,
                                               os.path.join(out_dir, "pictures"))


def held_out_frames(held_out, exercise):
    """The held-out scenarios of an exercise: HELD_OUT/NAME.list, references beside it."""
    if not held_out:
        return []
    path = os.path.join(held_out, exercise.name + ".list")
    if not os.path.exists(path):
        return []
    frames = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            words = line.split()
            if words and not words[0].startswith("#"):
                frames.append((words[0], words[1:]))
    return frames


def grade_own_build(root, build_dir, out_dir, held_out=None):
    """The copy at root as it stands, through its own build's tools."""
    declared = exercises.load_declaration(root)
    space = workspace.Workspace(out_dir, root)
    space.build_dir = build_dir
    space.source = root
    built, errors = space.build()
    grades, perfect = [], set()
    for exercise in declared:
        grade = Grade(exercise)
        if not built:
            grade.problem = ["the code does not build:"] + errors
        else:
            run_exercise(grade, build_dir, root, os.path.join(root, exercises.REFERENCES),
                         os.path.join(out_dir, exercise.name),
                         mistakes=os.path.join(root, exercises.MISTAKE_FRAMES))
            grade.missing_needs = [n for n in exercise.needs if n not in perfect]
            if grade.identical() == len(grade.outcomes):
                perfect.add(exercise.name)
        grades.append(grade)
        grades += grade_held_out(grade, built, build_dir, root, out_dir, held_out, errors)
    return grades


def grade_held_out(visible_grade, built, build_dir, root, out_dir, held_out, errors):
    exercise = visible_grade.exercise
    frames = held_out_frames(held_out, exercise)
    if not frames:
        return []
    grade = Grade(exercise, held_out=True)
    share_points(visible_grade, grade, len(frames))
    if not built:
        grade.problem = ["the code does not build:"] + errors
        grade.outcomes = [scenarios.Outcome(n, False, f"{n}: not rendered") for n, _ in frames]
    else:
        run_exercise(grade, build_dir, root, held_out,
                     os.path.join(out_dir, exercise.name + "-held-out"), frames)
    return [grade]


def splice(pristine_texts, submitted, exercise):
    """path -> the pristine text with the exercise's regions from the submission, or raises
    ValueError saying why the exercise cannot be graded."""
    spliced = {}
    for path, text in pristine_texts.items():
        wanted = [k for k in exercises.region_texts(path, text) if k[0] == exercise.name]
        if not wanted:
            continue
        if path not in submitted:
            raise ValueError(f"the submission has no {path}")
        try:
            theirs = exercises.region_texts(path, submitted[path])
        except ValueError as error:
            raise ValueError(f"broken markers: {error}")
        mine = [k for k in theirs if k[0] == exercise.name]
        if len(mine) != len(wanted):
            raise ValueError(f"{path} holds {len(mine)} regions of exercise {exercise.name} "
                             f"where the copy handed out holds {len(wanted)}: the markers "
                             "are missing or broken")
        for key in mine:
            if PREPROCESSOR_LINE.search(theirs[key]):
                raise ValueError(f"a region of {path} holds a preprocessor line (#include, "
                                 "#define, ...): a region holds code only")
        spliced[path] = exercises.replace_regions(path, text, {k: theirs[k] for k in mine})
    return spliced


def prepare(root, work_folder):
    """The pristine copy laid out and its tools built, ready for submissions."""
    space = workspace.Workspace(work_folder, root)
    space.lay_out()
    space.set_code({})
    built, errors = space.build()
    if not built:
        raise RuntimeError("the pristine framework does not build:\n" + "\n".join(errors))
    return space


def grade_submission(root, path, out_dir, held_out=None, work_folder=None):
    """Each exercise of the submission alone in a pristine copy of the framework at root."""
    declared = exercises.load_declaration(root)
    space = workspace.Workspace(work_folder or os.path.join(out_dir, "work"), root)
    framework_changed = space.lay_out()
    submitted = submission.read_submission(path, sorted(space.pristine))
    if not any(exercises.ANY_MARKER.search(t) for t in submitted.values()):
        raise submission.Refused("not a student copy: its code holds no exercise markers")
    # Each exercise below writes every file that holds regions, so whatever an earlier run
    # left there is overwritten; the pristine copy is built on its own only when
    # the framework outside the regions changed.
    if framework_changed or not space.has_tools():
        space = prepare(root, space.folder)
    grades = []
    for exercise in declared:
        grade = Grade(exercise)
        held = held_out_frames(held_out, exercise)
        try:
            space.set_code(splice(space.pristine, submitted, exercise))
            ok, errors = space.build()
        except ValueError as error:
            ok, errors = False, [str(error)]
            grade.problem = [str(error)]
        if ok:
            run_exercise(grade, space.build_dir, space.source,
                         os.path.join(root, exercises.REFERENCES),
                         os.path.join(out_dir, exercise.name),
                         mistakes=os.path.join(root, exercises.MISTAKE_FRAMES))
        elif not grade.problem:
            grade.problem = ["the code does not build:"] + [
                l.replace(space.source + "/", "") for l in errors]
        grades.append(grade)
        if held:
            held_grade = Grade(exercise, held_out=True)
            share_points(grade, held_grade, len(held))
            if ok:
                run_exercise(held_grade, space.build_dir, space.source, held_out,
                             os.path.join(out_dir, exercise.name + "-held-out"), held)
            else:
                held_grade.problem = grade.problem
                held_grade.outcomes = [scenarios.Outcome(n, False, f"{n}: not rendered")
                                       for n, _ in held]
            grades.append(held_grade)
    return grades


def refused_results(root, reason):
    """Every exercise at 0 with the reason a submission was refused."""
    grades = []
    for exercise in exercises.load_declaration(root):
        grade = Grade(exercise)
        grade.problem = ["the submission was refused: " + reason]
        grades.append(grade)
    return grades


def results_json(grades):
    """Gradescope's results: a test an exercise and a held-out part, and the total."""
    tests = [{"name": f"{g.exercise.name}: {g.exercise.title}" +
              (" (held out)" if g.held_out else ""),
              "score": g.score(), "max_score": g.max_points,
              "output": g.output(),
              "visibility": "after_due_date" if g.held_out else "visible"} for g in grades]
    return {"score": round(sum(t["score"] for t in tests), 2), "tests": tests}


def write_results(grades, path):
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    temporary = path + ".partial"
    with open(temporary, "w", encoding="utf-8") as f:
        json.dump(results_json(grades), f, indent=2)
        f.write("\n")
    os.replace(temporary, path)


def print_grades(grades, results_path):
    shown = [g for g in grades if not g.held_out]
    for grade in shown:
        print(grade.line())
        for outcome in grade.outcomes:
            if outcome.mistake:
                print(f"  {outcome.name}: {outcome.mistake}")
    held = [g for g in grades if g.held_out]
    if held:
        print("held out (shown after the due date):")
        for grade in held:
            print("  " + grade.line())
    points = round(sum(g.max_points for g in grades), 2)
    score = sum(g.score() for g in grades)
    print(f"total: {_number(round(score, 2))} of {_number(points)} points")
    print(f"results: {results_path}")
    return round(score, 2) == points


def share_points(grade, held_grade, held_count):
    """An exercise's points shared by its visible and its held-out scenarios, by their number."""
    visible = len(grade.exercise.scenario_names())
    grade.max_points = round(grade.exercise.points * visible / (visible + held_count), 2)
    held_grade.max_points = round(grade.exercise.points - grade.max_points, 2)
