// SPDX-License-Identifier: MIT
// Binary-to-text encodings: the encoder and decoder front-ends, the Base64 and hex rules, the
// error_binary_encoding category, and the codecs with every kernel this processor supports
// checked against a slow reference.
#include "vorn/core.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "binary_encoding/state.hpp"
#include "support/allocation_failure.hpp"
#include "support/child_process.hpp"
#include "support/encoding_reference.hpp"
#include "support/kernel_codec.hpp"

namespace vc = vorn::core::v2;
namespace vd = vorn::core::v2::detail;
using vc::binary_decoder;
using vc::binary_encoder;
using vc::binary_encoding;
using vorn::test::bytes;

namespace {

constexpr binary_encoding base64 = binary_encoding::base64;
constexpr binary_encoding hex = binary_encoding::hex;

const char* const invalid_encoding_text =
    "Codificação binária inválida! Não foi possível obter o algoritimo.";

bytes to_bytes(const vc::byte_array& a) {
    return bytes(a.begin(), a.end());
}
bytes text_bytes(std::string_view s) {
    return bytes(s.begin(), s.end());
}

vc::byte_array to_array(const bytes& b) {
    vc::byte_array a;
    a.assign(b.data(), b.data() + b.size());
    return a;
}

bytes random_bytes(std::mt19937& rng, std::size_t n) {
    bytes b(n);
    for (unsigned char& c : b) {
        c = static_cast<unsigned char>(rng());
    }
    return b;
}

// What a strict decoder must give: the reference's bytes, or nothing for a refused text.
bytes expected_decoding(binary_encoding e, std::string_view text) {
    const std::optional<bytes> decoded = e == base64 ? vorn::test::reference_base64_decode(text)
                                                     : vorn::test::reference_hex_decode(text);
    return decoded.value_or(bytes{});
}

std::string expected_encoding(binary_encoding e, const bytes& data) {
    return e == base64 ? vorn::test::reference_base64_encode(data)
                       : vorn::test::reference_hex_encode(data);
}

// Cut positions splitting [0, n) into pieces; sorted, each in [0, n].
using cuts = std::vector<std::size_t>;

cuts random_cuts(std::mt19937& rng, std::size_t n, std::size_t how_many) {
    cuts c;
    for (std::size_t i = 0; i < how_many; ++i) {
        c.push_back(n == 0 ? 0 : rng() % (n + 1));
    }
    std::sort(c.begin(), c.end());
    return c;
}

// Calls f(from, to) for each piece between the cuts; cuts past `n` cut at `n`.
template <class F>
void for_each_piece(std::size_t n, const cuts& c, F f) {
    std::size_t from = 0;
    for (std::size_t cut : c) {
        cut = std::min(cut, n);
        f(from, cut);
        from = cut;
    }
    f(from, n);
}

std::string encode_in_pieces(binary_encoding e, const bytes& data, const cuts& c) {
    binary_encoder encoder(e);
    for_each_piece(data.size(), c, [&](std::size_t from, std::size_t to) {
        encoder.add_data(data.data() + from, to - from);
    });
    return encoder.finish();
}

bytes decode_in_pieces(binary_encoding e, std::string_view text, const cuts& c) {
    binary_decoder decoder(e);
    for_each_piece(text.size(), c, [&](std::size_t from, std::size_t to) {
        decoder.add_string(text.data() + from, to - from);
    });
    return to_bytes(decoder.finish());
}

// A text through the kernels of one level, cut into kernel calls where `c` says; nothing for a
// refused text.
bytes kernel_decode(vd::kernel_level level, binary_encoding e, std::string_view text,
                    const cuts& c) {
    return vorn::test::kernel_decode(level, e, text, c).value_or(bytes{});
}
using vorn::test::kernel_encode;

// Texts that exercise the decoding rules, valid and refused; the reference decides which.
const std::vector<std::pair<binary_encoding, std::string>>& rule_texts() {
    static const std::vector<std::pair<binary_encoding, std::string>> texts = {
        {base64, ""},
        {base64, "Zg=="},
        {base64, "Zm8="},
        {base64, "Zm9v"},
        {base64, "Zm9vYg=="},
        {base64, "Zm9vYmE="},
        {base64, "Zm9vYmFy"},
        {base64, "Zm9="},
        {base64, "Zm9v!mFy"},
        {base64, "Zg=A"},
        {base64, "===="},
        {base64, "Z==="},
        {base64, "Zg="},
        {base64, "Zg"},
        {base64, "-_8="},
        {base64, "Zm9vYg"},
        {base64, "Zm9vYmE"},
        {base64, "Zm9v\nYmFy"},
        {base64, "Zm9v YmFy"},
        {base64, "Zg==Zg=="},
        {base64, "Zg==A"},
        {base64, "Zm8=Zm9v"},
        {base64, "\x80m9vYmFy"},
        {base64, "Zm9vYm\xff="},
        {base64, "=m9v"},
        {base64, "Zm=v"},
        {base64, "A"},
        {hex, ""},
        {hex, "41"},
        {hex, "4a4B"},
        {hex, "007f80ff"},
        {hex, "ABC"},
        {hex, "a"},
        {hex, "zz"},
        {hex, "z1"},
        {hex, "1z"},
        {hex, " 41"},
        {hex, "41 "},
        {hex, "4\x80"},
        {hex, "0g"},
        {hex, "G0"},
        {hex, "@1"},
        {hex, "`1"},
        {hex, "/0"},
        {hex, ":0"},
    };
    return texts;
}

// ---------------------------------------------------------------------------------------------
// The encoder and decoder

TEST(BinaryEncoding, EnumerationValues) {
    EXPECT_EQ(static_cast<std::uint32_t>(hex), 0u);
    EXPECT_EQ(static_cast<std::uint32_t>(base64), 1u);
    static_assert(sizeof(binary_encoder) == sizeof(void*));
    static_assert(sizeof(binary_decoder) == sizeof(void*));
}

TEST(BinaryEncoding, Rfc4648VectorsBothWays) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, text] : vectors) {
        const bytes data = text_bytes(plain);
        EXPECT_EQ(binary_encoder::encode(base64, data.data(), data.size()), text) << plain;
        EXPECT_EQ(to_bytes(binary_decoder::decode(base64, text)), data) << text;

        // One byte, one character per call.
        binary_encoder encoder(base64);
        for (unsigned char b : data) {
            encoder.add_data(&b, 1);
        }
        EXPECT_EQ(encoder.finish(), text) << plain;
        binary_decoder decoder(base64);
        for (const char* p = text; *p != '\0'; ++p) {
            decoder.add_string(p, 1);
        }
        EXPECT_EQ(to_bytes(decoder.finish()), data) << text;
    }
}

