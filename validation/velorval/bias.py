"""Model bias: the peak of a left-out atom in the difference map."""

import math

from cctbx.array_family import flex


def difference_peak(structure, observations, scale, site_frac, resolution_factor=1 / 4.0):
    """Value (e/Angstrom^3) at site_frac of the map with coefficients
    (|Fo| - |Fc|) exp(i phi_c): |Fo| = sqrt(max(Fo^2, 0) / k) on the scale of
    the model, Friedel mates averaged."""
    obs = observations.average_bijvoet_mates() if observations.anomalous_flag() else observations
    f_calc = obs.structure_factors_from_scatterers(structure, algorithm="direct").f_calc()
    positive = obs.data().deep_copy().set_selected(obs.data() < 0, 0.0)
    f_obs = flex.sqrt(positive / scale)
    diff = f_obs - flex.abs(f_calc.data())
    phases = f_calc.phases().data()
    # A negative difference is a positive one with the phase turned by pi.
    phases.set_selected(diff < 0, phases.select(diff < 0) + math.pi)
    coefficients = f_calc.customized_copy(data=flex.polar(flex.abs(diff), phases))
    fft = coefficients.fft_map(resolution_factor=resolution_factor)
    fft.apply_volume_scaling()
    m = fft.real_map_unpadded()
    return float(m.eight_point_interpolation(site_frac)), float(
        math.sqrt(flex.mean(flex.pow2(m.as_1d()))))
