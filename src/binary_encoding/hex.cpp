// The hex algorithm on the library's containers: output grows in place, the codec does the
// work with the kernels this processor supports best.
#include "binary_encoding/algorithm.hpp"
#include "binary_encoding/hex_codec.hpp"
#include "binary_encoding/output.hpp"

namespace vorn::core::v2::detail::binary_encoding_algorithms {

std::string hex::finish_encoded_string(const std::string& text, const byte_array&) const {
    return text;
}

byte_array hex::update_encoded_string(std::string& text, const data_chunk* chunks,
                                      std::uint32_t count) const {
    const std::size_t size = hex_encoded_size(chunks, count);
    auto write = [&](char* out) noexcept {
        hex_encode_update(active_hex_kernels(), chunks, count, out);
        return size;
    };
    if (size != 0) {
        append_to_text(text, size, 0, write);
    }
    return byte_array();
}

byte_array hex::finish_decoded_bytes(const byte_array& bytes, const std::string& leftover) const {
    // An unpaired digit: the text has an odd number of characters (or was refused).
    if (!leftover.empty()) {
        return byte_array();
    }
    return bytes;
}

std::string hex::update_decoded_bytes(byte_array& bytes, const data_chunk* chunks,
                                      std::uint32_t count) const {
    return decode_into(
        bytes, chunks, count, hex_decoded_size_bound(chunks, count),
        [](const data_chunk* stream, std::uint32_t pieces, unsigned char* out) noexcept {
            return hex_decode_update(active_hex_kernels(), stream, pieces, out);
        });
}

}  // namespace vorn::core::v2::detail::binary_encoding_algorithms
