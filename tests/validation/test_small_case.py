"""One small case of the validation harness, end to end, with the velor
program given in VELOR_PROGRAM: what must hold if the harness, velor's
files and their reading by cctbx are right."""

import glob
import os
import sys
import tempfile
import unittest

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "validation"))
try:
    from velorval import case, grid, measures, shelxfiles  # noqa: E402
except ImportError as e:
    sys.exit("%s: %s (install python3-cctbx; run with /usr/bin/python3)" % (__file__, e))

VELOR = os.environ.get("VELOR_PROGRAM", "build/velor")


class SmallCase(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        the_case = grid.cases(grid.SMALL, geometries=("bisecting",))[0]
        cls.runner = case.CaseRunner(the_case, VELOR, cls.tmp.name)
        cls.records = cls.runner.run()

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def rows(self, **where):
        return [r for r in self.records if all(r.get(k) == v for k, v in where.items())]

    def test_every_velor_run_succeeded(self):
        runs = self.rows(correction="velor")
        self.assertEqual(len(runs), 8)  # four fit types, on the refined and on the true Fc^2
        for r in runs:
            self.assertEqual(r["velor_exit"], 0, r["velor_stderr"])
            self.assertIsNotNone(r["velor_json"])

    def test_ideal_correction(self):
        # Dividing the noise-free intensities by the true A leaves K Fc^2:
        # none of the transmission's spread is left.
        r = self.runner
        ratio = r.true_i / r.A / r.fc_sq_true
        self.assertLess(np.std(np.log(ratio)), 1e-9)
        self.assertAlmostEqual(measures.log_spread_share(r.A, r.true_i / r.fc_sq_true), 1.0, places=9)
        # Refined against Fo^2 / A with the true weights, the model fits to
        # within the noise.
        ideal = self.rows(correction="ideal")[0]
        self.assertAlmostEqual(ideal["gof"], 1.0, delta=0.05)

    def test_velor_on_the_true_fc2_of_a_bisecting_plate(self):
        # The scale model can represent at least half of the log-spread of a
        # plate's transmission in bisecting geometry, when it is fitted to
        # the true Fc^2 (without noise and with it).
        for r in self.rows(stage="truth", fit="C"):
            self.assertGreaterEqual(r["share_removed_noise_free"], 0.5)
            self.assertGreaterEqual(r["share_removed"], 0.5)

    def test_cctbx_reads_every_corrected_file(self):
        cs = self.runner.truth.crystal_symmetry()
        n = len(self.runner.indices)
        hkls = sorted(glob.glob(os.path.join(self.tmp.name, "**", "sx.hkl"), recursive=True))
        self.assertEqual(len(hkls), 16)  # 4 fits x (refined, noise-free, true Fc^2, its noise-free)
        for path in hkls:
            data = shelxfiles.read_corrected_hkl(path, cs)
            self.assertEqual(data.size(), n, path)
            self.assertTrue(np.all(np.isfinite(data.data().as_numpy_array())), path)
            self.assertTrue(np.all(data.sigmas().as_numpy_array() > 0), path)
            model = shelxfiles.read_instructions(path[:-4] + ".ins")
            self.assertEqual(model.scatterers().size(), self.runner.truth.scatterers().size())
            self.assertEqual(model.unit_cell().parameters(),
                             self.runner.truth.unit_cell().parameters())


if __name__ == "__main__":
    unittest.main()
