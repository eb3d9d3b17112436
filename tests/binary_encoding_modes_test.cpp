// SPDX-License-Identifier: MIT
// The decoding options (canonical, forgiving), wrapped encoding and the forms that write into a
// buffer of a given capacity: forgiving Base64 against the web platform's atob, wrapped
// Base64 against Python's base64.encodebytes (both recorded in support/base64_oracle.inc),
// one-shot against streamed at random cuts, every capacity around the size needed.
#include "vorn/core.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "binary_encoding/whitespace.hpp"
#include "support/encoding_reference.hpp"
#include "support/kernel_codec.hpp"

namespace vc = vorn::core::v2;
namespace vd = vorn::core::v2::detail;
namespace vt = vorn::test;
using vc::binary_decoder;
using vc::binary_encoder;
using vc::binary_encoding;
using vc::decode_options;
using vc::decode_status;

namespace {

#include "support/base64_oracle.inc"

constexpr decode_options forgiving = decode_options::forgiving;
constexpr decode_options canonical = decode_options::canonical;

std::string as_text(const vc::byte_array& a) {
    return std::string(reinterpret_cast<const char*>(a.data()), a.size());
}

std::string from_hex(std::string_view hex) {
    return as_text(binary_decoder::decode(binary_encoding::hex, hex));
}

// `text` fed to a decoder in the pieces between `cuts` random cuts; its status and bytes.
std::pair<decode_status, std::string> decode_cut(binary_encoding e, decode_options options,
                                                 std::string_view text, std::mt19937& rng,
                                                 int cuts) {
    std::vector<std::size_t> at{0, text.size()};
    for (int i = 0; i < cuts; ++i) {
        at.push_back(rng() % (text.size() + 1));
    }
    std::sort(at.begin(), at.end());
    binary_decoder decoder(e, options);
    for (std::size_t i = 0; i + 1 < at.size(); ++i) {
        decoder.add_string(text.substr(at[i], at[i + 1] - at[i]));
    }
    return {decoder.get_status(), as_text(decoder.finish())};
}

// Calls `write(out, capacity)` (a writer into a caller's buffer, giving {size, too_small}) at
// every capacity from 0 to past `expected`'s size, on a buffer whose bytes past the capacity
// are watched: none may change, smaller buffers are too small, larger ones get `expected`.
template <class Write>
void expect_bounded(const std::string& expected, Write write) {
    for (std::size_t capacity = 0; capacity <= expected.size() + 1; ++capacity) {
        std::string buffer(capacity + 16, '\x5A');
        const auto [size, too_small] = write(&buffer[0], capacity);
        EXPECT_EQ(buffer.substr(capacity), std::string(16, '\x5A')) << capacity;
        EXPECT_EQ(too_small, capacity < expected.size()) << capacity;
        EXPECT_EQ(size, expected.size()) << capacity;
        if (!too_small) {
            EXPECT_EQ(buffer.substr(0, size), expected);
        }
    }
}

auto decoded_to(binary_encoding e, std::string_view text, decode_options options) {
    return [=](char* out, std::size_t capacity) {
        const vc::decode_result r = binary_decoder::decode_to(
            e, text, reinterpret_cast<unsigned char*>(out), capacity, options);
        return std::pair{r.size, r.status == decode_status::too_small};
    };
}

TEST(ForgivingBase64, AgreesWithAtobAndCanonicalWithReencoding) {
    std::mt19937 rng(7);
    for (const atob_case& c : atob_cases) {
        const std::string_view text(c.text, c.size);
        SCOPED_TRACE(std::string(text));
        const bool accepted = c.bytes_hex != nullptr;
        const std::string expected = accepted ? from_hex(c.bytes_hex) : "";
        decode_status read;
        const vc::byte_array one_shot =
            binary_decoder::decode(binary_encoding::base64, text, forgiving, read);
        ASSERT_EQ(read == decode_status::complete, accepted);
        EXPECT_EQ(as_text(one_shot), expected);
        EXPECT_EQ(decode_cut(binary_encoding::base64, forgiving, text, rng, 3),
                  std::pair(read, expected));
        EXPECT_EQ(vt::reference_forgiving_base64_decode(text, false).has_value(), accepted);

        // Canonical: exactly the texts whose bytes encode back to their significant characters.
        const bool same_text =
            vt::reference_significant(binary_encoder::encode(binary_encoding::base64, expected)) ==
            vt::reference_significant(text);
        decode_status status;
        EXPECT_EQ(
            binary_decoder::decode(binary_encoding::base64, text, forgiving | canonical, status)
                        .size() == expected.size() &&
                status == decode_status::complete,
            accepted && same_text);
        const bool strict = binary_decoder::decode(binary_encoding::base64, text, status).size() ==
                                expected.size() &&
                            status == decode_status::complete;
        binary_decoder::decode(binary_encoding::base64, text, canonical, status);
        EXPECT_EQ(status == decode_status::complete, strict && same_text);
        EXPECT_EQ(decode_cut(binary_encoding::base64, canonical, text, rng, 2).first, status);

        if (accepted && text.size() < 24) {
            expect_bounded(expected, decoded_to(binary_encoding::base64, text, forgiving));
        }
        vc::byte_array appended = binary_decoder::decode(binary_encoding::hex, "7e7e");
        EXPECT_EQ(binary_decoder::decode_append(binary_encoding::base64, text, appended, forgiving),
                  read);
        EXPECT_EQ(as_text(appended), "~~" + expected);
    }
}

// A group whose characters whitespace spreads over the squeezed slices of 4096 characters
// that a forgiving text is read in, one character or more in each: one-shot, into a buffer of
// the exact size and streamed, against the reference.
TEST(ForgivingBase64, GroupsSpreadOverSlices) {
    std::mt19937 rng(13);
    const std::string whole =
        binary_encoder::encode(binary_encoding::base64, std::string(3069, 'v'));
    for (std::size_t first : {1, 2, 3}) {
        for (std::string_view last : {"QUJD", "QUI=", "QQ=="}) {
            std::string text = whole + std::string(last.substr(0, first));
            text.resize(4096, ' ');
            text += last.substr(first, 1);
            text.resize(2 * 4096, '\n');
            text += last.substr(first + 1);
            SCOPED_TRACE(std::string(last) + " after " + std::to_string(first));
            const vt::bytes reference = vt::reference_forgiving_base64_decode(text, false).value();
            const std::string expected(reference.begin(), reference.end());
            decode_status status;
            EXPECT_EQ(
                as_text(binary_decoder::decode(binary_encoding::base64, text, forgiving, status)),
                expected);
            EXPECT_EQ(status, decode_status::complete);
            std::string out(expected.size(), '#');
            const vc::decode_result r = binary_decoder::decode_to(
                binary_encoding::base64, text, reinterpret_cast<unsigned char*>(&out[0]),
                expected.size(), forgiving);
            EXPECT_EQ(std::pair(r.size, r.status),
                      std::pair(expected.size(), decode_status::complete));
            EXPECT_EQ(out, expected);
            EXPECT_EQ(decode_cut(binary_encoding::base64, forgiving, text, rng, 2),
                      std::pair(decode_status::complete, expected));
        }
    }
}

TEST(WrappedBase64, AgreesWithEncodebytesStreamedAndBounded) {
    std::mt19937 rng(11);
    for (const encodebytes_case& c : encodebytes_cases) {
        std::string data(c.size, '\0');
        for (std::size_t i = 0; i < c.size; ++i) {
            data[i] = static_cast<char>((i * 167 + c.size * 13) & 0xFF);
        }
        const std::string lf(c.text);
        EXPECT_EQ(binary_encoder::encode(binary_encoding::base64, data, vc::line_wrap{76, "\n"}),
                  lf);
        const std::string padded = binary_encoder::encode(binary_encoding::base64, data);
        EXPECT_EQ(
            binary_encoder::encoded_size(binary_encoding::base64, c.size, vc::line_wrap::mime()),
            vt::reference_wrap(padded, 76, "\r\n").size());
        for (const vc::line_wrap wrap : {vc::line_wrap::mime(), vc::line_wrap::pem()}) {
            const std::string expected =
                vt::reference_wrap(padded, wrap.length, std::string(wrap.end));
            binary_encoder encoder(binary_encoding::base64, wrap);
            for (std::size_t from = 0; from < c.size;) {
                const std::size_t n = std::min<std::size_t>(rng() % 200, c.size - from);
                encoder.add_data(std::string_view(data).substr(from, n));
                from += n;
            }
            EXPECT_EQ(encoder.finish(), expected);
            std::string appended = "~";
            binary_encoder::encode_append(binary_encoding::base64, data, appended, wrap);
            EXPECT_EQ(appended, "~" + expected);
            EXPECT_EQ(as_text(binary_decoder::decode(binary_encoding::base64, expected, forgiving)),
                      data);
            if (c.size < 60) {
                expect_bounded(expected, [&](char* out, std::size_t capacity) {
                    const vc::encode_result r = binary_encoder::encode_to(
                        binary_encoding::base64, data, out, capacity, wrap);
                    return std::pair{r.size, r.too_small};
                });
                expect_bounded(expected, [&](char* out, std::size_t capacity) {
                    const vc::encode_result r = encoder.finish_to(out, capacity);
                    return std::pair{r.size, r.too_small};
                });
            }
        }
    }
}

// Forgiving texts are read a few thousand characters at a time: lines of every length around
// that span, ending anywhere relative to it (whitespace alone in the last stretch included).
TEST(WrappedBase64, ReadsBackForgivinglyAcrossEveryStretch) {
    std::mt19937 rng(13);
    std::string data(3100, '\0');
    for (char& c : data) {
        c = static_cast<char>(rng());
    }
    for (std::size_t n = 2900; n <= data.size(); ++n) {
        const std::string_view bytes = std::string_view(data).substr(0, n);
        for (const vc::line_wrap wrap : {vc::line_wrap::mime(), vc::line_wrap::pem()}) {
            const std::string text = binary_encoder::encode(binary_encoding::base64, bytes, wrap);
            EXPECT_EQ(as_text(binary_decoder::decode(binary_encoding::base64, text, forgiving)),
                      bytes);
            EXPECT_EQ(decode_cut(binary_encoding::base64, forgiving, text, rng, 2),
                      std::pair(decode_status::complete, std::string(bytes)));
        }
    }
}

TEST(LineWrap, AnyLengthAnyEncodingAndEndsUpToFourCharacters) {
    const std::string data = "any carnal pleasure.";
    for (binary_encoding e :
         {binary_encoding::hex, binary_encoding::base64, binary_encoding::base64url}) {
        for (std::size_t length : {0, 1, 5, 27, 40, 41}) {
            for (std::string_view end : {"|", "", "\r\n\r\n"}) {
                const vc::line_wrap wrap{length, end};
                EXPECT_EQ(binary_encoder::encode(e, data, wrap),
                          vt::reference_wrap(binary_encoder::encode(e, data), length, end));
            }
        }
    }
    EXPECT_THROW(binary_encoder(binary_encoding::base64, vc::line_wrap{64, "\r\n\r\n\n"}),
                 std::invalid_argument);
    EXPECT_EQ(binary_encoder::encode(binary_encoding::base64, "", vc::line_wrap::mime()), "");
}

TEST(ForgivingHex, WhitespaceBetweenPairsOnly) {
    std::mt19937 rng(5);
    const struct {
        std::string_view text;
        decode_status status;
        std::string_view bytes;
    } cases[] = {
        {"4a 4b", decode_status::complete, "JK"}, {"\t4a\r\n4B \f ", decode_status::complete, "JK"},
        {" \n", decode_status::complete, ""},     {"4 a4b", decode_status::refused, ""},
        {"4a\v4b", decode_status::refused, ""},   {"4a 4", decode_status::incomplete, ""},
    };
    for (const auto& c : cases) {
        decode_status status;
        EXPECT_EQ(as_text(binary_decoder::decode(binary_encoding::hex, c.text, forgiving, status)),
                  c.bytes);
        EXPECT_EQ(status, c.status) << c.text;
        EXPECT_EQ(decode_cut(binary_encoding::hex, forgiving, c.text, rng, 3),
                  std::pair(c.status, std::string(c.bytes)));
        EXPECT_EQ(vt::reference_forgiving_hex_decode(c.text).has_value(),
                  c.status == decode_status::complete);
    }
    // Pieces longer than a squeezed slice: each slice fed in turn, none after a refusal.
    std::string pairs;
    for (int i = 0; i < 2000; ++i) {
        pairs += "4a ";
    }
    EXPECT_EQ(decode_cut(binary_encoding::hex, forgiving, pairs, rng, 0),
              std::pair(decode_status::complete, std::string(2000, 'J')));
    EXPECT_EQ(decode_cut(binary_encoding::hex, forgiving, "4 " + pairs, rng, 0),
              std::pair(decode_status::refused, std::string()));
}

TEST(BoundedOutputs, StreamedDecodersAndOneShotsOfEveryEncoding) {
    std::mt19937 rng(3);
    for (binary_encoding e :
         {binary_encoding::hex, binary_encoding::base64, binary_encoding::base64url}) {
        for (std::size_t n : {0, 1, 2, 3, 31, 200, 700}) {
            std::string data(n, '\0');
            for (char& c : data) {
                c = static_cast<char>(rng());
            }
            const std::string text = binary_encoder::encode(e, data);
            binary_decoder decoder(e);
            decoder.add_string(text);
            expect_bounded(data, [&](char* out, std::size_t capacity) {
                const vc::decode_result r =
                    decoder.finish_to(reinterpret_cast<unsigned char*>(out), capacity);
                return std::pair{r.size, r.status == decode_status::too_small};
            });
            expect_bounded(data, decoded_to(e, text, decode_options::standard));
            vc::byte_array appended;
            EXPECT_EQ(decoder.finish_append(appended), decode_status::complete);
            EXPECT_EQ(as_text(appended), data);
        }
    }
    // A refused text is refused whatever the capacity.
    unsigned char out[8];
    EXPECT_EQ(binary_decoder::decode_to(binary_encoding::base64, "Zm9v!mFy", out, 0).status,
              decode_status::refused);
    // A text that is not whole groups or pairs and not complete writes no byte that counts.
    const struct {
        binary_encoding encoding;
        std::string_view text;
        decode_status status;
    } partial[] = {
        {binary_encoding::base64, "QUJ", decode_status::incomplete},
        {binary_encoding::base64url, "QUJDQ", decode_status::incomplete},
        {binary_encoding::base64, "QU!", decode_status::refused},
        {binary_encoding::hex, "4a4", decode_status::incomplete},
    };
    for (const auto& c : partial) {
        const vc::decode_result r = binary_decoder::decode_to(c.encoding, c.text, out);
        EXPECT_EQ(std::pair(r.size, r.status), std::pair(std::size_t{0}, c.status)) << c.text;
    }
}

TEST(Squeeze, EveryKernelAgreesWithTheByteLoop) {
    std::mt19937 rng(9);
    const std::string_view spaces = " \t\n\f\r";
    const std::string_view others = "\vA=\x80\xff";
    std::vector<vd::squeeze_function> squeezers{vd::squeeze_whitespace_portable};
    if (vorn::test::kernel_level_supported(vd::kernel_level::avx2)) {
        squeezers.push_back(vd::squeeze_whitespace_avx2);
    }
    if (vd::squeeze_avx512_supported()) {
        squeezers.push_back(vd::squeeze_whitespace_avx512);
    }
    for (std::size_t n = 0; n < 300; ++n) {
        std::string text(n, 'x');
        for (char& c : text) {  // whitespace density from none to all
            c = rng() % 4 < n % 5 ? spaces[rng() % spaces.size()] : others[rng() % others.size()];
        }
        std::string expected;
        std::copy_if(text.begin(), text.end(), std::back_inserter(expected),
                     [](char c) { return !vt::reference_is_whitespace(c); });
        for (vd::squeeze_function squeeze : squeezers) {
            std::vector<char> out(n + vd::squeeze_slack);
            const std::size_t kept = squeeze(text.data(), n, out.data());
            EXPECT_EQ(std::string(out.data(), kept), expected) << n;
        }
    }
}

}  // namespace
