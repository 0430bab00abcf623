"""python3 -m velorval.calibrate OUT [HELDOUT_OUT]: the advice rule and the
thresholds of the warnings, set on a grid against the truth and checked on
a held-out grid.

A unit is one case after one refinement stage: velor was run there with each
fit type, and the anisotropic refinement against each corrected data set was
compared with the truth.  The truth says which fit was best for that unit;
the rule sees only what velor reports in one run (the "trust" block of its
--json summary: every fit type's cross-validated R, sigma(S)/S, displacement-
like share, ...) and has to name that fit.  Every velor run is also classed
helpful, useless or harmful, and each warning is judged on how often it
fires on runs of each class."""

import json
import sys
from collections import Counter, defaultdict
from dataclasses import dataclass, field

from .velor import FIT_TYPES as FITS

HELPS, HARMS = 0.95, 1.05  # a ratio to the uncorrected below HELPS improves, above HARMS harms

# |dU| ratios (to the uncorrected anisotropic refinement) closer than this to
# the best one count as a tie, and the position error decides.  The cubic,
# quadratic and linear fits, whose S are nearly alike, differ by up to about
# this much in nine units of ten (RESULTS.md gives the spread measured).
TOL_U = 0.03
CLASSES = ("helpful", "useless", "harmful")


@dataclass
class Unit:
    case: str
    structure: str
    shape: str
    stage: str
    truth: dict = field(default_factory=dict)      # fit -> (|dU| ratio, position ratio)
    summaries: dict = field(default_factory=dict)  # fit -> velor's --json summary

    @property
    def group(self):
        return self.structure

    @property
    def trust(self):
        """The trust block; every run of the unit reports the same figures
        for the four fit types, so the first run that succeeded serves."""
        for fit in FITS:
            s = self.summaries.get(fit)
            if s and s.get("trust"):
                return s["trust"]
        return None


def units(records):
    by = defaultdict(dict)
    for r in records:
        by[r["case"]][(r["stage"], r["correction"], r["fit"])] = r
    out = []
    for case, rows in sorted(by.items()):
        base = rows.get(("aniso", "none", None))
        if not base:
            continue
        for stage in ("iso", "aniso"):
            u = Unit(case, base["structure"], base["shape"], stage)
            for fit in FITS:
                row = rows.get((stage, "velor", fit))
                if not row or row.get("velor_exit") != 0 or "mean_abs_du" not in row:
                    continue
                u.truth[fit] = (row["mean_abs_du"] / base["mean_abs_du"],
                                row["position_error"] / base["position_error"])
                u.summaries[fit] = row["velor_json"]
            if u.truth:
                out.append(u)
    return out


# ---------------------------------------------------------------- the truth

def best_fit(unit):
    """(the best fit, the fits within TOL_U of the best |dU|): |dU| first,
    then the position error among the fits whose |dU| ties."""
    lowest = min(du for du, _ in unit.truth.values())
    near = [f for f in FITS if f in unit.truth and unit.truth[f][0] <= lowest + TOL_U]
    best = min(near, key=lambda f: (unit.truth[f][1], unit.truth[f][0]))
    return best, set(near)


def verdict_class(du, dx):
    if du > HARMS or dx > HARMS:
        return "harmful"
    if du < HELPS or dx < HELPS:
        return "helpful"
    return "useless"


# ---------------------------------------------------------------- the figures

def fit_figures(trust, fit):
    for entry in trust["fit_types"]:
        if entry["letter"] == fit:
            return entry
    raise KeyError(fit)


def cv_r(trust, fit):
    cv = fit_figures(trust, fit).get("cross_validated")
    return cv["r_after"] if cv and cv.get("r_after") is not None else None


def share(trust, fit):
    d = fit_figures(trust, fit).get("displacement")
    return d.get("share") if d else None


# ---------------------------------------------------------------- the rules

def rule_always(letter):
    return lambda trust, _: letter


def rule_lowest_cv(trust, _):
    scored = [(cv_r(trust, f), i, f) for i, f in enumerate(FITS) if cv_r(trust, f) is not None]
    return min(scored)[2] if scored else None


