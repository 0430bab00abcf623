"""Model bias: the peak of a left-out atom in the difference map."""

import math

from cctbx.array_family import flex


def difference_peak(structure, observations, scale, site_frac, resolution_factor=1 / 4.0):
    """Value (e/Angstrom^3) at site_frac of the map with coefficients
    (|Fo| - |Fc|) exp(i phi_c): |Fo| = sqrt(max(Fo^2, 0) / k) on the scale of
    the model, Friedel mates averaged."""
    obs = observations.average_bijvoet_mates() if observations.anomalous_flag() else observations
    f_calc = obs.structure_factors_from_scatterers(structure, algorithm="direct").f_calc()
    f_obs = flex.sqrt(flex.max(obs.data(), flex.double(obs.size(), 0.0)) / scale)
    coefficients = f_calc.customized_copy(
        data=flex.polar(f_obs - flex.abs(f_calc.data()), f_calc.phases().data()))
    fft = coefficients.fft_map(resolution_factor=resolution_factor)
    fft.apply_volume_scaling()
    m = fft.real_map_unpadded()
    return float(m.eight_point_interpolation(site_frac)), float(
        math.sqrt(flex.mean(flex.pow2(m.as_1d()))))
