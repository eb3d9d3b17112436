// SPDX-License-Identifier: MIT
// Copying the short pieces the text and codec paths move most: a few bytes at a time.
#ifndef VORN_CORE_SRC_COMMON_COPY_BYTES_HPP
#define VORN_CORE_SRC_COMMON_COPY_BYTES_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vorn::core::v2::detail {

// Copies `size` bytes between buffers that do not overlap and returns the end of the copy.
// Up to 16 bytes are moved inline, as two possibly overlapping words that stay within both
// buffers; longer runs go to memcpy. `Byte` is a character type.
template <class Byte>
inline Byte* copy_bytes(Byte* out, const void* from, std::size_t size) noexcept {
    static_assert(sizeof(Byte) == 1, "copies bytes");
    const auto* const in = static_cast<const unsigned char*>(from);
    if (size > 16) {
        std::memcpy(out, in, size);
    } else if (size >= 8) {
        std::uint64_t head;
        std::uint64_t tail;
        std::memcpy(&head, in, 8);
        std::memcpy(&tail, in + size - 8, 8);
        std::memcpy(out, &head, 8);
        std::memcpy(out + size - 8, &tail, 8);
    } else if (size >= 4) {
        std::uint32_t head;
        std::uint32_t tail;
        std::memcpy(&head, in, 4);
        std::memcpy(&tail, in + size - 4, 4);
        std::memcpy(out, &head, 4);
        std::memcpy(out + size - 4, &tail, 4);
    } else if (size != 0) {
        out[0] = static_cast<Byte>(in[0]);
        out[size / 2] = static_cast<Byte>(in[size / 2]);
        out[size - 1] = static_cast<Byte>(in[size - 1]);
    }
    return out + size;
}

// As copy_bytes, for runs known to be short (a few hundred bytes at most): longer than 16
// bytes they are moved 16 at a time, the last 16 overlapping, instead of through memcpy,
// which the compiler expands into a string instruction for a bounded length, slow to start on
// some processors (bench/result_bench.cpp, BM_error_path_push_two_arguments).
template <class Byte>
inline Byte* copy_short_bytes(Byte* out, const void* from, std::size_t size) noexcept {
    if (size <= 16) {
        return copy_bytes(out, from, size);
    }
    const auto* const in = static_cast<const unsigned char*>(from);
    unsigned char chunk[16];
    for (std::size_t at = 0; at + 16 < size; at += 16) {
        std::memcpy(chunk, in + at, 16);
        std::memcpy(out + at, chunk, 16);
    }
    std::memcpy(chunk, in + size - 16, 16);
    std::memcpy(out + size - 16, chunk, 16);
    return out + size;
}

}  // namespace vorn::core::v2::detail

#endif
