// SPDX-License-Identifier: MIT
// The state records behind binary_encoder and binary_decoder, and what the two front-ends
// share: which codec an encoding names, and how a run of groups of a given length is converted.
//
// Each stream appends in place to its growing bytes, which live inside the record while the
// stream is short (a record, a line, a key) and in a chain of doubling heap blocks beyond that. The
// encoder keeps its input and encodes it when finishing, straight into the result; the
// decoder gathers short pieces in a staging area and checks and decodes them in runs, keeping
// its bytes. A short stream allocates its record and its result, nothing else.
#ifndef VORN_CORE_SRC_BINARY_ENCODING_STATE_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_STATE_HPP

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "binary_encoding/base64_codec.hpp"
#include "binary_encoding/kernels.hpp"
#include "binary_encoding/tables.hpp"
#include "common/compiler.hpp"
#include "common/copy_bytes.hpp"
#include "vorn/core/binary_encoding.hpp"

namespace vorn::core::v2::detail {

enum class codec_id : std::uint8_t { hex, base64, base64url };

// The codec of `encoding`. Throws std::logic_error for a value that names none.
codec_id codec_of(binary_encoding encoding);

inline const base64_kernels& active_kernels_of(codec_id codec) noexcept {
    return codec == codec_id::base64url ? active_base64url_kernels() : active_base64_kernels();
}

inline const base64_alphabet_spec& alphabet_of(codec_id codec) noexcept {
    return codec == codec_id::base64url ? url_base64 : standard_base64;
}

// The characters of `groups` whole Base64 groups at `in`, in the alphabet of `codec`.
inline void base64_encode_groups(codec_id codec, const unsigned char* in, std::size_t groups,
                                 char* out) noexcept {
    const base64_kernels& kernels = active_kernels_of(codec);
    if (groups < kernels.encode_inline_below) {
        // bench/binary_encoding_bench.cpp: encode_to_buffer/encoding:1/bytes:16
        base64_encode_group_loop(alphabet_of(codec).chars, in, groups, out);
        return;
    }
    kernels.encode(in, groups, out);
}

// The bytes of `groups` whole Base64 groups at `in`; false when a character is outside the
// alphabet of `codec` ("=" included), `out` then holding unspecified bytes.
inline bool base64_decode_groups(codec_id codec, const char* in, std::size_t groups,
                                 unsigned char* out) noexcept {
    const base64_kernels& kernels = active_kernels_of(codec);
    if (groups < kernels.decode_inline_below) {
        // bench/binary_encoding_bench.cpp: decode_to_buffer/encoding:1/bytes:16
        return base64_decode_group_loop(*alphabet_of(codec).values, in, groups, out);
    }
    return kernels.decode(in, groups, out);
}

// The 2 * n hex digits of the n bytes at `in`.
inline void hex_encode_bytes(const unsigned char* in, std::size_t n, char* out) noexcept {
    const hex_kernels& kernels = active_hex_kernels();
    if (n < kernels.encode_inline_below) {
        // bench/binary_encoding_bench.cpp: encode_to_buffer/encoding:0/bytes:16
        hex_encode_loop(in, n, out);
        return;
    }
    kernels.encode(in, n, out);
}

#if defined(__SSE2__)
// The 8 digit pairs of the 16 characters at `in` as 8 words, each holding its byte in its low
// half and 0 in its high half (garbage for a pair that is not two digits); `valid` is and-ed
// with a mask whose lanes are all ones for the characters that are hex digits. SSE2 is part
// of x86-64, so this needs no kernel dispatch.
VORN_CORE_FORCE_INLINE __m128i hex_decode_8_pairs_sse2(const char* in, __m128i& valid) noexcept {
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    // c - '0' < 10 and (c | 0x20) - 'a' < 6 as unsigned bytes, through signed compares of
    // the differences moved by 0x80.
    const __m128i digit = _mm_cmplt_epi8(_mm_add_epi8(chars, _mm_set1_epi8(0x80 - '0')),
                                         _mm_set1_epi8(static_cast<char>(-128 + 10)));
    const __m128i letter = _mm_cmplt_epi8(
        _mm_add_epi8(_mm_or_si128(chars, _mm_set1_epi8(0x20)), _mm_set1_epi8(0x80 - 'a')),
        _mm_set1_epi8(static_cast<char>(-128 + 6)));
    valid = _mm_and_si128(valid, _mm_or_si128(digit, letter));
    // The low nibble of a digit is its value; a letter's is its value - 9.
    const __m128i values = _mm_add_epi8(_mm_and_si128(chars, _mm_set1_epi8(0x0F)),
                                        _mm_and_si128(letter, _mm_set1_epi8(9)));
    // One word per pair: high digit * 16 + low digit in its low byte, 0 in its high byte.
    return _mm_or_si128(_mm_and_si128(_mm_slli_epi16(values, 4), _mm_set1_epi16(0xF0)),
                        _mm_srli_epi16(values, 8));
}

// hex_decode_pairs for 8 to 31 pairs: a block of 16 (or 8) pairs, and unless that was all, a
// second one ending where the text ends and so overlapping the first, whose bytes it rewrites
// with the same values. Nothing outside the text or the output is touched.
VORN_CORE_FORCE_INLINE bool hex_decode_8_to_31_pairs(const char* in, std::size_t pairs,
                                                     unsigned char* out) noexcept {
    __m128i valid = _mm_set1_epi8(-1);
    if (pairs < 16) {
        const std::size_t last = pairs - 8;
        const __m128i first = hex_decode_8_pairs_sse2(in, valid);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(first, first));
        if (last != 0) {
            const __m128i second = hex_decode_8_pairs_sse2(in + 2 * last, valid);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + last),
                             _mm_packus_epi16(second, second));
        }
    } else {
        const std::size_t last = pairs - 16;
        const __m128i a = hex_decode_8_pairs_sse2(in, valid);
        const __m128i b = hex_decode_8_pairs_sse2(in + 16, valid);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(a, b));
        if (last != 0) {
            const __m128i c = hex_decode_8_pairs_sse2(in + 2 * last, valid);
            const __m128i d = hex_decode_8_pairs_sse2(in + 2 * last + 16, valid);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + last), _mm_packus_epi16(c, d));
        }
    }
    return _mm_movemask_epi8(valid) == 0xFFFF;
}
#endif

