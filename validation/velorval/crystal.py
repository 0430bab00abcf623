"""Crystal shapes and the transmission integral.

The transmission of a reflection is A = (1/V) * integral over the crystal of
exp(-mu * (l_in + l_out)) dV, where l_in is the path of the incident beam from
the surface to the volume element and l_out the path of the diffracted beam from
the volume element to the surface.  A shape supplies quadrature points with
weights (summing to its volume) and the distance from each point to the surface
along a direction; everything else is shared.

Lengths are in mm and mu in 1/mm throughout.
"""

import math

import numpy as np


def gauss_legendre_01(n):
    """Gauss-Legendre nodes and weights on [0, 1]."""
    x, w = np.polynomial.legendre.leggauss(n)
    return 0.5 * (x + 1.0), 0.5 * w


class Polyhedron:
    """A convex crystal bounded by the planes n_f . r = d_f (n_f unit outward
    normals in a Cartesian frame, d_f > 0 the distance of face f from the
    centre).  Quadrature: the body is cut into tetrahedra (centre, face
    triangle), each integrated with an n^3 collapsed-cube Gauss product rule."""

    def __init__(self, normals, distances, points_per_edge=6):
        self.normals = np.asarray(normals, dtype=float)
        self.distances = np.asarray(distances, dtype=float)
        if np.any(self.distances <= 0):
            raise ValueError("every face must lie outside the centre (distance > 0)")
        self.vertices = self._vertices()
        self.points, self.weights = self._quadrature(points_per_edge)
        # The slack d_f - n_f . r of every point against every face, used for
        # every direction: the path along u is min over faces with n.u > 0
        # of slack / (n.u).
        # Single precision: A is wanted to 1e-5, and it halves the memory
        # traffic of the slowest part of the harness.
        self._slack = (self.distances[None, :] - self.points @ self.normals.T).astype(np.float32)

    @classmethod
    def from_faces(cls, faces, fractionalization, points_per_edge=6):
        """faces: (h, k, l, distance in mm); fractionalization: the 3x3 matrix
        that takes Cartesian to fractional coordinates.  The face normal is the
        reciprocal-lattice vector h, in Cartesian h^T F."""
        F = np.asarray(fractionalization, dtype=float).reshape(3, 3)
        normals, distances = [], []
        for h, k, l, d in faces:
            n = F.T @ np.array([h, k, l], dtype=float)
            normals.append(n / np.linalg.norm(n))
            distances.append(d)
        return cls(normals, distances, points_per_edge)

    @property
    def volume(self):
        return float(self.weights.sum())

    def min_thickness(self):
        """Smallest distance between two parallel faces facing each other, or
        twice the smallest face distance when no face has an opposite."""
        best = math.inf
        for i, ni in enumerate(self.normals):
            for j in range(i + 1, len(self.normals)):
                if np.dot(ni, self.normals[j]) < -1 + 1e-9:
                    best = min(best, self.distances[i] + self.distances[j])
        return best if best < math.inf else 2 * float(self.distances.min())

    def _vertices(self):
        N, d = self.normals, self.distances
        found = []
        n = len(N)
        for i in range(n):
            for j in range(i + 1, n):
                for k in range(j + 1, n):
                    M = N[[i, j, k]]
                    if abs(np.linalg.det(M)) < 1e-12:
                        continue
                    v = np.linalg.solve(M, d[[i, j, k]])
                    if np.all(N @ v <= d + 1e-9):
                        if not any(np.linalg.norm(v - w) < 1e-9 for w in found):
                            found.append(v)
        if len(found) < 4:
            raise ValueError("the faces do not enclose a finite crystal")
        return np.array(found)

    def _face_polygons(self):
        for f, (n, d) in enumerate(zip(self.normals, self.distances)):
            on = self.vertices[np.abs(self.vertices @ n - d) < 1e-9]
            if len(on) < 3:
                continue
            c = on.mean(axis=0)
            e1 = on[0] - c
            e1 /= np.linalg.norm(e1)
            e2 = np.cross(n, e1)
            angles = np.arctan2((on - c) @ e2, (on - c) @ e1)
            yield on[np.argsort(angles)]

    def _quadrature(self, n):
        x, w = gauss_legendre_01(n)
        u, v, t = np.meshgrid(x, x, x, indexing="ij")
        wu, wv, wt = np.meshgrid(w, w, w, indexing="ij")
        # Collapsed cube -> unit tetrahedron (Duffy): xi = u, eta = (1-u) v,
        # zeta = (1-u)(1-v) t, Jacobian (1-u)^2 (1-v).
        xi = u.ravel()
        eta = ((1 - u) * v).ravel()
        zeta = ((1 - u) * (1 - v) * t).ravel()
        ref_w = (wu * wv * wt * (1 - u) ** 2 * (1 - v)).ravel()
        centre = self.vertices.mean(axis=0)
        points, weights = [], []
        for poly in self._face_polygons():
            for i in range(1, len(poly) - 1):
                p0, p1, p2, p3 = centre, poly[0], poly[i], poly[i + 1]
                J = np.column_stack([p1 - p0, p2 - p0, p3 - p0])
                six_vol = abs(np.linalg.det(J))
                points.append(p0 + np.column_stack([xi, eta, zeta]) @ J.T)
                weights.append(ref_w * six_vol)
        return np.vstack(points), np.concatenate(weights)

    def path_lengths(self, directions):
        """Distance from every quadrature point to the surface along each unit
        direction: array (len(directions), n_points)."""
        c = np.atleast_2d(directions) @ self.normals.T  # (B, F)
        out = np.full((c.shape[0], self._slack.shape[0]), np.inf, dtype=np.float32)
        step = np.empty_like(out)
        for f in range(c.shape[1]):
            leaving = c[:, f] > 1e-12
            if not np.any(leaving):
                continue
            inv = np.where(leaving, 1.0 / np.where(leaving, c[:, f], 1.0), np.inf).astype(np.float32)
            np.multiply(inv[:, None], self._slack[None, :, f], out=step)
            np.minimum(out, step, out=out)
        return out


