// SPDX-License-Identifier: MIT
// The payloads of the benchmarks: the same pseudo-random bytes in every program and run, so
// that figures from different programs describe the same input.
#ifndef VORN_CORE_BENCH_SUPPORT_RANDOM_BYTES_HPP
#define VORN_CORE_BENCH_SUPPORT_RANDOM_BYTES_HPP

#include <cstddef>
#include <random>
#include <vector>

namespace vorn::bench {

// `n` bytes from a generator seeded with 42.
inline std::vector<unsigned char> random_bytes(std::size_t n) {
    std::mt19937 rng(42);
    std::vector<unsigned char> data(n);
    for (unsigned char& c : data) {
        c = static_cast<unsigned char>(rng());
    }
    return data;
}

}  // namespace vorn::bench

#endif
