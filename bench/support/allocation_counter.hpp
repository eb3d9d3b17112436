// SPDX-License-Identifier: MIT
// Heap allocations counted in benchmark programs.
//
// The benchmark programs interpose malloc, calloc, realloc and the global operator new (the
// definitions in allocation_counter.cpp forward to glibc), so every block taken by the library,
// by a peer or by the standard library is counted. A benchmark reports the blocks one
// iteration takes with count_allocations():
//
//   void bm(benchmark::State& state) {
//       bench::allocation_scope allocations(state);
//       for (auto _ : state) { ... }
//   }                                   // adds the counter "allocs/op"
#ifndef VORN_BENCH_ALLOCATION_COUNTER_HPP
#define VORN_BENCH_ALLOCATION_COUNTER_HPP

#include <benchmark/benchmark.h>

#include <cstddef>

namespace bench {

// Blocks taken by malloc, calloc, realloc (a call that moves or creates a block) and operator
// new since the program started (exact for allocations made on one thread at a time).
std::size_t allocation_count() noexcept;

// Counts the blocks taken while it lives and reports them per iteration as the user counter
// "allocs/op" of the benchmark's state.
class allocation_scope {
  public:
    explicit allocation_scope(benchmark::State& state) noexcept
        : state_(state), start_(allocation_count()) {}
    allocation_scope(const allocation_scope&) = delete;
    allocation_scope& operator=(const allocation_scope&) = delete;
    ~allocation_scope() {
        const double taken = static_cast<double>(allocation_count() - start_);
        const double iterations = static_cast<double>(state_.iterations());
        state_.counters["allocs/op"] = iterations > 0 ? taken / iterations : 0.0;
    }

  private:
    benchmark::State& state_;
    std::size_t start_;
};

}  // namespace bench

#endif  // VORN_BENCH_ALLOCATION_COUNTER_HPP
