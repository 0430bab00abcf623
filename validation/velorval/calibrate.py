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

from .report import FITS, HARMS, HELPS

# |dU| ratios (to the uncorrected anisotropic refinement) closer than this to
# the best one count as a tie, and the position error decides.  Refining the
# same data from another start moves a ratio by about 0.01-0.02: a smaller
# difference says nothing about the fits.
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
        (rule_fewest_within, [0.0, 0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1]),
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


# A warning fires when its figure reaches the threshold:
# (name, the JSON figure it reads, figure(summary, fit), candidate thresholds)
WARNINGS = (
    ("poorly determined", "trust.uncertainty.directions_sigma_s_over_s_max",
     lambda s, fit: s["trust"]["uncertainty"]["directions_sigma_s_over_s_max"],
     [0.01, 0.02, 0.03, 0.05, 0.07, 0.1, 0.15, 0.2, 0.3, 0.5]),
    ("no gain on left-out reflections",
     "trust.fit_types[fit].cross_validated.r_after / trust.r_before", cv_gain,
     [0.9, 0.95, 0.97, 0.98, 0.99, 1.0, 1.01, 1.02]),
    ("mostly displacement-like", "trust.fit_types[fit].displacement.share",
     lambda s, fit: share(s["trust"], fit),
     [0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 0.95]),
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


def rule_lines(main_units, held_units):
    lines = ["| rule | threshold (set on main) | main: exact | main: within tolerance "
             "| leave one structure out: within tolerance | held-out: exact "
             "| held-out: within tolerance |", "|---|---|---|---|---|---|---|"]
    for name, (rule, params) in RULES.items():
        p = choose_param(rule, params, main_units)
        e, w, n = score(rule, p, main_units)
        _, lw, ln = leave_one_group_out(rule, params, main_units)
        he, hw, hn = score(rule, p, held_units)
        lines.append("| %s | %s | %s | %s | %s | %s | %s |" % (
            name, "—" if p is None else "%g" % p, pct(e, n), pct(w, n), pct(lw, ln),
            pct(he, hn), pct(hw, hn)))
    return lines + [""]


def warning_lines(main_units, held_units):
    lines = ["| warning | figure | threshold | main: helpful | useless | harmful "
             "| held-out: helpful | useless | harmful |", "|---|---|---|---|---|---|---|---|---|"]
    for name, key, figure, candidates in WARNINGS:
        t = choose_threshold(figure, candidates, main_units)
        if t is None:
            lines.append("| %s | `%s` | none of %s spares the helpful runs | | | | | | |" % (
                name, key, candidates))
            continue
        cells = []
        for us in (main_units, held_units):
            f = firing(figure, t, us)
            cells += ["%d of %d" % f[c] for c in CLASSES]
        lines.append("| %s | `%s` | ≥ %g | %s |" % (name, key, t, " | ".join(cells)))
    return lines + [""]


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    if not 1 <= len(argv) <= 2:
        sys.exit("usage: python3 -m velorval.calibrate OUT [HELDOUT_OUT]")
    grids = []
    for out_dir in argv:
        with open(out_dir + "/records.jsonl") as f:
            grids.append(units([json.loads(line) for line in f if line.strip()]))
    main_units, held_units = grids[0], (grids[1] if len(grids) > 1 else [])
    print("\n".join(truth_lines([("main", main_units), ("held-out", held_units)])))
    print("\n".join(rule_lines(main_units, held_units)))
    print("\n".join(warning_lines(main_units, held_units)))
    for name, key, figure, _ in WARNINGS:
        print(name, figure_range(figure, main_units), figure_range(figure, held_units))
    return 0


if __name__ == "__main__":
    sys.exit(main())