def rule_fewest_within(trust, x):
    """The fit with the fewest parameters whose cross-validated R after is
    within a factor 1 + x of the lowest."""
    rs = {f: cv_r(trust, f) for f in FITS if cv_r(trust, f) is not None}
    if not rs:
        return None
    low = min(rs.values())
    return next(f for f in reversed(FITS) if f in rs and rs[f] <= low * (1 + x))


# name -> (rule, candidate values of its threshold; None: no threshold)
RULES = {
    "always F": (rule_always("F"), [None]),
    "always L": (rule_always("L"), [None]),
    "always C": (rule_always("C"), [None]),
    "lowest cross-validated R": (rule_lowest_cv, [None]),
    "fewest parameters with cross-validated R within x of the lowest":
        (rule_fewest_within, [0.0, 0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.3, 0.5]),
}


def score(rule, param, units_):
    """(exact hits, hits within tolerance, units) of a rule on units that
    carry the trust block."""
    exact = within = n = 0
    for u in units_:
        if u.trust is None:
            continue
        best, near = best_fit(u)
        pick = rule(u.trust, param)
        n += 1
        exact += pick == best
        within += pick in near
    return exact, within, n


def choose_param(rule, params, units_):
    """The threshold with most hits within tolerance, then most exact hits;
    the first listed wins a tie."""
    def key(p):
        exact, within, _ = score(rule, p, units_)
        return within, exact, -params.index(p)
    return max(params, key=key)


def leave_one_group_out(rule, params, units_):
    """Threshold chosen without the group (structure), scored on it."""
    exact = within = n = 0
    for g in sorted(set(u.group for u in units_)):
        train = [u for u in units_ if u.group != g]
        test = [u for u in units_ if u.group == g]
        e, w, k = score(rule, choose_param(rule, params, train), test)
        exact, within, n = exact + e, within + w, n + k
    return exact, within, n


# ---------------------------------------------------------------- the warnings

def cv_gain(summary, fit):
    """Cross-validated R after over R before of the run's fit (>= 1: the
    correction does nothing for reflections it was not fitted to)."""
    trust = summary["trust"]
    r = cv_r(trust, fit)
    return None if r is None or not trust.get("r_before") else r / trust["r_before"]


SIGMA_CANDIDATES = [0.01, 0.02, 0.03, 0.05, 0.07, 0.1, 0.15, 0.2, 0.3, 0.5, 1.0, 2.0]

# A warning fires when its figure reaches the threshold: (name, the JSON
# figure it reads, figure(summary, fit), candidate thresholds, thresholds
# shown beside the one chosen).  sigma(S)/S is given at its largest and its
# median over the sampled directions: the largest runs away wherever S
# comes near zero in one direction.
WARNINGS = (
    ("poorly determined", "trust.uncertainty.directions_sigma_s_over_s_max",
     lambda s, fit: s["trust"]["uncertainty"]["directions_sigma_s_over_s_max"],
     SIGMA_CANDIDATES, []),
    ("poorly determined", "trust.uncertainty.directions_sigma_s_over_s_median",
     lambda s, fit: s["trust"]["uncertainty"]["directions_sigma_s_over_s_median"],
     SIGMA_CANDIDATES, []),
    ("no gain on left-out reflections",
     "trust.fit_types[fit].cross_validated.r_after / trust.r_before", cv_gain,
     [0.9, 0.95, 0.97, 0.98, 0.99, 1.0, 1.01, 1.02, 1.05], [1.0]),
    ("mostly displacement-like", "trust.fit_types[fit].displacement.share",
     lambda s, fit: share(s["trust"], fit),
     [0.3, 0.4, 0.5, 0.55, 0.6, 0.65, 0.7, 0.75, 0.8, 0.9, 0.95], [0.5]),
)


def run_views(units_):
    """(fit, class, summary) of every velor run that has a trust block."""
    for u in units_:
        for fit, (du, dx) in u.truth.items():
            s = u.summaries[fit]
            if s.get("trust"):
                yield fit, verdict_class(du, dx), s


