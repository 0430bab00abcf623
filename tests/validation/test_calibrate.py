"""The truth's best fit, the classes of runs, the rules and the choice of a
warning's threshold, on small made-up units."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "validation"))
from velorval import calibrate  # noqa: E402


def trust(cv_r=None, shares=None, sigma_median=0.01):
    """A trust block with the given cross-validated R after per fit (None:
    singular folds) and displacement-like shares."""
    cv_r, shares = cv_r or {}, shares or {}
    return {"r_before": 0.10,
            "uncertainty": {"directions_sigma_s_over_s_median": sigma_median},
            "fit_types": [{"letter": f,
                           "cross_validated": None if cv_r.get(f) is None else
                           {"r_after": cv_r[f], "chi_squared_per_reflection": 1.0},
                           "displacement": {"share": shares.get(f, 0.0)}}
                          for f in "CQLF"]}


def unit(truth, **kw):
    u = calibrate.Unit("case", "s", "plate", "aniso", truth=truth)
    u.summaries = {f: {"trust": trust(**kw), "reflections": {"accepted": 100}} for f in truth}
    return u


class TruthAndClasses(unittest.TestCase):
    def test_best_fit_breaks_ties_in_du_by_positions(self):
        tol = calibrate.TOL_U
        cases = [  # truth, best, fits tied with the best |dU|
            ({"C": (0.9, 0.6), "Q": (0.9, 0.6), "L": (0.9, 0.6), "F": (0.7, 0.9)}, "F", {"F"}),
            ({"C": (0.72, 0.6), "Q": (0.71, 0.5), "L": (0.9, 0.4), "F": (0.7, 0.9)}, "Q",
             {"C", "Q", "F"}),
            ({"C": (0.7 + tol, 0.5), "F": (0.7, 0.9)}, "C", {"C", "F"}),  # the edge ties
            ({"Q": (1.2, 1.0), "F": (1.1, 1.3)}, "F", {"F"}),  # a refused run is absent
        ]
        for truth, best, near in cases:
            self.assertEqual(calibrate.best_fit(unit(truth)), (best, near), truth)

    def test_classes_at_their_edges(self):
        for du, dx, cls in [(0.94, 1.0, "helpful"), (0.95, 0.95, "useless"),
                            (1.05, 1.05, "useless"), (0.5, 1.051, "harmful"),
                            (1.06, 0.5, "harmful")]:
            self.assertEqual(calibrate.verdict_class(du, dx), cls, (du, dx))


class RulesAndThresholds(unittest.TestCase):
    def test_fewest_parameters_within_x_skips_singular_fits(self):
        t = trust(cv_r={"C": 0.050, "Q": 0.051, "L": None, "F": 0.056})
        for x, pick in [(0.0, "C"), (0.03, "Q"), (0.12, "F")]:
            self.assertEqual(calibrate.rule_fewest_within(t, x), pick, x)
        self.assertEqual(calibrate.rule_lowest_cv(t, None), "C")
        self.assertIsNone(calibrate.rule_lowest_cv(trust(), None))

    def test_threshold_is_the_lowest_that_spares_every_helpful_run(self):
        units = [unit({"C": (0.8, 0.8)}, shares={"C": 0.62}),   # helpful
                 unit({"C": (1.3, 1.0)}, shares={"C": 0.90}),   # harmful
                 unit({"C": (1.0, 1.0)}, shares={"C": 0.64})]   # useless
        figure = calibrate.WARNINGS[3][2]
        t = calibrate.choose_threshold(figure, [0.5, 0.6, 0.63, 0.7], units)
        self.assertEqual(t, 0.63)
        self.assertEqual(calibrate.firing(figure, t, units),
                         {"helpful": (0, 1), "useless": (1, 1), "harmful": (1, 1)})
        self.assertIsNone(calibrate.choose_threshold(figure, [0.5, 0.6], units))


if __name__ == "__main__":
    unittest.main()
