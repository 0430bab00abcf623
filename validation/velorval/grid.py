"""The grids of cases.  `main` makes RESULTS.md; `heldout` has other seeds,
structures, crystal shapes and mu*t values, for testing a rule on cases it
was not fitted on.  A case is one structure, one crystal, one mu*t and one
geometry; the transmission of a structure and crystal is computed once for
every mu and geometry of the grid."""

from dataclasses import dataclass, field
import zlib


@dataclass(frozen=True)
class StructureSpec:
    name: str
    space_group: str
    elements: tuple
    seed: int
    left_out: str = ""  # label of the atom the bias test leaves out
    res_file: str = ""  # a user's .res instead of a random structure
    u_range: tuple = (0.015, 0.06)  # principal values of each atom's own U
    u_shared: tuple = ()  # principal values of a U common to all atoms


@dataclass(frozen=True)
class ShapeSpec:
    name: str
    faces: tuple        # (h, k, l, distance from the centre in mm)
    mount_axis: tuple   # in the crystal's Cartesian frame


@dataclass(frozen=True)
class Grid:
    name: str
    structures: tuple
    shapes: tuple
    mu_t: tuple
    psi_count: int = 8
    wavelength: float = 0.71073
    d_min: float = 0.80
    points_per_edge: int = 7
    extinction: float = 0.0
    bias: tuple = ()    # (structure, shape, mu_t) of the model-bias test
    stages: tuple = ("iso", "aniso")


def _box(a, b, c):
    return ((1, 0, 0, a), (-1, 0, 0, a), (0, 1, 0, b), (0, -1, 0, b), (0, 0, 1, c), (0, 0, -1, c))


# The mounting axis runs along the longest dimension, 10 degrees off it, as a
# hand-mounted crystal does.
MAIN = Grid(
    name="main",
    structures=(
        # The molecule moves as a whole more along one axis than the others,
        # as molecules in crystals do; the bromide's atoms move independently.
        StructureSpec("light", "P 21 21 21", ("C",) * 14 + ("N",) * 2 + ("O",) * 4, seed=11,
                      u_range=(0.008, 0.03), u_shared=(0.005, 0.010, 0.030)),
        StructureSpec("heavy", "P 1 21/c 1", ("Br",) + ("C",) * 12 + ("N",) + ("O",) * 2, seed=23),
    ),
    shapes=(
        ShapeSpec("plate", _box(0.20, 0.10, 0.025), (0.985, 0.174, 0.0)),
        ShapeSpec("needle", _box(0.25, 0.04, 0.03), (0.985, 0.0, 0.174)),
    ),
    mu_t=(0.1, 0.5, 1.0, 1.5, 2.0),
    bias=(("light", "plate", 0.5), ("light", "plate", 1.5)),
)

HELDOUT = Grid(
    name="heldout",
    structures=(
        StructureSpec("organic", "P -1", ("C",) * 12 + ("N",) * 3 + ("O",) * 3, seed=101,
                      u_range=(0.008, 0.03), u_shared=(0.004, 0.012, 0.025)),
        StructureSpec("metal", "P 1 21/c 1", ("Cu",) + ("C",) * 14 + ("N",) * 2 + ("O",) * 4, seed=202),
    ),
    shapes=(
        ShapeSpec("block", _box(0.12, 0.09, 0.07) + ((1, 1, 0, 0.13), (-1, -1, 0, 0.13)),
                  (0.0, 0.985, 0.174)),
        ShapeSpec("lath", _box(0.06, 0.30, 0.015) + ((0, 1, 1, 0.29),), (0.174, 0.985, 0.0)),
    ),
    mu_t=(0.3, 0.8, 1.2, 1.8),
    bias=(("organic", "block", 0.8),),
)

# The test case: the light-atom plate of the first trial (mu t = 0.2), small.
SMALL = Grid(
    name="small",
    structures=(StructureSpec("small", "P 21 21 21", ("C",) * 9 + ("N",) + ("O",) * 2, seed=5),),
    shapes=(ShapeSpec("plate", _box(0.20, 0.10, 0.025), (0.985, 0.174, 0.0)),),
    mu_t=(0.2,),
    psi_count=2,
    d_min=0.9,
    points_per_edge=6,
    stages=("aniso",),
)

GRIDS = {g.name: g for g in (MAIN, HELDOUT, SMALL)}


@dataclass(frozen=True)
class Case:
    grid: Grid
    structure: StructureSpec
    shape: ShapeSpec
    mu_t: float
    geometry: str  # "bisecting" or "psi"
    bias: bool = False

    @property
    def name(self):
        tail = "-bias" if self.bias else ""
        return "%s-%s-%s-mt%.2f-%s%s" % (self.grid.name, self.structure.name, self.shape.name,
                                          self.mu_t, self.geometry, tail)

    @property
    def seed(self):
        """A seed of its own for every case, stable across runs and Pythons."""
        return zlib.crc32(self.name.encode())

    @property
    def psi_count(self):
        return 1 if self.geometry == "bisecting" else self.grid.psi_count


def cases(grid, geometries=("bisecting", "psi")):
    out = []
    for st in grid.structures:
        for sh in grid.shapes:
            for mt in grid.mu_t:
                for g in geometries:
                    out.append(Case(grid, st, sh, mt, g))
    for st_name, sh_name, mt in grid.bias:
        st = next(s for s in grid.structures if s.name == st_name)
        sh = next(s for s in grid.shapes if s.name == sh_name)
        for g in geometries:
            out.append(Case(grid, st, sh, mt, g, bias=True))
    return out
