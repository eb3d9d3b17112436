// SPDX-License-Identifier: MIT
// The encoders with line breaks: one-shot, streamed at fuzzer-chosen cuts and into buffers of
// the size needed and one less, against the unwrapped text broken by the slow reference; a
// text broken at whitespace reads back forgivingly. The first byte picks the encoding and the
// line end, the second the line length.
#include <array>

#include "binary_encoding_checks.hpp"

namespace {

int check_input(const std::uint8_t* data, std::size_t size) {
    using namespace vorn::fuzz;
    if (size < 2) {
        return 0;
    }
    static constexpr std::array<std::string_view, 4> ends = {"\n", "\r\n", "|", ""};
    const auto e = static_cast<vc::binary_encoding>(data[0] % 3);
    const vc::line_wrap wrap{data[1], ends[data[0] / 3 % 4]};
    const split_input in = split(data + 2, size - 2);
    const bytes payload(in.payload.begin(), in.payload.end());

    const std::string text = vc::binary_encoder::encode(e, in.payload, wrap);
    check(text == vorn::test::reference_wrap(reference_encode(e, payload), wrap.length, wrap.end));
    check(vc::binary_encoder::encoded_size(e, payload.size(), wrap) == text.size());

    vc::binary_encoder encoder(e, wrap);
    for_each_piece(in, [&](std::string_view piece) { encoder.add_data(piece); });
    check(encoder.finish() == text);

    std::string out(text.size(), '\0');
    check(vc::binary_encoder::encode_to(e, in.payload, out.data(), out.size(), wrap).size ==
          text.size());
    check(out == text);
    if (!text.empty()) {
        const vc::encode_result r = encoder.finish_to(out.data(), text.size() - 1);
        check(r.too_small && r.size == text.size());
    }

    const bool whitespace_ends = wrap.end == "\n" || wrap.end == "\r\n";
    if (whitespace_ends && (e != vc::binary_encoding::hex || wrap.length % 2 == 0)) {
        check(to_bytes(vc::binary_decoder::decode(e, text, vc::decode_options::forgiving)) ==
              payload);
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vorn::fuzz::run_guarded(data, size, check_input);
}
