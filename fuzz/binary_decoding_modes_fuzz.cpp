// SPDX-License-Identifier: MIT
// The decoders with their options (canonical, forgiving) on arbitrary text: one-shot against
// streamed at fuzzer-chosen cuts, against the slow references, into a buffer of a
// fuzzer-chosen capacity and appended to an array; the whitespace squeezers against each
// other. The first byte picks the encoding and options, the second the capacity.
#include <vector>

#include "binary_encoding/whitespace.hpp"
#include "binary_encoding_checks.hpp"

namespace {

using namespace vorn::fuzz;

std::optional<bytes> reference_with(vc::binary_encoding e, std::string_view text, bool canonical,
                                    bool forgiving) {
    std::optional<bytes> decoded;
    if (!forgiving) {
        decoded = reference_decode(e, text);
    } else if (e == vc::binary_encoding::hex) {
        decoded = vorn::test::reference_forgiving_hex_decode(text);
    } else {
        decoded = vorn::test::reference_forgiving_base64_decode(
            text, e == vc::binary_encoding::base64url);
    }
    // Canonical: the bytes encode back to the text's significant characters.
    if (decoded && canonical && e != vc::binary_encoding::hex &&
        vorn::test::reference_significant(reference_encode(e, *decoded)) !=
            vorn::test::reference_significant(text)) {
        return std::nullopt;
    }
    return decoded;
}

int check_input(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const auto e = static_cast<vc::binary_encoding>(data[0] % 3);
    const auto options = static_cast<vc::decode_options>(data[0] / 3 % 4);
    const bool canonical =
        (options & vc::decode_options::canonical) != vc::decode_options::standard;
    const bool forgiving =
        (options & vc::decode_options::forgiving) != vc::decode_options::standard;
    const std::size_t capacity = data[1];
    const split_input in = split(data + 2, size - 2);

    vc::decode_status status;
    const bytes one_shot = to_bytes(vc::binary_decoder::decode(e, in.payload, options, status));
    const std::optional<bytes> expected = reference_with(e, in.payload, canonical, forgiving);
    check((status == vc::decode_status::complete) == expected.has_value());
    check(one_shot == expected.value_or(bytes{}));

    vc::binary_decoder decoder(e, options);
    for_each_piece(in, [&](std::string_view piece) { decoder.add_string(piece); });
    check(decoder.get_status() == status);
    check(to_bytes(decoder.finish()) == one_shot);

    // Exactly `capacity` bytes: the sanitizer sees any write past them.
    std::vector<unsigned char> out(capacity);
    const vc::decode_result r =
        vc::binary_decoder::decode_to(e, in.payload, out.data(), capacity, options);
    if (status != vc::decode_status::complete) {
        check(r.status == status && r.size == 0);
    } else if (one_shot.size() > capacity) {
        check(r.status == vc::decode_status::too_small && r.size == one_shot.size());
    } else {
        check(r.status == status && bytes(out.begin(), out.begin() + r.size) == one_shot);
    }
    vc::byte_array appended = vc::binary_decoder::decode(vc::binary_encoding::hex, "7e");
    check(vc::binary_decoder::decode_append(e, in.payload, appended, options) == status);
    bytes with_prefix{0x7e};
    with_prefix.insert(with_prefix.end(), one_shot.begin(), one_shot.end());
    check(to_bytes(appended) == with_prefix);

    // The squeezers agree.
    std::vector<char> portable(in.payload.size() + vd::squeeze_slack);
    std::vector<char> wide(in.payload.size() + vd::squeeze_slack);
    const std::size_t kept =
        vd::squeeze_whitespace_portable(in.payload.data(), in.payload.size(), portable.data());
    if (vorn::test::kernel_level_supported(vd::kernel_level::avx2)) {
        check(vd::squeeze_whitespace_avx2(in.payload.data(), in.payload.size(), wide.data()) ==
              kept);
        check(std::equal(portable.begin(), portable.begin() + kept, wide.begin()));
    }
    if (vd::squeeze_avx512_supported()) {
        check(vd::squeeze_whitespace_avx512(in.payload.data(), in.payload.size(), wide.data()) ==
              kept);
        check(std::equal(portable.begin(), portable.begin() + kept, wide.begin()));
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vorn::fuzz::run_guarded(data, size, check_input);
}
