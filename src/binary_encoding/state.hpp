// The state records behind binary_encoder and binary_decoder, and what the two front-ends
// share: which codec an encoding names, and the kernels a call of a given size uses.
//
// Output is appended in place to one growing buffer (a byte_array for both directions, which
// can grow without filling its new room first); finish() copies it once into the result.
// The carried input lives inside the record, so feeding a piece allocates only when the
// output outgrows its buffer.
#ifndef VORN_CORE_SRC_BINARY_ENCODING_STATE_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_STATE_HPP

#include <cstddef>
#include <cstdint>

#include "binary_encoding/base64_codec.hpp"
#include "binary_encoding/hex_codec.hpp"
#include "binary_encoding/kernels.hpp"
#include "binary_encoding/tables.hpp"
#include "vorn/core/binary_encoding.hpp"
#include "vorn/core/byte_array.hpp"

namespace vorn::core::v2::detail {

enum class codec_id : std::uint8_t { hex, base64, base64url };

// The codec of `encoding`. Throws std::logic_error for a value that names none.
codec_id codec_of(binary_encoding encoding);

// Below this many input bytes or characters the portable kernels are used: entering the SIMD
// kernels (and their masked tails) costs more than it saves on so little.
inline constexpr std::size_t small_input = 48;

inline const base64_kernels& base64_kernels_of(codec_id codec, std::size_t size) noexcept {
    if (codec == codec_id::base64url) {
        return size < small_input ? base64url_scalar_kernels : active_base64url_kernels();
    }
    return size < small_input ? base64_scalar_kernels : active_base64_kernels();
}

inline const hex_kernels& hex_kernels_of(std::size_t size) noexcept {
    return size < small_input ? hex_scalar_kernels : active_hex_kernels();
}

inline const base64_alphabet_spec& alphabet_of(codec_id codec) noexcept {
    return codec == codec_id::base64url ? url_base64 : standard_base64;
}

// Room for `room` more bytes at the end of `bytes`, not initialised; the size grows by
// `room` (give back the unused tail with byte_array_access::truncate). The capacity at least
// doubles when it must grow, so a stream of appends costs amortised linear time. Throws
// std::length_error or std::bad_alloc with `bytes` unchanged.
unsigned char* append_room(byte_array& bytes, std::size_t room);

struct binary_encoder_impl {
    byte_array encoded_text;           // all text produced so far, end marking excluded
    unsigned char pending_bytes[2]{};  // input not yet encoded: at most 2 bytes of a group
    std::uint8_t pending_size = 0;
    codec_id codec = codec_id::hex;
};

struct binary_decoder_impl {
    char pending_text[4]{};  // input not yet decoded: a started or a padded final group
    std::uint8_t pending_size = 0;
    bool refused = false;      // for good: later input is ignored
    byte_array decoded_bytes;  // all bytes decoded so far; empty once refused
    codec_id codec = codec_id::hex;
};

}  // namespace vorn::core::v2::detail

#endif