def firing(figure, threshold, units_):
    """{class: (runs that warn, runs)}; a figure that cannot be had does not warn."""
    fired, total = Counter(), Counter()
    for fit, cls, s in run_views(units_):
        v = figure(s, fit)
        total[cls] += 1
        fired[cls] += v is not None and v >= threshold
    return {c: (fired[c], total[c]) for c in CLASSES}


def choose_threshold(figure, candidates, units_):
    """The lowest candidate at which no helpful run warns (helpful runs must
    not warn); None when every candidate warns on one."""
    for t in candidates:
        if firing(figure, t, units_)["helpful"][0] == 0:
            return t
    return None


def figure_range(figure, units_):
    """{class: (lowest, highest)} of a figure over the runs of each class."""
    vals = defaultdict(list)
    for fit, cls, s in run_views(units_):
        v = figure(s, fit)
        if v is not None:
            vals[cls].append(v)
    return {c: (min(v), max(v)) for c, v in vals.items()}


# ---------------------------------------------------------------- the report

def pct(k, n):
    return "%d of %d (%.0f %%)" % (k, n, 100.0 * k / n) if n else "—"


def truth_lines(grids):
    lines = ["| grid | stage | units | best fit: C | Q | L | F | flat within %.2f of the best "
             "\\|ΔU\\| |" % TOL_U, "|---|---|---|---|---|---|---|---|"]
    for name, us in grids:
        for stage in ("iso", "aniso"):
            sel = [u for u in us if u.stage == stage]
            best = Counter(best_fit(u)[0] for u in sel)
            lines.append("| %s | %s | %d | %s | %d |" % (
                name, stage, len(sel), " | ".join(str(best[f]) for f in FITS),
                sum("F" in best_fit(u)[1] for u in sel)))
    return lines + [""]


def rule_results(main_units, held_units):
    """Per rule: (name, threshold, main, leave-one-structure-out, held-out),
    each an (exact, within, units) triple."""
    out = []
    for name, (rule, params) in RULES.items():
        p = choose_param(rule, params, main_units)
        out.append((name, p, score(rule, p, main_units),
                    leave_one_group_out(rule, params, main_units), score(rule, p, held_units)))
    return out


def chosen_rule(results):
    """The rule with most hits within tolerance on the main grid, then most
    exact hits; the first listed (the simplest) wins a tie."""
    return max(results, key=lambda r: (r[2][1], r[2][0], -results.index(r)))


def rule_lines(results):
    lines = ["| rule | threshold (set on main) | main: exact | main: within tolerance "
             "| leave one structure out: exact | within tolerance | held-out: exact "
             "| held-out: within tolerance |", "|---|---|---|---|---|---|---|---|"]
    for name, p, (e, w, n), (le, lw, ln), (he, hw, hn) in results:
        lines.append("| %s | %s | %s | %s | %s | %s | %s | %s |" % (
            name, "—" if p is None else "%g" % p, pct(e, n), pct(w, n), pct(le, ln),
            pct(lw, ln), pct(he, hn), pct(hw, hn)))
    return lines + [""]


def class_lines(grids):
    lines = ["| grid | stage | fit | helpful | useless | harmful |", "|---|---|---|---|---|---|"]
    for name, us in grids:
        for stage in ("iso", "aniso"):
            for fit in FITS:
                k = Counter(verdict_class(*u.truth[fit]) for u in us
                            if u.stage == stage and fit in u.truth)
                lines.append("| %s | %s | %s | %s |" % (name, stage, fit,
                                                        " | ".join(str(k[c]) for c in CLASSES)))
    return lines + [""]


def warning_rows(main_units, recommend):
    """(name, figure key, figure, threshold) of every warning, thresholds set
    on the main grid; the last fires when the rule recommends another fit."""
    rows = [(name, key, figure, choose_threshold(figure, candidates, main_units), shown)
            for name, key, figure, candidates, shown in WARNINGS]
    differs = lambda s, fit: float(recommend(s["trust"]) != fit)  # noqa: E731
    return rows + [("recommended fit differs", "trust.recommended_fit", differs, 1.0, [])]


def firing_cells(figure, t, grids):
    cells = []
    for us in grids:
        f = firing(figure, t, us)
        cells += ["%d of %d" % f[c] for c in CLASSES]
    return " | ".join(cells)


