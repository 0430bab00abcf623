"""Least-squares refinement against Fo^2 with cctbx's small-molecule toolbox.

Weights w = 1/sigma^2(Fo^2); no restraints and no constraints (the models have
no hydrogen atoms); one overall scale factor, which the toolbox separates from
the structural parameters.  Levenberg-Marquardt cycles until the relative step
falls below STEP_THRESHOLD or the cycle limit is reached.

The step is measured against the norm of the whole parameter vector, which
the fractional coordinates dominate (about 0.5 each) while the U* components
are 1e-4 to 1e-3.  A correction that changes the data mostly in their
displacement-like part moves U by a few 1e-4 A^2 and the coordinates hardly
at all: with a threshold of 1e-5 such a refinement, started from the
converged uncorrected model, would stop before its first cycle and leave U
where it was.  At 1e-7 it follows the change; 1e-9 gives the same |dU| to
four digits."""

import math
import random
from dataclasses import dataclass

from cctbx import adptbx
from cctbx.array_family import flex
from scitbx.lstbx import normal_eqns_solving
import smtbx.utils
from smtbx.refinement import constraints, least_squares

STEP_THRESHOLD = 1e-7
MAX_CYCLES = 30


@dataclass
class Refinement:
    structure: object  # the refined cctbx xray.structure
    scale: float       # k of Fo^2 = k Fc^2
    fc_sq: object      # Fc^2 of the refined model for every observation
    cycles: int
    r1: float
    wr2: float
    gof: float
    n_parameters: int


def perturbed_start(truth, seed, rms_shift=0.05, u_iso=0.04):
    """The truth with every coordinate shifted by a normal deviate of rms
    `rms_shift` Angstrom and every atom isotropic with u_iso."""
    rng = random.Random(seed)
    xs = truth.deep_copy_scatterers()
    uc = xs.unit_cell()
    for sc in xs.scatterers():
        cart = uc.orthogonalize(sc.site)
        cart = [x + rng.gauss(0, rms_shift) for x in cart]
        sc.site = uc.fractionalize(cart)
        sc.u_iso = u_iso
        sc.u_star = (-1, -1, -1, -1, -1, -1)
        sc.flags.set_use_u_aniso(False)
        sc.flags.set_use_u_iso(True)
    return xs


def set_refinement_flags(xs, anisotropic):
    if anisotropic:
        xs.convert_to_anisotropic()
    for sc in xs.scatterers():
        sc.flags.set_grad_site(True)
        sc.flags.set_grad_u_iso(not anisotropic)
        sc.flags.set_grad_u_aniso(anisotropic)
        sc.flags.set_grad_occupancy(False)
        sc.flags.set_grad_fp(False)
        sc.flags.set_grad_fdp(False)


def statistics(fo_sq, sigmas, fc_sq, n_parameters):
    """Scale, R1 (Fo^2 > 2 sigma), wR2 and GoF of Fo^2 against k Fc^2 with
    w = 1/sigma^2 and the best k."""
    w = 1.0 / flex.pow2(sigmas)
    k = flex.sum(w * fo_sq * fc_sq) / flex.sum(w * fc_sq * fc_sq)
    resid = fo_sq - k * fc_sq
    chi2 = flex.sum(w * resid * resid)
    wr2 = math.sqrt(chi2 / flex.sum(w * fo_sq * fo_sq))
    gof = math.sqrt(chi2 / max(fo_sq.size() - n_parameters, 1))
    strong = fo_sq > 2 * sigmas
    fo = flex.sqrt(fo_sq.select(strong))
    fc = flex.sqrt(fc_sq.select(strong)) * math.sqrt(k)
    r1 = flex.sum(flex.abs(fo - fc)) / flex.sum(fo)
    return k, r1, wr2, gof


def refine(start, observations, anisotropic, max_cycles=MAX_CYCLES):
    """Refine a copy of `start` against the intensity array `observations`
    (data Fo^2, sigmas).  The start is not changed."""
    xs = start.deep_copy_scatterers()
    set_refinement_flags(xs, anisotropic)
    reparametrisation = constraints.reparametrisation(
        structure=xs, constraints=[], connectivity_table=smtbx.utils.connectivity_table(xs))
    ls = least_squares.crystallographic_ls(
        observations.as_xray_observations(), reparametrisation,
        weighting_scheme=least_squares.sigma_weighting(), may_parallelise=False)
    cycles = normal_eqns_solving.levenberg_marquardt_iterations(
        ls, n_max_iterations=max_cycles, gradient_threshold=1e-10, step_threshold=STEP_THRESHOLD)
    fc_sq = observations.structure_factors_from_scatterers(xs, algorithm="direct").f_calc().norm().data()
    n_par = reparametrisation.n_independents + 1
    k, r1, wr2, gof = statistics(observations.data(), observations.sigmas(), fc_sq, n_par)
    return Refinement(xs, k, fc_sq, cycles.n_iterations, r1, wr2, gof, n_par)


def u_cart_difference(model, truth):
    """Mean |U_ij(model) - U_ij(truth)| over the six Cartesian components of
    every atom (Angstrom^2); an isotropic model counts as U_iso * I."""
    uc = truth.unit_cell()
    total, n = 0.0, 0
    for a, b in zip(model.scatterers(), truth.scatterers()):
        ua = _u_cart(a, uc)
        ub = _u_cart(b, uc)
        total += sum(abs(x - y) for x, y in zip(ua, ub))
        n += 6
    return total / n


def _u_cart(sc, uc):
    if sc.flags.use_u_aniso():
        return adptbx.u_star_as_u_cart(uc, sc.u_star)
    u = sc.u_iso
    return (u, u, u, 0.0, 0.0, 0.0)


def axis_ratios(xs):
    """Smallest over largest principal value of U of every anisotropic atom
    (1 for an isotropic atom; 0 for a non-positive-definite tensor)."""
    uc = xs.unit_cell()
    out = []
    for sc in xs.scatterers():
        if not sc.flags.use_u_aniso():
            out.append(1.0)
            continue
        ev = adptbx.eigenvalues(adptbx.u_star_as_u_cart(uc, sc.u_star))
        lo, hi = min(ev), max(ev)
        out.append(lo / hi if lo > 0 and hi > 0 else 0.0)
    return out


def position_error(model, truth):
    """Mean distance (Angstrom) of each atom from its true site."""
    uc = truth.unit_cell()
    total = 0.0
    for a, b in zip(model.scatterers(), truth.scatterers()):
        total += uc.distance(a.site, b.site)
    return total / truth.scatterers().size()