// The bytes of `pairs` digit pairs at `in`; false when a character is not a hex digit. From 8
// to 31 pairs the SSE2 blocks above beat both the byte loop and a kernel call; the kernels
// take the longer texts.
VORN_CORE_FORCE_INLINE bool hex_decode_pairs(const char* in, std::size_t pairs,
                                             unsigned char* out) noexcept {
#if defined(__SSE2__)
    if (pairs - 8 < 24) {
        // bench/binary_encoding_bench.cpp: decode_to_buffer/encoding:0/bytes:16
        return hex_decode_8_to_31_pairs(in, pairs, out);
    }
#endif
    if (pairs < 16) {
        // bench/binary_encoding_bench.cpp: decode_in_pieces/five_chars (pairs of 2 and 3)
        return hex_decode_pair_loop(in, pairs, out);
    }
    return active_hex_kernels().decode(in, pairs, out);
}

// The growing bytes of a stream (the encoder's input, the decoder's output): inside the record
// while short, then in a chain of heap blocks, each at least as large as all the bytes before
// it. Growing never moves a byte already written, so a stream of appends writes each byte once,
// and the blocks are few (their sizes double). A copy is independent of its source.
class byte_chain {
  public:
    static constexpr std::size_t inline_capacity = 192;

    byte_chain() noexcept {}
    // Throws std::bad_alloc.
    byte_chain(const byte_chain& other);
    byte_chain& operator=(const byte_chain&) = delete;
    ~byte_chain() { free_blocks(); }

    std::size_t size() const noexcept { return size_; }

