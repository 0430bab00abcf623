"""The transmission integral against what is known exactly or tabulated."""

import math
import os
import sys
import unittest

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "validation"))
from velorval import crystal, geometry  # noqa: E402


def box(a, b, c, n=6):
    """A rectangular block with half-widths a, b, c (mm) along x, y, z."""
    return crystal.Polyhedron([[1, 0, 0], [-1, 0, 0], [0, 1, 0], [0, -1, 0], [0, 0, 1], [0, 0, -1]],
                              [a, a, b, b, c, c], n)


def beams(theta, normal=(0, 0, 1), along=(1, 0, 0)):
    """Incident and diffracted directions at Bragg angle theta, scattering
    vector along `normal`, both beams in the plane of `normal` and `along`."""
    n, e = np.array(normal, float), np.array(along, float)
    s0 = -math.sin(theta) * n + math.cos(theta) * e
    s1 = math.sin(theta) * n + math.cos(theta) * e
    return s0, s1


class TransmissionOfSimpleBodies(unittest.TestCase):

    def test_no_absorption_transmits_everything(self):
        plate = box(0.2, 0.1, 0.025)
        rng = np.random.default_rng(3)
        s0 = rng.standard_normal((20, 3))
        s0 /= np.linalg.norm(s0, axis=1)[:, None]
        s1 = rng.standard_normal((20, 3))
        s1 /= np.linalg.norm(s1, axis=1)[:, None]
        A = crystal.transmission(plate, s0, s1, [0.0, 1e-7])
        np.testing.assert_allclose(A, 1.0, atol=2e-7)

    def test_quadrature_weights_are_the_volume(self):
        # A block, and one cut by an oblique face through two of its edges' middles.
        self.assertAlmostEqual(box(0.2, 0.1, 0.025).volume, 0.4 * 0.2 * 0.05, places=12)
        cut = crystal.Polyhedron([[1, 0, 0], [-1, 0, 0], [0, 1, 0], [0, -1, 0], [0, 0, 1],
                                  [0, 0, -1], [1 / math.sqrt(2), 1 / math.sqrt(2), 0]],
                                 [1, 1, 1, 1, 1, 1, 0.0 + 1 / math.sqrt(2)], 4)
        self.assertAlmostEqual(cut.volume, 8 - 0.5 * 1 * 1 * 2, places=12)

    def test_slab_formulas(self):
        # A plate 2 mm wide and 0.01 mm thick is a slab for these paths.
        t, mu = 0.01, 50.0
        slab = box(1.0, 1.0, t / 2)
        for theta in (0.0, 0.2, 0.6):
            # Transmission (Laue) case: both beams cross the slab at theta to
            # its normal, l_in + l_out = t / cos(theta) at every point.
            s0, s1 = beams(theta, normal=(1, 0, 0), along=(0, 0, 1))
            A = crystal.transmission(slab, s0, s1, [mu])[0, 0]
            self.assertAlmostEqual(A, math.exp(-mu * t / math.cos(theta)), delta=2e-4)
        for theta in (0.3, 0.8, 1.4):
            # Reflection (Bragg) case: both beams on the same face, at theta
            # to it: A = (1 - exp(-2 mu t / sin theta)) sin(theta) / (2 mu t).
            s0, s1 = beams(theta)
            A = crystal.transmission(slab, s0, s1, [mu])[0, 0]
            x = 2 * mu * t / math.sin(theta)
            self.assertAlmostEqual(A / ((1 - math.exp(-x)) / x), 1.0, delta=0.005)

    def test_sphere_against_tables(self):
        # A* = 1/A of a sphere of radius R.  The values are those of the
        # theta = 0 and theta = 90 degree columns of the sphere table in
        # International Tables for Crystallography Vol. C, section 6.3.3
        # (Table 6.3.3.3, from Dwiggins, Acta Cryst. A31 (1975) 146, 395).
        # At these two angles the table's integral has closed forms, from
        # which the values here are computed to five figures: with x = 2 mu R,
        # A*(0) = x^3 / (3 (2 - exp(-x) (x^2 + 2x + 2))); with y = 4 mu R,
        # A*(90) = 4 mu R / (3 (1/2 - (1 - exp(-y) (1 + y)) / y^2)).
        table = {  # mu R: (A* at theta = 0, A* at theta = 90 degrees)
            0.5: (2.0755, 1.8966),
            1.0: (4.1238, 3.0083),
            2.0: (14.000, 5.5048),
            3.0: (38.378, 8.1127),
            5.0: (167.13, 13.400),
        }
        z = np.array([0.0, 0.0, 1.0])
        sphere = crystal.Sphere(1.0)
        for mu_r, (a0, a90) in table.items():
            forward = crystal.transmission(sphere, z, z, [mu_r])[0, 0]
            back = crystal.transmission(sphere, z, -z, [mu_r])[0, 0]
            self.assertAlmostEqual(1 / forward / a0, 1.0, delta=0.005, msg="muR %g, 0 deg" % mu_r)
            self.assertAlmostEqual(1 / back / a90, 1.0, delta=0.005, msg="muR %g, 90 deg" % mu_r)


class DiffractionGeometry(unittest.TestCase):
    F = np.diag([1 / 9.0, 1 / 11.5, 1 / 15.2])  # an orthorhombic cell

    def test_beams_obey_the_laue_condition(self):
        hkl = np.array([[1, 2, 3], [-4, 0, 7], [5, -6, 1], [0, 0, 2]])
        for psi in (0.0, 1.1):
            s0, s1 = geometry.beam_directions(hkl, self.F, 0.71073, (1, 0.2, 0), psi)
            np.testing.assert_allclose(np.linalg.norm(s0, axis=1), 1, atol=1e-12)
            np.testing.assert_allclose(np.linalg.norm(s1, axis=1), 1, atol=1e-12)
            np.testing.assert_allclose((s1 - s0) / 0.71073, hkl @ self.F, atol=1e-12)

    def test_reciprocity_and_friedel_mates(self):
        # Turning e by 180 degrees about h exchanges the incident and the
        # diffracted path (reciprocity): the same A whatever the shape.
        # -h inverts both beams, which gives the same A when the shape has a
        # centre of symmetry (to the accuracy of the quadrature, whose points
        # are not centrosymmetric).
        faces = [(1, 0, 0, 0.2), (-1, 0, 0, 0.2), (0, 1, 0, 0.05), (0, -1, 0, 0.05),
                 (0, 0, 1, 0.03), (0, 0, -1, 0.03)]
        block = crystal.Polyhedron.from_faces(faces, self.F, 5)
        cut = crystal.Polyhedron.from_faces(faces + [(1, 1, 1, 0.15)], self.F, 5)
        hkl = np.array([[1, 2, 3], [-4, 1, 7], [5, -6, 1]])

        def A(shape, indices, psi):
            s0, s1 = geometry.beam_directions(indices, self.F, 0.71073, (1, 0.2, 0), psi)
            return crystal.transmission(shape, s0, s1, [20.0])[0]

        for shape in (block, cut):
            np.testing.assert_allclose(A(shape, hkl, 0.4), A(shape, hkl, 0.4 + math.pi), rtol=1e-5)
        np.testing.assert_allclose(A(block, hkl, 0.0), A(block, -hkl, 0.0), rtol=2e-3)

if __name__ == "__main__":
    unittest.main()
