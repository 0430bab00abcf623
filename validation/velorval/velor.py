"""Running velor on one refinement's files and collecting what it wrote."""

import json
import os
import shutil
import subprocess
import time

from . import shelxfiles

FIT_TYPES = ("C", "Q", "L", "F")
STEM = "s"  # every refinement's files are s.res and s.fcf in a folder of their own


class VelorRun:
    def __init__(self, directory, stem, fit, exit_status, stdout, stderr, summary, seconds):
        self.directory = directory
        self.stem = stem
        self.fit = fit
        self.exit_status = exit_status
        self.stdout = stdout
        self.stderr = stderr
        self.summary = summary  # velor's --json summary, or None
        self.seconds = seconds

    def path(self, suffix):
        return os.path.join(self.directory, self.stem + suffix)

    @property
    def ok(self):
        return self.exit_status == 0 and os.path.exists(self.path("x.hkl"))


def run(velor, source_dir, stem, fit, work_dir):
    """Copy NAME.res and NAME.fcf from source_dir into work_dir, run
    `velor --json NAME.json NAME fit` there, and return what it left."""
    os.makedirs(work_dir, exist_ok=True)
    for suffix in (".res", ".fcf"):
        shutil.copyfile(os.path.join(source_dir, stem + suffix), os.path.join(work_dir, stem + suffix))
    start = time.perf_counter()
    proc = subprocess.run([os.path.abspath(velor), "--json", stem + ".json", stem, fit],
                          cwd=work_dir, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          timeout=300)
    seconds = time.perf_counter() - start
    summary = None
    json_path = os.path.join(work_dir, stem + ".json")
    if proc.returncode == 0 and os.path.exists(json_path):
        with open(json_path) as f:
            summary = json.load(f)
    return VelorRun(work_dir, stem, fit, proc.returncode, proc.stdout, proc.stderr, summary, seconds)


def scale_factors(run_, indices):
    """S of every reflection of `indices`, from the last column of NAMEx.hkl."""
    table = shelxfiles.read_scale_column(run_.path("x.hkl"))
    return [table[tuple(h)] for h in indices]
