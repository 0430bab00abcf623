#include "model/scale_model.hpp"

#include <algorithm>

namespace velor::model {
namespace {

template <int Terms>
ScaleModel::Basis padded_basis(const Geometry& g) {
    const auto b = ScaleModel::basis<Terms>(g, ScaleModel::powers<Terms>(g.sin2));
    ScaleModel::Basis full{};
    std::copy(b.begin(), b.end(), full.begin());
    return full;
}

}  // namespace

ScaleModel::Basis ScaleModel::basis(const Geometry& g) const {
    switch (terms_) {
        case 4: return padded_basis<4>(g);
        case 3: return padded_basis<3>(g);
        case 2: return padded_basis<2>(g);
        default: return padded_basis<1>(g);
    }
}

}  // namespace velor::model
