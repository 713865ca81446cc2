"""build/autograder.zip as Gradescope takes it: setup.sh and run_autograder at its top, and
the pristine framework beside them. Both scripts take the folder that stands for /autograder
from AUTOGRADER_ROOT."""

import os
import stat
import zipfile

import exercises

SETUP = r"""#!/bin/sh
# Installs what the build needs on Gradescope's Ubuntu image, then lays out the pristine
# framework and builds its tools once; each submission then recompiles only its regions.
set -eu
root=${AUTOGRADER_ROOT:-/autograder}
framework="$root/source/framework"
missing=""
for package in cmake g++ make python3 libsdl2-dev libgtest-dev libpng-dev libjpeg-dev; do
    dpkg -s "$package" >/dev/null 2>&1 || missing="$missing $package"
done
if [ -n "$missing" ]; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi
cd "$framework"
python3 tools/assignment/assignment.py prepare --work "$root/grading/work"
"""

RUN = r"""#!/bin/sh
# Grades the submission into the results file; a refused submission gets a results file too.
set -u
root=${AUTOGRADER_ROOT:-/autograder}
cd "$root/source/framework"
mkdir -p "$root/results"
python3 tools/assignment/assignment.py grade --submission "$root/submission" \
    --out "$root/grading" --work "$root/grading/work" --results "$root/results/results.json"
status=$?
# 1 is fewer than full marks, which is a grade like any other.
[ "$status" -le 1 ]
"""

LEFT_OUT = (".ci/", "docs/", "exercises/mistakes/")


def make(root, out):
    os.makedirs(os.path.dirname(out), exist_ok=True)
    with zipfile.ZipFile(out + ".partial", "w", zipfile.ZIP_DEFLATED) as archive:
        for name, text in (("setup.sh", SETUP), ("run_autograder", RUN)):
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.external_attr = (0o755 | stat.S_IFREG) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, text)
        for path in exercises.tracked_files(root):
            if path.startswith(LEFT_OUT):
                continue
            full = os.path.join(root, path)
            info = zipfile.ZipInfo("framework/" + path, date_time=(2026, 1, 1, 0, 0, 0))
            info.external_attr = (stat.S_IMODE(os.stat(full).st_mode) | stat.S_IFREG) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(full, "rb") as f:
                archive.writestr(info, f.read())
    os.replace(out + ".partial", out)
    print(f"{out}: {os.path.getsize(out) // 1024} KB (setup.sh, run_autograder, framework/)")
    return 0
