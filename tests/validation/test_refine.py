"""The harness's refinement against data that differ from the model only by
an overall displacement: what a correction's displacement-like part does."""

import math
import os
import sys
import unittest

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "validation"))
try:
    from cctbx import adptbx  # noqa: E402
    from velorval import case, grid, refine  # noqa: E402
except ImportError as e:
    sys.exit("%s: %s (install python3-cctbx; run with /usr/bin/python3)" % (__file__, e))


class OverallDisplacement(unittest.TestCase):

    def test_a_small_overall_change_of_u_is_refined_from_the_true_model(self):
        # I = Fc^2 exp(-16 pi^2 dU s^2): every atom's U grows by dU along
        # each axis.  3e-4 A^2 is the size of a correction's effect at
        # mu t ~ 0.5; the refinement must follow it from a converged model
        # instead of stopping before its first cycle.
        small = grid.cases(grid.SMALL, geometries=("bisecting",))[0]
        truth, fc_sq = case.make_truth(small.structure, small.grid)
        s_sq = 0.25 / np.asarray(fc_sq.d_spacings().data()) ** 2
        du = 3e-4
        intensities = 1000 * fc_sq.data().as_numpy_array() * np.exp(-16 * math.pi ** 2 * du * s_sq)
        observations = case.intensity_array(fc_sq, intensities,
                                            np.sqrt(intensities) + 0.01 * intensities)
        result = refine.refine(truth, observations, anisotropic=True)
        uc = truth.unit_cell()
        grown = [np.mean(adptbx.u_star_as_u_cart(uc, a.u_star)[:3])
                 - np.mean(adptbx.u_star_as_u_cart(uc, b.u_star)[:3])
                 for a, b in zip(result.structure.scatterers(), truth.scatterers())]
        self.assertAlmostEqual(float(np.mean(grown)), du, delta=0.05 * du)
        self.assertLess(refine.position_error(result.structure, truth), 1e-4)


if __name__ == "__main__":
    unittest.main()
