// SPDX-License-Identifier: MIT
// The decoder front-end: streamed decoding into one growing array, and the one-shot forms,
// which keep no state record and write straight into their result or the caller's buffer.
#include <cstdint>
#include <cstring>
#include <utility>

#include "binary_encoding/state.hpp"
#include "binary_encoding/whitespace.hpp"
#include "byte_array/byte_array_access.hpp"
#include "common/compiler.hpp"
#include "vorn/core/binary_encoding.hpp"

namespace vorn::core::v2 {

static_assert(sizeof(binary_decoder) == sizeof(void*), "binary_decoder is one owning pointer");
// Returned by value from exported functions: its layout is part of the ABI.
static_assert(sizeof(decode_result) == 2 * sizeof(std::size_t),
              "decode_result is a size and a status");

namespace {

using detail::codec_id;
using access = core::detail::byte_array_access;

std::size_t bytes_bound(codec_id codec, std::size_t size) noexcept {
    return codec == codec_id::hex ? size / 2 : detail::base64_decoded_size_bound(size);
}

// What a text is read with: its codec and the options it was given.
struct decode_rules {
    codec_id codec;
    bool canonical;
    bool forgiving;

    // A final group may go without padding: Base64url's, and any forgiving one.
    bool padding_optional() const noexcept { return codec == codec_id::base64url || forgiving; }
};

constexpr decode_rules rules_of(codec_id codec, decode_options options) noexcept {
    return {codec, (options & decode_options::canonical) != decode_options::standard,
            (options & decode_options::forgiving) != decode_options::standard};
}

decode_rules rules_of(const detail::binary_decoder_impl& state) noexcept {
    return {state.codec, state.canonical, state.forgiving};
}

// A padded final group ("xx==" or "xxx=") the rules accept.
bool padded_group_ok(const decode_rules& rules, const detail::base64_alphabet_spec& a,
                     const char* g) noexcept {
    if (!detail::valid_padded_group(a, g)) {
        return false;
    }
    if (!rules.canonical) {
        return true;
    }
    return g[2] == detail::base64_padding
               ? detail::base64_unused_bits_zero(detail::base64_value(a, g[1]), 1)
               : detail::base64_unused_bits_zero(detail::base64_value(a, g[2]), 2);
}

// The rest of a stream, fed after the characters it held back: `group` holds the `held`
// characters that passed their checks (the start of a group, a padded final group, or an
// unpaired hex digit) and is updated to what this piece leaves over.
struct held_text {
    char group[4];
    std::size_t held;
};

// The number of bytes feed() may write for `n` more characters.
constexpr std::size_t feed_room(codec_id codec, std::size_t n) noexcept {
    return codec == codec_id::hex ? n / 2 + 1 : n / 4 * 3 + 3;
}

// What feeding a piece gave: the bytes written, or the refusal of the whole stream (the held
// text is then unspecified).
struct feed_result {
    std::size_t written;
    bool refused;
};

inline constexpr feed_result refusal = {0, true};

// feed() for hex: decodes the digit pairs that the `n` (not 0) characters at `p` complete into
// `out`, holding back an unpaired last digit.
feed_result feed_hex(held_text& left, const char* p, std::size_t n, unsigned char* out) noexcept {
    std::size_t written = 0;
    if (left.held != 0) {
        const char pair[2] = {left.group[0], p[0]};
        if ((detail::hex_decode_pair(pair, out) & 0xF0u) != 0) {
            return refusal;
        }
        written = 1;
        ++p;
        --n;
        left.held = 0;
    }
    const std::size_t pairs = n / 2;
    if (!detail::hex_decode_pairs(p, pairs, out + written)) {
        return refusal;
    }
    if (n % 2 != 0) {
        // A lone character that is not a digit can never be completed into a valid pair.
        if (detail::hex_value(p[n - 1]) == detail::not_in_alphabet) {
            return refusal;
        }
        left.group[0] = p[n - 1];
        left.held = 1;
    }
    return {written + pairs, false};
}

// Completes the Base64 group the 1-3 held characters start from the `n` (not 0) characters at
// `p`, and moves `p` and `n` past what it takes. Writes the group's 3 bytes once it is whole;
// while it is still short, or when it is a padded final group, it stays held.
feed_result complete_held_group(const decode_rules& rules, const detail::base64_alphabet_spec& a,
                                held_text& left, const char*& p, std::size_t& n,
                                unsigned char* out) noexcept {
    const std::size_t take = n < 4 - left.held ? n : 4 - left.held;
    std::memcpy(left.group + left.held, p, take);
    left.held += take;
    p += take;
    n -= take;
    if (left.held < 4) {
        return {0, !detail::valid_group_start(a, left.group, left.held)};
    }
    if (left.group[3] == detail::base64_padding) {
        // A padded group may only end the stream.
        return {0, !(n == 0 && padded_group_ok(rules, a, left.group))};
    }
    if ((detail::base64_decode_group(*a.values, left.group, out) & 0x80u) != 0) {
        return refusal;
    }
    left.held = 0;
    return {3, false};
}

// Decodes the whole Base64 groups of `n` characters at `p` that start on a group boundary, and
// holds back a padded final group or the start of an incomplete one.
feed_result feed_base64_groups(const decode_rules& rules, const detail::base64_alphabet_spec& a,
                               held_text& left, const char* p, std::size_t n,
                               unsigned char* out) noexcept {
    const std::size_t groups = n / 4;
    std::size_t written = 0;
    if (groups != 0) {
        // Only the stream's last group may be padded; it is held back for the final step.
        const bool last_padded = p[4 * groups - 1] == detail::base64_padding;
        const std::size_t body = last_padded ? groups - 1 : groups;
        if (!detail::base64_decode_groups(rules.codec, p, body, out)) {
            return refusal;
        }
        written = 3 * body;
        p += 4 * body;
        n -= 4 * body;
        if (last_padded) {
            if (n != 4 || !padded_group_ok(rules, a, p)) {
                return refusal;
            }
            std::memcpy(left.group, p, 4);
            left.held = 4;
            return {written, false};
        }
    }
    // An incomplete group that no continuation can make valid refuses the stream now, as it
    // would at the latest when finishing.
    if (!detail::valid_group_start(a, p, n)) {
        return refusal;
    }
    std::memcpy(left.group, p, n);
    left.held = n;
    return {written, false};
}

// feed() for Base64 and Base64url, of `n` (not 0) characters.
feed_result feed_base64(const decode_rules& rules, held_text& left, const char* p, std::size_t n,
                        unsigned char* out) noexcept {
    if (left.held == 4) {
        return refusal;  // characters after the padded final group
    }
    const detail::base64_alphabet_spec& a = detail::alphabet_of(rules.codec);
    std::size_t written = 0;
    if (left.held != 0) {
        const feed_result first = complete_held_group(rules, a, left, p, n, out);
        if (first.refused || left.held != 0) {
            return first;
        }
        written = first.written;
    }
    feed_result rest = feed_base64_groups(rules, a, left, p, n, out + written);
    rest.written += written;
    return rest;
}

// Decodes the whole groups (or pairs) that `n` more characters at `p` complete into `out`
// (feed_room(codec, n) bytes), after the characters `left` holds, and holds what is left over.
inline feed_result feed(const decode_rules& rules, held_text& left, const char* p, std::size_t n,
                        unsigned char* out) noexcept {
    if (n == 0) {
        return {0, false};  // nothing more, not even after a padded group (a slice of whitespace)
    }
    return rules.codec == codec_id::hex ? feed_hex(left, p, n, out)
                                        : feed_base64(rules, left, p, n, out);
}

// What the characters held back at the end of a text give when it ends there: its status, and
// the bytes of a final Base64 group.
struct text_end {
    decode_status status = decode_status::complete;
    detail::base64_final_bytes bytes;
};

// The end of a text that was not refused and holds back `left`.
text_end end_text(const decode_rules& rules, const held_text& left) noexcept {
    text_end end;
    if (left.held == 0) {
        return end;
    }
    if (rules.codec == codec_id::hex) {
        end.status = decode_status::incomplete;
        return end;
    }
    // What was held back passed its checks when it was fed: a padded final group, or the start
    // of a group that more input can complete. It is a whole text when it decodes.
    end.bytes = detail::base64_decode_final(detail::alphabet_of(rules.codec), left.group, left.held,
                                            {rules.padding_optional(), rules.canonical});
    end.status = end.bytes.refused ? decode_status::incomplete : decode_status::complete;
    return end;
}

// Decodes a whole text that is not whole groups (or digit pairs) into `out`, through the
// streaming steps. Kept out of line: the one-shot forms inline only the common shapes.
VORN_CORE_NOINLINE decode_result decode_uneven(const decode_rules& rules, const char* text,
                                               std::size_t size, unsigned char* out) noexcept {
    held_text left{{}, 0};
    const feed_result fed = feed(rules, left, text, size, out);
    if (fed.refused) {
        return {0, decode_status::refused};
    }
    const text_end end = end_text(rules, left);
    if (end.status != decode_status::complete) {
        return {0, end.status};
    }
    if (end.bytes.size != 0) {
        // These bytes are counted by decoded_size_bound, so `out` is not null when there are
        // any: it is null only for a bound of 0.
        // NOLINTNEXTLINE(clang-analyzer-core.NonNullParamChecker)
        std::memcpy(out + fed.written, end.bytes.bytes, end.bytes.size);
    }
    return {fed.written + end.bytes.size, decode_status::complete};
}

// Decodes the padded final group ("xx==" or "xxx=") at `last` into `out`, after `before` bytes
// of whole groups: the result of the whole text.
// bench/binary_encoding_bench.cpp: decode_to_buffer/encoding:1/bytes:16
VORN_CORE_FORCE_INLINE decode_result decode_padded_group(const decode_rules& rules,
                                                         const char* last, unsigned char* out,
                                                         std::size_t before) noexcept {
    const std::array<unsigned char, 256>& values = *detail::alphabet_of(rules.codec).values;
    const unsigned v0 = values[static_cast<unsigned char>(last[0])];
    const unsigned v1 = values[static_cast<unsigned char>(last[1])];
    const bool one_byte = last[2] == detail::base64_padding;
    const unsigned v2 = one_byte ? 0 : values[static_cast<unsigned char>(last[2])];
    out[0] = static_cast<unsigned char>((v0 << 2) | (v1 >> 4));
    if (!one_byte) {
        out[1] = static_cast<unsigned char>((v1 << 4) | (v2 >> 2));
    }
    // The unused low bits of the last significant character are ignored, unless the text
    // must be canonical.
    const std::size_t size = one_byte ? 1 : 2;
    const bool ok = ((v0 | v1 | v2) & 0x80u) == 0 &&
                    (!rules.canonical || detail::base64_unused_bits_zero(one_byte ? v1 : v2, size));
    return ok ? decode_result{before + size, decode_status::complete}
              : decode_result{0, decode_status::refused};
}

// Decodes a whole text into `out` (decoded_size_bound bytes). Inline in the one-shot forms,
// where for a short text the calls would cost as much as the decoding.
// bench/binary_encoding_bench.cpp: decode_to_buffer/encoding:1/bytes:64
VORN_CORE_FORCE_INLINE decode_result decode_whole(const decode_rules& rules, const char* text,
                                                  std::size_t size, unsigned char* out) noexcept {
    const codec_id codec = rules.codec;
    if (size == 0) {
        return {0, decode_status::complete};
    }
    if (codec == codec_id::hex && size % 2 == 0) {
        // Pairs only: complete when they are all digits.
        return detail::hex_decode_pairs(text, size / 2, out)
                   ? decode_result{size / 2, decode_status::complete}
                   : decode_result{0, decode_status::refused};
    }
    if (codec != codec_id::hex && size % 4 == 0) {
        // Whole groups, of which only the last may be padded ("xx==" or "xxx=").
        const char* const last = text + size - 4;
        const std::size_t body = size / 4 - (last[3] == detail::base64_padding ? 1 : 0);
        if (!detail::base64_decode_groups(codec, text, body, out)) {
            return {0, decode_status::refused};
        }
        if (4 * body == size) {
            return {3 * body, decode_status::complete};
        }
        return decode_padded_group(rules, last, out + 3 * body, 3 * body);
    }
    return decode_uneven(rules, text, size, out);
}

// Plain staged text is checked here, when it is decoded, not when it is fed: it is decoded
// with every rule checked, as if it had been fed in one piece. Writes at most
// feed_room(codec, staged_size) bytes at `out` and holds in `left` what the text holds back.
feed_result decode_staged(const detail::binary_decoder_impl& state, held_text& left,
                          unsigned char* out) noexcept {
    const std::size_t size = state.staged_size;
    if (!state.plain) {
        // A piece decoded in place held these back, after checking them.
        std::memcpy(left.group, state.staged, size);
        left.held = size;
        return {0, false};
    }
    left.held = 0;
    return feed(rules_of(state), left, state.staged, size, out);
}

// Refused for good: the bytes kept so far are dropped and nothing later is read.
void refuse(detail::binary_decoder_impl& state) noexcept {
    state.decoded_bytes.release();
    state.refused = true;
    state.staged_size = 0;
}

// Keeps what the characters held back after `left` were.
void hold(detail::binary_decoder_impl& state, const held_text& left) noexcept {
    std::memcpy(state.staged, left.group, left.held);
    state.staged_size = left.held;
    state.plain = std::memchr(left.group, detail::base64_padding, left.held) == nullptr;
}

// Decodes the staged text into the stream's bytes, leaving only what it holds back (checked).
// Throws std::bad_alloc with the stream unchanged.
void settle(detail::binary_decoder_impl& state) {
    if (!state.plain || state.staged_size == 0) {
        return;
    }
    unsigned char* const out = state.decoded_bytes.room(feed_room(state.codec, state.staged_size));
    held_text left{{}, 0};
    const feed_result fed = decode_staged(state, left, out);
    if (fed.refused) {
        refuse(state);
        return;
    }
    state.decoded_bytes.commit(fed.written);
    hold(state, left);
}

// What ending the stream now gives: its status and size and, beyond the bytes it keeps, the
// bytes of the staged text and of the final group it holds back.
struct stream_end {
    decode_status status = decode_status::refused;
    std::size_t size = 0;  // every byte of a complete stream; 0 for any other
    std::size_t staged_size = 0;
    unsigned char
        staged[feed_room(codec_id::base64, detail::binary_decoder_impl::staging_capacity)];
    detail::base64_final_bytes final_bytes;
};

stream_end end_stream(const detail::binary_decoder_impl& state) noexcept {
    stream_end end;
    held_text left{{}, 0};
    const feed_result fed = state.refused ? refusal : decode_staged(state, left, end.staged);
    if (fed.refused) {
        return end;
    }
    const text_end rest = end_text(rules_of(state), left);
    end.status = rest.status;
    if (rest.status == decode_status::complete) {
        end.staged_size = fed.written;
        end.final_bytes = rest.bytes;
        end.size = state.decoded_bytes.size() + fed.written + rest.bytes.size;
    }
    return end;
}

// Writes the `end.size` bytes of a complete stream at `out`.
void write_stream_end(const detail::binary_decoder_impl& state, const stream_end& end,
                      unsigned char* out) noexcept {
    state.decoded_bytes.copy_to(out);
    out += state.decoded_bytes.size();
    std::memcpy(out, end.staged, end.staged_size);
    out += end.staged_size;
    std::memcpy(out, end.final_bytes.bytes, end.final_bytes.size);
}

// The codec of `encoding` for the one-shot forms: the valid values map one to one, so one
// compare suffices; codec_of throws for the others.
static_assert(static_cast<std::uint32_t>(binary_encoding::hex) ==
                  static_cast<std::uint32_t>(codec_id::hex) &&
              static_cast<std::uint32_t>(binary_encoding::base64) ==
                  static_cast<std::uint32_t>(codec_id::base64) &&
              static_cast<std::uint32_t>(binary_encoding::base64url) ==
                  static_cast<std::uint32_t>(codec_id::base64url));
inline codec_id one_shot_codec(binary_encoding encoding) {
    const auto value = static_cast<std::uint32_t>(encoding);
    if (value <= static_cast<std::uint32_t>(codec_id::base64url)) [[likely]] {
        return static_cast<codec_id>(value);
    }
    return detail::codec_of(encoding);
}

// Squeezes the whitespace out of `n` characters at `in` into `out` (room for n plus
// squeeze_slack) as the codec allows; false when the codec refuses where it stands (hex:
// inside a pair). `odd` carries an open hex pair from one call to the next.
bool squeeze(codec_id codec, const char* in, std::size_t n, char* out, std::size_t& kept,
             bool& odd) noexcept {
    if (codec != codec_id::hex) {
        kept = detail::active_squeeze()(in, n, out);
        return true;
    }
    const detail::pair_squeeze result = detail::squeeze_pair_whitespace(in, n, out, odd);
    kept = result.written;
    odd = result.odd;
    return !result.refused;
}

// The characters decode_in_slices (and a forgiving stream) reads at a time.
constexpr std::size_t slice_size = 4096;

// Where a slice of `text` is squeezed to: a place in `area` half a page away from the text
// modulo the page size, so that the squeezer's loads never share the low 12 address bits of
// its recent stores. Processors then take a load for one that must wait on the store (4K
// aliasing), which doubled the time of "decode_forgiving_mime" in bench/ for texts at some
// offsets. Slices move on by whole pages, so one place serves all of them.
class squeeze_area {
  public:
    static constexpr std::size_t page = 4096;
    static_assert(slice_size % page == 0, "slices keep their place modulo the page");

