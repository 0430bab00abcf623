#include "gen/reflections.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "gen/detmath.hpp"
#include "gen/error.hpp"
#include "gen/fixed_format.hpp"

namespace velor::gen {

namespace {

constexpr int kMaxIndex = 999;  // the widest index an I4 field holds

struct Candidate {
    Miller m;
    double s;  // sin^2(theta)
};

// All orbit representatives with 0 < sin^2(theta) <= s_limit, in file order:
// l slowest, h fastest, as a sorted reflection list is usually written.
std::vector<Candidate> enumerate(const SelectionRequest& req, const LaueGroup& laue,
                                 double inv_d_max) {
    const double lambda = static_cast<double>(req.cell.lambda);
    const double s_limit = 0.25 * lambda * lambda * inv_d_max * inv_d_max;
    // |h| <= a/d: the plane spacing of (h00) in the direction of a* is a/|h|.
    auto bound = [&](float length) {
        const double b = std::floor(inv_d_max * static_cast<double>(length) * (1.0 + 1e-9)) + 1.0;
        if (b > kMaxIndex)
            fail("indices above " + std::to_string(kMaxIndex) +
                 " do not fit the I4 fields of the reflection records; use a smaller cell or "
                 "a lower resolution");
        return static_cast<int>(b);
    };
    const int hmax = bound(req.cell.a), kmax = bound(req.cell.b), lmax = bound(req.cell.c);

    std::vector<Candidate> out;
    for (int l = 0; l <= lmax; ++l) {
        for (int k = -kmax; k <= kmax; ++k) {
            if (req.axial_only && l != 0 && k != 0) continue;
            const bool only_h0 = req.axial_only && (l != 0 || k != 0);
            for (int h = only_h0 ? 0 : -hmax; h <= (only_h0 ? 0 : hmax); ++h) {
                const Miller m{h, k, l};
                if (h == 0 && k == 0 && l == 0) continue;
                const double s = reflection_geometry(req.rc, req.cell.lambda_sq, m).sin2theta;
                if (!(s <= s_limit) || !(s > 0.0)) continue;
                if (!laue.is_representative(m) || systematically_absent(req.system, m)) continue;
                out.push_back({m, s});
            }
        }
    }
    return out;
}

Selection finish(const std::vector<Candidate>& cands) {
    Selection sel;
    sel.unique.reserve(cands.size());
    for (const Candidate& c : cands) {
        sel.unique.push_back(c.m);
        sel.sin2theta_max = std::max(sel.sin2theta_max, c.s);
    }
    return sel;
}

}  // namespace

Selection select_reflections(const SelectionRequest& req, const LaueGroup& laue) {
    const double lambda = static_cast<double>(req.cell.lambda);
    if (req.dmin) {
        if (lambda / (2.0 * *req.dmin) > 1.0)
            fail("--dmin is below the limit lambda/2 = " + fixed_text(lambda / 2.0, 6, 4) +
                 " A (sin theta > 1)");
        return finish(enumerate(req, laue, 1.0 / *req.dmin));
    }

    const auto wanted = static_cast<std::size_t>(req.count.value_or(1));
    const double r_cap = std::min(2.0 * kSinThetaCap / lambda, 1.0 / kDminCap);
    // Lattice points in a sphere of radius r: (4 pi/3) r^3 V; one in `order` is a
    // representative. Start a little above that and grow until there are enough.
    const double volume = cell_volume(req.rc);
    const double guess =
        3.0 * static_cast<double>(wanted) * laue.order() / (4.0 * 3.14159265358979 * volume);
    double r =
        req.axial_only ? r_cap : std::min(r_cap, 1.1 * detmath::exp(detmath::log(guess) / 3.0));
    std::vector<Candidate> cands;
    while (true) {
        cands = enumerate(req, laue, r);
        if (cands.size() >= wanted || r >= r_cap) break;
        r = std::min(r_cap, 1.2 * r);
    }
    if (cands.size() > wanted) {
        // Keep the `wanted` lowest-angle reflections; ties go to the earlier one in
        // file order, so the choice does not depend on the radius searched.
        std::vector<std::size_t> idx(cands.size());
        for (std::size_t i = 0; i < idx.size(); ++i) idx[i] = i;
        auto lower = [&](std::size_t x, std::size_t y) {
            return cands[x].s < cands[y].s || (cands[x].s == cands[y].s && x < y);
        };
        std::nth_element(idx.begin(), idx.begin() + static_cast<std::ptrdiff_t>(wanted), idx.end(),
                         lower);
        idx.resize(wanted);
        std::sort(idx.begin(), idx.end());
        std::vector<Candidate> kept;
        kept.reserve(wanted);
        for (std::size_t i : idx) kept.push_back(cands[i]);
        cands.swap(kept);
    }
    return finish(cands);
}

}  // namespace velor::gen
