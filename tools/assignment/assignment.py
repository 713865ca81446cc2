#!/usr/bin/env python3
"""The assignment's tools, declared once in exercises/exercises.txt:

  assignment.py grade [--submission PATH] [--held-out DIR] [--build DIR] [--out DIR]
                      [--results FILE] [--runner WORDS]   (--runner wine: Windows tools)
  assignment.py handout [--exercises a,b] [--out DIR]
  assignment.py prepare [--work DIR]   lay out and build the pristine copy a grade reuses
  assignment.py put-back --into COPY [--exercises a,b]   the solutions into a student copy
  assignment.py references            render every scenario's reference with this tree
  assignment.py check                 the teacher's check of stubs, solutions and mistakes
  assignment.py autograder [--out FILE]
  assignment.py grade-class --submissions DIR [--out DIR] [--jobs N]

Run from the project's top folder. Exit status: 0 success (for grade: full marks), 1 a
failed check or fewer marks, 2 cannot run (a refused submission, a bad argument)."""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import exercises  # noqa: E402
import grade  # noqa: E402
import submission  # noqa: E402


def is_student_copy(root):
    return not os.path.isdir(os.path.join(root, exercises.STUBS))


def teacher_only(root, what):
    if is_student_copy(root):
        print(f"{what} needs the teacher's framework: this is a student copy", file=sys.stderr)
        sys.exit(2)


def command_grade(root, options):
    out = os.path.abspath(options.out or "build/grade")
    results = os.path.abspath(options.results or os.path.join(out, "results.json"))
    held_out = os.path.abspath(options.held_out) if options.held_out else None
    if options.time_limit:
        import scenarios
        scenarios.TIME_LIMIT = options.time_limit
    if options.runner is not None:
        import scenarios
        os.environ[scenarios.RUNNER] = options.runner
    if held_out and not os.path.isdir(held_out):
        print(f"HELD_OUT: {held_out} is not a folder", file=sys.stderr)
        return 2
    try:
        if options.submission:
            teacher_only(root, "grading a submission")
            grades = grade.grade_submission(root, options.submission, out, held_out,
                                            options.work)
        else:
            grades = grade.grade_own_build(root, os.path.abspath(options.build), out, held_out)
    except submission.Refused as refusal:
        print(f"{options.submission}: refused: {refusal}", file=sys.stderr)
        grade.write_results(grade.refused_results(root, str(refusal)), results)
        return 2
    except (RuntimeError, ValueError) as error:
        print(error, file=sys.stderr)
        return 2
    grade.write_results(grades, results)
    return 0 if grade.print_grades(grades, results) else 1


def command_handout(root, options):
    teacher_only(root, "make handout")
    import handout
    names = [n for n in (options.exercises or "").split(",") if n]
    out = os.path.abspath(options.out)
    try:
        chosen = handout.make_handout(root, names, out)
    except (ValueError, OSError) as error:
        print(f"make handout: {error}", file=sys.stderr)
        return 2
    leaks = handout.leaked_lines(root, chosen, out)
    for path, line in leaks[:20]:
        print(f"{path}: holds a line of the solution: {line}", file=sys.stderr)
    if leaks:
        return 1
    handout.write_archives(out, out + ".zip", out + ".tar.gz")
    size = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(out) for f in fs)
    print(f"{out}: {len(chosen)} exercises ({', '.join(e.name for e in chosen)}), "
          f"{size // 1024} KB; {out}.zip {os.path.getsize(out + '.zip') // 1024} KB, "
          f"{out}.tar.gz {os.path.getsize(out + '.tar.gz') // 1024} KB")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("grade")
    p.add_argument("--submission")
    p.add_argument("--held-out")
    p.add_argument("--build", default="build")
    p.add_argument("--out")
    p.add_argument("--results")
    p.add_argument("--work", help="the pristine copy's folder (default OUT/work)")
    p.add_argument("--time-limit", type=int, help="seconds a scenario may take (20)")
    p.add_argument("--runner", help="what the tools run through, e.g. wine for the Windows "
                   "build's (default $QUILLON_TOOL_RUNNER)")
    p = sub.add_parser("prepare")
    p.add_argument("--work", default="build/grade/work")
    p = sub.add_parser("put-back")
    p.add_argument("--into", required=True)
    p.add_argument("--exercises")
    p = sub.add_parser("handout")
    p.add_argument("--exercises")
    p.add_argument("--out", default="build/handout")
    sub.add_parser("references")
    p = sub.add_parser("check")
    p.add_argument("--out", default="build/check-exercises")
    p = sub.add_parser("autograder")
    p.add_argument("--out", default="build/autograder.zip")
    p = sub.add_parser("grade-class")
    p.add_argument("--submissions", required=True)
    p.add_argument("--out", default="build/grade-class")
    p.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    p.add_argument("--held-out")
    options = parser.parse_args()
    root = os.getcwd()
    if not os.path.exists(os.path.join(root, exercises.DECLARATION)):
        print(f"no {exercises.DECLARATION}: run from the project's top folder", file=sys.stderr)
        return 2
    if options.command == "grade":
        return command_grade(root, options)
    if options.command == "handout":
        return command_handout(root, options)
    teacher_only(root, options.command)
    import teacher
    return teacher.run(root, options)


if __name__ == "__main__":
    sys.exit(main())
