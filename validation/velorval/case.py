"""One case of the grid, from the truth to the records of its measures.

The user's road: refine a perturbed copy of the truth against the uncorrected
data (isotropic, then anisotropic), write that refinement's NAME.res and
NAME.fcf at each stage, run velor with each fit type, and refine the model of
NAMEx.ins anisotropically against NAMEx.hkl.  Besides: a refinement against
Fo^2/A (the ideal correction), velor on the true Fc^2, and velor on
noise-free intensities with each stage's model, which shows what the noise
costs.
"""

import json
import math
import os
import time

import numpy as np
from cctbx import miller
from cctbx.array_family import flex

from . import bias, crystal, geometry, measures, observe, refine, shelxfiles, structures, velor

STEM = velor.STEM


class Clock:
    """Seconds spent in each part of a case."""

    def __init__(self):
        self.parts = {}

    def add(self, part, seconds):
        self.parts[part] = self.parts.get(part, 0.0) + seconds

    def time(self, part, fn, *args, **kwargs):
        start = time.perf_counter()
        try:
            return fn(*args, **kwargs)
        finally:
            self.add(part, time.perf_counter() - start)


# ---------------------------------------------------------------- the truth

def make_truth(spec, grid):
    if spec.res_file:
        xs = structures.truth_from_res(spec.res_file)
    else:
        xs = structures.random_truth(spec.space_group, spec.elements, spec.seed,
                                     u_range=spec.u_range, u_shared=spec.u_shared or None)
    structures.set_anomalous(xs, grid.wavelength)
    ms = structures.reflections(xs, grid.d_min)
    fc_sq = structures.f_calc_sq(xs, ms)
    return xs, fc_sq


def make_shape(spec, xs, grid):
    F = xs.unit_cell().fractionalization_matrix()
    return crystal.Polyhedron.from_faces(spec.faces, F, grid.points_per_edge)


def transmissions(xs, indices, shape, shape_spec, grid, mus):
    """{"bisecting": A[mu, refl], "psi": A[mu, refl]} for all mus at once."""
    F = xs.unit_cell().fractionalization_matrix()
    out = {}
    for name, psis in (("bisecting", [0.0]), ("psi", geometry.azimuths(grid.psi_count))):
        total = np.zeros((len(mus), len(indices)))
        for psi in psis:
            s0, s1 = geometry.beam_directions(indices, F, grid.wavelength, shape_spec.mount_axis, psi)
            total += crystal.transmission(shape, s0, s1, mus)
        out[name] = total / len(psis)
    return out


def transmission_table(case, xs, indices, cache_dir, clock):
    """A of the case's reflections, from the cache of its structure and
    crystal or computed for every mu*t of the grid and stored there."""
    grid = case.grid
    key = "%s-%s-%s-n%d-K%d" % (grid.name, case.structure.name, case.shape.name,
                               grid.points_per_edge, grid.psi_count)
    path = os.path.join(cache_dir, key + ".npz")
    if os.path.exists(path):
        data = np.load(path)
        if np.array_equal(data["indices"], indices) and np.allclose(data["mu_t"], grid.mu_t):
            i = list(grid.mu_t).index(case.mu_t)
            return data[case.geometry][i], float(data["t_min"])
    shape = make_shape(case.shape, xs, grid)
    t_min = shape.min_thickness()
    mus = [mt / t_min for mt in grid.mu_t]
    start = time.perf_counter()
    table = transmissions(xs, indices, shape, case.shape, grid, mus)
    clock.add("transmission", time.perf_counter() - start)
    os.makedirs(cache_dir, exist_ok=True)
    np.savez(path + ".tmp.npz", indices=indices, mu_t=np.array(grid.mu_t), t_min=t_min, **table)
    os.replace(path + ".tmp.npz", path)
    i = list(grid.mu_t).index(case.mu_t)
    return table[case.geometry][i], t_min


# ---------------------------------------------------------------- helpers

def intensity_array(ms, data, sigmas):
    return miller.array(ms, data=flex.double(np.asarray(data, dtype=float)),
                        sigmas=flex.double(np.asarray(sigmas, dtype=float))
                        ).set_observation_type_xray_intensity()


def write_refinement_files(directory, xs, title, grid, scale, indices, fc_sq, intensities,
                           sigmas, f000):
    """NAME.res and NAME.fcf of a model refined with scale k (Fo^2 = k Fc^2):
    the LIST 4 file holds Fo^2 / k and sigma / k, FVAR sqrt(k)."""
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, STEM + ".res"), "w") as f:
        f.write(shelxfiles.res_text(xs, title, grid.wavelength, math.sqrt(scale)))
    with open(os.path.join(directory, STEM + ".fcf"), "w") as f:
        f.write(shelxfiles.fcf_text(xs, title, indices, fc_sq, np.asarray(intensities) / scale,
                                    np.asarray(sigmas) / scale, f000, grid.d_min))