    // Room for `n` more contiguous bytes after the ones in use, not initialised; commit() those
    // written. Throws std::length_error or std::bad_alloc with the contents unchanged.
    unsigned char* room(std::size_t n) {
        if (last_ == nullptr) {
            if (n <= inline_capacity - inline_used_) {
                return inline_ + inline_used_;
            }
        } else if (n <= last_->capacity - last_->used) {
            return last_->bytes() + last_->used;
        }
        add_block(n);
        return last_->bytes();
    }
    void commit(std::size_t n) noexcept {
        if (last_ == nullptr) {
            inline_used_ += n;
        } else {
            last_->used += n;
        }
        size_ += n;
    }

    // Calls `f(const unsigned char* bytes, std::size_t n)` for each run of bytes, in order;
    // together they are all size() bytes.
    template <class F>
    void for_each_run(F&& f) const {
        if (inline_used_ != 0) {
            f(static_cast<const unsigned char*>(inline_), inline_used_);
        }
        for (const block* b = first_; b != nullptr; b = b->next) {
            f(b->bytes(), b->used);
        }
    }
    // The bytes in use when they are all inside the record, else null.
    const unsigned char* inline_data() const noexcept {
        return first_ == nullptr ? inline_ : nullptr;
    }
    // Writes all size() bytes, in order, at `out`.
    void copy_to(unsigned char* out) const noexcept;

    // Empty, and back inside the record: its heap blocks, if any, are freed.
    void release() noexcept;

  private:
    struct block {
        block* next;
        std::size_t used;
        std::size_t capacity;
        unsigned char* bytes() noexcept { return reinterpret_cast<unsigned char*>(this + 1); }
        const unsigned char* bytes() const noexcept {
            return reinterpret_cast<const unsigned char*>(this + 1);
        }
    };

    // Appends an empty block with room for at least `n` bytes.
    void add_block(std::size_t n);
    void free_blocks() noexcept;

    block* first_ = nullptr;  // the heap blocks, in order, after the inline bytes
    block* last_ = nullptr;   // the one appended to
    std::size_t size_ = 0;
    std::size_t inline_used_ = 0;
    unsigned char inline_[inline_capacity];
};

struct binary_encoder_impl {
    byte_chain input;  // every byte fed since construction, encoded by finish()
    codec_id codec = codec_id::hex;
    line_layout lines;
};

struct binary_decoder_impl {
    // A multiple of 4, so that a full staging area of plain text is whole Base64 groups.
    static constexpr std::size_t staging_capacity = 192;

    binary_decoder_impl() noexcept {}
    // Copies the staged characters in use only: the rest of the area is never read.
    binary_decoder_impl(const binary_decoder_impl& other)
        : decoded_bytes(other.decoded_bytes),
          staged_size(other.staged_size),
          plain(other.plain),
          refused(other.refused),
          codec(other.codec),
          canonical(other.canonical),
          forgiving(other.forgiving),
          odd(other.odd) {
        std::memcpy(staged, other.staged, staged_size);
    }
    binary_decoder_impl& operator=(const binary_decoder_impl&) = delete;

    byte_chain decoded_bytes;  // the bytes of all text before the staged text; empty once
                               // refused
    std::size_t staged_size = 0;
    // The staged text is pieces fed but not yet checked, starting on a group (or pair)
    // boundary. Otherwise it is at most 4 checked characters a piece decoded in place held
    // back: a group start with "=" third, or a padded final group.
    bool plain = true;
    bool refused = false;  // for good: later input is ignored
    codec_id codec = codec_id::hex;
    bool canonical = false;  // unused low bits of the final character must be zero
    bool forgiving = false;  // whitespace is squeezed out of each piece before it is fed
    bool odd = false;        // forgiving hex: an odd number of digits fed, a pair is open
    // Text fed but not yet decoded: short pieces are gathered here, and checked and decoded in
    // one run when the area is full or the stream is finished.
    char staged[staging_capacity];
};

}  // namespace vorn::core::v2::detail

#endif