class Sphere:
    """A sphere of radius R about the origin, with a product Gauss rule in
    r (weight r^2), cos(polar angle) and the azimuth."""

    def __init__(self, radius, n_radial=24, n_polar=24, n_azimuth=48):
        self.radius = float(radius)
        r, wr = gauss_legendre_01(n_radial)
        r, wr = r * radius, wr * radius * (r * radius) ** 2
        c, wc = np.polynomial.legendre.leggauss(n_polar)
        phi = (np.arange(n_azimuth) + 0.5) * 2 * math.pi / n_azimuth
        wphi = np.full(n_azimuth, 2 * math.pi / n_azimuth)
        R, C, P = np.meshgrid(r, c, phi, indexing="ij")
        W = np.einsum("i,j,k->ijk", wr, wc, wphi)
        s = np.sqrt(1 - C ** 2)
        self.points = np.column_stack([(R * s * np.cos(P)).ravel(), (R * s * np.sin(P)).ravel(),
                                       (R * C).ravel()])
        self.weights = W.ravel()

    @property
    def volume(self):
        return float(self.weights.sum())

    def path_lengths(self, directions):
        u = np.atleast_2d(directions)
        b = self.points @ u.T  # (P, B): r . u
        rr = np.einsum("ij,ij->i", self.points, self.points)
        disc = np.maximum(b ** 2 - rr[:, None] + self.radius ** 2, 0.0)
        return (-b + np.sqrt(disc)).T


def transmission(shape, incoming, outgoing, mus, batch=256):
    """Transmission A for each pair (incoming[i], outgoing[i]) of unit beam
    directions (incident beam travel direction s0 and diffracted direction s1)
    and each absorption coefficient in mus: array (len(mus), len(incoming)).
    The incident path from a point runs back along -s0, the diffracted one
    along s1."""
    incoming = np.atleast_2d(incoming)
    outgoing = np.atleast_2d(outgoing)
    mus = np.atleast_1d(np.asarray(mus, dtype=float))
    w = (shape.weights / shape.weights.sum()).astype(np.float32)
    out = np.empty((len(mus), len(incoming)))
    for start in range(0, len(incoming), batch):
        stop = min(start + batch, len(incoming))
        total = shape.path_lengths(-incoming[start:stop]) + shape.path_lengths(outgoing[start:stop])
        for m, mu in enumerate(mus):
            out[m, start:stop] = np.exp(np.float32(-mu) * total) @ w
    return out
