"""python3 -m velorval.report OUT RESULTS.md [HELDOUT_OUT]: the tables, the
plot and the advice, from OUT/records.jsonl and OUT/timing.json; the advice
rule and the warnings are set on OUT and checked on HELDOUT_OUT.

Every figure compares a refinement with the truth.  Ratios are taken against
the anisotropic refinement of the uncorrected data (the model a user has
without a correction), case by case, and then averaged over the structures
and crystals of the grid."""

import json
import os
import sys
from collections import defaultdict

import numpy as np

from . import calibrate
from .calibrate import HARMS, HELPS

FITS = ("C", "Q", "L", "F")
FIT_NAMES = {"C": "cubic", "Q": "quadratic", "L": "linear", "F": "flat"}
GEOMETRIES = {"bisecting": "bisecting (psi = 0)", "psi": "psi-averaged (K = 8)"}
FLOOR = -1.5  # the plot's lowest share; lower ones are written beside the floor


def load(out_dir):
    with open(os.path.join(out_dir, "records.jsonl")) as f:
        records = [json.loads(line) for line in f if line.strip()]
    timing = {}
    path = os.path.join(out_dir, "timing.json")
    if os.path.exists(path):
        with open(path) as f:
            timing = json.load(f)
    return records, timing


class Case:
    """The records of one case, by (stage, correction, fit)."""

    def __init__(self, rows):
        self.rows = {(r["stage"], r["correction"], r["fit"]): r for r in rows}
        first = rows[0]
        for key in ("case", "structure", "shape", "mu_t", "geometry", "bias_test",
                    "transmission_min", "transmission_max", "mu", "mu_from_composition"):
            setattr(self, key, first.get(key))

    def get(self, stage, correction, fit=None):
        return self.rows.get((stage, correction, fit))

    @property
    def baseline(self):
        return self.get("aniso", "none")

    def ratio(self, row, key):
        base = self.baseline
        if row is None or key not in row or base is None or not base.get(key):
            return None
        return row[key] / base[key]


def group_cases(records):
    by = defaultdict(list)
    for r in records:
        by[r["case"]].append(r)
    return [Case(rows) for _, rows in sorted(by.items())]


def mean(values):
    values = [v for v in values if v is not None and np.isfinite(v)]
    return float(np.mean(values)) if values else None


def fmt(v, digits=2):
    return "—" if v is None else "%.*f" % (digits, v)


# ---------------------------------------------------------------- summaries

def summary(cases, stage, correction, fit, key, ratio):
    vals = []
    for c in cases:
        row = c.get(stage, correction, fit)
        vals.append(c.ratio(row, key) if ratio else (row or {}).get(key))
    return mean(vals)


def headline_rows(cases):
    """Per (stage, fit): mean |dU| ratio, position ratio, wR2 before and
    after, share removed without and with noise, correlation."""
    out = []
    variants = [("iso", "velor", f) for f in FITS] + [("aniso", "velor", f) for f in FITS]
    variants += [("aniso", "ideal", None)] + [("truth", "velor", f) for f in FITS]
    for stage, corr, fit in variants:
        if corr == "ideal":
            label = "ideal (Fo²/A)"
        elif stage == "truth":
            label = "%s on the true Fc²" % FIT_NAMES[fit]
        else:
            label = "%s, %s stage" % (FIT_NAMES[fit], stage)
        out.append({
            "label": label, "stage": stage, "correction": corr, "fit": fit,
            "du": summary(cases, stage, corr, fit, "mean_abs_du", True),
            "dx": summary(cases, stage, corr, fit, "position_error", True),
            "wr2_before": mean([(c.baseline or {}).get("wr2") for c in cases]),
            "wr2": summary(cases, stage, corr, fit, "wr2", False),
            "share0": summary(cases, stage, corr, fit, "share_removed_noise_free", False),
            "share": summary(cases, stage, corr, fit, "share_removed", False),
            "corr": summary(cases, stage, corr, fit, "corr_ln_s_ln_a", False),
        })
    return out


