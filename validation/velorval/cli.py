"""python3 -m velorval.cli: run a grid of cases and collect their records.

The transmissions of each structure and crystal are computed first, one
process each, and cached in OUT/transmission; then the cases run, JOBS at a
time.  Every case writes OUT/records/CASE.jsonl; at the end all of them are
joined into OUT/records.jsonl (sorted by case) and the times of the parts
into OUT/timing.json."""

import argparse
import dataclasses
import json
import multiprocessing
import os
import sys
import time

import numpy as np

from . import case as case_mod
from . import grid as grid_mod


def parse(argv):
    p = argparse.ArgumentParser(prog="velorval", description=__doc__.splitlines()[0])
    p.add_argument("--grid", default="main", choices=sorted(grid_mod.GRIDS))
    p.add_argument("--velor", default="build/velor", help="the velor program (build/velor)")
    p.add_argument("--out", default="validation/out", help="folder for all outputs")
    p.add_argument("--jobs", type=int, default=2)
    p.add_argument("--res", help="a SHELX .res file whose structure replaces the grid's")
    p.add_argument("--only", default="", help="run only the cases whose name contains this")
    p.add_argument("--extinction", type=float, default=None,
                   help="extinction parameter x of SHELXL's EXTI form in the data (0: none)")
    return p.parse_args(argv)


def select_grid(args):
    grid = grid_mod.GRIDS[args.grid]
    if args.extinction is not None:
        grid = dataclasses.replace(grid, extinction=args.extinction)
    if args.res:
        user = grid_mod.StructureSpec("user", "", (), seed=0, res_file=os.path.abspath(args.res))
        grid = dataclasses.replace(grid, structures=(user,),
                                   bias=tuple(("user",) + b[1:] for b in grid.bias[:1]))
    return grid


def _transmission_job(job):
    case, out_dir = job
    start = time.perf_counter()
    xs, fc_sq = case_mod.make_truth(case.structure, case.grid)
    indices = np.array(list(fc_sq.indices()), dtype=int)
    clock = case_mod.Clock()
    case_mod.transmission_table(case, xs, indices, os.path.join(out_dir, "transmission"), clock)
    return case.structure.name + "/" + case.shape.name, clock.parts.get("transmission", 0.0), \
        time.perf_counter() - start


def _case_job(job):
    case, velor, out_dir = job
    start = time.perf_counter()
    try:
        records = case_mod.run_case(case, velor, out_dir)
        error = None
    except Exception as e:  # one failed case must not lose the others
        import traceback
        records, error = [], traceback.format_exc()
    return case.name, len(records), time.perf_counter() - start, error


def main(argv=None):
    args = parse(sys.argv[1:] if argv is None else argv)
    if not os.access(args.velor, os.X_OK):
        sys.exit("velorval: no velor program at %s (build it first, or give --velor)" % args.velor)
    grid = select_grid(args)
    all_cases = [c for c in grid_mod.cases(grid) if args.only in c.name]
    os.makedirs(args.out, exist_ok=True)
    timing = {"grid": grid.name, "jobs": args.jobs, "load_average_at_start": os.getloadavg()}
    t0 = time.perf_counter()

    firsts = {}
    for c in all_cases:
        firsts.setdefault((c.structure.name, c.shape.name), c)
    with multiprocessing.Pool(args.jobs) as pool:
        tx = pool.map(_transmission_job, [(c, args.out) for c in firsts.values()])
    timing["transmission"] = {name: {"computed_seconds": comp, "job_seconds": total}
                              for name, comp, total in tx}
    timing["transmission_wall_seconds"] = time.perf_counter() - t0
    print("transmissions: %.0f s" % timing["transmission_wall_seconds"], flush=True)

    t1 = time.perf_counter()
    failures = []
    timing["cases"] = {}
    with multiprocessing.Pool(args.jobs) as pool:
        jobs = [(c, args.velor, args.out) for c in all_cases]
        for name, n, seconds, error in pool.imap_unordered(_case_job, jobs):
            timing["cases"][name] = seconds
            print("%-50s %3d records %6.1f s%s" % (name, n, seconds, "  FAILED" if error else ""),
                  flush=True)
            if error:
                failures.append((name, error))
    timing["cases_wall_seconds"] = time.perf_counter() - t1
    timing["total_wall_seconds"] = time.perf_counter() - t0
    timing["load_average_at_end"] = os.getloadavg()

    # Join the records of every case of the grid that has them, so that a
    # run of a few cases (--only) refreshes those and keeps the rest.
    records = []
    for c in sorted(grid_mod.cases(grid), key=lambda c: c.name):
        path = os.path.join(args.out, "records", c.name + ".jsonl")
        if os.path.exists(path):
            with open(path) as f:
                records.extend(line for line in f if line.strip())
    with open(os.path.join(args.out, "records.jsonl"), "w") as f:
        f.writelines(records)
    with open(os.path.join(args.out, "timing.json"), "w") as f:
        json.dump(timing, f, indent=1, sort_keys=True)
    for name, error in failures:
        print("velorval: case %s failed:\n%s" % (name, error), file=sys.stderr)
    print("%d cases, %d records, %.0f s" % (len(all_cases), len(records),
                                             timing["total_wall_seconds"]))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