TEST(BinaryEncoding, HexVectorsBothWays) {
    const bytes data = {0x00, 0x7F, 0x80, 0xFF};
    EXPECT_EQ(binary_encoder::encode(hex, data.data(), data.size()), "007f80ff");
    EXPECT_EQ(binary_encoder::encode(hex, nullptr, 0), "");
    EXPECT_EQ(to_bytes(binary_decoder::decode(hex, "007F80fF")), data);
    EXPECT_EQ(to_bytes(binary_decoder::decode(hex, "4a4B")), (bytes{0x4A, 0x4B}));

    binary_decoder decoder(hex);
    decoder.add_string("41");
    decoder.add_string("4");
    decoder.add_string("2");
    EXPECT_EQ(to_bytes(decoder.finish()), (bytes{0x41, 0x42}));
}

TEST(BinaryEncoding, SplitPointsNeverMatter) {
    std::mt19937 rng(23);
    for (std::size_t n = 0; n <= 24; ++n) {
        const bytes data = random_bytes(rng, n);
        for (binary_encoding e : {hex, base64}) {
            const std::string text = expected_encoding(e, data);
            for (std::size_t cut = 0; cut <= n; ++cut) {
                ASSERT_EQ(encode_in_pieces(e, data, {cut}), text) << n << ' ' << cut;
            }
            for (std::size_t cut = 0; cut <= text.size(); ++cut) {
                ASSERT_EQ(decode_in_pieces(e, text, {cut}), data) << text << ' ' << cut;
            }
        }
    }
}

// Every rule text, one-shot, split in two at every position, and one character per call:
// always the reference's answer.
TEST(BinaryEncoding, DecodingRulesHoldWhateverTheSplit) {
    for (const auto& [e, text] : rule_texts()) {
        SCOPED_TRACE(testing::Message()
                     << (e == base64 ? "base64 " : "hex ") << '"' << text << '"');
        const bytes expected = expected_decoding(e, text);
        EXPECT_EQ(to_bytes(binary_decoder::decode(e, text)), expected);
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            EXPECT_EQ(decode_in_pieces(e, text, {cut}), expected) << "cut at " << cut;
        }
        cuts every;
        for (std::size_t i = 1; i < text.size(); ++i) {
            every.push_back(i);
        }
        EXPECT_EQ(decode_in_pieces(e, text, every), expected);
        // Followed by a valid tail and cut within the rule text: the rest arrives as one piece
        // too long to be gathered, after whatever the head held back.
        const std::string longer = text + std::string(256, e == base64 ? 'A' : '0');
        const bytes longer_expected = expected_decoding(e, longer);
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            EXPECT_EQ(decode_in_pieces(e, longer, {cut}), longer_expected)
                << "tail, cut at " << cut;
        }
    }
}

// Around the largest input whose text size fits in size_t, against sizes computed in 128
// bits: exact below it, std::length_error above it, and nothing read or kept on refusal.
TEST(BinaryEncoding, TextSizesThatDoNotFitThrow) {
    __extension__ using wide = unsigned __int128;
    for (binary_encoding e : {hex, base64, binary_encoding::base64url}) {
        const auto exact = [e](wide n) -> wide {
            if (e == hex) {
                return 2 * n;
            }
            const wide rest = n % 3;
            return n / 3 * 4 + (rest == 0 ? 0 : e == base64 ? 4 : rest + 1);
        };
        const std::size_t near = e == hex ? SIZE_MAX / 2 : SIZE_MAX / 4 * 3;
        for (std::size_t n = near - 8; n != near + 8; ++n) {
            if (exact(n) <= SIZE_MAX) {
                EXPECT_EQ(binary_encoder::encoded_size(e, n), static_cast<std::size_t>(exact(n)));
                continue;
            }
            EXPECT_THROW(binary_encoder::encoded_size(e, n), std::length_error) << n;
            const unsigned char one = 0;
            EXPECT_THROW(binary_encoder::encode(e, &one, n), std::length_error) << n;
            binary_encoder encoder(e);
            encoder.add_data(&one, 1);
            EXPECT_THROW(encoder.add_data(&one, n), std::length_error) << n;
            EXPECT_EQ(encoder.finish(), binary_encoder::encode(e, &one, 1));
        }
    }
    // A size that fits size_t but no string, and line ends that push a text past size_t.
    const unsigned char one = 0;
    const vc::line_wrap crlf{1, "\r\n"};
    EXPECT_THROW(binary_encoder::encode(hex, &one, SIZE_MAX / 2), std::length_error);
    EXPECT_THROW(binary_encoder::encoded_size(base64, SIZE_MAX / 4 * 3, crlf), std::length_error);
    char out = '#';
    for (std::size_t n : {SIZE_MAX / 4 * 3, SIZE_MAX}) {
        const vc::encode_result r = binary_encoder::encode_to(base64, &one, n, &out, 1, crlf);
        EXPECT_TRUE(r.size == SIZE_MAX && r.too_small && out == '#') << n;
    }
}

TEST(BinaryEncoding, RefusedTextsGiveEmptyArrays) {
    // The reference's verdicts on the cases that matter most, spelled out.
    const std::pair<binary_encoding, const char*> refused[] = {
        {base64, "Zm9v!mFy"}, {base64, "Zg=A"},   {base64, "===="},     {base64, "Zg="},
        {base64, "-_8="},     {base64, "Zm9vYg"}, {base64, "Zg==Zg=="}, {base64, "Zm9v\nYmFy"},
        {hex, "zz"},          {hex, "ABC"},       {hex, " 41"},         {hex, "a"},
    };
    for (const auto& [e, text] : refused) {
        EXPECT_TRUE(binary_decoder::decode(e, text).empty()) << text;
    }
    // Refused at its end, after the result's block was taken: the block is not kept.
    for (const std::size_t n : {8u, 400u, 8000u}) {
        for (const binary_encoding e : {base64, hex}) {
            const vc::byte_array decoded = binary_decoder::decode(e, std::string(n, 'A') + "!!");
            EXPECT_TRUE(decoded.empty()) << n;
            EXPECT_EQ(decoded.capacity(), vc::byte_array().capacity()) << n;
        }
    }
    EXPECT_EQ(to_bytes(binary_decoder::decode(base64, "Zm9=")), text_bytes("fo"));
    EXPECT_EQ(to_bytes(binary_decoder::decode(base64, "Zm8=")), text_bytes("fo"));
}

