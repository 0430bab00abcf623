// One record of the reflection list: the indices and the three intensities.
#pragma once

#include <cstdint>

namespace velor::core {

struct Reflection {
    std::int32_t h = 0, k = 0, l = 0;
    float fc2 = 0.0f;    // Fc²
    float fo2 = 0.0f;    // Fo²
    float sigma = 0.0f;  // σ(Fo²)

    // Three zero indices end the list (a blank line reads so too).  The
    // sum of magnitudes is taken in 32-bit arithmetic, wrapping as such.
    bool is_terminator() const {
        const auto mag = [](std::int32_t v) { return v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v); };
        return static_cast<std::int32_t>(mag(h) + mag(k) + mag(l)) == 0;
    }
};

}  // namespace velor::core