def warning_lines(rows, main_units, held_units):
    grids = (main_units, held_units)
    lines = ["| warning | figure | fires at | main: helpful | useless | harmful "
             "| held-out: helpful | useless | harmful |", "|---|---|---|---|---|---|---|---|---|"]
    for name, key, figure, t, shown in rows:
        if t is None:
            lines.append("| %s | `%s` | no candidate spares every helpful run |%s" % (
                name, key, " |" * 6))
        elif name == "recommended fit differs":
            lines.append("| %s | `%s` | ≠ the run's fit | %s |" % (
                name, key, firing_cells(figure, t, grids)))
        else:
            lines.append("| %s | `%s` | **≥ %g** | %s |" % (
                name, key, t, firing_cells(figure, t, grids)))
        for other in shown:
            lines.append("| | | (≥ %g) | %s |" % (other, firing_cells(figure, other, grids)))
    chosen = [(fig, t) for _, _, fig, t, _ in rows[:-1] if t is not None]
    any_fires = lambda s, fit: max(  # noqa: E731
        float(v is not None and v >= t) for v, t in ((fig(s, fit), t) for fig, t in chosen))
    lines.append("| any of the above but the last | | | %s |" % firing_cells(any_fires, 1.0, grids))
    missed = []
    for label, us in (("main", main_units), ("held-out", held_units)):
        k = Counter((u.stage, fit) for u in us for fit, (du, dx) in u.truth.items()
                    if verdict_class(du, dx) == "harmful" and not any_fires(u.summaries[fit], fit))
        if k:
            missed.append("%s: %s" % (label, ", ".join(
                "%d %s runs after the %s stage" % (n, f, st) for (st, f), n in sorted(k.items()))))
    silent = [key for _, key, fig, t, _ in rows[:-1] if t is not None
              and not any(firing(fig, t, us)[c][0] for us in grids for c in CLASSES)]
    if silent:
        lines += ["", "At the thresholds that spare the helpful runs, %s warn%s on no run of "
                  "either grid: what harms a structure here is S taking up what the refined "
                  "model lacks (the displacement the atoms share, after the isotropic stage; "
                  "the left-out atom), not noise or over-fit, so these thresholds only keep the "
                  "warnings quiet where the correction helps." % (
                      " and ".join("`%s`" % k for k in silent), "" if len(silent) > 1 else "s")]
    lines += ["", "Harmful runs none of them catches (the flat fit's displacement-like share is 0 "
              "by its form): %s." % ("; ".join(missed) or "none")]
    lines += ["", "The range of each figure over the runs of each class (main grid; held-out):", ""]
    for name, key, figure, _, _ in rows[:-1]:
        parts = []
        for us in grids:
            r = figure_range(figure, us)
            parts.append(", ".join("%s %.3g–%.3g" % (c, *r[c]) for c in CLASSES if c in r))
        lines.append("- `%s`: %s; %s." % (key, parts[0] or "—", parts[1] or "—"))
    return lines + [""]


