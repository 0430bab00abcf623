"""The files of a refinement as SHELXL leaves them (NAME.res and a LIST 4
NAME.fcf in the current record layout) and the reading of the corrected
NAMEx.hkl and NAMEx.ins with cctbx."""

import math

from cctbx import adptbx, miller, xray
from cctbx.array_family import flex
from iotbx.shelx import hklf


def _sfac_order(xs):
    seen = []
    for sc in xs.scatterers():
        e = sc.scattering_type.capitalize()
        if e not in seen:
            seen.append(e)
    # Carbon first, then the rest by the order of the model, as is usual.
    return sorted(seen, key=lambda e: (e != "C", seen.index(e)))


def _latt(sg):
    centring = sg.conventional_centring_type_symbol()
    n = 1 + "PIRFABC".find(centring)
    return n if sg.is_centric() else -n


def res_text(xs, title, wavelength, osf, temperature=-173):
    """NAME.res of a refined model: every atom with occupancy 11.00000 (fixed
    at 1), isotropic or anisotropic as the model is."""
    uc = xs.unit_cell()
    a, b, c, al, be, ga = uc.parameters()
    sg = xs.space_group()
    sfac = _sfac_order(xs)
    counts = {e: 0.0 for e in sfac}
    for sc in xs.scatterers():
        counts[sc.scattering_type.capitalize()] += sc.occupancy * sc.multiplicity()
    lines = [
        "TITL %s in %s" % (title, xs.space_group_info().type().lookup_symbol().replace(" ", "")),
        "CELL %7.5f %9.4f %9.4f %9.4f %8.3f %8.3f %8.3f" % (wavelength, a, b, c, al, be, ga),
        "ZERR %7.2f    0.0010   0.0010   0.0010   0.000   0.000   0.000" % sg.order_z(),
        "LATT %d" % _latt(sg),
    ]
    for i in range(sg.n_smx()):
        rt = sg(0, 0, i)
        if not rt.is_unit_mx():
            lines.append("SYMM " + rt.as_xyz().upper())
    lines += [
        "SFAC " + " ".join(sfac),
        "UNIT " + " ".join("%d" % round(counts[e]) for e in sfac),
        "TEMP %d" % temperature,
        "",
        "L.S. 10",
        "LIST 4",
        "FMAP 2",
        "PLAN 20",
        "",
        "WGHT    0.000000    0.000000",
        "FVAR %11.5f" % osf,
    ]
    for sc in xs.scatterers():
        head = "%-4s %2d %11.6f %11.6f %11.6f %11.5f" % (
            sc.label[:4], sfac.index(sc.scattering_type.capitalize()) + 1,
            sc.site[0], sc.site[1], sc.site[2], 10.0 + sc.occupancy)
        if sc.flags.use_u_aniso():
            u11, u22, u33, u12, u13, u23 = adptbx.u_star_as_u_cif(uc, sc.u_star)
            lines.append(head + " %10.5f %10.5f =" % (u11, u22))
            lines.append("      %10.5f %10.5f %10.5f %10.5f" % (u33, u23, u13, u12))
        else:
            lines.append(head + " %10.5f" % sc.u_iso)
    lines += ["HKLF 4", "", "END", ""]
    return "\n".join(lines)


def _fixed(value, width):
    """An F(width).2 field, clamped to what the field can show."""
    top = 10.0 ** (width - 3) - 0.01
    bottom = -(10.0 ** (width - 4) - 0.01)
    return "%*.2f" % (width, min(max(value, bottom), top))


def fcf_text(xs, title, indices, fc_sq, fo_sq, sigmas, f000, d_min):
    """A LIST 4 NAME.fcf: h, k, l, Fc^2, Fo^2, sigma(Fo^2) on the absolute
    scale of the model, in the current layout (3I4, 2F14.2, F13.2, status)
    after the CIF header that SHELXL writes."""
    uc = xs.unit_cell()
    a, b, c, al, be, ga = uc.parameters()
    sg = xs.space_group()
    out = [
        "#",
        "# h,k,l, Fc-squared, Fo-squared, sigma(Fo-squared), status flag",
        "#",
        "data_" + title,
        "_shelx_title ' %s'" % title,
        "_shelx_refln_list_code          4",
        "_shelx_F_calc_maximum %12.2f" % math.sqrt(max(max(fc_sq), 0.0)),
        "_exptl_crystal_F_000 %12.2f" % f000,
        "_reflns_d_resolution_high %7.4f" % d_min,
        "",
        "loop_",
        " _space_group_symop_operation_xyz",
    ]
    for i in range(sg.order_z()):
        out.append(" '%s'" % sg(i).as_xyz())
    out += [
        "",
        "_cell_length_a %10.4f" % a,
        "_cell_length_b %10.4f" % b,
        "_cell_length_c %10.4f" % c,
        "_cell_angle_alpha %7.3f" % al,
        "_cell_angle_beta  %7.3f" % be,
        "_cell_angle_gamma %7.3f" % ga,
        "",
        "_shelx_F_squared_multiplier     1.000",
        "",
        "loop_",
        " _refln_index_h",
        " _refln_index_k",
        " _refln_index_l",
        " _refln_F_squared_calc",
        " _refln_F_squared_meas",
        " _refln_F_squared_sigma",
        " _refln_observed_status",
    ]
    for (h, k, l), c2, o2, s in zip(indices, fc_sq, fo_sq, sigmas):
        out.append("%4d%4d%4d%s%s%s o" % (h, k, l, _fixed(c2, 14), _fixed(o2, 14), _fixed(s, 13)))
    out.append(" " * 48)
    out.append("")
    return "\n".join(out)


def read_corrected_hkl(path, crystal_symmetry):
    """NAMEx.hkl through cctbx's HKLF 4 reader: the intensities with their
    sigmas as a miller array (equivalents not merged)."""
    with open(path) as f:
        arrays = hklf.reader(file_object=f).as_miller_arrays(crystal_symmetry=crystal_symmetry)
    return arrays[0].set_observation_type_xray_intensity()


def read_scale_column(path):
    """The scale factor S of every record of NAMEx.hkl (columns 29-38), keyed
    by the indices, in the order of the file."""
    result = {}
    with open(path) as f:
        for line in f:
            h, k, l = int(line[0:4]), int(line[4:8]), int(line[8:12])
            if h == k == l == 0:
                break
            result[(h, k, l)] = float(line[28:38])
    return result


def read_instructions(path):
    """The model of NAMEx.ins as cctbx reads it."""
    return xray.structure.from_shelx(filename=path, strictly_shelxl=False)
