// Micro-benchmarks of the field reader and the F formatter: the two pieces
// of text work done once per field of every reflection record.
//
//   cmake -S . -B build-bench -DVELOR_BENCH=ON && cmake --build build-bench -j2 --target fields_bench
//   build-bench/bench/fields_bench
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "textio/numeric_fields.hpp"

namespace {

using velor::textio::format_f;

constexpr std::size_t kPoolSize = 4096;  // a power of two, for the index mask

// Values spread as Fo² and σ are: mostly hundreds to thousands, some weak
// (a few negative), a few very strong.
std::vector<double> sample_values() {
    std::mt19937_64 random(1);
    std::lognormal_distribution<double> intensity(6.0, 2.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> values(kPoolSize);
    for (double& v : values) {
        v = intensity(random);
        if (unit(random) < 0.05) v = -v * 1e-3;
        if (v > 9.9e9) v = 9.9e9;
    }
    return values;
}

// The fields as a refinement program writes them, in width w with d decimals.
std::vector<std::string> sample_fields(int width, int decimals) {
    std::vector<std::string> fields;
    fields.reserve(kPoolSize);
    for (double v : sample_values()) fields.push_back(format_f(v, width, decimals));
    return fields;
}

template <typename Read>
void run_reader(benchmark::State& state, int width, Read read) {
    const std::vector<std::string> fields = sample_fields(width, 2);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(read(std::string_view(fields[i++ & (kPoolSize - 1)])));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_read_f(benchmark::State& state) {
    run_reader(state, static_cast<int>(state.range(0)),
               [](std::string_view f) { return velor::textio::read_f(f, 2); });
}
BENCHMARK(BM_read_f)->Arg(12)->Arg(14);

void BM_read_f_exactly(benchmark::State& state) {
    run_reader(state, static_cast<int>(state.range(0)),
               [](std::string_view f) { return velor::textio::detail::read_f_exactly(f, 2); });
}
BENCHMARK(BM_read_f_exactly)->Arg(12)->Arg(14);

void BM_read_f_quickly(benchmark::State& state) {
    run_reader(state, static_cast<int>(state.range(0)), [](std::string_view f) {
        float value = 0.0f;
        return velor::textio::read_f_quickly(f, 2, value) ? value : -1.0f;
    });
}
BENCHMARK(BM_read_f_quickly)->Arg(12)->Arg(14);

void BM_read_i(benchmark::State& state) {
    std::vector<std::string> fields;
    std::mt19937 random(1);
    std::uniform_int_distribution<std::int64_t> index(-40, 40);
    for (std::size_t n = 0; n < kPoolSize; ++n) {
        fields.emplace_back(4, ' ');
        velor::textio::put_i(fields.back().data(), index(random), 4);
    }
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(velor::textio::read_i(fields[i++ & (kPoolSize - 1)]));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_read_i);

// put_f with the width and decimals known only when run: F8.2 for the
// corrected intensities, F10.3 for the scale factors (values near 1).
void BM_put_f(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int decimals = static_cast<int>(state.range(1));
    std::vector<double> values = sample_values();
    if (decimals == 3) {  // scale factors, between 0.6 and 1.4
        std::mt19937_64 random(2);
        std::uniform_real_distribution<double> scale(0.6, 1.4);
        for (double& v : values) v = scale(random);
    }
    std::string out(static_cast<std::size_t>(width), ' ');
    std::size_t i = 0;
    for (auto _ : state) {
        velor::textio::put_f(out.data(), values[i++ & (kPoolSize - 1)], width, decimals);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_put_f)->Args({8, 2})->Args({10, 3});

// The 40-digit expansion alone, which the quick path of put_f avoids.
void BM_put_f_exactly(benchmark::State& state) {
    const std::vector<double> values = sample_values();
    std::string out(8, ' ');
    std::size_t i = 0;
    for (auto _ : state) {
        velor::textio::detail::put_f_exactly(out.data(), values[i++ & (kPoolSize - 1)], 8, 2);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_put_f_exactly);

}  // namespace