def alike_spread(units_):
    """Median and 90th percentile over units of the spread of the |dU| ratio
    among the cubic, quadratic and linear fits."""
    spreads = sorted(max(v) - min(v) for v in
                     ([u.truth[f][0] for f in "CQL" if f in u.truth] for u in units_) if v)
    return spreads[len(spreads) // 2], spreads[int(0.9 * (len(spreads) - 1))]


def chi_ratio_range(units_):
    """Lowest and highest over units of the flat fit's cross-validated
    chi^2/n over the lowest of the four."""
    ratios = []
    for u in units_:
        chi = [fit_figures(u.trust, f)["cross_validated"]["chi_squared_per_reflection"]
               for f in FITS if fit_figures(u.trust, f).get("cross_validated")]
        flat = fit_figures(u.trust, "F").get("cross_validated")
        if chi and flat:
            ratios.append(flat["chi_squared_per_reflection"] / min(chi))
    return min(ratios), max(ratios)


def accepted_range(units_):
    n = [s["reflections"]["accepted"] for u in units_ for s in u.summaries.values()]
    return min(n), max(n)


def section(main_units, held_units):
    """The part of RESULTS.md on the advice rule and the warnings."""
    grids = [("main", main_units), ("held-out", held_units)]
    results = rule_results(main_units, held_units)
    name, p, (e, w, n), _, (he, hw, hn) = chosen_rule(results)
    rule = RULES[name][0]
    recommend = lambda trust: rule(trust, p)  # noqa: E731
    lines = [
        "A unit is one case after one refinement stage: velor run there with each fit type, "
        "and the anisotropic refinement against each corrected data set compared with the "
        "truth. The best fit of a unit has the lowest |ΔU| ratio; fits within %.2f of it tie, "
        "and among them the lowest position ratio decides (the cubic, quadratic and linear "
        "fits, whose S are nearly alike, differ in |ΔU| ratio by %.3f in the median unit of "
        "the main grid and by %.3f at the 90th percentile). A rule is right *exactly* when it "
        "names the best fit, *within tolerance* when its fit's |ΔU| ratio is within %.2f of "
        "the lowest. A rule sees only the trust block of one velor run (every fit type's "
        "cross-validated R, σ(S)/S, displacement-like share); it cannot see the stage." % (
            TOL_U, *alike_spread(main_units), TOL_U), "",
    ] + truth_lines(grids) + [
        "Thresholds are set on the main grid (most hits within tolerance, then exact hits); "
        "*leave one structure out* sets them on the main grid's other structure and scores "
        "the one left out; the held-out grid is scored with the main grid's threshold.", "",
    ] + rule_lines(results) + [
        "**The rule: %s%s.** Right on the main grid %s exactly, %s within tolerance; on the "
        "held-out grid %s exactly, %s within tolerance." % (
            name, "" if p is None else " (x = %g)" % p, pct(e, n), pct(w, n), pct(he, hn),
            pct(hw, hn)),
    ]
    if p is None and name.startswith("always"):
        all_units = main_units + held_units
        flat_lowest = sum(min(u.truth, key=lambda f: u.truth[f][0]) == "F" for u in all_units)
        lo, hi = chi_ratio_range(all_units)
        lines.append("No figure velor reports beats the constant choice. The flat fit has the "
                     "lowest |ΔU| ratio of the four in %d of the %d units of both grids, where "
                     "absorption is the only systematic error and the data sets hold %d to %d "
                     "accepted reflections; yet its cross-validated χ²/n is %.2f to %.2f times "
                     "the lowest of the four, so a rule that trusts the fit to left-out "
                     "reflections picks the fits that re-fit U. The grid cannot tell whether a "
                     "data-driven rule would do better where the terms in sin²θ model "
                     "something real that the refined U do not hold." % (
                         flat_lowest, len(all_units), *accepted_range(all_units), lo, hi))
    ships = hn and he / hn >= 0.8
    lines += ["", "**`--fit auto`** needs the rule right (exactly) on at least 80 %% of the "
              "held-out units: %s (within tolerance %s), so auto %s%s." % (
                  pct(he, hn), pct(hw, hn), "ships" if ships else "does not ship",
                  " (and means the flat fit on every data set)" if ships and p is None
                  and name.startswith("always") else ""), "",
              "Every velor run is *helpful* when neither ratio exceeds %.2f and one is below "
              "%.2f, *harmful* when either exceeds %.2f, *useless* otherwise:" % (
                  HARMS, HELPS, HARMS), ""]
    lines += class_lines(grids)
    lines += ["Each warning's threshold is the lowest candidate at which no helpful run of the "
              "main grid warns (helpful runs must not warn); the table counts the runs that "
              "warn of each class.", ""]
    lines += warning_lines(warning_rows(main_units, recommend), main_units, held_units)
    return lines


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    if not 1 <= len(argv) <= 2:
        sys.exit("usage: python3 -m velorval.calibrate OUT [HELDOUT_OUT]")
    grids = []
    for out_dir in argv:
        with open(out_dir + "/records.jsonl") as f:
            grids.append(units([json.loads(line) for line in f if line.strip()]))
    main_units, held_units = grids[0], (grids[1] if len(grids) > 1 else [])
    print("\n".join(section(main_units, held_units)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
