"""python3 -m velorval.refresh OUT [--velor PATH]: run velor again on the
NAME.res and NAME.fcf kept for every velor record of OUT/records.jsonl and
store its new --json summary in the record, without refining anything.

This is for a velor that reports more in its summary but corrects the same:
it takes a minute where the grid takes many.  Each refreshed record gets
`velor_output_changed`: true when NAMEx.hkl differs from the one the grid's
refinement used, in which case that record's refinement measures are stale
and the grid has to be run again."""

import argparse
import filecmp
import json
import os
import shutil
import sys
import tempfile

from . import velor

def refresh_record(rec, out_dir, velor_path):
    kept = os.path.join(out_dir, "cases", rec["case"], rec["stage"], rec["fit"])
    with tempfile.TemporaryDirectory() as tmp:
        run_ = velor.run(velor_path, kept, velor.STEM, rec["fit"], tmp)
        old = os.path.join(kept, velor.STEM + "x.hkl")
        # A run velor refused before and refuses again, with the same
        # message, has no output to differ.
        same_refusal = (rec.get("velor_exit", 0) != 0 and not os.path.exists(old)
                        and run_.exit_status == rec["velor_exit"]
                        and run_.stderr.strip() == rec.get("velor_stderr"))
        rec["velor_exit"] = run_.exit_status
        rec["velor_stderr"] = run_.stderr.strip()
        rec["velor_json"] = run_.summary
        rec["velor_output_changed"] = not same_refusal and not (
            run_.ok and os.path.exists(old) and filecmp.cmp(old, run_.path("x.hkl"), shallow=False))
        if run_.summary is not None:
            shutil.copyfile(run_.path(".json"), os.path.join(kept, velor.STEM + ".json"))
    return rec


def main(argv=None):
    p = argparse.ArgumentParser(prog="velorval.refresh")
    p.add_argument("out")
    p.add_argument("--velor", default="build/velor")
    args = p.parse_args(sys.argv[1:] if argv is None else argv)
    path = os.path.join(args.out, "records.jsonl")
    with open(path) as f:
        records = [json.loads(line) for line in f if line.strip()]
    changed = 0
    for rec in records:
        if rec.get("correction") == "velor":
            refresh_record(rec, args.out, args.velor)
            changed += rec["velor_output_changed"]
    with open(path + ".tmp", "w") as f:
        for rec in records:
            f.write(json.dumps(rec, sort_keys=True) + "\n")
    os.replace(path + ".tmp", path)
    print("%d records; %d velor runs whose NAMEx.hkl changed" % (len(records), changed))
    return 1 if changed else 0


if __name__ == "__main__":
    sys.exit(main())
