// SPDX-License-Identifier: MIT
// Every entry point of the binary encodings that reads a caller's bytes or writes a caller's
// buffer, with the input and the output flush against a page without access, at every length
// up to a few hundred: a load or masked store one byte too wide ends the program with SIGSEGV.
// Run once per kernel level (see CMakeLists.txt), so that each level's kernels meet the guards.
#include "vorn/core/binary_encoding.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "support/encoding_reference.hpp"
#include "support/guard_page.hpp"

namespace vc = vorn::core::v2;
namespace vt = vorn::test;
using vc::binary_decoder;
using vc::binary_encoder;
using vc::binary_encoding;
using vc::decode_options;
using vc::decode_status;
using flush = vt::guarded_buffer::flush;

namespace {

constexpr std::size_t max_length = 300;

// One call of an entry point: `input` is copied to guarded memory (`in`), each buffer the call
// writes is placed flush as `where` says, and `want` is what the reference gives (no value: not
// a complete text). With `short_by_one` the capacity forms get one byte less than they need.
struct call {
    binary_encoding e;
    std::string input;
    vc::line_wrap wrap;
    decode_options options;
    std::optional<std::string> want;
    std::string_view in = {};
    flush where = flush::end;
    bool short_by_one = false;

    bool plain() const { return wrap.length == 0 && options == decode_options::standard; }
    std::size_t capacity() const {
        return want ? want->size() - (short_by_one && !want->empty()) : in.size();
    }
};

// Windows of any size flush against a guard, carved out of one mapping per side so that the
// sweep maps nothing per call: a window flush at the end is the last bytes of its mapping.
class guarded_windows {
  public:
    char* window(std::size_t size, flush where) {
        return where == flush::end ? end_.chars() + end_.size() - size : start_.chars();
    }
    std::string_view hold(std::string_view bytes, flush where) {
        char* const at = window(bytes.size(), where);
        std::copy(bytes.begin(), bytes.end(), at);
        return {at, bytes.size()};
    }