TEST(BinaryEncoding, RefusalIsPermanent) {
    const std::pair<binary_encoding, std::vector<const char*>> streams[] = {
        {base64, {"Zm9v!", "mFy"}},      // a foreign character in a group
        {base64, {"Zm9v!mFy", "Zm9v"}},  // valid groups after a refused text
        {base64, {"Zg==", "Zg=="}},      // a second group after the padding
        {base64, {"Zg==", "A", "==="}},  // data after the padding, then "completed"
        {base64, {"Zg=", "A", "=="}},    // "=" inside a group
        {hex, {"zz", "41"}},
        {hex, {"4", "g", "1"}},
        {hex, {"41z", "1"}},
    };
    for (const auto& [e, pieces] : streams) {
        binary_decoder decoder(e);
        for (const char* piece : pieces) {
            decoder.add_string(piece);
        }
        EXPECT_TRUE(decoder.finish().empty()) << pieces.front();
        decoder.add_string(e == base64 ? "Zm9v" : "41");
        decoder.add_string("");
        EXPECT_TRUE(decoder.finish().empty()) << pieces.front();
        EXPECT_TRUE(decoder.finish().empty()) << pieces.front();
    }
}

TEST(BinaryEncoding, IncompleteTextCompletesLater) {
    binary_decoder b64(base64);
    b64.add_string("Zm9vYmE");
    EXPECT_TRUE(b64.finish().empty());
    b64.add_string("=");
    EXPECT_EQ(to_bytes(b64.finish()), text_bytes("fooba"));

    binary_decoder padded(base64);
    padded.add_string("Zg");
    EXPECT_TRUE(padded.finish().empty());
    padded.add_string("==");
    EXPECT_EQ(to_bytes(padded.finish()), text_bytes("f"));

    binary_decoder digits(hex);
    digits.add_string("4");
    EXPECT_TRUE(digits.finish().empty());
    digits.add_string("1");
    EXPECT_EQ(to_bytes(digits.finish()), (bytes{0x41}));
}

TEST(BinaryEncoding, FinishOnlyReads) {
    binary_encoder encoder(base64);
    encoder.add_data(to_array(text_bytes("fo")));
    EXPECT_EQ(encoder.finish(), "Zm8=");
    EXPECT_EQ(encoder.finish(), "Zm8=");
    encoder.add_data(to_array(text_bytes("o")));
    EXPECT_EQ(encoder.finish(), "Zm9v");

    binary_decoder decoder(base64);
    decoder.add_string(std::string("Zm9v"));
    EXPECT_EQ(to_bytes(decoder.finish()), text_bytes("foo"));
    EXPECT_EQ(to_bytes(decoder.finish()), text_bytes("foo"));
    decoder.add_string("YmFy");
    EXPECT_EQ(to_bytes(decoder.finish()), text_bytes("foobar"));

    binary_encoder hex_encoder(hex);
    hex_encoder.add_data(to_array({0xAB}));
    EXPECT_EQ(hex_encoder.finish(), "ab");
    hex_encoder.add_data(to_array({0xCD}));
    EXPECT_EQ(hex_encoder.finish(), "abcd");
}

TEST(BinaryEncoding, EmptyInput) {
    for (binary_encoding e : {hex, base64}) {
        binary_encoder encoder(e);
        EXPECT_EQ(encoder.finish(), "");
        encoder.add_data(nullptr, 0);
        EXPECT_EQ(encoder.finish(), "");
        EXPECT_EQ(binary_encoder::encode(e, vc::byte_array()), "");

        binary_decoder decoder(e);
        EXPECT_TRUE(decoder.finish().empty());
        decoder.add_string(nullptr, 0);
        EXPECT_TRUE(decoder.finish().empty());
        EXPECT_TRUE(binary_decoder::decode(e, "").empty());
        EXPECT_TRUE(binary_decoder::decode(e, std::string()).empty());
    }
    // Nothing fed leaves the leftover as it was.
    binary_encoder encoder(base64);
    encoder.add_data(to_array(text_bytes("f")));
    encoder.add_data(nullptr, 0);
    EXPECT_EQ(encoder.finish(), "Zg==");
}

TEST(BinaryEncoding, CopiesContinueIndependently) {
    binary_encoder encoder(base64);
    encoder.add_data(to_array(text_bytes("foob")));  // "b" is pending
    binary_encoder copy(encoder);
    encoder.add_data(to_array(text_bytes("ar")));
    copy.add_data(to_array(text_bytes("a")));
    EXPECT_EQ(encoder.finish(), "Zm9vYmFy");
    EXPECT_EQ(copy.finish(), "Zm9vYmE=");

    binary_encoder assigned(hex);
    assigned.add_data(to_array({1, 2, 3}));
    assigned = copy;  // takes the text, the pending bytes and the algorithm
    assigned.add_data(to_array(text_bytes("r")));
    EXPECT_EQ(assigned.finish(), "Zm9vYmFy");
    EXPECT_EQ(copy.finish(), "Zm9vYmE=");
    const binary_encoder& same = assigned;
    assigned = same;
    EXPECT_EQ(assigned.finish(), "Zm9vYmFy");

    binary_decoder decoder(base64);
    decoder.add_string("Zm9vYm");  // "Ym" is pending
    binary_decoder dcopy(decoder);
    decoder.add_string("Fy");
    dcopy.add_string("E=");
    EXPECT_EQ(to_bytes(decoder.finish()), text_bytes("foobar"));
    EXPECT_EQ(to_bytes(dcopy.finish()), text_bytes("fooba"));

    binary_decoder dassigned(hex);
    dassigned.add_string("4");
    dassigned = dcopy;
    EXPECT_EQ(to_bytes(dassigned.finish()), text_bytes("fooba"));
    const binary_decoder& dsame = dassigned;
    dassigned = dsame;
    EXPECT_EQ(to_bytes(dassigned.finish()), text_bytes("fooba"));

    // A refused stream copies as refused; its source is not affected by the copy's input.
    binary_decoder refused(hex);
    refused.add_string("4z");
    binary_decoder refused_copy(refused);
    refused_copy.add_string("41");
    EXPECT_TRUE(refused_copy.finish().empty());
    binary_decoder fresh(hex);
    fresh = refused;
    EXPECT_TRUE(fresh.finish().empty());
}

