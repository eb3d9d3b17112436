// SPDX-License-Identifier: MIT
// What the binary-encoding fuzz targets check: a decoder and an encoder against the slow
// reference, one-shot against streamed at the fuzzer's split points, the library's kernels
// against every other kernel level this processor supports.
#ifndef VORN_CORE_FUZZ_BINARY_ENCODING_CHECKS_HPP
#define VORN_CORE_FUZZ_BINARY_ENCODING_CHECKS_HPP

#include "vorn/core/binary_encoding.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.hpp"
#include "support/encoding_reference.hpp"
#include "support/kernel_codec.hpp"

namespace vorn::fuzz {

namespace vc = vorn::core::v2;
namespace vd = vorn::core::v2::detail;
using test::bytes;

// The fuzzer's input: a count of cuts (first byte, 0-7), that many cut positions (one byte
// each, scaled to the payload) and the payload.
struct split_input {
    std::vector<std::size_t> cuts;  // sorted, each within the payload
    std::string_view payload;
};

inline split_input split(const std::uint8_t* data, std::size_t size) {
    split_input in;
    if (size == 0) {
        return in;
    }
    const std::size_t count = std::min<std::size_t>(data[0] % 8, size - 1);
    in.payload =
        std::string_view(reinterpret_cast<const char*>(data) + 1 + count, size - 1 - count);
    for (std::size_t i = 0; i < count; ++i) {
        in.cuts.push_back(data[1 + i] * (in.payload.size() + 1) / 256);
    }
    std::sort(in.cuts.begin(), in.cuts.end());
    return in;
}

inline bytes to_bytes(const vc::byte_array& a) {
    return bytes(a.begin(), a.end());
}

// Calls `feed(piece)` for each piece of the payload between the cuts, in order.
template <class Feed>
void for_each_piece(const split_input& in, Feed feed) {
    std::size_t from = 0;
    for (std::size_t cut : in.cuts) {
        feed(in.payload.substr(from, cut - from));
        from = cut;
    }
    feed(in.payload.substr(from));
}

// The payload fed to a decoder in the pieces between the cuts.
inline bytes decode_streamed(vc::binary_encoding e, const split_input& in) {
    vc::binary_decoder decoder(e);
    for_each_piece(in, [&](std::string_view piece) { decoder.add_string(piece); });
    const vc::byte_array first = decoder.finish();
    check(to_bytes(decoder.finish()) == to_bytes(first));  // finish() only reads
    return to_bytes(first);
}

inline std::optional<bytes> reference_decode(vc::binary_encoding e, std::string_view text) {
    switch (e) {
        case vc::binary_encoding::base64:
            return test::reference_base64_decode(text);
        case vc::binary_encoding::base64url:
            return test::reference_base64url_decode(text);
        default:
            return test::reference_hex_decode(text);
    }
}

inline std::string reference_encode(vc::binary_encoding e, const bytes& data) {
    switch (e) {
        case vc::binary_encoding::base64:
            return test::reference_base64_encode(data);
        case vc::binary_encoding::base64url:
            return test::reference_base64url_encode(data);
        default:
            return test::reference_hex_encode(data);
    }
}

inline void check_decoder(vc::binary_encoding e, const std::uint8_t* data, std::size_t size) {
    const split_input in = split(data, size);
    const bytes one_shot =
        to_bytes(vc::binary_decoder::decode(e, in.payload.data(), in.payload.size()));

    // Where the text is cut never matters.
    check(decode_streamed(e, in) == one_shot);

    // A valid text gives the reference's bytes, a refused one gives nothing.
    const std::optional<bytes> expected = reference_decode(e, in.payload);
    check(one_shot == expected.value_or(bytes{}));

    // The caller-buffer form and the status agree with the allocating form and the reference.
    std::vector<unsigned char> out(vc::binary_decoder::decoded_size_bound(e, in.payload.size()));
    const vc::decode_result r = vc::binary_decoder::decode_to(e, in.payload, out.data());
    check(r.refused() != expected.has_value());
    check(bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(r.size)) == one_shot);
    vc::decode_status status;
    check(to_bytes(vc::binary_decoder::decode(e, in.payload, status)) == one_shot);
    check(status == r.status);

    // Every kernel level agrees, whatever runs the text is handed to the kernels in.
    for (vd::kernel_level level :
         {vd::kernel_level::scalar, vd::kernel_level::avx2, vd::kernel_level::avx512}) {
        if (test::kernel_level_supported(level)) {
            check(test::kernel_decode(level, e, in.payload, in.cuts).value_or(bytes{}) == one_shot);
        }
    }

    // The decoded bytes encode to a text that decodes to them again.
    const std::string again = vc::binary_encoder::encode(e, one_shot.data(), one_shot.size());
    check(to_bytes(vc::binary_decoder::decode(e, again)) == one_shot);
}

inline void check_encoder(vc::binary_encoding e, const std::uint8_t* data, std::size_t size) {
    const split_input in = split(data, size);
    const bytes payload(in.payload.begin(), in.payload.end());
    const std::string one_shot = vc::binary_encoder::encode(e, payload.data(), payload.size());
    check(one_shot == reference_encode(e, payload));
    std::string out(vc::binary_encoder::encoded_size(e, payload.size()), '\0');
    check(vc::binary_encoder::encode_to(e, payload.data(), payload.size(), out.data()) ==
          out.size());
    check(out == one_shot);

    vc::binary_encoder encoder(e);
    std::size_t from = 0;
    for (std::size_t cut : in.cuts) {
        encoder.add_data(payload.data() + from, cut - from);
        from = cut;
    }
    encoder.add_data(payload.data() + from, payload.size() - from);
    check(encoder.finish() == one_shot);

    // The text round-trips, one-shot and cut where the bytes were cut.
    check(to_bytes(vc::binary_decoder::decode(e, one_shot)) == payload);
    split_input text_in{in.cuts, one_shot};
    for (std::size_t& cut : text_in.cuts) {
        cut = std::min(cut * (e == vc::binary_encoding::hex ? 6 : 4) / 3, one_shot.size());
    }
    check(decode_streamed(e, text_in) == payload);
}

}  // namespace vorn::fuzz

#endif
