"""Beam directions of each reflection in the crystal's Cartesian frame.

For a reflection with unit scattering vector h and Bragg angle theta, the
incident and diffracted beams are s0 = -sin(theta) h + cos(theta) e and
s1 = sin(theta) h + cos(theta) e, with e a unit vector normal to h; turning e
about h is the azimuth psi.  In four-circle bisecting geometry the mounting
(phi) axis p lies in the plane of h and the omega axis, so e is normal to both
h and p: psi = 0 is e = p x h / |p x h|.

Replacing e by -e gives s0' = -s1 and s1' = -s0: the incident and diffracted
paths change places (reciprocity), so l_in + l_out is the same at every point
and psi and psi + 180 degrees give the same transmission, for any shape.  The
K azimuths of an average are therefore spread over half a turn.  (-h inverts
both beams instead, which gives the same transmission only for a crystal with
a centre of symmetry.)
"""

import math

import numpy as np


def scattering_vectors(indices, fractionalization):
    """Cartesian reciprocal vectors h^T F (1/Angstrom) of Miller indices."""
    F = np.asarray(fractionalization, dtype=float).reshape(3, 3)
    return np.asarray(indices, dtype=float) @ F


def beam_directions(indices, fractionalization, wavelength, mount_axis, psi):
    """(s0, s1) for every reflection at azimuth psi (radians): two arrays
    (n, 3) of unit vectors."""
    hv = scattering_vectors(indices, fractionalization)
    dstar = np.linalg.norm(hv, axis=1)
    h = hv / dstar[:, None]
    sin_t = wavelength * dstar / 2
    cos_t = np.sqrt(1 - sin_t ** 2)
    p = np.asarray(mount_axis, dtype=float)
    p = p / np.linalg.norm(p)
    e = np.cross(p, h)
    norm = np.linalg.norm(e, axis=1)
    # A scattering vector along the mounting axis: any normal will do.
    along = norm < 1e-9
    if np.any(along):
        other = np.array([1.0, 0.0, 0.0]) if abs(p[0]) < 0.9 else np.array([0.0, 1.0, 0.0])
        e[along] = np.cross(other, h[along])
        norm[along] = np.linalg.norm(e[along], axis=1)
    e /= norm[:, None]
    if psi:
        f = np.cross(h, e)
        e = math.cos(psi) * e + math.sin(psi) * f
    s0 = -sin_t[:, None] * h + cos_t[:, None] * e
    s1 = sin_t[:, None] * h + cos_t[:, None] * e
    return s0, s1


def azimuths(k):
    """K azimuths spread evenly over half a turn (see the module comment)."""
    return [math.pi * i / k for i in range(k)]