    explicit squeeze_area(const char* text) noexcept
        : at_(area_ + ((reinterpret_cast<std::uintptr_t>(text) + page / 2 -
                        reinterpret_cast<std::uintptr_t>(area_)) &
                       (page - 1))) {}
    char* get() noexcept { return at_; }

  private:
    char area_[slice_size + detail::squeeze_slack + page];
    char* at_;
};

// Where decode_in_slices puts the bytes: straight into the caller's buffer while a slice's
// worst case fits in it, else into a scratch area of which only what fits is copied; the
// rest is only counted.
class bounded_bytes {
  public:
    bounded_bytes(unsigned char* out, std::size_t capacity) noexcept
        : out_(out), capacity_(capacity) {}

    // Room for `n` bytes.
    unsigned char* room(std::size_t n) noexcept {
        direct_ = size_ <= capacity_ && n <= capacity_ - size_;
        return direct_ ? out_ + size_ : scratch_;
    }
    // The `n` bytes written in room().
    void commit(std::size_t n) noexcept {
        if (!direct_ && size_ < capacity_ && n != 0) {  // `out_` is null for no capacity
            const std::size_t fits = n < capacity_ - size_ ? n : capacity_ - size_;
            std::memcpy(out_ + size_, scratch_, fits);
        }
        size_ += n;
    }
    std::size_t size() const noexcept { return size_; }

