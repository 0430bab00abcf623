// Two doubles side by side in one 128-bit vector (SSE2, part of every
// x86-64 processor, and the like elsewhere): two independent sums formed at
// once, each lane in the order and with the roundings scalar code would
// give it.  For the summaries' per-reflection sums, where the compiler,
// which must not reorder a sum, would not pair the lanes by itself.  GCC
// and Clang let a vector type alias its element type, so an array of
// doubles may be read and written as such vectors.
#pragma once

namespace velor::model {

using DoublePair = double __attribute__((vector_size(16)));

}  // namespace velor::model