  private:
    vt::guarded_buffer end_{4096, flush::end};
    vt::guarded_buffer start_{4096, flush::start};
};

// One set for the inputs, one for the streamed pieces and one for the outputs, in use at once.
guarded_windows inputs, pieces, outputs;

using outcome = std::optional<std::string>;

std::string as_text(const vc::byte_array& a) {
    return std::string(reinterpret_cast<const char*>(a.data()), a.size());
}
// A decoding that reports its status: its bytes when complete.
outcome if_complete(decode_status status, std::string bytes) {
    return status == decode_status::complete ? outcome(std::move(bytes)) : std::nullopt;
}
// One that gives only its bytes, empty for a text that is not complete.
outcome bytes_only(const call& c, const vc::byte_array& a) {
    return if_complete(c.want || !a.empty() ? decode_status::complete : decode_status::refused,
                       as_text(a));
}
unsigned char* as_bytes(char* p) {
    return reinterpret_cast<unsigned char*>(p);
}
const unsigned char* as_bytes(std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

// An encoder or decoder fed `c.in` in three pieces, each copied to a window flush at a guard.
template <class Codec>
Codec fed(const call& c, Codec codec) {
    const std::size_t n = c.in.size();
    const std::size_t cuts[] = {0, n / 3, std::min(n * 2 / 3 + 1, n), n};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string_view piece =
            pieces.hold(c.in.substr(cuts[i], cuts[i + 1] - cuts[i]), c.where);
        if constexpr (std::is_same_v<Codec, binary_encoder>) {
            codec.add_data(piece);
        } else {
            codec.add_string(piece);
        }
    }
    return codec;
}

// What an entry point wrote to a guarded buffer of `size` bytes; `write(out, size)` returns
// what the entry point does. A too_small report with the size needed, for a buffer that is
// indeed too small, counts as the expected result.
std::pair<std::size_t, decode_status> status_of(std::size_t size) {
    return {size, decode_status::complete};
}
std::pair<std::size_t, decode_status> status_of(vc::encode_result r) {
    return {r.size, r.too_small ? decode_status::too_small : decode_status::complete};
}
std::pair<std::size_t, decode_status> status_of(vc::decode_result r) {
    return {r.size, r.status};
}
template <class Write>
outcome written(const call& c, std::size_t size, Write write) {
    char* const out = outputs.window(size, c.where);
    const auto [n, status] = status_of(write(out, size));
    if (status == decode_status::too_small) {
        return c.want && size < c.want->size() && n == c.want->size() ? c.want : "<too_small>";
    }
    return status == decode_status::complete ? outcome(std::string(out, n)) : std::nullopt;
}

struct entry {
    const char* name;
    bool takes_form;  // a line_wrap or decode_options; otherwise checked only plain
    bool bounded;     // takes a capacity: checked again with a buffer one byte short
    std::function<outcome(const call&)> run;
};

// clang-format off
const entry encoders[] = {
    {"encode(pointer)", false, false, [](const call& c) -> outcome {
         return binary_encoder::encode(c.e, as_bytes(c.in), c.in.size()); }},
    {"encode(string_view)", false, false, [](const call& c) -> outcome {
         return binary_encoder::encode(c.e, c.in); }},
    {"encode(pointer, wrap)", true, false, [](const call& c) -> outcome {
         return binary_encoder::encode(c.e, as_bytes(c.in), c.in.size(), c.wrap); }},
    {"encode_append", true, false, [](const call& c) -> outcome {
         std::string to = "kept";
         binary_encoder::encode_append(c.e, c.in, to, c.wrap);
         return to.compare(0, 4, "kept") == 0 ? to.substr(4) : "<lost>"; }},
    {"encode_to(out)", false, false, [](const call& c) {
         return written(c, c.capacity(), [&](char* out, std::size_t) {
             return binary_encoder::encode_to(c.e, c.in, out); }); }},
    {"encode_to(out, capacity)", true, true, [](const call& c) {
         return written(c, c.capacity(), [&](char* out, std::size_t capacity) {
             return binary_encoder::encode_to(c.e, c.in, out, capacity, c.wrap); }); }},
    {"binary_encoder::finish", true, false, [](const call& c) -> outcome {
         return fed(c, binary_encoder(c.e, c.wrap)).finish(); }},
    {"binary_encoder::finish_to(out)", true, false, [](const call& c) {
         const binary_encoder encoder = fed(c, binary_encoder(c.e, c.wrap));
         return written(c, encoder.finished_size(), [&](char* out, std::size_t) {
             return encoder.finish_to(out); }); }},
    {"binary_encoder::finish_to(out, capacity)", true, true, [](const call& c) {
         const binary_encoder encoder = fed(c, binary_encoder(c.e, c.wrap));
         return written(c, c.capacity(), [&](char* out, std::size_t capacity) {
             return encoder.finish_to(out, capacity); }); }},
    {"binary_encoder::finish_append", true, false, [](const call& c) -> outcome {
         std::string to;
         fed(c, binary_encoder(c.e, c.wrap)).finish_append(to);
         return to; }},
};

const entry decoders[] = {
    {"decode(pointer, size)", false, false, [](const call& c) {
         return bytes_only(c, binary_decoder::decode(c.e, c.in.data(), c.in.size())); }},
    {"decode(string_view, options)", true, false, [](const call& c) {
         return bytes_only(c, binary_decoder::decode(c.e, c.in, c.options)); }},
    {"decode(string_view, status)", false, false, [](const call& c) {
         decode_status status;
         const vc::byte_array a = binary_decoder::decode(c.e, c.in, status);
         return if_complete(status, as_text(a)); }},
    {"decode(string_view, options, status)", true, false, [](const call& c) {
         decode_status status;
         const vc::byte_array a = binary_decoder::decode(c.e, c.in, c.options, status);
         return if_complete(status, as_text(a)); }},
    {"decode_append", true, false, [](const call& c) -> outcome {
         vc::byte_array to(3, 'Z');
         const decode_status status = binary_decoder::decode_append(c.e, c.in, to, c.options);
         const std::string all = as_text(to);
         return all.compare(0, 3, "ZZZ") == 0 ? if_complete(status, all.substr(3)) : "<lost>"; }},
    {"decode_to(out)", false, false, [](const call& c) {
         const std::size_t bound = binary_decoder::decoded_size_bound(c.e, c.in.size());
         return written(c, bound, [&](char* out, std::size_t) {
             return binary_decoder::decode_to(c.e, c.in.data(), c.in.size(), as_bytes(out)); }); }},
    {"decode_to(out, capacity)", true, true, [](const call& c) {
         return written(c, c.capacity(), [&](char* out, std::size_t capacity) {
             return binary_decoder::decode_to(c.e, c.in, as_bytes(out), capacity, c.options);
         }); }},
    {"binary_decoder::finish", true, false, [](const call& c) {
         const binary_decoder decoder = fed(c, binary_decoder(c.e, c.options));
         return if_complete(decoder.get_status(), as_text(decoder.finish())); }},
    {"binary_decoder::finish_to(out)", true, false, [](const call& c) {
         const binary_decoder decoder = fed(c, binary_decoder(c.e, c.options));
         return written(c, decoder.finished_size(), [&](char* out, std::size_t) {
             return decoder.finish_to(as_bytes(out)); }); }},
    {"binary_decoder::finish_to(out, capacity)", true, true, [](const call& c) {
         const binary_decoder decoder = fed(c, binary_decoder(c.e, c.options));
         return written(c, c.capacity(), [&](char* out, std::size_t capacity) {
             return decoder.finish_to(as_bytes(out), capacity); }); }},
    {"binary_decoder::finish_append", true, false, [](const call& c) {
         vc::byte_array to;
         const decode_status status = fed(c, binary_decoder(c.e, c.options)).finish_append(to);
         return if_complete(status, as_text(to)); }},
};
// clang-format on

std::string reference_encode(binary_encoding e, std::string_view data) {
    const vt::bytes b(data.begin(), data.end());
    return e == binary_encoding::hex      ? vt::reference_hex_encode(b)
           : e == binary_encoding::base64 ? vt::reference_base64_encode(b)
                                          : vt::reference_base64url_encode(b);
}

// The bytes of `text` read as `options` say, or no value when it is not a complete text.
outcome reference_decode(binary_encoding e, decode_options options, std::string_view text) {
    const bool url = e == binary_encoding::base64url;
    const bool forgiving = options == decode_options::forgiving;
    const std::optional<vt::bytes> b =
        e == binary_encoding::hex ? (forgiving ? vt::reference_forgiving_hex_decode(text)
                                               : vt::reference_hex_decode(text))
        : forgiving               ? vt::reference_forgiving_base64_decode(text, url)
        : url                     ? vt::reference_base64url_decode(text)
                                  : vt::reference_base64_decode(text);
    const std::string bytes = b ? std::string(b->begin(), b->end()) : "";
    // Canonical: the text is the only one of its bytes (but for padding).
    const bool other_text =
        options == decode_options::canonical &&
        vt::reference_significant(reference_encode(e, bytes)) != vt::reference_significant(text);
    return if_complete(b && !other_text ? decode_status::complete : decode_status::refused, bytes);
}

// Runs every entry on every call `make(e, n)` gives for each length n, with the input and the
// outputs flush at their ends, then at their starts (a buffer's overrun faults whatever the
// other's placement), and the capacity forms again one byte short; returns the checks made.
template <std::size_t N, class Make>
std::size_t sweep(const entry (&entries)[N], Make make) {
    std::size_t checks = 0;
    for (binary_encoding e :
         {binary_encoding::hex, binary_encoding::base64, binary_encoding::base64url}) {
        for (std::size_t n = 0; n <= max_length; ++n) {
            for (call& c : make(e, n)) {
                for (flush where : {flush::end, flush::start}) {
                    c.in = inputs.hold(c.input, where);
                    c.where = where;
                    for (const entry& x : entries) {
                        for (bool short_by_one : {false, true}) {
                            c.short_by_one = short_by_one;
                            if ((c.plain() || x.takes_form) && (!short_by_one || x.bounded)) {
                                ++checks;
                                EXPECT_EQ(x.run(c), c.want)
                                    << x.name << ' ' << to_string(e) << " wrap " << c.wrap.length
                                    << " options " << static_cast<unsigned>(c.options) << " short "
                                    << short_by_one << " flush at the "
                                    << (where == flush::end ? "end" : "start") << " of \"" << c.in
                                    << '"';
                            }
                        }
                    }
                }
            }
        }
    }
    return checks;
}

TEST(GuardPages, EveryEntryPointReadsAndWritesOnlyItsBuffers) {
    std::string pool(max_length, '\0');
    std::mt19937 rng(7);
    std::generate(pool.begin(), pool.end(), [&] { return static_cast<char>(rng()); });

    const vc::line_wrap wraps[] = {{}, vc::line_wrap::mime(), {5, "\r\n"}};
    const std::size_t encoder_checks = sweep(encoders, [&](binary_encoding e, std::size_t n) {
        std::vector<call> calls;
        const std::string data = pool.substr(0, n);
        for (const vc::line_wrap& wrap : wraps) {
            const std::string text = reference_encode(e, data);
            calls.push_back({e, data, wrap, {}, vt::reference_wrap(text, wrap.length, wrap.end)});
        }
        return calls;
    });

    // Each length is read as a whole text (in lines, for the forgiving decoder) and as the first
    // n characters of a longer one, so that every length and every cut through a group or a line
    // end meets the guard, complete, incomplete and refused texts alike.
    const std::size_t decoder_checks = sweep(decoders, [&](binary_encoding e, std::size_t n) {
        std::vector<call> calls;
        for (decode_options options :
             {decode_options::standard, decode_options::canonical, decode_options::forgiving}) {
            const auto text_of = [&](std::string_view data) {
                const std::string text = reference_encode(e, data);
                return options == decode_options::forgiving ? vt::reference_wrap(text, 10, "\r\n")
                                                            : text;
            };
            for (const std::string& text :
                 {text_of(pool.substr(0, n)), text_of(pool).substr(0, n)}) {
                calls.push_back({e, text, {}, options, reference_decode(e, options, text)});
            }
        }
        return calls;
    });
    std::printf("%zu encoder and %zu decoder checks\n", encoder_checks, decoder_checks);
}

}  // namespace
