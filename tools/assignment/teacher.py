"""The teacher's side: the references, the check of stubs, solutions and known mistakes, the
Gradescope autograder and a class's grades."""

import os
import shutil
import sys

import exercises
import scenarios
import workspace


def run(root, options):
    if options.command == "references":
        return references(root)
    if options.command == "prepare":
        import grade
        grade.prepare(root, os.path.abspath(options.work))
        return 0
    if options.command == "put-back":
        return put_back(root, os.path.abspath(options.into),
                        [n for n in (options.exercises or "").split(",") if n])
    if options.command == "check":
        return check(root, os.path.abspath(options.out))
    if options.command == "autograder":
        import autograder
        return autograder.make(root, os.path.abspath(options.out))
    if options.command == "grade-class":
        import grade_class
        return grade_class.run(root, options)
    return 2


def references(root, build_dir="build"):
    """Every scenario rendered by this tree's build into exercises/references/."""
    folder = os.path.join(root, exercises.REFERENCES)
    for exercise in exercises.load_declaration(root):
        scenarios.render_references(build_dir, root, exercise, folder)
        print(f"{exercise.name}: {len(exercise.scenario_names())} references in {folder}")
    return 0


def put_back(root, copy, names):
    """The named exercises' solutions (all by default) written into a student copy."""
    for path, regions in exercises.all_regions(root).items():
        solution = exercises.region_texts(path, exercises.read_text(os.path.join(root, path)))
        target = os.path.join(copy, path)
        text = exercises.read_text(target)
        keys = {k: v for k, v in solution.items() if not names or k[0] in names}
        exercises.write_if_changed(target, exercises.replace_regions(path, text, keys))
    return 0


def stubbed_code(root, space, names):
    """path -> the pristine text with the named exercises' regions stubbed."""
    return {path: exercises.replace_regions(path, space.pristine[path], stubs)
            for path, stubs in exercises.stub_texts(root, set(names)).items()}


def mistaken_code(space, exercise, mistake):
    """path -> the pristine text with the mistake's one change inside the exercise's region."""
    text = space.pristine.get(mistake.file)
    if text is None:
        raise ValueError(f"{mistake.file} holds no region")
    regions = exercises.region_texts(mistake.file, text)
    changed = {k: v.replace(mistake.replace, mistake.with_text, 1) for k, v in regions.items()
               if k[0] == exercise.name and mistake.replace in v}
    if len(changed) != 1 or sum(v.count(mistake.replace) for k, v in regions.items()
                                if k[0] == exercise.name) != 1:
        raise ValueError(f"'{mistake.replace}' is not once in exercise {exercise.name}'s "
                         f"regions of {mistake.file}")
    return {mistake.file: exercises.replace_regions(mistake.file, text, changed)}


class Checker:
    def __init__(self, root, out):
        self.root, self.out = root, out
        self.space = workspace.Workspace(os.path.join(out, "work"), root)
        self.failures = 0

    def outcomes(self, code, chosen, label):
        self.space.set_code(code)
        built, errors = self.space.build()
        if not built:
            return None, errors
        if label in ("stub", "in-order"):
            for warning in self.space.warnings:
                self.fail(f"a warning with stubs in place: {warning}")
        found = []
        for exercise in chosen:
            where = os.path.join(self.out, label, exercise.name)
            found += scenarios.run_frames(self.space.build_dir,
                                          os.path.join(self.space.source, "assets"),
                                          exercise.frames,
                                          os.path.join(self.root, exercises.REFERENCES), where)
            found += scenarios.run_images(self.space.build_dir, self.space.source,
                                          exercise.images,
                                          os.path.join(self.root, exercises.REFERENCES), where)
        return found, []

    def fail(self, line):
        self.failures += 1
        print("  FAILED: " + line)


def check(root, out):
    declared = exercises.load_declaration(root)
    checker = Checker(root, out)
    checker.space.lay_out()
    print("the solution:")
    found, errors = checker.outcomes({}, declared, "solution")
    if found is None:
        print("\n".join(errors))
        return 1
    wrong = [o.line for o in found if not o.identical]
    for line in wrong:
        checker.fail(line)
    print(f"  {len(found) - len(wrong)} of {len(found)} scenarios identical")
    for position, exercise in enumerate(declared):
        check_exercise(checker, declared, position, exercise)
    checker.space.set_code({})
    print("check-exercises: " + ("every stub, solution and known mistake as it should be"
                                 if not checker.failures else f"{checker.failures} failures"))
    return 0 if checker.failures == 0 else 1


def check_exercise(checker, declared, position, exercise):
    root, space = checker.root, checker.space
    print(f"{exercise.name}:")
    found, errors = checker.outcomes(stubbed_code(root, space, [exercise.name]), [exercise],
                                     "stub")
    if found is None:
        checker.fail("the stub does not build: " + " / ".join(errors[:3]))
    else:
        # A stub earns nothing: the copy handed out grades zero.
        for o in found:
            if o.identical:
                checker.fail(f"the stub passes {o.name}, which would earn it points")
        print(f"  stub: fails {sum(not o.identical for o in found)} of {len(found)}")
    later = [e.name for e in declared[position + 1:]]
    if later:
        found, errors = checker.outcomes(stubbed_code(root, space, later),
                                         declared[:position + 1], "in-order")
        if found is None:
            checker.fail("the later stubs do not build: " + " / ".join(errors[:3]))
        else:
            for o in found:
                if not o.identical:
                    checker.fail(f"with the later exercises stubbed: {o.line}")
            if all(o.identical for o in found):
                print(f"  with {len(later)} later exercises stubbed: every scenario up to "
                      "here identical")
    kept = os.path.join(root, exercises.MISTAKE_FRAMES, exercise.name)
    shutil.rmtree(kept, ignore_errors=True)
    for mistake in exercise.mistakes:
        try:
            code = mistaken_code(space, exercise, mistake)
        except ValueError as error:
            checker.fail(f"mistake {mistake.name}: {error}")
            continue
        found, errors = checker.outcomes(code, [exercise], "mistake-" + mistake.name)
        if found is None:
            checker.fail(f"mistake {mistake.name} does not build: " + " / ".join(errors[:3]))
            continue
        failed = [o for o in found if not o.identical]
        if not failed:
            checker.fail(f"mistake {mistake.name} ({mistake.title}) passes every scenario: a "
                         "hole in the references")
            continue
        for o in failed:
            if o.picture:
                scenarios.copy_picture(o.picture, os.path.join(kept, mistake.name,
                                                               o.name + ".png"))
        print(f"  mistake {mistake.name}: caught by {', '.join(o.name for o in failed)}")
    sys.stdout.flush()
