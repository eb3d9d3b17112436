// SPDX-License-Identifier: MIT
// The storage under byte_array: one malloc block per array, a 24-byte header followed by the
// bytes, and a shared constant header for arrays that own no block.
#ifndef VORN_CORE_SRC_BYTE_ARRAY_BYTE_ARRAY_IMPL_HPP
#define VORN_CORE_SRC_BYTE_ARRAY_BYTE_ARRAY_IMPL_HPP

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "vorn/core/byte_array.hpp"

namespace vorn::core::v2::detail {

using core::detail::byte_array_impl;

// The largest n whose block size, n + header_size, still fits in 64 bits: 2^64 - 25.
inline constexpr std::size_t max_data_size = ~byte_array_impl::header_size;

// What grow() throws, as std::length_error, when the new size would pass 2^64 - 1. Frozen text,
// like the two in byte_array_impl.cpp: programs compare what() with it.
inline constexpr const char grow_length_error[] = "vorn::core::detail::byte_array_impl::grow";

// The header of every array that owns no block: size 0, capacity 0. It lives in read-only
// memory; nothing writes it and nothing frees it. An array has no block exactly when its
// header is this object.
extern const byte_array_impl empty_impl;

inline byte_array_impl* empty_header() noexcept {
    return const_cast<byte_array_impl*>(&empty_impl);
}

// The smallest power of two at least n, for n up to 2^32: n - 1 with every bit below its
// highest set bit also set, plus one. For n = 0 the subtraction wraps and the result is 0.
constexpr std::size_t round_up_to_power_of_two(std::size_t n) noexcept {
    std::size_t v = n - 1;
    v |= v >> 1;
    v |= v >> 2;
    v |= v >> 4;
    v |= v >> 8;
    v |= v >> 16;
    return v + 1;
}

// The block size to request for n data bytes, n <= max_data_size: powers of two up to
// 1024 bytes, multiples of 1024 above. The data always starts header_size bytes in. Inline,
// as the one-shot codecs allocate their results through it.
inline std::size_t block_size_for(std::size_t n) noexcept {
    const std::size_t total = n + byte_array_impl::header_size;
    if (total <= 1023) {
        return std::bit_ceil(total);
    }
    const std::size_t remainder = total % 1024;
    if (remainder == 0) {
        return total;
    }
    const std::size_t step = 1024 - remainder;
    // Past 2^64 - 1 the request keeps its exact size; the allocator then refuses it.
    return total > SIZE_MAX - step ? total : total + step;
}

// A new block for 1 <= n <= max_data_size bytes, size 0, as byte_array_impl::allocate makes
// it; inline for the callers inside the library, which so skip the exported entry point.
// Throws std::bad_alloc.
inline byte_array_impl* allocate_block(std::size_t n) {
    const std::size_t block = block_size_for(n);
    void* p = std::malloc(block);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return ::new (p)
        byte_array_impl{0, block - byte_array_impl::header_size, byte_array_impl::header_size};
}

// Makes room for n bytes (reallocate), then sets the size to n unless the header is the
// empty one.
void set_size(byte_array_impl*& ptr, std::size_t n);

// A new header holding a copy of ptr's bytes, with the capacity the policy gives for their
// count; the empty header when there are none.
byte_array_impl* clone(const byte_array_impl* ptr);

// Frees ptr's block; the empty header is left alone.
void release(byte_array_impl* ptr) noexcept;

// Sets every byte in use to value.
void fill(byte_array_impl* ptr, unsigned char value) noexcept;

inline unsigned char* data_of(byte_array_impl* ptr) noexcept {
    return reinterpret_cast<unsigned char*>(ptr) + byte_array_impl::header_size;
}
inline const unsigned char* data_of(const byte_array_impl* ptr) noexcept {
    return reinterpret_cast<const unsigned char*>(ptr) + byte_array_impl::header_size;
}

}  // namespace vorn::core::v2::detail

#endif
