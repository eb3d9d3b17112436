// SPDX-License-Identifier: MIT
// Hexadecimal text over streams of chunks, on raw buffers: two lower-case digits per byte,
// high digit first. Decoding accepts both cases and pairs characters across chunk
// boundaries; a pair holding anything but hex digits refuses the whole text, and so does an
// odd number of characters once the text is finished.
#ifndef VORN_CORE_SRC_BINARY_ENCODING_HEX_CODEC_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_HEX_CODEC_HPP

#include <cstddef>
#include <cstdint>

#include "binary_encoding/chunks.hpp"
#include "binary_encoding/kernels.hpp"

namespace vorn::core::v2::detail {

// The number of digits hex_encode_update writes for these chunks. Throws std::length_error
// when it does not fit in size_t.
std::size_t hex_encoded_size(const data_chunk* chunks, std::uint32_t count);

// Writes the two digits of every byte of the chunk stream to `out`.
void hex_encode_update(const hex_kernels& kernels, const data_chunk* chunks, std::uint32_t count,
                       char* out) noexcept;

// At least as many bytes as hex_decode_update writes for these chunks.
std::size_t hex_decoded_size_bound(const data_chunk* chunks, std::uint32_t count);

// Decodes every pair of the chunk stream to `out`. Holds back an unpaired final digit, or
// refuses the stream.
decode_outcome hex_decode_update(const hex_kernels& kernels, const data_chunk* chunks,
                                 std::uint32_t count, unsigned char* out) noexcept;

}  // namespace vorn::core::v2::detail

#endif
