// SPDX-License-Identifier: MIT
// Formatting the library's values with {fmt}, beside {fmt}'s own formatting of the standard
// types a caller would use instead: chrono time points and doubles.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "support/allocation_counter.hpp"

#ifdef VORN_BENCH_HAVE_FMT

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <array>
#include <chrono>
#include <string>

#include "vorn/core/fmt.hpp"

namespace vc = vorn::core::v2;

namespace {

// Instants of 2024, a few hours apart, as whole seconds.
constexpr long long first_second = 1704067200;
constexpr long long step_seconds = 12345 * 7;

std::array<vc::datetime, 8> instants() {
    std::array<vc::datetime, 8> out{};
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = vc::datetime::from_msecs_since_epoch(
            (first_second + static_cast<long long>(i) * step_seconds) * 1000);
    }
    return out;
}

// Amounts computed at four decimals, printed at two.
const long long amounts[8] = {12345678, -4999, 1000050, 99999999, 125, -7777777, 3, 600000};

}  // namespace

// The default text form, "2024-03-10T12:34:56Z" at offset 0.
static void BM_fmt_datetime(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    const auto values = instants();
    std::size_t i = 0;
    for (auto _ : state) {
        std::string text = fmt::format("{}", values[i++ & 7]);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_fmt_datetime);

// The peer: the same instant and the same text through {fmt}'s chrono formatting.
static void BM_peer_fmt_chrono_sys_seconds(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    std::array<std::chrono::sys_seconds, 8> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = std::chrono::sys_seconds(
            std::chrono::seconds(first_second + static_cast<long long>(i) * step_seconds));
    }
    std::size_t i = 0;
    for (auto _ : state) {
        std::string text = fmt::format("{:%FT%TZ}", values[i++ & 7]);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_peer_fmt_chrono_sys_seconds);

// A decimal at two decimals, rounded half to even.
static void BM_fmt_decimal_precision_2(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    std::array<vc::decimal, 8> values;
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = vc::decimal(amounts[i], -4);
    }
    std::size_t i = 0;
    for (auto _ : state) {
        std::string text = fmt::format("{:.2}", values[i++ & 7]);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_fmt_decimal_precision_2);

// The peer: the same amounts as doubles, at two decimals.
static void BM_peer_fmt_double_precision_2(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    double values[8];
    for (std::size_t i = 0; i < 8; ++i) {
        values[i] = static_cast<double>(amounts[i]) / 10000.0;
    }
    std::size_t i = 0;
    for (auto _ : state) {
        std::string text = fmt::format("{:.2f}", values[i++ & 7]);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_peer_fmt_double_precision_2);

#else

static void BM_fmt_skipped(benchmark::State& state) {
    for (auto _ : state) {
    }
    state.SkipWithError("fmt not installed (libfmt-dev): the formatting benchmarks are skipped");
}
BENCHMARK(BM_fmt_skipped);

#endif