def headline_table(cases, mu_t, geometry):
    sel = [c for c in cases if abs(c.mu_t - mu_t) < 1e-9 and c.geometry == geometry and not c.bias_test]
    if not sel:
        return []
    lines = [
        "**μ·t_min = %g, %s** (%d cases; uncorrected anisotropic: mean |ΔU| %s Å², "
        "position error %s Å, wR2 %s)" % (
            mu_t, GEOMETRIES[geometry], len(sel),
            fmt(mean([c.baseline["mean_abs_du"] for c in sel]), 5),
            fmt(mean([c.baseline["position_error"] for c in sel]), 4),
            fmt(mean([c.baseline["wr2"] for c in sel]), 3)),
        "",
        "| run | \\|ΔU\\| / uncorr. | pos. error / uncorr. | wR2 | share removed, no noise "
        "| share removed | corr(ln S, ln A) |",
        "|---|---|---|---|---|---|---|",
    ]
    for r in headline_rows(sel):
        lines.append("| %s | %s | %s | %s | %s | %s | %s |" % (
            r["label"], fmt(r["du"]), fmt(r["dx"]), fmt(r["wr2"], 3), fmt(r["share0"]),
            fmt(r["share"]), fmt(r["corr"])))
    return lines + [""]


def case_table(cases):
    lines = [
        "| case | fit | iso: \\|ΔU\\| | iso: pos. | iso: share | aniso: \\|ΔU\\| | aniso: pos. "
        "| aniso: share | true Fc²: share |",
        "|---|---|---|---|---|---|---|---|---|",
    ]
    for c in cases:
        if c.bias_test:
            continue
        name = "%s %s %g %s" % (c.structure, c.shape, c.mu_t, c.geometry)
        for fit in FITS:
            iso, an, tr = (c.get("iso", "velor", fit), c.get("aniso", "velor", fit),
                           c.get("truth", "velor", fit))
            lines.append("| %s | %s | %s | %s | %s | %s | %s | %s | %s |" % (
                name, fit, fmt(c.ratio(iso, "mean_abs_du")), fmt(c.ratio(iso, "position_error")),
                fmt((iso or {}).get("share_removed")), fmt(c.ratio(an, "mean_abs_du")),
                fmt(c.ratio(an, "position_error")), fmt((an or {}).get("share_removed")),
                fmt((tr or {}).get("share_removed"))))
        ideal = c.get("aniso", "ideal")
        lines.append("| %s | ideal | | | | %s | %s | 1.00 | |" % (
            name, fmt(c.ratio(ideal, "mean_abs_du")), fmt(c.ratio(ideal, "position_error"))))
    return lines + [""]


def bias_table(cases):
    sel = [c for c in cases if c.bias_test]
    if not sel:
        return []
    lines = [
        "| case | atom left out | peak, uncorrected (e/Å³) | ideal / uncorr. | "
        + " | ".join("%s / uncorr." % FIT_NAMES[f] for f in FITS) + " |",
        "|---|---|---|---|" + "---|" * len(FITS),
    ]
    for c in sel:
        before = c.get("aniso", "none")
        ideal = c.get("aniso", "ideal")
        p0 = before.get("peak")
        cells = [fmt(ideal["peak"] / p0) if p0 else "—"]
        for f in FITS:
            row = c.get("aniso", "velor", f)
            cells.append(fmt(row["peak"] / p0) if row and "peak" in row and p0 else "—")
        lines.append("| %s %s %g %s | %s | %s | %s |" % (
            c.structure, c.shape, c.mu_t, c.geometry, before.get("left_out"), fmt(p0, 3),
            " | ".join(cells)))
    return lines + [""]


# ---------------------------------------------------------------- advice

def verdict(du, dx):
    """A word for a pair of ratios (|dU|, positions) to the uncorrected."""
    if du is None or dx is None:
        return "no result"
    better = (du <= HELPS, dx <= HELPS)
    worse = (du >= HARMS, dx >= HARMS)
    if all(better):
        return "improves both"
    if any(better) and any(worse):
        return "mixed (%s better, %s worse)" % (("U", "positions") if better[0] else ("positions", "U"))
    if any(worse):
        return "harms"
    if better[0]:
        return "improves U only"
    if better[1]:
        return "improves positions only"
    return "does little"


def _ratios(cases, stage, fit, key):
    return [c.ratio(c.get(stage, "velor", fit), key) for c in cases]


def _worst(values):
    values = [v for v in values if v is not None]
    return max(values) if values else None


