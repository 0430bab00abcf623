"""Observed intensities: I = K A E Fc^2 plus seeded Gaussian noise.

Error model (intensities in counts): sigma^2 = I + (0.02 I)^2 + 2^2, counting
statistics, a 2 % instability of the source and detector, and a background
of 2 counts; sigma is computed from the noise-free intensity, so that the
weights 1/sigma^2 are the true ones.  K puts the strongest reflection of the
unabsorbed data at 20,000 counts.  E is the optional extinction factor in
SHELXL's EXTI form, (1 + 0.001 x Fc^2 lambda^3 / sin 2theta)^(-1/2).
"""

import numpy as np

PEAK_COUNTS = 20000.0
RELATIVE_ERROR = 0.02
BACKGROUND_SIGMA = 2.0


def extinction_factor(fc_sq, sin_theta, wavelength, x):
    if not x:
        return np.ones_like(fc_sq)
    sin_2theta = 2 * sin_theta * np.sqrt(1 - sin_theta ** 2)
    return (1 + 0.001 * x * fc_sq * wavelength ** 3 / sin_2theta) ** -0.5


def sigma_of(intensity):
    i = np.maximum(intensity, 0.0)
    return np.sqrt(i + (RELATIVE_ERROR * i) ** 2 + BACKGROUND_SIGMA ** 2)


def observe(fc_sq, transmission, seed, extinction=None):
    """(I_true, I_observed, sigma, K) for the true Fc^2 and transmission A.
    `extinction` is None or the factor E per reflection."""
    fc_sq = np.asarray(fc_sq, dtype=float)
    k = PEAK_COUNTS / fc_sq.max()
    e = 1.0 if extinction is None else extinction
    true = k * np.asarray(transmission) * e * fc_sq
    sigma = sigma_of(true)
    rng = np.random.default_rng(seed)
    observed = true + rng.standard_normal(true.size) * sigma
    return true, observed, sigma, k