TEST(BinaryEncoding, InvalidEnumerationValuesThrow) {
    for (std::uint32_t value : {3u, 4u, 0x80000000u, 0xFFFFFFFFu}) {
        const auto e = static_cast<binary_encoding>(value);
        const auto expect_refused = [&](auto&& f) {
            try {
                f();
                ADD_FAILURE() << "no exception for " << value;
            } catch (const std::logic_error& error) {
                EXPECT_STREQ(error.what(), invalid_encoding_text);
            }
        };
        expect_refused([&] { binary_encoder encoder(e); });
        expect_refused([&] { binary_decoder decoder(e); });
        expect_refused([&] { binary_encoder::encode(e, nullptr, 0); });
        expect_refused([&] { binary_encoder::encode(e, to_array({1})); });
        expect_refused([&] { binary_decoder::decode(e, "41"); });
        expect_refused([&] { binary_decoder::decode(e, std::string("41")); });
        expect_refused([&] { binary_decoder::decode(e, "41", 2); });
    }
}

TEST(BinaryEncoding, AllocationFailure) {
    {
        vorn::test::allocation_failure_scope failing;
        EXPECT_THROW(binary_encoder encoder(base64), std::bad_alloc);
        EXPECT_THROW(binary_decoder decoder(hex), std::bad_alloc);
    }
    const bytes data(3000, 0x5A);
    binary_encoder encoder(base64);
    {
        vorn::test::allocation_failure_scope failing;
        EXPECT_THROW(encoder.add_data(data.data(), data.size()), std::bad_alloc);
        EXPECT_THROW(binary_encoder::encode(hex, data.data(), data.size()), std::bad_alloc);
        EXPECT_THROW(binary_decoder::decode(hex, "4142"), std::bad_alloc);
    }

    // A failed assignment leaves the target as it was.
    binary_encoder source(base64);
    source.add_data(data.data(), data.size());
    binary_encoder target(hex);
    target.add_data(to_array({0x41}));
    {
        vorn::test::allocation_failure_scope failing;
        EXPECT_THROW(target = source, std::bad_alloc);
    }
    EXPECT_EQ(target.finish(), "41");

    binary_decoder dsource(base64);
    dsource.add_string(binary_encoder::encode(base64, data.data(), data.size()));
    binary_decoder dtarget(hex);
    dtarget.add_string("41");
    {
        vorn::test::allocation_failure_scope failing;
        EXPECT_THROW(dtarget = dsource, std::bad_alloc);
    }
    EXPECT_EQ(to_bytes(dtarget.finish()), (bytes{0x41}));

    // Copies whose state record is allocated but whose heap bytes are not.
    vorn::test::fail_allocation_after(1, false);
    EXPECT_THROW(static_cast<void>(binary_encoder(source)), std::bad_alloc);
    vorn::test::fail_allocation_after(1, false);
    EXPECT_THROW(static_cast<void>(binary_decoder(dsource)), std::bad_alloc);
    vorn::test::stop_failing_allocations();
    EXPECT_EQ(source.finish(), binary_encoder::encode(base64, data.data(), data.size()));
    EXPECT_EQ(to_bytes(dsource.finish()), data);
}

// Streams that outgrow the buffers inside their records (a few hundred bytes or characters)
// at every split point and in pieces of every short size; a foreign character anywhere
// refuses the stream as soon as it is fed.
TEST(BinaryEncoding, StreamsCrossingFromInlineToHeapBuffers) {
    std::mt19937 rng(5);
    const bytes data = random_bytes(rng, 300);
    for (binary_encoding e : {hex, base64}) {
        const std::string text = expected_encoding(e, data);
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            if (cut <= data.size()) {
                ASSERT_EQ(encode_in_pieces(e, data, {cut}), text) << cut;
            }
            ASSERT_EQ(decode_in_pieces(e, text, {cut}), data) << cut;
            const std::size_t at = cut < text.size() ? cut : 0;
            std::string bad = text;
            bad[at] = '!';
            binary_decoder decoder(e);
            decoder.add_string(bad.substr(0, at + 1));
            ASSERT_TRUE(decoder.is_refused()) << cut;
            decoder.add_string(bad.substr(at + 1));
            ASSERT_TRUE(decoder.is_refused() && decoder.finish().empty()) << cut;
        }
        for (std::size_t step = 1; step <= 9; ++step) {
            cuts even;
            for (std::size_t at = step; at < text.size(); at += step) {
                even.push_back(at);
            }
            cuts even_bytes;
            for (std::size_t at : even) {
                if (at < data.size()) {
                    even_bytes.push_back(at);
                }
            }
            ASSERT_EQ(encode_in_pieces(e, data, even_bytes), text) << step;
            ASSERT_EQ(decode_in_pieces(e, text, even), data) << step;
        }
    }
    // A heap block of one byte after a full one that leaves a group one byte short.
    const bytes long_data = random_bytes(rng, 4073);
    EXPECT_EQ(encode_in_pieces(base64, long_data, {193, 4072}),
              expected_encoding(base64, long_data));
}

// Streamed decoding grows its bytes geometrically: a megabyte in 4 KiB pieces takes a few
// dozen allocations, not one per kilobyte.
TEST(BinaryEncoding, StreamedOutputGrowsGeometrically) {
    std::mt19937 rng(7);
    const bytes data = random_bytes(rng, 3 << 18);
    for (binary_encoding e : {hex, base64}) {
        const std::string text = binary_encoder::encode(e, data.data(), data.size());
        binary_decoder decoder(e);
        const vorn::test::allocation_counter counter;
        for (std::size_t at = 0; at < text.size(); at += 4096) {
            decoder.add_string(text.data() + at, std::min<std::size_t>(4096, text.size() - at));
        }
        EXPECT_LT(counter.count(), 64u);
        EXPECT_EQ(to_bytes(decoder.finish()), data);
    }
}

// Decoders copied and assigned at points where their bytes lie inside the record, in one heap
// block or across several, each continue to the whole text, independently of the other.
TEST(BinaryEncoding, DecoderCopiesSpanningSeveralBlocks) {
    std::mt19937 rng(13);
    const bytes data = random_bytes(rng, 30000);
    for (binary_encoding e : {hex, base64}) {
        const std::string text = expected_encoding(e, data);
        binary_decoder decoder(e);
        std::size_t at = 0;
        while (at < text.size()) {
            const std::size_t n = std::min<std::size_t>(1 + rng() % 3000, text.size() - at);
            decoder.add_string(text.data() + at, n);
            at += n;
            binary_decoder copy(decoder);
            binary_decoder assigned(e);
            assigned.add_string("00");
            assigned = decoder;
            decoder.add_string("!");  // refuses the source only
            copy.add_string(text.substr(at));
            assigned.add_string(text.substr(at));
            ASSERT_EQ(to_bytes(copy.finish()), data) << at;
            ASSERT_EQ(to_bytes(assigned.finish()), data) << at;
            ASSERT_TRUE(decoder.is_refused());
            decoder = copy;  // back to the whole text, finished
            ASSERT_EQ(to_bytes(decoder.finish()), data);
            decoder = binary_decoder(e);
            decoder.add_string(text.data(), at);
        }
    }
}