def advice_table(cases):
    """Per stage and fit type, over all cases of each geometry: mean and
    worst ratio of |dU| and of the position error, and in how many cases
    either got worse by more than HARMS."""
    head = "| velor after | fit |"
    rule = "|---|---|"
    for g in GEOMETRIES:
        head += " %s: \\|ΔU\\| mean (worst) | positions mean (worst) | worse |" % g
        rule += "---|---|---|"
    lines = [head, rule]
    for stage in ("iso", "aniso"):
        for fit in FITS:
            cells = []
            for g in GEOMETRIES:
                sel = [c for c in cases if c.geometry == g]
                du, dx = _ratios(sel, stage, fit, "mean_abs_du"), _ratios(sel, stage, fit, "position_error")
                worse = sum(1 for a, b in zip(du, dx) if a is not None and b is not None
                            and (a >= HARMS or b >= HARMS))
                cells.append("%s (%s) | %s (%s) | %d of %d" % (
                    fmt(mean(du)), fmt(_worst(du)), fmt(mean(dx)), fmt(_worst(dx)), worse, len(sel)))
            lines.append("| %s refinement | %s | %s |" % (
                "isotropic" if stage == "iso" else "anisotropic", FIT_NAMES[fit], " | ".join(cells)))
    return lines + [""]


def advice(cases):
    main = [c for c in cases if not c.bias_test]
    lines = ["Ratios to the uncorrected anisotropic refinement (below 1: closer to the truth); "
             "\"worse\" counts the cases where |ΔU| or the position error grew by more than "
             "%d %%." % round((HARMS - 1) * 100), ""]
    lines += advice_table(main)
    # The anisotropic stage, fit by fit.
    an = {f: (mean(_ratios(main, "aniso", f, "mean_abs_du")),
              mean(_ratios(main, "aniso", f, "position_error")),
              mean([(c.get("aniso", "velor", f) or {}).get("share_removed") for c in main]))
          for f in FITS}
    best_u = min(FITS, key=lambda f: an[f][0] if an[f][0] is not None else 9)
    best_x = min(FITS, key=lambda f: an[f][1] if an[f][1] is not None else 9)
    lines.append("- **After the anisotropic refinement** (the usual moment): the %s fit does most "
                 "for the displacement parameters (|ΔU| ×%s), the %s fit most for the positions "
                 "(×%s). Over the grid the fits remove these shares of the true transmission's "
                 "log-spread: %s." % (
                     FIT_NAMES[best_u], fmt(an[best_u][0]), FIT_NAMES[best_x], fmt(an[best_x][1]),
                     ", ".join("%s %s" % (FIT_NAMES[f], fmt(an[f][2])) for f in FITS)))
    negative = [f for f in FITS if an[f][2] is not None and an[f][2] < 0 and an[f][1] is not None
                and an[f][1] < HELPS]
    if negative:
        lines.append("  A negative share with better positions (%s) is no contradiction: the "
                     "refined U have already taken up the displacement-like part of the "
                     "absorption, and S fits what is left, which is not A itself." %
                     ", ".join(FIT_NAMES[f] for f in negative))
    # The isotropic stage, structure by structure.
    for st in sorted(set(c.structure for c in main)):
        sel = [c for c in main if c.structure == st]
        parts = []
        for mt in sorted(set(c.mu_t for c in sel)):
            at = [c for c in sel if c.mu_t == mt]
            du = min((mean(_ratios(at, "iso", f, "mean_abs_du")) or 9, f) for f in FITS)
            dx = mean(_ratios(at, "iso", du[1], "position_error"))
            parts.append("μt %g: %s ×%s, positions ×%s" % (mt, FIT_NAMES[du[1]], fmt(du[0]), fmt(dx)))
        lines.append("- **After the isotropic refinement, %s** (best fit for U at each μ·t): %s." % (
            st, "; ".join(parts)))
    worst_iso = [(c.ratio(c.get("iso", "velor", f), "mean_abs_du"), c, f) for c in main for f in FITS]
    worst_iso = [w for w in worst_iso if w[0] is not None and w[0] >= HARMS]
    if worst_iso:
        r, c, f = max(worst_iso, key=lambda w: w[0])
        lines.append("  Run after the isotropic stage, velor fits whatever anisotropic displacement "
                     "the atoms share as well as the absorption, and takes it out of the data: "
                     "%d of %d such runs made |ΔU| worse, up to ×%s (%s %s, μt %g, %s fit)." % (
                         len(worst_iso), sum(1 for c in main for f in FITS),
                         fmt(r), c.structure, c.shape, c.mu_t, FIT_NAMES[f]))
    # What R says.
    drops, worse_but_drop, total = 0, 0, 0
    for c in main:
        base = c.baseline
        for stage in ("iso", "aniso"):
            for fit in FITS:
                row = c.get(stage, "velor", fit)
                if not row or "wr2" not in row:
                    continue
                total += 1
                if row["wr2"] < base["wr2"]:
                    drops += 1
                    if c.ratio(row, "mean_abs_du") >= HARMS or c.ratio(row, "position_error") >= HARMS:
                        worse_but_drop += 1
    lines.append("- **R.** wR2 against the corrected data fell below the uncorrected wR2 in %d of "
                 "%d corrected refinements, %d of them with |ΔU| or positions more than %d %% "
                 "worse: a drop of R does not show that the structure improved." % (
                     drops, total, worse_but_drop, round((HARMS - 1) * 100)))
    refused = [r for c in cases for r in c.rows.values()
               if r.get("correction") == "velor" and r.get("velor_exit") != 0]
    lines.append("- **Refused runs.** velor ended %d of its %d runs with an error%s." % (
        len(refused), sum(1 for c in cases for r in c.rows.values() if r.get("correction") == "velor"),
        "".join("; %s, %s stage, %s fit: \"%s\"" % (r["case"], r["stage"], FIT_NAMES[r["fit"]],
                                                     r.get("velor_stderr", "")) for r in refused)))
    lines.append("- **The ideal correction** (Fo²/A) reaches |ΔU| ×%s and positions ×%s: what "
                 "an exact absorption correction would give here." % (
                     fmt(mean([c.ratio(c.get("aniso", "ideal"), "mean_abs_du") for c in main])),
                     fmt(mean([c.ratio(c.get("aniso", "ideal"), "position_error") for c in main]))))
    return lines