def model_measures(result, truth):
    ratios = refine.axis_ratios(result.structure)
    return {
        "r1": result.r1, "wr2": result.wr2, "gof": result.gof, "cycles": result.cycles,
        "mean_abs_du": refine.u_cart_difference(result.structure, truth),
        "position_error": refine.position_error(result.structure, truth),
        "axis_ratio_mean": float(np.mean(ratios)), "axis_ratio_min": float(np.min(ratios)),
    }


def scale_measures(A, S):
    return {"share_removed": measures.log_spread_share(A, S),
            "corr_ln_s_ln_a": measures.log_correlation(A, S)}


def velor_record(run_):
    return {"fit": run_.fit, "velor_exit": run_.exit_status, "velor_seconds": run_.seconds,
            "velor_stderr": run_.stderr.strip(), "velor_json": run_.summary}


# ---------------------------------------------------------------- one case

class CaseRunner:
    def __init__(self, case, velor_path, out_dir):
        self.case = case
        self.velor = velor_path
        self.dir = os.path.join(out_dir, "cases", case.name)
        self.cache_dir = os.path.join(out_dir, "transmission")
        self.clock = Clock()
        self.records = []

    def base(self):
        c = self.case
        return {"grid": c.grid.name, "case": c.name, "structure": c.structure.name,
                "space_group": c.structure.space_group, "shape": c.shape.name, "mu_t": c.mu_t,
                "geometry": c.geometry, "psi_count": c.psi_count, "bias_test": c.bias,
                "seed": c.seed}

    def emit(self, **fields):
        rec = self.base()
        rec.update(fields)
        self.records.append(rec)

    def prepare(self):
        c, grid = self.case, self.case.grid
        self.truth, fc_sq_true = self.clock.time("truth", make_truth, c.structure, grid)
        self.miller_set = fc_sq_true
        self.indices = np.array(list(fc_sq_true.indices()), dtype=int)
        self.fc_sq_true = fc_sq_true.data().as_numpy_array()
        self.A, t_min = transmission_table(c, self.truth, self.indices, self.cache_dir, self.clock)
        self.mu = c.mu_t / t_min
        self.mu_tables, self.density = structures.absorption_coefficient(self.truth, grid.wavelength)
        sin_theta = grid.wavelength / (2 * np.asarray(fc_sq_true.d_spacings().data()))
        ext = None
        if grid.extinction:
            ext = observe.extinction_factor(self.fc_sq_true, sin_theta, grid.wavelength,
                                            grid.extinction)
        self.true_i, self.obs_i, self.sigma, self.k_true = observe.observe(
            self.fc_sq_true, self.A, c.seed, ext)
        self.observations = intensity_array(fc_sq_true, self.obs_i, self.sigma)
        self.f000 = structures.f000(self.truth)
        self.common = {"mu": self.mu, "t_min_mm": t_min, "mu_from_composition": self.mu_tables,
                       "density": self.density, "n_reflections": len(self.indices),
                       "transmission_min": float(self.A.min()),
                       "transmission_max": float(self.A.max()),
                       "rms_ln_transmission": measures.rms_log(self.A)}

    def model_start(self):
        start = refine.perturbed_start(self.truth, self.case.seed + 1)
        if self.case.bias:
            label = self.case.structure.left_out or self._first_light_atom()
            keep = flex.bool([sc.label != label for sc in start.scatterers()])
            self.left_out_site = next(sc.site for sc in self.truth.scatterers() if sc.label == label)
            self.left_out_label = label
            start = start.select(keep)
        return start

    def _first_light_atom(self):
        for sc in self.truth.scatterers():
            if sc.scattering_type in ("O", "N"):
                return sc.label
        raise ValueError("no O or N atom to leave out")

    def truth_for(self, model):
        """The true atoms matching a model's atoms (by label)."""
        labels = set(sc.label for sc in model.scatterers())
        return self.truth.select(flex.bool([sc.label in labels for sc in self.truth.scatterers()]))

    def refine(self, start, observations, anisotropic):
        return self.clock.time("refinement", refine.refine, start, observations, anisotropic)

    def run_velor(self, source, fit, sub):
        return self.clock.time("velor", velor.run, self.velor, source, STEM, fit,
                               os.path.join(self.dir, sub))

    def peak(self, structure, observations, scale):
        return self.clock.time("maps", bias.difference_peak, structure, observations, scale,
                               self.left_out_site)

    def run(self):
        self.prepare()
        start = self.model_start()
        truth = self.truth_for(start)
        stages = {}
        iso = self.refine(start, self.observations, anisotropic=False)
        if "iso" in self.case.grid.stages and not self.case.bias:
            stages["iso"] = iso
        stages["aniso"] = self.refine(iso.structure, self.observations, anisotropic=True)
        for stage, result in stages.items():
            self.stage(stage, result, truth)
        self.ideal(stages["aniso"], truth)
        if not self.case.bias:
            self.true_fc_sq()
        return self.records

    def stage(self, stage, result, truth):
        extra = {}
        if self.case.bias:
            value, rms = self.peak(result.structure, self.observations, result.scale)
            extra = {"left_out": self.left_out_label, "peak": value, "map_rms": rms}
        self.emit(stage=stage, correction="none", fit=None, **self.common,
                  **model_measures(result, truth), **extra)
        src = os.path.join(self.dir, stage)
        write_refinement_files(src, result.structure, self.case.name, self.case.grid, result.scale,
                               self.indices, result.fc_sq, self.obs_i, self.sigma, self.f000)
        clean = os.path.join(self.dir, stage + "-noise-free")
        write_refinement_files(clean, result.structure, self.case.name, self.case.grid,
                               result.scale, self.indices, result.fc_sq, self.true_i, self.sigma,
                               self.f000)
        for fit in velor.FIT_TYPES:
            run_ = self.run_velor(src, fit, os.path.join(stage, fit))
            rec = velor_record(run_)
            clean_run = self.run_velor(clean, fit, os.path.join(stage + "-noise-free", fit))
            if clean_run.ok:
                S0 = velor.scale_factors(clean_run, self.indices)
                rec["share_removed_noise_free"] = measures.log_spread_share(self.A, S0)
            if run_.ok:
                rec.update(scale_measures(self.A, velor.scale_factors(run_, self.indices)))
                rec.update(self.after_correction(run_, truth))
            self.emit(stage=stage, correction="velor", **self.common, **rec)

    def after_correction(self, run_, truth):
        cs = self.truth.crystal_symmetry()
        corrected = shelxfiles.read_corrected_hkl(run_.path("x.hkl"), cs)
        corrected = corrected.customized_copy(anomalous_flag=self.miller_set.anomalous_flag())
        model = shelxfiles.read_instructions(run_.path("x.ins"))
        structures.set_anomalous(model, self.case.grid.wavelength)
        result = self.refine(model, corrected, anisotropic=True)
        out = model_measures(result, truth)
        if self.case.bias:
            value, rms = self.peak(result.structure, corrected, result.scale)
            out.update({"left_out": self.left_out_label, "peak": value, "map_rms": rms})
        return out

    def ideal(self, aniso, truth):
        ideal_obs = intensity_array(self.miller_set, self.obs_i / self.A, self.sigma / self.A)
        result = self.refine(aniso.structure, ideal_obs, anisotropic=True)
        extra = {}
        if self.case.bias:
            value, rms = self.peak(result.structure, ideal_obs, result.scale)
            extra = {"left_out": self.left_out_label, "peak": value, "map_rms": rms}
        self.emit(stage="aniso", correction="ideal", fit=None, **self.common,
                  **model_measures(result, truth), **extra)

    def true_fc_sq(self):
        """velor with the true Fc^2 in NAME.fcf (no user can do this): what
        the model can represent when the refinement hides nothing."""
        k, _, _, _ = refine.statistics(self.observations.data(), self.observations.sigmas(),
                                       flex.double(self.fc_sq_true), 0)
        for sub, intensities in (("truth", self.obs_i), ("truth-noise-free", self.true_i)):
            write_refinement_files(os.path.join(self.dir, sub), self.truth, self.case.name,
                                   self.case.grid, k, self.indices, self.fc_sq_true, intensities,
                                   self.sigma, self.f000)
        for fit in velor.FIT_TYPES:
            run_ = self.run_velor(os.path.join(self.dir, "truth"), fit, os.path.join("truth", fit))
            rec = velor_record(run_)
            clean = self.run_velor(os.path.join(self.dir, "truth-noise-free"), fit,
                                   os.path.join("truth-noise-free", fit))
            if clean.ok:
                rec["share_removed_noise_free"] = measures.log_spread_share(
                    self.A, velor.scale_factors(clean, self.indices))
            if run_.ok:
                rec.update(scale_measures(self.A, velor.scale_factors(run_, self.indices)))
            self.emit(stage="truth", correction="velor", **self.common, **rec)


def run_case(case, velor_path, out_dir):
    """Run one case; write its records (JSON lines) to out/records/NAME.jsonl
    and return them."""
    runner = CaseRunner(case, velor_path, out_dir)
    start = time.perf_counter()
    records = runner.run()
    timing = dict(runner.clock.parts, total=time.perf_counter() - start)
    for r in records:
        r["case_seconds"] = timing
    os.makedirs(os.path.join(out_dir, "records"), exist_ok=True)
    path = os.path.join(out_dir, "records", case.name + ".jsonl")
    with open(path + ".tmp", "w") as f:
        for r in records:
            f.write(json.dumps(r, sort_keys=True) + "\n")
    os.replace(path + ".tmp", path)
    return records
