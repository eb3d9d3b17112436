// The Base64 algorithm on the library's containers: output grows in place, the codec does
// the work with the kernels this processor supports best.
#include "binary_encoding/algorithm.hpp"
#include "binary_encoding/base64_codec.hpp"
#include "binary_encoding/output.hpp"
#include "result/exit_with_message.hpp"

namespace vorn::core::v2::detail::binary_encoding_algorithms {

std::string base64::finish_encoded_string(const std::string& text,
                                          const byte_array& leftover) const {
    if (leftover.size() > 2) {
        exit_with_message(
            "O método update_encoded_string() nunca pode retornar mais do que 2 bytes restantes",
            1);
    }
    char group[4];
    const std::size_t size = base64_encode_final(leftover.data(), leftover.size(), group);
    std::string complete;
    complete.reserve(text.size() + size);
    complete.append(text).append(group, size);
    return complete;
}

byte_array base64::update_encoded_string(std::string& text, const data_chunk* chunks,
                                         std::uint32_t count) const {
    const std::size_t size = base64_encoded_size(chunks, count);
    base64_carry carry;
    auto write = [&](char* out) noexcept {
        carry = base64_encode_update(active_base64_kernels(), chunks, count, out);
        return size;
    };
    if (size != 0) {
        // Room for the padded group too, in case this is all the input.
        append_to_text(text, size, 4, write);
    } else {
        // Fewer than three bytes in all: nothing to write, they are all carried.
        write(nullptr);
    }
    byte_array leftover;
    leftover.assign(carry.bytes, carry.bytes + carry.size);
    return leftover;
}

byte_array base64::finish_decoded_bytes(const byte_array& bytes,
                                        const std::string& leftover) const {
    const base64_final_bytes last = base64_decode_final(leftover.data(), leftover.size());
    if (last.refused) {
        return byte_array();
    }
    byte_array complete;
    complete.reserve(bytes.size() + last.size);
    complete.append(bytes.begin(), bytes.end());
    complete.append(last.bytes, last.bytes + last.size);
    return complete;
}

std::string base64::update_decoded_bytes(byte_array& bytes, const data_chunk* chunks,
                                         std::uint32_t count) const {
    return decode_into(
        bytes, chunks, count, base64_decoded_size_bound(chunks, count),
        [](const data_chunk* stream, std::uint32_t pieces, unsigned char* out) noexcept {
            return base64_decode_update(active_base64_kernels(), stream, pieces, out);
        });
}

}  // namespace vorn::core::v2::detail::binary_encoding_algorithms