# ---------------------------------------------------------------- plot

def plot(cases, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    plt.rcParams["svg.hashsalt"] = "velor-validation"
    main = [c for c in cases if not c.bias_test]
    mts = sorted(set(c.mu_t for c in main))
    panels = [("iso", "after isotropic refinement"), ("aniso", "after anisotropic refinement"),
              ("truth", "on the true Fc²")]
    fig, axes = plt.subplots(2, 3, figsize=(12, 7), sharex=True, sharey=True)
    colours = {"C": "#440154", "Q": "#31688e", "L": "#35b779", "F": "#e0b000"}
    for i, geometry in enumerate(GEOMETRIES):
        for j, (stage, title) in enumerate(panels):
            ax = axes[i][j]
            for fit in FITS:
                ys = [mean([(c.get(stage, "velor", fit) or {}).get("share_removed_noise_free")
                            for c in main if c.mu_t == mt and c.geometry == geometry])
                      for mt in mts]
                ys = [np.nan if y is None else y for y in ys]
                ax.plot(mts, [max(y, FLOOR) for y in ys], "o-", color=colours[fit],
                        label=FIT_NAMES[fit])
                for k, (mt, y) in enumerate(zip(mts, ys)):
                    if y < FLOOR:  # off the scale: a marker on the floor with the value
                        ax.annotate("%.1f" % y, (mt, FLOOR), xytext=(4, 3 + 9 * FITS.index(fit)),
                                    textcoords="offset points", fontsize=7, color=colours[fit])
            ax.axhline(0, color="grey", lw=0.8)
            ax.axhline(1, color="grey", lw=0.8, ls=":")
            ax.set_ylim(FLOOR - 0.1, 1.1)
            ax.set_title("%s, %s" % (geometry, title), fontsize=9)
            if i == 1:
                ax.set_xlabel("μ·t_min")
            if j == 0:
                ax.set_ylabel("share of ln A spread removed")
    axes[0][2].legend(fontsize=8, loc="lower left")
    fig.suptitle("Share of the true transmission's log-spread removed by S (no noise; "
                 "mean of the structures and crystals)", fontsize=10)
    fig.tight_layout()
    fig.savefig(path, metadata={"Date": None})
    plt.close(fig)


# ---------------------------------------------------------------- the file

def timing_lines(timing, cases_):
    if not timing:
        return []
    tx = timing.get("transmission", {})
    cases = timing.get("cases", {})
    parts = defaultdict(float)
    for c in cases_:
        for part, seconds in next(iter(c.rows.values())).get("case_seconds", {}).items():
            parts[part] += seconds
    lines = ["| part | seconds |", "|---|---|"]
    for part in ("refinement", "velor", "maps", "truth", "total"):
        if part in parts:
            lines.append("| %s, all cases (one process each) | %.0f |" % (
                "cases" if part == "total" else part, parts[part]))
    for name, t in sorted(tx.items()):
        lines.append("| transmission %s (bisecting and K = 8) | %.0f |" % (name, t["computed_seconds"]))
    lines.append("| transmissions, wall clock | %.0f |" % timing.get("transmission_wall_seconds", 0))
    if cases:
        lines.append("| one case: mean, longest | %.0f, %.0f |" % (
            np.mean(list(cases.values())), max(cases.values())))
    lines.append("| cases, wall clock (%d processes) | %.0f |" % (
        timing.get("jobs", 0), timing.get("cases_wall_seconds", 0)))
    lines.append("| **whole grid, wall clock** | **%.0f** |" % timing.get("total_wall_seconds", 0))
    la0 = timing.get("load_average_at_start", [0])[0]
    la1 = timing.get("load_average_at_end", [0])[0]
    return lines + ["", "Load average of the 2-core machine (other work included): %.1f at the "
                        "start, %.1f at the end." % (la0, la1), ""]


def composition_lines(cases):
    """The absorption the compositions themselves give, beside the grid's."""
    seen = {}
    for c in cases:
        row = next(iter(c.rows.values()))
        seen.setdefault((c.structure, c.shape), (row["mu_from_composition"], row["t_min_mm"],
                                                 row.get("density")))
    if not seen:
        return []
    parts = ["%s %s: μ = %.3g mm⁻¹ (density %.2f g/cm³), μ·t_min = %.3g" % (
        st, sh, mu, rho or 0, mu * t) for (st, sh), (mu, t, rho) in sorted(seen.items())]
    return ["For scale, the μ of each composition at the wavelength and the μ·t_min it gives "
            "with each crystal as drawn: " + "; ".join(parts) + ". The grid's μ·t_min values "
            "stand for the same shapes with heavier compositions, longer wavelengths or larger "
            "crystals.", ""]


def results(records, timing, plot_name, heldout_records=()):
    cases = group_cases(records)
    main = [c for c in cases if not c.bias_test]
    grid = records[0]["grid"] if records else "?"
    out = ["# Does the correction make a structure better?", "",
           "Written by `validation/run.sh` (grid `%s`, %d cases, %d records); do not edit by hand."
           % (grid, len(cases), len(records)), ""]
    with open(os.path.join(os.path.dirname(__file__), "method.md")) as f:
        out.append(f.read())
    out += composition_lines(main)
    out += ["## Advice", ""] + advice(cases) + [""]
    out += ["## Headline rows", "",
            "Means over the structures and crystals of the grid. |ΔU| and position error are "
            "those of the anisotropic refinement against the corrected data, divided by those "
            "of the anisotropic refinement against the uncorrected data (below 1: better). "
            "wR2 is against the data refined. The shares are those of the whole data set.", ""]
    for mt in (0.5, 1.5):
        for geometry in GEOMETRIES:
            out += headline_table(main, mt, geometry)
    out += ["## The removed share against μ·t", "", "![share removed](%s)" % plot_name, ""]
    out += ["## Model bias: a left-out atom", "",
            "One O or N atom left out of the model from the start; the value of the "
            "difference map (e/Å³) at its true site after the anisotropic refinement, "
            "without correction, and as a ratio after each correction (velor fitted to the "
            "incomplete model) and after the ideal one. A ratio below that of the ideal "
            "correction means the correction has absorbed part of the missing atom.", ""]
    out += bias_table(cases)
    out += ["## Every case", "",
            "Ratios to the uncorrected anisotropic refinement of the same case; shares "
            "with noise.", ""]
    out += case_table(main)
    out += ["## Advice and warnings against the truth", ""]
    out += calibrate.section(calibrate.units(records), calibrate.units(heldout_records))
    out += ["## Run times", ""] + timing_lines(timing, cases)
    return "\n".join(out)


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    if len(argv) not in (2, 3):
        sys.exit("usage: python3 -m velorval.report OUT_DIR RESULTS.md [HELDOUT_OUT_DIR]")
    out_dir, target = argv[:2]
    records, timing = load(out_dir)
    heldout = load(argv[2])[0] if len(argv) == 3 else []
    plot_name = os.path.splitext(os.path.basename(target))[0].lower() + "-share.svg"
    plot(group_cases(records), os.path.join(os.path.dirname(target) or ".", plot_name))
    with open(target, "w") as f:
        f.write(results(records, timing, plot_name, heldout))
    return 0


if __name__ == "__main__":
    sys.exit(main())
