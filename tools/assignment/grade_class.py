"""A class's grades: every submission in a folder graded as `make grade SUBMISSION=` grades
one, a pristine copy of the framework for each core, into summary.csv and index.html."""

import concurrent.futures
import csv
import hashlib
import html
import os
import queue

import exercises
import grade
import submission


def submissions_in(folder):
    names = sorted(os.listdir(folder))
    return [n for n in names if os.path.isdir(os.path.join(folder, n)) or
            n.endswith((".zip", ".tar.gz", ".tgz", ".tar"))]


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def run(root, options):
    out = os.path.abspath(options.out)
    folder = os.path.abspath(options.submissions)
    held_out = os.path.abspath(options.held_out) if options.held_out else None
    declared = exercises.load_declaration(root)
    names = submissions_in(folder)
    lanes = queue.Queue()
    jobs = max(1, min(options.jobs, len(names) or 1))
    for lane in range(jobs):
        grade.prepare(root, os.path.join(out, f"work-{lane}"))
        lanes.put(lane)

    def grade_one(name):
        lane = lanes.get()
        try:
            where = os.path.join(out, "submissions", name)
            try:
                grades = grade.grade_submission(root, os.path.join(folder, name), where, held_out,
                                                os.path.join(out, f"work-{lane}"))
                refused = ""
            except submission.Refused as refusal:
                grades, refused = grade.refused_results(root, str(refusal)), str(refusal)
            grade.write_results(grades, os.path.join(where, "results.json"))
            return name, grades, refused
        finally:
            lanes.put(lane)

    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        graded = list(pool.map(grade_one, names))
    write_summary(out, declared, graded)
    write_index(root, out, declared, graded)
    for name, grades, refused in graded:
        total = sum(g.score() for g in grades)
        print(f"{name}: {grade._number(round(total, 2))} points" +
              (f" (refused: {refused})" if refused else ""))
    print(f"summary: {os.path.join(out, 'summary.csv')}")
    print(f"report: {os.path.join(out, 'index.html')}")
    return 0


def write_summary(out, declared, graded):
    with open(os.path.join(out, "summary.csv"), "w", newline="", encoding="utf-8") as f:
        writer = csv.writer(f)
        writer.writerow(["submission"] + [e.name for e in declared] + ["total", "refused"])
        for name, grades, refused in graded:
            scores = {}
            for g in grades:  # an exercise's held-out part counts in its score
                scores[g.exercise.name] = round(scores.get(g.exercise.name, 0) + g.score(), 2)
            writer.writerow([name] + [grade._number(scores.get(e.name, 0)) for e in declared] +
                            [grade._number(round(sum(scores.values()), 2)), refused])


def known_mistake_frames(root):
    """sha256 of a kept mistake frame -> 'exercise/mistake'."""
    known = {}
    top = os.path.join(root, exercises.MISTAKE_FRAMES)
    for directory, _, files in os.walk(top):
        for name in files:
            relative = os.path.relpath(directory, top).replace(os.sep, "/")
            known[digest(os.path.join(directory, name))] = relative
    return known


def write_index(root, out, declared, graded):
    known = known_mistake_frames(root)
    page = ["<!DOCTYPE html><html><head><meta charset='utf-8'><title>The class's grades</title>",
            "<style>body{font-family:sans-serif}img{width:250px;image-rendering:pixelated}"
            "td,th{padding:2px 8px;text-align:left}</style></head><body>",
            f"<h1>The class's grades: {len(graded)} submissions</h1>"]
    for exercise in declared:
        failures, shared = {}, {}
        for name, grades, _ in graded:
            for g in grades:
                if g.exercise is not exercise and g.exercise.name != exercise.name:
                    continue
                for o in g.outcomes:
                    if o.identical:
                        continue
                    failures[o.name] = failures.get(o.name, 0) + 1
                    if o.picture and os.path.exists(o.picture):
                        key = (o.name, digest(o.picture))
                        shared.setdefault(key, []).append((name, o.picture))
        page.append(f"<h2>{html.escape(exercise.name)}: {html.escape(exercise.title)}</h2>")
        if not failures:
            page.append("<p>Every scenario identical in every submission graded.</p>")
            continue
        page.append("<table><tr><th>scenario</th><th>submissions failing it</th></tr>")
        for scenario, count in sorted(failures.items(), key=lambda item: -item[1]):
            page.append(f"<tr><td>{html.escape(scenario)}</td><td>{count}</td></tr>")
        page.append("</table>")
        groups = sorted(((k, v) for k, v in shared.items() if len(v) > 1), key=lambda kv: -len(kv[1]))
        for (scenario, sha), members in groups:
            picture = os.path.relpath(members[0][1], out).replace(os.sep, "/")
            mistake = known.get(sha)
            page.append(f"<h3>{html.escape(scenario)}: the same wrong frame in {len(members)} "
                        "submissions" + (f" (known mistake {html.escape(mistake)})"
                                         if mistake else "") + "</h3>")
            page.append(f"<p><img src='{html.escape(picture)}' alt=''></p><p>" +
                        ", ".join(html.escape(m[0]) for m in members) + "</p>")
    page.append("</body></html>")
    with open(os.path.join(out, "index.html"), "w", encoding="utf-8") as f:
        f.write("\n".join(page) + "\n")
