// SPDX-License-Identifier: MIT
// Hexadecimal over streams of chunks: digit pairs that may span two chunks, the whole runs
// handed to a kernel.
#include "binary_encoding/hex_codec.hpp"

#include <cstdint>
#include <stdexcept>

#include "binary_encoding/tables.hpp"

namespace vorn::core::v2::detail {

std::size_t hex_encoded_size(const data_chunk* chunks, std::uint32_t count) {
    const std::size_t total = total_size(chunks, count);
    if (total > SIZE_MAX / 2) {
        throw std::length_error("vorn::core::binary_encoding: input too large");
    }
    return 2 * total;
}

void hex_encode_update(const hex_kernels& kernels, const data_chunk* chunks, std::uint32_t count,
                       char* out) noexcept {
    for (std::uint32_t c = 0; c < count; ++c) {
        kernels.encode(chunks[c].data, chunks[c].size, out);
        out += 2 * chunks[c].size;
    }
}

std::size_t hex_decoded_size_bound(const data_chunk* chunks, std::uint32_t count) {
    return total_size(chunks, count) / 2;
}

decode_outcome hex_decode_update(const hex_kernels& kernels, const data_chunk* chunks,
                                 std::uint32_t count, unsigned char* out) noexcept {
    unsigned char* const start = out;
    char pending = 0;
    bool has_pending = false;  // the first digit of a pair that straddles two chunks
    for (std::uint32_t c = 0; c < count; ++c) {
        const char* p = reinterpret_cast<const char*>(chunks[c].data);
        std::size_t n = chunks[c].size;
        if (n == 0) {
            continue;
        }
        if (has_pending) {
            const char pair[2] = {pending, *p};
            if (!hex_scalar_kernels.decode(pair, 1, out)) {
                return decode_outcome::refusal();
            }
            ++out;
            ++p;
            --n;
            has_pending = false;
        }
        const std::size_t pairs = n / 2;
        if (!kernels.decode(p, pairs, out)) {
            return decode_outcome::refusal();
        }
        out += pairs;
        if (n % 2 != 0) {
            pending = p[n - 1];
            has_pending = true;
        }
    }
    // A lone character that is not a digit can never be completed into a valid pair.
    if (has_pending && hex_value(pending) == not_in_alphabet) {
        return decode_outcome::refusal();
    }
    decode_outcome outcome;
    outcome.written = static_cast<std::size_t>(out - start);
    if (has_pending) {
        outcome.leftover[0] = pending;
        outcome.leftover_size = 1;
    }
    return outcome;
}

}  // namespace vorn::core::v2::detail
