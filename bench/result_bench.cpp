// Status reporting: the cost of reporting one failure and of copying a stack.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>

#include "vorn/core/result.hpp"

namespace vc = vorn::core::v2;

// push + create with one argument + reset: the whole life of one reported failure.
static void BM_push_create_reset(benchmark::State& state) {
    vc::result::stack s;
    const std::string text = "123456789012345678901234567890";
    for (auto _ : state) {
        s.push(vc::integral_conversion_error::overflow, text);
        benchmark::DoNotOptimize(s.get_value());
        s.reset();
    }
}
BENCHMARK(BM_push_create_reset);

// The same failure reported by throwing and catching a standard exception, the way a caller
// would without status stacks.
static void BM_peer_throw_catch(benchmark::State& state) {
    const std::string text = "123456789012345678901234567890";
    for (auto _ : state) {
        try {
            throw std::out_of_range(text);
        } catch (const std::exception& e) {
            benchmark::DoNotOptimize(e.what());
        }
    }
}
BENCHMARK(BM_peer_throw_catch);

static void BM_copy_three_item_stack(benchmark::State& state) {
    vc::result::stack source;
    source.push(vc::integral_conversion_error::invalid_value, "abc");
    source.push(vc::integral_conversion_error::overflow, "99999999999999999999");
    source.push_item(vc::converter_result_category::instance(), 2);
    for (auto _ : state) {
        vc::result::stack copy(source);
        benchmark::DoNotOptimize(copy.get_value());
    }
}
BENCHMARK(BM_copy_three_item_stack);

static void BM_empty_stack_queries(benchmark::State& state) {
    const vc::result::stack s;
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.has_failed());
        benchmark::DoNotOptimize(s.get_message());
    }
}
BENCHMARK(BM_empty_stack_queries);
