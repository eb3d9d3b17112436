// The decoder front-end: streamed decoding into one growing array, and the one-shot forms,
// which keep no state record and write straight into their result or the caller's buffer.
#include <cstring>
#include <utility>

#include "binary_encoding/state.hpp"
#include "byte_array/byte_array_access.hpp"
#include "vorn/core/binary_encoding.hpp"

namespace vorn::core::v2 {

static_assert(sizeof(binary_decoder) == sizeof(void*), "binary_decoder is one owning pointer");
static_assert(static_cast<std::uint32_t>(decode_status::incomplete) ==
                  static_cast<std::uint32_t>(detail::decode_status_kind::incomplete) &&
              static_cast<std::uint32_t>(decode_status::refused) ==
                  static_cast<std::uint32_t>(detail::decode_status_kind::refused));

namespace {

using detail::codec_id;
using access = core::detail::byte_array_access;

std::size_t bytes_bound(codec_id codec, std::size_t size) noexcept {
    return codec == codec_id::hex ? size / 2 : detail::base64_decoded_size_bound(size);
}

// What a stream that held back `leftover` (or was refused) is now, and the bytes its held
// back part adds when finished.
struct final_part {
    decode_status status = decode_status::complete;
    detail::base64_final_bytes bytes;
};

final_part finish_part(codec_id codec, const char* leftover, std::size_t size,
                       bool refused) noexcept {
    final_part part;
    if (refused) {
        part.status = decode_status::refused;
    } else if (codec == codec_id::hex) {
        part.status = size == 0 ? decode_status::complete : decode_status::incomplete;
    } else {
        const detail::base64_alphabet_spec& a = detail::alphabet_of(codec);
        part.status = static_cast<decode_status>(detail::base64_status(a, leftover, size, false));
        if (part.status == decode_status::complete) {
            part.bytes = detail::base64_decode_final(a, leftover, size);
        }
    }
    return part;
}

// Decodes a whole text into `out` (decoded_size_bound bytes).
decode_result decode_whole(codec_id codec, const char* text, std::size_t size,
                           unsigned char* out) noexcept {
    if (size == 0) {
        return {0, decode_status::complete};
    }
    const detail::data_chunk chunk = {reinterpret_cast<const unsigned char*>(text), size};
    const detail::decode_outcome outcome =
        codec == codec_id::hex
            ? detail::hex_decode_update(detail::hex_kernels_of(size), &chunk, 1, out)
            : detail::base64_decode_update(detail::base64_kernels_of(codec, size), &chunk, 1, out);
    const final_part part =
        finish_part(codec, outcome.leftover, outcome.leftover_size, outcome.refused);
    if (part.status != decode_status::complete) {
        return {0, part.status};
    }
    if (part.bytes.size != 0) {
        // These bytes are counted by decoded_size_bound, so `out` is not null when there are
        // any: it is null only for a bound of 0.
        // NOLINTNEXTLINE(clang-analyzer-core.NonNullParamChecker)
        std::memcpy(out + outcome.written, part.bytes.bytes, part.bytes.size);
    }
    return {outcome.written + part.bytes.size, decode_status::complete};
}

}  // namespace

binary_decoder::binary_decoder(binary_encoding encoding) : impl_(nullptr) {
    const codec_id codec = detail::codec_of(encoding);
    impl_ = new detail::binary_decoder_impl;
    impl_->codec = codec;
}

binary_decoder::binary_decoder(const binary_decoder& other)
    : impl_(new detail::binary_decoder_impl(*other.impl_)) {}

binary_decoder::~binary_decoder() {
    delete impl_;
}

binary_decoder& binary_decoder::operator=(const binary_decoder& other) {
    if (this != &other) {
        // Copies first, so that a failing allocation leaves this decoder as it was.
        detail::binary_decoder_impl copy(*other.impl_);
        impl_->decoded_bytes.swap(copy.decoded_bytes);
        std::memcpy(impl_->pending_text, copy.pending_text, sizeof copy.pending_text);
        impl_->pending_size = copy.pending_size;
        impl_->refused = copy.refused;
        impl_->codec = copy.codec;
    }
    return *this;
}

void binary_decoder::add_string(const char* text, std::size_t size) {
    detail::binary_decoder_impl& state = *impl_;
    if (size == 0 || state.refused) {
        return;  // a refused stream stays refused: nothing later is even read
    }
    detail::data_chunk chunks[2];
    std::uint32_t count = 0;
    if (state.pending_size != 0) {
        chunks[count++] = {reinterpret_cast<const unsigned char*>(state.pending_text),
                           state.pending_size};
    }
    chunks[count++] = {reinterpret_cast<const unsigned char*>(text), size};
    const std::size_t total = detail::total_size(chunks, count);
    const std::size_t room = state.codec == codec_id::hex ? total / 2 : total / 4 * 3;
    const std::size_t old_size = state.decoded_bytes.size();
    unsigned char* out = detail::append_room(state.decoded_bytes, room);
    const detail::decode_outcome outcome =
        state.codec == codec_id::hex
            ? detail::hex_decode_update(detail::hex_kernels_of(size), chunks, count, out)
            : detail::base64_decode_update(detail::base64_kernels_of(state.codec, size), chunks,
                                           count, out);
    if (outcome.refused) {
        byte_array().swap(state.decoded_bytes);
        state.refused = true;
        state.pending_size = 0;
        return;
    }
    access::truncate(state.decoded_bytes, old_size + outcome.written);
    std::memcpy(state.pending_text, outcome.leftover, outcome.leftover_size);
    state.pending_size = static_cast<std::uint8_t>(outcome.leftover_size);
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
    const detail::binary_decoder_impl& state = *impl_;
    return finish_part(state.codec, state.pending_text, state.pending_size, state.refused).status;
}

std::size_t binary_decoder::finished_size() const noexcept {
    const detail::binary_decoder_impl& state = *impl_;
    const final_part part =
        finish_part(state.codec, state.pending_text, state.pending_size, state.refused);
    return part.status == decode_status::complete ? state.decoded_bytes.size() + part.bytes.size
                                                  : 0;
}

decode_result binary_decoder::finish_to(unsigned char* out) const noexcept {
    const detail::binary_decoder_impl& state = *impl_;
    const final_part part =
        finish_part(state.codec, state.pending_text, state.pending_size, state.refused);
    if (part.status != decode_status::complete) {
        return {0, part.status};
    }
    const std::size_t size = state.decoded_bytes.size();
    if (size != 0) {
        std::memcpy(out, state.decoded_bytes.data(), size);
    }
    if (part.bytes.size != 0) {
        std::memcpy(out + size, part.bytes.bytes, part.bytes.size);
    }
    return {size + part.bytes.size, decode_status::complete};
}

byte_array binary_decoder::finish() const {
    const std::size_t size = finished_size();
    byte_array bytes;
    if (size != 0) {
        finish_to(access::append_uninitialized(bytes, size));
    }
    return bytes;
}

byte_array binary_decoder::decode(binary_encoding encoding, const char* text, std::size_t size) {
    decode_status status;
    return decode(encoding, std::string_view(text, size), status);
}

byte_array binary_decoder::decode(binary_encoding encoding, const std::string& text) {
    return decode(encoding, text.data(), text.size());
}

byte_array binary_decoder::decode(binary_encoding encoding, const char* text) {
    return decode(encoding, text, std::strlen(text));
}

byte_array binary_decoder::decode(binary_encoding encoding, std::string_view text) {
    return decode(encoding, text.data(), text.size());
}

byte_array binary_decoder::decode(binary_encoding encoding, std::string_view text,
                                  decode_status& status) {
    const codec_id codec = detail::codec_of(encoding);
    const std::size_t bound = bytes_bound(codec, text.size());
    byte_array bytes;
    if (bound == 0) {
        // Nothing to write: the text is empty, or too short to hold a byte.
        status = decode_whole(codec, text.data(), text.size(), nullptr).status;
        return bytes;
    }
    const decode_result result =
        decode_whole(codec, text.data(), text.size(), access::append_uninitialized(bytes, bound));
    status = result.status;
    if (result.status != decode_status::complete) {
        return byte_array();
    }
    access::truncate(bytes, result.size);
    return bytes;
}

std::size_t binary_decoder::decoded_size_bound(binary_encoding encoding, std::size_t size) {
    return bytes_bound(detail::codec_of(encoding), size);
}

decode_result binary_decoder::decode_to(binary_encoding encoding, const char* text,
                                        std::size_t size, unsigned char* out) {
    return decode_whole(detail::codec_of(encoding), text, size, out);
}

}  // namespace vorn::core::v2