  private:
    unsigned char* out_;
    std::size_t capacity_;
    std::size_t size_ = 0;
    bool direct_ = false;
    unsigned char scratch_[feed_room(codec_id::base64, slice_size)];
};

// Decodes a whole text a slice at a time: for forgiving texts, whose whitespace is squeezed
// out of each slice first, and for buffers smaller than the text's bound. Reports too_small
// with the size needed for a complete text whose bytes exceed `capacity`.
VORN_CORE_NOINLINE decode_result decode_in_slices(const decode_rules& rules, const char* text,
                                                  std::size_t size, unsigned char* out,
                                                  std::size_t capacity) noexcept {
    squeeze_area area(text);
    char* const squeezed = area.get();
    bounded_bytes bytes(out, capacity);
    held_text left{{}, 0};
    bool odd = false;
    while (size != 0) {
        const std::size_t take = size < slice_size ? size : slice_size;
        const char* piece = text;
        std::size_t n = take;
        if (rules.forgiving) {
            if (!squeeze(rules.codec, text, take, squeezed, n, odd)) {
                return {0, decode_status::refused};
            }
            piece = squeezed;
        }
        const feed_result fed = feed(rules, left, piece, n, bytes.room(feed_room(rules.codec, n)));
        if (fed.refused) {
            return {0, decode_status::refused};
        }
        bytes.commit(fed.written);
        text += take;
        size -= take;
    }
    const text_end end = end_text(rules, left);
    if (end.status != decode_status::complete) {
        return {0, end.status};
    }
    if (end.bytes.size != 0) {
        std::memcpy(bytes.room(end.bytes.size), end.bytes.bytes, end.bytes.size);
        bytes.commit(end.bytes.size);
    }
    return bytes.size() <= capacity ? decode_result{bytes.size(), decode_status::complete}
                                    : decode_result{bytes.size(), decode_status::too_small};
}

// Decodes a whole text into `out`, which holds `capacity` bytes. A buffer of the text's
// bound takes the default and canonical rules' straight path.
VORN_CORE_FORCE_INLINE decode_result decode_bounded(const decode_rules& rules, const char* text,
                                                    std::size_t size, unsigned char* out,
                                                    std::size_t capacity) noexcept {
    if (!rules.forgiving && capacity >= bytes_bound(rules.codec, size)) {
        return decode_whole(rules, text, size, out);
    }
    return decode_in_slices(rules, text, size, out, capacity);
}

// A whole text decoded into a new array of one block (none when it decodes to nothing or is
// not complete). Inline in every one-shot overload: none calls another exported overload,
// and a short text costs little more than its allocation.
VORN_CORE_FORCE_INLINE byte_array decode_new(const decode_rules& rules, const char* text,
                                             std::size_t size, decode_status& status) {
    const std::size_t bound = bytes_bound(rules.codec, size);
    byte_array bytes;
    if (bound == 0) {
        // Nothing to write: the text is empty, or too short to hold a byte. The scratch area
        // only spares the decoding a null destination.
        unsigned char scratch[4];
        status = decode_bounded(rules, text, size, scratch, 0).status;
        return bytes;
    }
    // A block of the bound's size, taken directly: the array is new, nothing to move. The
    // bound is at most three quarters of the text's size, so within what an array may hold.
    core::detail::byte_array_impl* const block = detail::allocate_block(bound);
    access::header(bytes) = block;
    const decode_result result = decode_bounded(rules, text, size, detail::data_of(block), bound);
    status = result.status;
    if (result.status != decode_status::complete) {
        byte_array().swap(bytes);  // no block: the same array as for a text never fed
    } else {
        block->size_ = result.size;
    }
    return bytes;
}

// The default rules of `encoding`, for the overloads that take no options.
inline decode_rules default_rules(binary_encoding encoding) {
    return {one_shot_codec(encoding), false, false};
}

// Gathers `size` characters in the staging area when they fit after plain staged text: they
// are checked and decoded in one run with what follows them.
// bench/binary_encoding_bench.cpp: decode_in_pieces/five_chars
bool gather(detail::binary_decoder_impl& state, const char* text, std::size_t size) noexcept {
    if (!state.plain || size > detail::binary_decoder_impl::staging_capacity - state.staged_size) {
        return false;
    }
    detail::copy_bytes(state.staged + state.staged_size, text, size);
    state.staged_size += size;
    return true;
}

// Feeds text with nothing to skip: gathered in the staging area while it is short, decoded
// where it is otherwise. Throws std::bad_alloc with the stream unchanged.
void add_plain(detail::binary_decoder_impl& state, const char* text, std::size_t size) {
    if (gather(state, text, size)) {
        return;
    }
    settle(state);
    if (state.refused || gather(state, text, size)) {
        return;
    }
    // After padding, or a long piece: decoded where it is, after the held back characters,
    // with every rule checked.
    unsigned char* const out = state.decoded_bytes.room(feed_room(state.codec, size));
    held_text left;
    std::memcpy(left.group, state.staged, state.staged_size);
    left.held = state.staged_size;
    const feed_result fed = feed(rules_of(state), left, text, size, out);
    if (fed.refused) {
        refuse(state);
        return;
    }
    state.decoded_bytes.commit(fed.written);
    hold(state, left);
}

// Feeds a forgiving stream: each slice without its whitespace. A failing allocation may leave
// the slices before it fed.
void add_forgiving(detail::binary_decoder_impl& state, const char* text, std::size_t size) {
    squeeze_area area(text);
    char* const squeezed = area.get();
    while (size != 0 && !state.refused) {
        const std::size_t take = size < slice_size ? size : slice_size;
        std::size_t kept = 0;
        if (!squeeze(state.codec, text, take, squeezed, kept, state.odd)) {
            refuse(state);
            return;
        }
        if (kept != 0) {
            add_plain(state, squeezed, kept);
        }
        text += take;
        size -= take;
    }
}

}  // namespace

binary_decoder::binary_decoder(binary_encoding encoding) : impl_(nullptr) {
    const codec_id codec = detail::codec_of(encoding);
    impl_ = new detail::binary_decoder_impl;
    impl_->codec = codec;
}

binary_decoder::binary_decoder(binary_encoding encoding, decode_options options)
    : binary_decoder(encoding) {
    const decode_rules rules = rules_of(impl_->codec, options);
    impl_->canonical = rules.canonical;
    impl_->forgiving = rules.forgiving;
}

binary_decoder::binary_decoder(const binary_decoder& other)
    : impl_(new detail::binary_decoder_impl(*other.impl_)) {}

binary_decoder::~binary_decoder() {
    delete impl_;
}

binary_decoder& binary_decoder::operator=(const binary_decoder& other) {
    if (this != &other) {
        // The whole state copied first, so that a failing allocation leaves this decoder as it
        // was; the old state goes with the copy.
        binary_decoder copy(other);
        std::swap(impl_, copy.impl_);
    }
    return *this;
}

void binary_decoder::add_string(const char* text, std::size_t size) {
    detail::binary_decoder_impl& state = *impl_;
    if (size == 0 || state.refused) {
        return;  // a refused stream stays refused: nothing later is even read
    }
    if (state.forgiving) {
        add_forgiving(state, text, size);
    } else {
        add_plain(state, text, size);
    }
}

void binary_decoder::add_string(const std::string& text) {
    add_string(text.data(), text.size());
}

void binary_decoder::add_string(const char* text) {
    add_string(text, std::strlen(text));
}

void binary_decoder::add_string(std::string_view text) {
    add_string(text.data(), text.size());
}

decode_status binary_decoder::get_status() const noexcept {
    return end_stream(*impl_).status;
}

std::size_t binary_decoder::finished_size() const noexcept {
    return end_stream(*impl_).size;
}

decode_result binary_decoder::finish_to(unsigned char* out) const noexcept {
    const stream_end end = end_stream(*impl_);
    if (end.size != 0) {
        write_stream_end(*impl_, end, out);
    }
    return {end.size, end.status};
}

decode_result binary_decoder::finish_to(unsigned char* out, std::size_t capacity) const noexcept {
    const stream_end end = end_stream(*impl_);
    if (end.size > capacity) {
        return {end.size, decode_status::too_small};
    }
    if (end.size != 0) {
        write_stream_end(*impl_, end, out);
    }
    return {end.size, end.status};
}

byte_array binary_decoder::finish() const {
    const stream_end end = end_stream(*impl_);
    byte_array bytes;
    if (end.size != 0) {
        write_stream_end(*impl_, end, access::append_uninitialized(bytes, end.size));
    }
    return bytes;
}

decode_status binary_decoder::finish_append(byte_array& to) const {
    const stream_end end = end_stream(*impl_);
    if (end.size != 0) {
        write_stream_end(*impl_, end, access::append_uninitialized(to, end.size));
    }
    return end.status;
}

byte_array binary_decoder::decode(binary_encoding encoding, const char* text, std::size_t size) {
    decode_status status;
    return decode_new(default_rules(encoding), text, size, status);
}

byte_array binary_decoder::decode(binary_encoding encoding, const std::string& text) {
    decode_status status;
    return decode_new(default_rules(encoding), text.data(), text.size(), status);
}

byte_array binary_decoder::decode(binary_encoding encoding, const char* text) {
    decode_status status;
    return decode_new(default_rules(encoding), text, std::strlen(text), status);
}

byte_array binary_decoder::decode(binary_encoding encoding, std::string_view text) {
    decode_status status;
    return decode_new(default_rules(encoding), text.data(), text.size(), status);
}

byte_array binary_decoder::decode(binary_encoding encoding, std::string_view text,
                                  decode_status& status) {
    return decode_new(default_rules(encoding), text.data(), text.size(), status);
}

byte_array binary_decoder::decode(binary_encoding encoding, std::string_view text,
                                  decode_options options) {
    decode_status status;
    return decode_new(rules_of(one_shot_codec(encoding), options), text.data(), text.size(),
                      status);
}

byte_array binary_decoder::decode(binary_encoding encoding, std::string_view text,
                                  decode_options options, decode_status& status) {
    return decode_new(rules_of(one_shot_codec(encoding), options), text.data(), text.size(),
                      status);
}

decode_status binary_decoder::decode_append(binary_encoding encoding, std::string_view text,
                                            byte_array& to, decode_options options) {
    const decode_rules rules = rules_of(one_shot_codec(encoding), options);
    const std::size_t old_size = to.size();
    const std::size_t bound = bytes_bound(rules.codec, text.size());
    // One growth to the bound, the new room not filled; the array is cut back to what the
    // text gave (its old size unless it is complete).
    unsigned char* const out = access::append_uninitialized(to, bound);
    const decode_result result = decode_bounded(rules, text.data(), text.size(), out, bound);
    access::truncate(to, old_size + (result.status == decode_status::complete ? result.size : 0));
    return result.status;
}

std::size_t binary_decoder::decoded_size_bound(binary_encoding encoding, std::size_t size) {
    return bytes_bound(one_shot_codec(encoding), size);
}

decode_result binary_decoder::decode_to(binary_encoding encoding, const char* text,
                                        std::size_t size, unsigned char* out) {
    return decode_whole(default_rules(encoding), text, size, out);
}

decode_result binary_decoder::decode_to(binary_encoding encoding, std::string_view text,
                                        unsigned char* out, std::size_t capacity,
                                        decode_options options) {
    return decode_bounded(rules_of(one_shot_codec(encoding), options), text.data(), text.size(),
                          out, capacity);
}

}  // namespace vorn::core::v2
