// SPDX-License-Identifier: MIT
// Byte storage: filling one byte at a time, appending pieces, copying; byte_array against
// std::vector<unsigned char> and std::string in the same run.
//
// Growth costs depend on how the C library's allocator gives memory back to the system. To
// compare with memory kept warm, run with
//   GLIBC_TUNABLES=glibc.malloc.trim_threshold=4294967296:glibc.malloc.mmap_threshold=33554432
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vorn/core/byte_array.hpp"

namespace {

using vorn::core::v2::byte_array;

constexpr std::size_t one_mib = std::size_t{1} << 20;
constexpr std::size_t sixteen_mib = std::size_t{16} << 20;
constexpr std::size_t piece = 64;

// push_back of 1 MiB, one byte at a time, into a new container each round: growth included.
template <class Container>
void push_back_one_mib(benchmark::State& state) {
    for (auto _ : state) {
        Container c;
        for (std::size_t i = 0; i < one_mib; ++i) {
            c.push_back(static_cast<unsigned char>(i));
        }
        benchmark::DoNotOptimize(c.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * one_mib));
}

void append_piece(byte_array& c, const unsigned char* p) {
    c.append(p, p + piece);
}
void append_piece(std::vector<unsigned char>& c, const unsigned char* p) {
    c.insert(c.end(), p, p + piece);
}
void append_piece(std::string& c, const unsigned char* p) {
    c.append(reinterpret_cast<const char*>(p), piece);
}

// Appends 64-byte pieces up to 16 MiB into a new container each round.
template <class Container>
void append_pieces_to_sixteen_mib(benchmark::State& state) {
    unsigned char source[piece];
    for (std::size_t i = 0; i < piece; ++i) {
        source[i] = static_cast<unsigned char>(i * 7);
    }
    for (auto _ : state) {
        Container c;
        for (std::size_t n = 0; n < sixteen_mib; n += piece) {
            benchmark::DoNotOptimize(source);
            append_piece(c, source);
        }
        benchmark::DoNotOptimize(c.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sixteen_mib));
}

// Two containers appended in turn, 64-byte pieces up to 4 MiB each: neither block can always
// grow in place, which is where growth in fixed 1 KiB steps costs most.
template <class Container>
void append_two_in_turn_to_four_mib(benchmark::State& state) {
    constexpr std::size_t four_mib = std::size_t{4} << 20;
    unsigned char source[piece] = {};
    for (auto _ : state) {
        Container first;
        Container second;
        for (std::size_t n = 0; n < four_mib; n += piece) {
            benchmark::DoNotOptimize(source);
            append_piece(first, source);
            append_piece(second, source);
        }
        benchmark::DoNotOptimize(first.data());
        benchmark::DoNotOptimize(second.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 2 * four_mib));
}

template <class Container>
Container filled_one_mib();
template <>
byte_array filled_one_mib<byte_array>() {
    return byte_array(one_mib, 0x5A);
}
template <>
std::vector<unsigned char> filled_one_mib<std::vector<unsigned char>>() {
    return std::vector<unsigned char>(one_mib, 0x5A);
}
template <>
std::string filled_one_mib<std::string>() {
    return std::string(one_mib, '\x5A');
}

// Copy construction of a 1 MiB container, and its destruction.
template <class Container>
void copy_one_mib(benchmark::State& state) {
    const Container source = filled_one_mib<Container>();
    for (auto _ : state) {
        Container copy(source);
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * one_mib));
}

// The physical limit of a copy: malloc, memcpy, free.
void copy_one_mib_malloc_memcpy(benchmark::State& state) {
    const std::vector<unsigned char> source(one_mib, 0x5A);
    for (auto _ : state) {
        void* copy = std::malloc(one_mib);
        std::memcpy(copy, source.data(), one_mib);
        benchmark::DoNotOptimize(copy);
        benchmark::ClobberMemory();
        std::free(copy);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * one_mib));
}

}  // namespace

BENCHMARK_TEMPLATE(push_back_one_mib, byte_array);
BENCHMARK_TEMPLATE(push_back_one_mib, std::vector<unsigned char>);
BENCHMARK_TEMPLATE(push_back_one_mib, std::string);

BENCHMARK_TEMPLATE(append_pieces_to_sixteen_mib, byte_array);
BENCHMARK_TEMPLATE(append_pieces_to_sixteen_mib, std::vector<unsigned char>);
BENCHMARK_TEMPLATE(append_pieces_to_sixteen_mib, std::string);

BENCHMARK_TEMPLATE(append_two_in_turn_to_four_mib, byte_array);
BENCHMARK_TEMPLATE(append_two_in_turn_to_four_mib, std::vector<unsigned char>);
BENCHMARK_TEMPLATE(append_two_in_turn_to_four_mib, std::string);

BENCHMARK_TEMPLATE(copy_one_mib, byte_array);
BENCHMARK_TEMPLATE(copy_one_mib, std::vector<unsigned char>);
BENCHMARK_TEMPLATE(copy_one_mib, std::string);
BENCHMARK(copy_one_mib_malloc_memcpy);
