#include <cstring>
#include <memory>
#include <utility>

#include "binary_encoding/state.hpp"
#include "vorn/core/binary_encoding.hpp"

namespace vorn::core::v2 {

static_assert(sizeof(binary_decoder) == sizeof(void*), "binary_decoder is one owning pointer");

binary_decoder::binary_decoder(binary_encoding encoding) : impl_(nullptr) {
    auto record = std::make_unique<detail::binary_decoder_impl>();
    record->algorithm = detail::get_algorithm(encoding);
    impl_ = record.release();
}

binary_decoder::binary_decoder(const binary_decoder& other)
    : impl_(new detail::binary_decoder_impl(*other.impl_)) {}

binary_decoder::~binary_decoder() {
    delete impl_;
}

binary_decoder& binary_decoder::operator=(const binary_decoder& other) {
    if (this != &other) {
        // Copies first, so that a failing allocation leaves this decoder as it was.
        byte_array bytes(other.impl_->decoded_bytes);
        std::string pending(other.impl_->pending_text);
        impl_->decoded_bytes.swap(bytes);
        impl_->pending_text.swap(pending);
        impl_->algorithm = other.impl_->algorithm;
    }
    return *this;
}

void binary_decoder::add_string(const char* text, std::size_t size) {
    if (size == 0) {
        return;
    }
    detail::binary_decoder_impl& state = *impl_;
    detail::data_chunk chunks[2];
    std::uint32_t count = 0;
    if (!state.pending_text.empty()) {
        chunks[count++] = {reinterpret_cast<const unsigned char*>(state.pending_text.data()),
                           state.pending_text.size()};
    }
    chunks[count++] = {reinterpret_cast<const unsigned char*>(text), size};
    state.pending_text = state.algorithm->update_decoded_bytes(state.decoded_bytes, chunks, count);
}

void binary_decoder::add_string(const std::string& text) {
    add_string(text.data(), text.size());
}

void binary_decoder::add_string(const char* text) {
    add_string(text, std::strlen(text));
}

byte_array binary_decoder::finish() const {
    return impl_->algorithm->finish_decoded_bytes(impl_->decoded_bytes, impl_->pending_text);
}

byte_array binary_decoder::decode(binary_encoding encoding, const char* text, std::size_t size) {
    // What a local decoder would do with one add_string and finish(), with its record on the
    // stack, and with the bytes moved out rather than copied: only the decoding of the
    // leftover is appended to them, and a leftover that adds nothing refuses the text.
    detail::binary_decoder_impl state;
    state.algorithm = detail::get_algorithm(encoding);
    if (size != 0) {
        const detail::data_chunk chunk = {reinterpret_cast<const unsigned char*>(text), size};
        state.pending_text = state.algorithm->update_decoded_bytes(state.decoded_bytes, &chunk, 1);
    }
    if (state.pending_text.empty()) {
        return std::move(state.decoded_bytes);
    }
    const byte_array last = state.algorithm->finish_decoded_bytes(byte_array(), state.pending_text);
    if (last.empty()) {
        return byte_array();
    }
    state.decoded_bytes.append(last);
    return std::move(state.decoded_bytes);
}

byte_array binary_decoder::decode(binary_encoding encoding, const std::string& text) {
    return decode(encoding, text.data(), text.size());
}

byte_array binary_decoder::decode(binary_encoding encoding, const char* text) {
    return decode(encoding, text, std::strlen(text));
}

}  // namespace vorn::core::v2
