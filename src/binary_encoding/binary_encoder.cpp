// The encoder front-end: streamed encoding into one growing buffer, and the one-shot forms,
// which keep no state record and write straight into their result or the caller's buffer.
//
// This file is compiled as C++23 so that std::string::resize_and_overwrite (libstdc++ 12
// offers it to C++23 code alone) can size a result without filling it first; the string's
// layout and ABI do not depend on the language mode.
#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>

#include "binary_encoding/state.hpp"
#include "byte_array/byte_array_access.hpp"
#include "vorn/core/binary_encoding.hpp"

namespace vorn::core::v2 {

static_assert(sizeof(binary_encoder) == sizeof(void*), "binary_encoder is one owning pointer");

namespace detail {

codec_id codec_of(binary_encoding encoding) {
    switch (encoding) {
        case binary_encoding::hex:
            return codec_id::hex;
        case binary_encoding::base64:
            return codec_id::base64;
        case binary_encoding::base64url:
            return codec_id::base64url;
    }
    throw std::logic_error("Codificação binária inválida! Não foi possível obter o algoritimo.");
}

}  // namespace detail

namespace {

using detail::codec_id;

// The characters the end marking of `pending` (0-2 carried bytes) adds.
std::size_t final_size(codec_id codec, std::size_t pending) noexcept {
    if (pending == 0 || codec == codec_id::hex) {
        return 0;
    }
    return codec == codec_id::base64 ? 4 : pending + 1;
}

// The most input bytes whose text still has a size that fits in size_t. SIZE_MAX is
// 4k + 3: padded Base64 fits k whole groups, unpadded Base64url k groups and 2 more bytes.
std::size_t max_input(codec_id codec) noexcept {
    if (codec == codec_id::hex) {
        return SIZE_MAX / 2;
    }
    return codec == codec_id::base64 ? SIZE_MAX / 4 * 3 : SIZE_MAX / 4 * 3 + 2;
}

std::size_t text_size(codec_id codec, std::size_t size) {
    if (size > max_input(codec)) {
        throw std::length_error("vorn::core::binary_encoding: input too large");
    }
    if (codec == codec_id::hex) {
        return 2 * size;
    }
    return size / 3 * 4 + final_size(codec, size % 3);
}

// Writes the whole text of `size` bytes to `out`; returns its size.
std::size_t encode_whole(codec_id codec, const unsigned char* data, std::size_t size,
                         char* out) noexcept {
    if (codec == codec_id::hex) {
        detail::hex_encode_bytes(data, size, out);
        return 2 * size;
    }
    const std::size_t groups = size / 3;
    detail::base64_encode_groups(codec, data, groups, out);
    return 4 * groups + detail::base64_encode_final(detail::alphabet_of(codec), data + 3 * groups,
                                                    size % 3, out + 4 * groups);
}

// A string of `size` characters written by `write(char*)`, allocated once and not filled
// first where the standard library allows.
template <class Write>
std::string make_text(std::size_t size, Write write) {
    std::string text;
#if defined(__cpp_lib_string_resize_and_overwrite)
    // The size is returned as captured: the second argument is not the requested size in
    // every library version.
    text.resize_and_overwrite(size, [&](char* out, std::size_t) noexcept {
        write(out);
        return size;
    });
#else
    text.resize(size);
    write(text.data());
#endif
    return text;
}

}  // namespace

binary_encoder::binary_encoder(binary_encoding encoding) : impl_(nullptr) {
    const codec_id codec = detail::codec_of(encoding);
    impl_ = new detail::binary_encoder_impl;
    impl_->codec = codec;
}

binary_encoder::binary_encoder(const binary_encoder& other)
    : impl_(new detail::binary_encoder_impl(*other.impl_)) {}

binary_encoder::~binary_encoder() {
    delete impl_;
}

binary_encoder& binary_encoder::operator=(const binary_encoder& other) {
    if (this != &other) {
        // Copies first, so that a failing allocation leaves this encoder as it was.
        detail::binary_encoder_impl copy(*other.impl_);
        impl_->input.swap(copy.input);
        impl_->codec = copy.codec;
    }
    return *this;
}

void binary_encoder::add_data(const unsigned char* data, std::size_t size) {
    // The input is kept, not its text: it is smaller, it is copied in one move per piece
    // whatever the piece size, and finish() encodes all of it in one run of the widest
    // kernels, straight into its result.
    detail::byte_chain& input = impl_->input;
    if (size > max_input(impl_->codec) - input.size()) {
        throw std::length_error("vorn::core::binary_encoding: input too large");
    }
    detail::copy_bytes(input.room(size), data, size);
    input.commit(size);
}

void binary_encoder::add_data(const byte_array& data) {
    add_data(data.data(), data.size());
}

void binary_encoder::add_data(std::string_view data) {
    add_data(reinterpret_cast<const unsigned char*>(data.data()), data.size());
}

std::size_t binary_encoder::finished_size() const noexcept {
    const std::size_t size = impl_->input.size();
    // No overflow: add_data keeps the input within max_input.
    return impl_->codec == codec_id::hex ? 2 * size
                                         : size / 3 * 4 + final_size(impl_->codec, size % 3);
}

std::size_t binary_encoder::finish_to(char* out) const noexcept {
    const detail::byte_chain& input = impl_->input;
    const codec_id codec = impl_->codec;
    if (const unsigned char* const data = input.inline_data()) {
        return encode_whole(codec, data, input.size(), out);
    }
    char* const start = out;
    if (codec == codec_id::hex) {
        input.for_each_run([&out](const unsigned char* bytes, std::size_t n) {
            detail::hex_encode_bytes(bytes, n, out);
            out += 2 * n;
        });
        return static_cast<std::size_t>(out - start);
    }
    // Run by run; a group split between two runs is gathered in `carry`.
    const detail::base64_alphabet_spec& alphabet = detail::alphabet_of(codec);
    unsigned char carry[3];
    std::size_t carried = 0;
    input.for_each_run([&](const unsigned char* bytes, std::size_t n) {
        if (carried != 0) {
            const std::size_t take = n < 3 - carried ? n : 3 - carried;
            std::memcpy(carry + carried, bytes, take);
            carried += take;
            bytes += take;
            n -= take;
            if (carried < 3) {
                return;
            }
            detail::base64_encode_group(alphabet.chars, carry, out);
            out += 4;
        }
        const std::size_t groups = n / 3;
        detail::base64_encode_groups(codec, bytes, groups, out);
        out += 4 * groups;
        carried = n % 3;
        std::memcpy(carry, bytes + 3 * groups, carried);
    });
    out += detail::base64_encode_final(alphabet, carry, carried, out);
    return static_cast<std::size_t>(out - start);
}

std::string binary_encoder::finish() const {
    return make_text(finished_size(), [this](char* out) { finish_to(out); });
}

std::string binary_encoder::encode(binary_encoding encoding, const unsigned char* data,
                                   std::size_t size) {
    const codec_id codec = detail::codec_of(encoding);
    return make_text(text_size(codec, size),
                     [&](char* out) { encode_whole(codec, data, size, out); });
}

std::string binary_encoder::encode(binary_encoding encoding, const byte_array& data) {
    return encode(encoding, data.data(), data.size());
}

std::string binary_encoder::encode(binary_encoding encoding, std::string_view data) {
    return encode(encoding, reinterpret_cast<const unsigned char*>(data.data()), data.size());
}

std::size_t binary_encoder::encoded_size(binary_encoding encoding, std::size_t size) {
    return text_size(detail::codec_of(encoding), size);
}

std::size_t binary_encoder::encode_to(binary_encoding encoding, const unsigned char* data,
                                      std::size_t size, char* out) {
    return encode_whole(detail::codec_of(encoding), data, size, out);
}

}  // namespace vorn::core::v2