TEST(BinaryEncoding, StreamingEqualsOneShotOnLongInputs) {
    std::mt19937 rng(11);
    for (std::size_t n : {1000u, 4097u, 65537u}) {
        const bytes data = random_bytes(rng, n);
        for (binary_encoding e : {hex, base64}) {
            const std::string text = binary_encoder::encode(e, data.data(), data.size());
            ASSERT_EQ(text, expected_encoding(e, data));
            ASSERT_EQ(to_bytes(binary_decoder::decode(e, text)), data);
            for (int round = 0; round < 8; ++round) {
                const cuts c = random_cuts(rng, n, 1 + rng() % 40);
                EXPECT_EQ(encode_in_pieces(e, data, c), text);
                EXPECT_EQ(decode_in_pieces(e, text, random_cuts(rng, text.size(), 1 + rng() % 40)),
                          data);
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Base64url, decoder status, caller buffers, text input

constexpr binary_encoding base64url = binary_encoding::base64url;

using vorn::test::reference_base64url_decode;
using vorn::test::reference_base64url_encode;

TEST(Base64url, Rfc4648VectorsPaddedAndNot) {
    // Python's base64.urlsafe_b64encode, which pads; the encoder writes no padding.
    const std::pair<std::string_view, std::string_view> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xfb\xff\xbf", "-_-_"},
        {"\xfb\xf0", "-_A="},
    };
    for (const auto& [plain, padded] : vectors) {
        const std::string_view unpadded = padded.substr(0, padded.find('='));
        EXPECT_EQ(binary_encoder::encode(base64url, plain), unpadded);
        EXPECT_EQ(binary_decoder::decode(base64url, padded), plain) << padded;
        EXPECT_EQ(binary_decoder::decode(base64url, unpadded), plain) << unpadded;
        EXPECT_EQ(decode_in_pieces(base64url, padded, {1, 3}), text_bytes(plain)) << padded;
    }
    for (const char* refused :
         {"Zg=", "Zm8==", "Z", "Zg=A", "+/8=", "Zm9v+mFy", "-_8/", "Zg==Zg"}) {
        EXPECT_TRUE(binary_decoder::decode(base64url, refused).empty()) << refused;
        EXPECT_FALSE(reference_base64url_decode(refused).has_value()) << refused;
    }
    EXPECT_THROW(binary_encoder(static_cast<binary_encoding>(3)), std::logic_error);
}

// Statuses of every prefix of short texts, fed whole and split at every point, against the
// one-shot form and the references (complete exactly when the reference accepts).
TEST(DecoderStatus, EveryPrefixAndSplitPoint) {
    const std::pair<binary_encoding, std::string_view> texts[] = {
        {base64, "Zm9vYmE="},    {base64, "Zg==Zg=="}, {base64, "Zm9v!mFy"}, {base64url, "Zm9vYmE"},
        {base64url, "Zm9vYg=="}, {base64url, "-_8/"},  {hex, "4a4B"},        {hex, "4z41"},
    };
    for (const auto& [e, whole] : texts) {
        for (std::size_t n = 0; n <= whole.size(); ++n) {
            const std::string_view text = whole.substr(0, n);
            const std::optional<bytes> expected =
                e == base64 ? vorn::test::reference_base64_decode(text)
                : e == hex  ? vorn::test::reference_hex_decode(text)
                            : reference_base64url_decode(text);
            vc::decode_status status;
            const vc::byte_array one_shot = binary_decoder::decode(e, text, status);
            EXPECT_EQ(status == vc::decode_status::complete, expected.has_value()) << text;
            EXPECT_EQ(to_bytes(one_shot), expected.value_or(bytes{})) << text;
            for (std::size_t cut = 0; cut <= n; ++cut) {
                binary_decoder decoder(e);
                decoder.add_string(text.substr(0, cut));
                decoder.add_string(text.substr(cut));
                EXPECT_EQ(decoder.get_status(), status) << text << " cut " << cut;
            }
        }
    }
    binary_decoder decoder(base64);
    EXPECT_TRUE(decoder.is_complete());
    decoder.add_string("Zm9");
    EXPECT_TRUE(decoder.is_incomplete());
    decoder.add_string("v");
    EXPECT_TRUE(decoder.is_complete());
    decoder.add_string("!");
    EXPECT_TRUE(decoder.is_refused());
    decoder.add_string("Zm9v");
    EXPECT_TRUE(decoder.is_refused());
}

// Sizes exact at every length, results equal to the allocating forms, and no allocation.
TEST(CallerBuffers, ExactSizesAndNoAllocation) {
    std::mt19937 rng(29);
    for (std::size_t n = 0; n <= 100; ++n) {
        const bytes data = random_bytes(rng, n);
        for (binary_encoding e : {hex, base64, base64url}) {
            const std::string text = binary_encoder::encode(e, data.data(), data.size());
            ASSERT_EQ(text, e == base64url ? reference_base64url_encode(data)
                                           : expected_encoding(e, data));
            ASSERT_EQ(binary_encoder::encoded_size(e, n), text.size());
            const std::size_t bound = binary_decoder::decoded_size_bound(e, text.size());
            ASSERT_GE(bound, n);
            ASSERT_LE(bound, e == base64 ? n + 2 : n);
            std::string out(text.size() + 1, '#');
            bytes decoded(bound + 1, 0xEE);
            binary_encoder encoder(e);
            encoder.add_data(data.data(), data.size());
            std::string finished(encoder.finished_size() + 1, '#');
            binary_decoder decoder(e);
            decoder.add_string(text);
            bytes dfinished(decoder.finished_size() + 1, 0xEE);
            const vorn::test::allocation_counter counter;
            ASSERT_EQ(binary_encoder::encode_to(e, data.data(), n, out.data()), text.size());
            const vc::decode_result r = binary_decoder::decode_to(e, text, decoded.data());
            ASSERT_EQ(encoder.finish_to(finished.data()), text.size());
            const vc::decode_result fr = decoder.finish_to(dfinished.data());
            ASSERT_EQ(counter.count(), 0u);
            ASSERT_EQ(out, text + '#');
            ASSERT_EQ(finished, text + '#');
            ASSERT_FALSE(r.refused());
            ASSERT_EQ(bytes(decoded.begin(), decoded.begin() + r.size), data);
            ASSERT_EQ(decoded[bound], 0xEE);
            ASSERT_EQ(fr.size, n);
            ASSERT_EQ(bytes(dfinished.begin(), dfinished.end() - 1), data);
        }
    }
    unsigned char none[4];
    EXPECT_EQ(binary_decoder::decode_to(base64, "Zm9", none).status, vc::decode_status::incomplete);
    EXPECT_EQ(binary_decoder::decode_to(hex, "zz", none).status, vc::decode_status::refused);
    EXPECT_TRUE(binary_decoder::decode_to(hex, "zz", none).refused());
}

// Lengths at and around each switch between a fast path and the general one: the inline loops
// below the kernels' thresholds, the SSE2 blocks of 8 to 31 hex pairs and the kernel beyond,
// a stream's staging area. Each length round-trips one-shot and streamed (in one piece and in
// two), and a foreign first or last character refuses the text.
TEST(FastPaths, LengthsAroundEachSwitch) {
    const vd::base64_kernels& b64 = vd::active_base64_kernels();
    constexpr std::size_t staging = vd::binary_decoder_impl::staging_capacity;
    const std::pair<binary_encoding, std::size_t> switches[] = {
        {base64, 3 * b64.encode_inline_below},
        {base64, 3 * b64.decode_inline_below},
        {hex, vd::active_hex_kernels().encode_inline_below},
        {hex, 8},  // pairs: the byte loop, then the SSE2 blocks
        {hex, 16},
        {hex, 32},  // one block or two overlapping, then the kernel
        {base64, staging / 4 * 3},
        {hex, staging / 2},
    };
    std::mt19937 rng(41);
    for (const auto& [e, at] : switches) {
        for (std::size_t n = at < 4 ? 0 : at - 4; n <= at + 4; ++n) {
            const bytes data = random_bytes(rng, n);
            const std::string text = binary_encoder::encode(e, data.data(), n);
            ASSERT_EQ(text, expected_encoding(e, data)) << at << ' ' << n;
            ASSERT_EQ(to_bytes(binary_decoder::decode(e, text)), data) << at << ' ' << n;
            ASSERT_EQ(decode_in_pieces(e, text, {}), data) << at << ' ' << n;
            ASSERT_EQ(decode_in_pieces(e, text, {text.size() / 2}), data) << at << ' ' << n;
            for (std::size_t place : {std::size_t{0}, text.size() - 1}) {
                std::string damaged = text;
                damaged[place] = '!';
                EXPECT_TRUE(n == 0 || binary_decoder::decode(e, damaged).empty()) << at << ' ' << n;
                EXPECT_TRUE(n == 0 || decode_in_pieces(e, damaged, {}).empty()) << at << ' ' << n;
            }
        }
    }
}

// Short hex texts (the 8 to 31 pairs decoded in overlapping blocks included), in both cases:
// every byte value at every place is refused unless it is a digit, and nothing is written
// past the bytes.
TEST(OneShot, ShortHexTextsCheckEveryCharacter) {
    std::mt19937 rng(31);
    for (std::size_t pairs = 1; pairs <= 40; ++pairs) {
        std::string text = vorn::test::reference_hex_encode(random_bytes(rng, pairs));
        for (char& c : text) {
            if (c >= 'a' && rng() % 2 == 0) {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
        for (std::size_t at = 0; at < text.size(); ++at) {
            for (int c = 0; c < 256; ++c) {
                std::string changed = text;
                changed[at] = static_cast<char>(c);
                const std::optional<bytes> expected = vorn::test::reference_hex_decode(changed);
                bytes out(pairs + 1, 0xEE);
                const vc::decode_result r = binary_decoder::decode_to(hex, changed, out.data());
                ASSERT_EQ(r.refused(), !expected) << pairs << ' ' << at << ' ' << c;
                ASSERT_EQ(out.back(), 0xEE);
                if (expected) {
                    ASSERT_EQ(bytes(out.begin(), out.begin() + r.size), *expected);
                }
            }
        }
    }
}

// A one-shot result is one block of the capacity the array's policy gives for the bound.
TEST(OneShot, ResultTakesTheBlockOfItsBound) {
    std::mt19937 rng(37);
    for (std::size_t n : {1u, 2u, 16u, 40u, 64u, 1000u, 5000u}) {
        const bytes data = random_bytes(rng, n);
        for (binary_encoding e : {hex, base64}) {
            const std::string text = expected_encoding(e, data);
            const std::size_t bound = binary_decoder::decoded_size_bound(e, text.size());
            const vorn::test::allocation_counter counter;
            const vc::byte_array decoded = binary_decoder::decode(e, text);
            EXPECT_EQ(counter.count(), 1u) << n;
            EXPECT_EQ(to_bytes(decoded), data) << n;
            EXPECT_EQ(decoded.capacity(), vc::byte_array(bound).capacity()) << n;
        }
    }
}

// A C string goes to the string_view overload: no byte_array is built, so a short piece that
// only fills the carry allocates nothing, and a std::string keeps its NUL bytes.
TEST(TextInput, CStringsAndStringsNeedNoByteArray) {
    static_assert(std::is_same_v<decltype(static_cast<void (binary_encoder::*)(const char*)>(
                                     &binary_encoder::add_data)),
                                 void (binary_encoder::*)(const char*)>);
    binary_encoder encoder(base64);
    const std::string text = "fo";
    {
        const vorn::test::allocation_counter counter;
        encoder.add_data(text.c_str());
        EXPECT_EQ(counter.count(), 0u);
    }
    EXPECT_EQ(encoder.finish(), "Zm8=");
    EXPECT_EQ(binary_encoder::encode(hex, std::string("a\0b", 3)), "610062");
    EXPECT_EQ(binary_encoder::encode(hex, "ab"), "6162");
    binary_decoder decoder(hex);
    decoder.add_string(std::string_view("6162"));
    EXPECT_EQ(decoder.finish(), "ab");
}

// ---------------------------------------------------------------------------------------------
// error_binary_encoding

TEST(ErrorBinaryEncoding, NamesMessagesAndArguments) {
    const vc::error_binary_encoding& category = vc::error_binary_encoding::instance();
    EXPECT_EQ(&category, &vc::error_binary_encoding::instance());
    EXPECT_TRUE(category != vc::error_datetime::instance());
    const std::pair<binary_encoding, std::string> rows[] = {
        {hex, "hex"},
        {base64, "base64"},
        {binary_encoding::base64url, "base64url"},
        {static_cast<binary_encoding>(3), "invalid"},
    };
    for (const auto& [encoding, name] : rows) {
        vc::result::stack status;
        status.push(vc::error_binary_encoding::refused, encoding, std::string("Zm9v!"));
        status.push(vc::error_binary_encoding::incomplete, encoding, "Zm9");
        const std::string arguments = "; encoding=" + name + "; received-value=";
        EXPECT_EQ(to_string(status),
                  "vorn-core-error-binary-encoding 2: The text ends inside a group" + arguments +
                      "Zm9\nvorn-core-error-binary-encoding 1: The text is not valid in its "
                      "binary encoding" +
                      arguments + "Zm9v!");
    }
    // The received text keeps what its record holds besides the name.
    vc::result::stack status;
    status.push(vc::error_binary_encoding::refused, base64, std::string(300, 'A'));
    EXPECT_EQ(std::string(status.begin()->get_argument_value("received-value")),
              std::string(239, 'A'));
}

TEST(ErrorBinaryEncoding, ReportPushesWhatTheDecoderSaw) {
    const std::pair<const char*, int> rows[] = {{"abcd", 0}, {"abc", 2}, {"abz", 1}};
    for (const auto& [text, code] : rows) {
        vc::decode_status outcome;
        binary_decoder::decode(hex, text, outcome);
        vc::result::stack status;
        const auto* pushed = vc::error_binary_encoding::report(status, outcome, hex, text);
        EXPECT_EQ(pushed, code == 0 ? nullptr : &*status.begin()) << text;
        EXPECT_EQ(status.size(), code == 0 ? 0U : 1U) << text;
        EXPECT_EQ(status.get_value(), code) << text;
    }
}

TEST(ErrorBinaryEncoding, UndefinedCodeEndsTheProcess) {
    const auto outcome =
        vorn::test::run_in_child([] { vc::error_binary_encoding::instance().get_message(3); });
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exit_status, 1);
    EXPECT_EQ(outcome.standard_error,
              "Invalid status code value: 0x00000003 (vorn-core-error-binary-encod)\n");
}

// The final-group reader on its own, for shapes the decoders do not hand it: nothing, and an
// unpadded whole group.
TEST(FinalGroup, EmptyAndWholeUnpaddedGroups) {
    const vd::base64_alphabet_spec& a = *vd::base64_kernels_for(vd::kernel_level::scalar).alphabet;
    const struct {
        std::string_view group;
        bool canonical;
        bool refused;
        std::string_view bytes;
    } cases[] = {
        {"", true, false, ""},        {"QUJD", false, false, "ABC"},
        {"QUJD", true, false, "ABC"}, {"QUJ/", true, false, "AB\x7F"},
        {"QUJ!", false, true, ""},    {"QUI=", true, false, "AB"},
    };
    for (const auto& c : cases) {
        const vd::base64_final_bytes r =
            vd::base64_decode_final(a, c.group.data(), c.group.size(), {false, c.canonical});
        EXPECT_EQ(r.refused, c.refused) << c.group;
        EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(r.bytes), r.size), c.bytes)
            << c.group;
    }
}

// ---------------------------------------------------------------------------------------------
// The kernels of each level; a level the processor lacks is skipped.

// The runs of this suite with VORN_CORE_KERNEL_LEVEL set test the narrower kernels only if the
// cap is taken: "scalar" and "avx2" cap the processor's level, anything else leaves it.
TEST(KernelLevel, TheEnvironmentCapsTheProcessorsLevel) {
    const char* const name = std::getenv("VORN_CORE_KERNEL_LEVEL");
    const std::string_view asked = name == nullptr ? "" : name;
    const vd::kernel_level hardware = vd::hardware_kernel_level();
    const vd::kernel_level expected =
        asked == "scalar"
            ? vd::kernel_level::scalar
            : (asked == "avx2" ? std::min(hardware, vd::kernel_level::avx2) : hardware);
    EXPECT_EQ(vd::best_kernel_level(), expected) << asked;
    EXPECT_EQ(&vd::active_hex_kernels(), &vd::hex_kernels_for(expected)) << asked;
}

class Kernels : public testing::TestWithParam<vd::kernel_level> {
  protected:
    void SetUp() override {
        if (!vorn::test::kernel_level_supported(GetParam())) {
            GTEST_SKIP() << "this processor cannot run these kernels";
        }
    }
    vd::kernel_level level() const { return GetParam(); }
};

TEST_P(Kernels, RoundTripsOfEveryLength) {
    std::mt19937 rng(3);
    for (std::size_t n = 0; n <= 3000; n += (n < 300 ? 1 : 37)) {
        const bytes data = random_bytes(rng, n);
        for (binary_encoding e : {hex, base64}) {
            const std::string text = kernel_encode(level(), e, data, {});
            ASSERT_EQ(text, expected_encoding(e, data)) << n;
            ASSERT_EQ(kernel_decode(level(), e, text, {}), data) << n;
        }
    }
}

TEST_P(Kernels, RunsCutIntoKernelCallsAnywhere) {
    std::mt19937 rng(5);
    for (std::size_t n = 0; n <= 40; ++n) {
        const bytes data = random_bytes(rng, n);
        for (binary_encoding e : {hex, base64}) {
            const std::string text = expected_encoding(e, data);
            for (std::size_t i = 0; i <= n; ++i) {
                for (std::size_t j = i; j <= n; j += 3) {
                    ASSERT_EQ(kernel_encode(level(), e, data, {i, j}), text) << n << ' ' << i;
                }
            }
            for (std::size_t i = 0; i <= text.size(); ++i) {
                for (std::size_t j = i; j <= text.size(); j += 5) {
                    ASSERT_EQ(kernel_decode(level(), e, text, {i, j}), data) << text << ' ' << i;
                }
            }
        }
    }
    for (const auto& [e, text] : rule_texts()) {
        const bytes expected = expected_decoding(e, text);
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            EXPECT_EQ(kernel_decode(level(), e, text, {cut}), expected) << text << ' ' << cut;
        }
    }
}

TEST_P(Kernels, LongInputsAtRandomSplits) {
    std::mt19937 rng(13);
    for (std::size_t n : {777u, 20000u, 100003u}) {
        const bytes data = random_bytes(rng, n);
        for (binary_encoding e : {hex, base64}) {
            const std::string text = expected_encoding(e, data);
            for (int round = 0; round < 6; ++round) {
                ASSERT_EQ(kernel_encode(level(), e, data, random_cuts(rng, n, rng() % 50)), text);
                const cuts c = random_cuts(rng, text.size(), rng() % 50);
                ASSERT_EQ(kernel_decode(level(), e, text, c), data);

                // One foreign character anywhere refuses the whole text, whatever the split.
                std::string damaged = text;
                damaged[rng() % damaged.size()] = "!-_ \n=\x80g"[rng() % 8];
                ASSERT_EQ(kernel_decode(level(), e, damaged, c), expected_decoding(e, damaged));
            }
        }
    }
}

// Every byte value that is not in the alphabet, at every place in a text long enough for the
// widest kernel's loops and tails, is refused; everything else decodes to the scalar result.
TEST_P(Kernels, KernelsAgreeWithScalarOnEveryCharacter) {
    std::mt19937 rng(17);
    const vd::base64_kernels& b64 = vd::base64_kernels_for(level());
    const vd::hex_kernels& hx = vd::hex_kernels_for(level());
    for (std::size_t groups : {1u, 7u, 8u, 17u, 23u, 40u}) {
        const std::string text = vorn::test::reference_base64_encode(random_bytes(rng, 3 * groups));
        for (std::size_t at = 0; at < text.size(); ++at) {
            for (int c = 0; c < 256; ++c) {
                std::string changed = text;
                changed[at] = static_cast<char>(c);
                bytes out(3 * groups + 1, 0xEE);
                bytes reference(3 * groups, 0);
                const bool ok = b64.decode(changed.data(), groups, out.data());
                const bool valid = vorn::test::base64_digit(static_cast<char>(c)) >= 0;
                ASSERT_EQ(ok, valid) << groups << ' ' << at << ' ' << c;
                ASSERT_EQ(out.back(), 0xEE);  // nothing written past the groups
                if (valid) {
                    vd::base64_scalar_kernels.decode(changed.data(), groups, reference.data());
                    ASSERT_TRUE(std::equal(reference.begin(), reference.end(), out.begin()));
                }
            }
        }
    }
    // Hex: the 64-pair loop once and twice, and tails of a full vector, a masked one and both.
    for (std::size_t pairs : {1u, 15u, 16u, 33u, 64u, 70u, 96u, 127u, 160u}) {
        const std::string text = vorn::test::reference_hex_encode(random_bytes(rng, pairs));
        for (std::size_t at = 0; at < text.size(); ++at) {
            for (int c = 0; c < 256; ++c) {
                std::string changed = text;
                changed[at] = static_cast<char>(c);
                bytes out(pairs + 1, 0xEE);
                const bool ok = hx.decode(changed.data(), pairs, out.data());
                ASSERT_EQ(ok, vorn::test::hex_digit(static_cast<char>(c)) >= 0)
                    << pairs << ' ' << at << ' ' << c;
                ASSERT_EQ(out.back(), 0xEE);
                if (ok) {
                    ASSERT_EQ(bytes(out.begin(), out.end() - 1),
                              *vorn::test::reference_hex_decode(changed));
                }
            }
        }
    }
}

TEST_P(Kernels, EncodersWriteExactlyTheirOutput) {
    std::mt19937 rng(19);
    for (std::size_t n = 0; n < 200; ++n) {
        const bytes data = random_bytes(rng, n);
        std::string out(4 * (n / 3) + 1, '#');
        vd::base64_kernels_for(level()).encode(data.data(), n / 3, out.data());
        ASSERT_EQ(out.back(), '#');
        std::string hex_out(2 * n + 1, '#');
        vd::hex_kernels_for(level()).encode(data.data(), n, hex_out.data());
        ASSERT_EQ(hex_out.back(), '#');
        ASSERT_EQ(hex_out.substr(0, 2 * n), vorn::test::reference_hex_encode(data));
    }
}

// The line encoders from any column of the current line, whether the run ends its line or not.
TEST_P(Kernels, LineEncodersStartAnywhereInALine) {
    const vd::base64_line_encoder encode_lines = vd::base64_kernels_for(level()).encode_lines;
    if (encode_lines == nullptr) {
        GTEST_SKIP() << "this level encodes a stretch at a time";
    }
    std::mt19937 rng(23);
    const bytes data = random_bytes(rng, 120);
    vd::line_layout lines;
    lines.end_size = 2;
    std::memcpy(lines.end, "|\n", 2);
    for (std::size_t length : {8, 76}) {
        lines.length = length;
        for (std::size_t column : {0, 3, 4, 8, 72}) {
            for (std::size_t groups : {1, 2, 19, 40}) {
                if (column >= length) {
                    continue;
                }
                const std::string plain =
                    expected_encoding(base64, bytes(data.data(), data.data() + 3 * groups));
                const std::size_t last = (column + plain.size()) % length;
                std::string expected =
                    vorn::test::reference_wrap(std::string(column, '.') + plain, length, "|\n")
                        .substr(column);
                expected.resize(expected.size() - (last != 0 ? 2 : 0));
                std::string out(2 * plain.size() + 1, '#');
                std::size_t at = column;
                const std::size_t n = encode_lines(data.data(), groups, out.data(), lines, at);
                ASSERT_EQ(out.substr(0, n + 1), expected + '#')
                    << length << ' ' << column << ' ' << groups;
                ASSERT_EQ(at, last);
            }
        }
    }
}

// The URL-safe kernels against the standard ones with the two characters swapped.
TEST_P(Kernels, UrlKernelsAreTheStandardOnesWithTheirAlphabet) {
    std::mt19937 rng(31);
    const vd::base64_kernels& url = vd::base64url_kernels_for(level());
    for (std::size_t groups : {1u, 8u, 9u, 23u, 40u, 100u}) {
        const bytes data = random_bytes(rng, 3 * groups);
        std::string text(4 * groups, '#');
        url.encode(data.data(), groups, text.data());
        std::string standard = vorn::test::reference_base64_encode(data);
        for (char& c : standard) {
            c = c == '+' ? '-' : (c == '/' ? '_' : c);
        }
        ASSERT_EQ(text, standard);
        bytes out(3 * groups);
        ASSERT_TRUE(url.decode(text.data(), groups, out.data()));
        ASSERT_EQ(out, data);
        for (char foreign : {'+', '/', '=', '!'}) {
            std::string damaged = text;
            damaged[rng() % damaged.size()] = foreign;
            ASSERT_FALSE(url.decode(damaged.data(), groups, out.data())) << foreign;
        }
    }
}

std::string level_name(const testing::TestParamInfo<vd::kernel_level>& param) {
    switch (param.param) {
        case vd::kernel_level::avx2:
            return "avx2";
        case vd::kernel_level::avx512:
            return "avx512";
        default:
            return "scalar";
    }
}

INSTANTIATE_TEST_SUITE_P(, Kernels,
                         testing::Values(vd::kernel_level::scalar, vd::kernel_level::avx2,
                                         vd::kernel_level::avx512),
                         level_name);

}  // namespace
