// SPDX-License-Identifier: MIT
// Status reporting: the cost of reporting one failure and of copying a stack, beside
// absl::Status and a thrown exception, the peers a caller would use instead.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/allocation_counter.hpp"
#include "vorn/core/converters.hpp"
#include "vorn/core/result.hpp"

#ifdef VORN_BENCH_HAVE_ABSL
#include <absl/status/status.h>
#include <absl/strings/str_cat.h>
#endif

namespace vc = vorn::core::v2;

namespace {

// A refused timestamp as a reader hands it over: a view into the line being read.
constexpr std::string_view received = "2024-13-45T25:61:00.000+03:00";

}  // namespace

// push + create with one argument + reset: the whole life of one reported failure.
static void BM_push_create_reset(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    vc::result::stack s;
    const std::string text = "123456789012345678901234567890";
    for (auto _ : state) {
        s.push(vc::integral_conversion_error::overflow, text);
        benchmark::DoNotOptimize(s.get_value());
        s.reset();
    }
}
BENCHMARK(BM_push_create_reset);

// The error path of a reader: an item with two arguments (the expected format and the
// received text) pushed onto a fresh stack, which is then destroyed.
static void BM_error_path_push_two_arguments(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        vc::result::stack status;
        status.push(vc::error_datetime::invalid_format, received);
        benchmark::DoNotOptimize(status.get_value());
    }
}
BENCHMARK(BM_error_path_push_two_arguments);

// 64 failures kept before any is released, as when a batch of records is checked and the
// failures are reported together: past the few blocks a thread keeps, each push allocates its
// item and its records (times and allocations per push).
static void BM_error_path_burst_of_64(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    std::vector<vc::result::stack> statuses(64);
    for (auto _ : state) {
        for (vc::result::stack& status : statuses) {
            status.push(vc::error_datetime::invalid_format, received);
        }
        benchmark::DoNotOptimize(statuses.back().get_value());
        for (vc::result::stack& status : statuses) {
            status.reset();
        }
    }
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_error_path_burst_of_64);

// The same with the received text held in a std::string.
static void BM_error_path_push_two_arguments_string(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    const std::string text(received);
    for (auto _ : state) {
        vc::result::stack status;
        status.push(vc::error_datetime::invalid_format, text);
        benchmark::DoNotOptimize(status.get_value());
    }
}
BENCHMARK(BM_error_path_push_two_arguments_string);

// A push with no arguments, then the stack destroyed.
static void BM_error_path_push_no_arguments(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        vc::result::stack status;
        status.push(vc::result::code<vc::converter_result_category, 1>());
        benchmark::DoNotOptimize(status.get_value());
    }
}
BENCHMARK(BM_error_path_push_no_arguments);

#ifdef VORN_BENCH_HAVE_ABSL
// The peer: the same failure as an absl::Status whose message carries the received text.
static void BM_peer_absl_invalid_argument(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    for (auto _ : state) {
        absl::Status status = absl::InvalidArgumentError(absl::StrCat(
            "invalid date-time: ", absl::string_view(received.data(), received.size())));
        benchmark::DoNotOptimize(status.ok());
    }
}
BENCHMARK(BM_peer_absl_invalid_argument);

static void BM_peer_absl_burst_of_64(benchmark::State& state) {
    bench::allocation_scope allocations(state);
    std::vector<absl::Status> statuses(64);
    for (auto _ : state) {
        for (absl::Status& status : statuses) {
            status = absl::InvalidArgumentError(absl::StrCat(
                "invalid date-time: ", absl::string_view(received.data(), received.size())));
        }
        benchmark::DoNotOptimize(statuses.back().ok());
        for (absl::Status& status : statuses) {
            status = absl::OkStatus();
        }
    }
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_peer_absl_burst_of_64);
#endif

// The same failure reported by throwing and catching a standard exception, the way a caller
// would without status stacks.
static void BM_peer_throw_catch(benchmark::State& state) {
    bench::allocation_scope allocations(state);
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
