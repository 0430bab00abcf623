"""True structures: seeded random structures made with cctbx, or a SHELX
.res file, with anomalous scattering at the wavelength; their structure
factors; the linear absorption coefficient from the composition."""

import math
import random

from cctbx import adptbx, xray
from cctbx.array_family import flex
from cctbx.development import random_structure
from cctbx.eltbx import attenuation_coefficient, tiny_pse

AVOGADRO = 6.02214076e23


def _tensor_with(rng, principal):
    """A symmetric tensor (U11, U22, U33, U12, U13, U23) with the given
    principal values along axes turned by a random rotation."""
    q = [rng.gauss(0, 1) for _ in range(4)]
    n = math.sqrt(sum(x * x for x in q))
    a, b, c, d = (x / n for x in q)
    R = [[a*a + b*b - c*c - d*d, 2*(b*c - a*d), 2*(b*d + a*c)],
         [2*(b*c + a*d), a*a - b*b + c*c - d*d, 2*(c*d - a*b)],
         [2*(b*d - a*c), 2*(c*d + a*b), a*a - b*b - c*c + d*d]]
    U = [[sum(R[i][k] * principal[k] * R[j][k] for k in range(3)) for j in range(3)]
         for i in range(3)]
    return (U[0][0], U[1][1], U[2][2], U[0][1], U[0][2], U[1][2])


def random_u_cart(rng, u_min, u_max):
    """A displacement tensor with principal values drawn from [u_min, u_max]
    (Angstrom^2) along randomly rotated axes."""
    return _tensor_with(rng, [rng.uniform(u_min, u_max) for _ in range(3)])


def random_truth(space_group, elements, seed, volume_per_atom=18.0, u_range=(0.015, 0.06),
                 min_distance=1.3, u_shared=None):
    """A seeded random structure on general positions with anisotropic
    displacement parameters.  random_structure draws from Python's random
    and from flex's generator; both are seeded here.

    u_shared: principal values of a displacement tensor common to all atoms
    (the anisotropic motion of a molecule as a whole), along randomly turned
    axes; each atom's own random tensor is added to it."""
    random.seed(seed)
    flex.set_random_seed(seed)
    xs = random_structure.xray_structure(
        space_group_symbol=space_group, elements=list(elements),
        volume_per_atom=volume_per_atom, min_distance=min_distance,
        general_positions_only=True, use_u_iso=True, u_iso=0.03)
    rng = random.Random(seed * 7919 + 1)
    uc = xs.unit_cell()
    shared = (0.0,) * 6
    if u_shared:
        shared = _tensor_with(random.Random(seed * 7919 + 2), u_shared)
    for sc in xs.scatterers():
        own = random_u_cart(rng, *u_range)
        sc.u_star = adptbx.u_cart_as_u_star(uc, tuple(a + b for a, b in zip(own, shared)))
        sc.flags.set_use_u_iso(False)
        sc.flags.set_use_u_aniso(True)
    # Round the cell as a .res file shows it, so that the truth and every file
    # written from it share one cell.
    p = uc.parameters()
    rounded = tuple(round(x, 4) for x in p[:3]) + tuple(round(x, 3) for x in p[3:])
    if rounded != tuple(p):
        from cctbx import crystal
        sites = xs.sites_frac()
        u_carts = xs.scatterers().extract_u_cart(uc)
        cs = crystal.symmetry(unit_cell=rounded, space_group_info=xs.space_group_info())
        new = xray.structure(crystal_symmetry=cs)
        for sc, site, ucart in zip(xs.scatterers(), sites, u_carts):
            s = sc.customized_copy(site=site, u=adptbx.u_cart_as_u_star(cs.unit_cell(), ucart))
            new.add_scatterer(s)
        xs = new
    return xs


def truth_from_res(path):
    """The structure of a SHELX .res/.ins file as the truth."""
    return xray.structure.from_shelx(filename=path, strictly_shelxl=False)


def set_anomalous(xs, wavelength):
    xs.set_inelastic_form_factors(photon=wavelength, table="sasaki")
    return xs


def reflections(xs, d_min):
    """The unique reflections to d_min; Friedel mates apart when the space
    group lacks an inversion centre."""
    anomalous = not xs.space_group().is_centric()
    return xs.build_miller_set(anomalous_flag=anomalous, d_min=d_min)


def f_calc_sq(xs, miller_set):
    return miller_set.structure_factors_from_scatterers(xs, algorithm="direct").f_calc().norm()


def f000(xs):
    """F(000) with the real part of the anomalous scattering, as SHELXL
    writes it (electrons per cell)."""
    total = 0.0
    for sc in xs.scatterers():
        z = tiny_pse.table(sc.scattering_type).atomic_number()
        total += (z + sc.fp) * sc.occupancy * sc.multiplicity()
    return total


def absorption_coefficient(xs, wavelength):
    """Linear absorption coefficient (1/mm) from the atoms of the cell and
    the mass attenuation tables; also the density (g/cm^3).  Atoms absent
    from the model (hydrogens of an organic) are absent here too."""
    mass_g = 0.0
    sigma_cm2 = 0.0
    for sc in xs.scatterers():
        n = sc.occupancy * sc.multiplicity()
        weight = tiny_pse.table(sc.scattering_type).weight()
        mu_rho = attenuation_coefficient.get_table(sc.scattering_type).mu_rho_at_angstrom(wavelength)
        mass_g += n * weight / AVOGADRO
        sigma_cm2 += n * mu_rho * weight / AVOGADRO
    volume_cm3 = xs.unit_cell().volume() * 1e-24
    return sigma_cm2 / volume_cm3 / 10.0, mass_g / volume_cm3
