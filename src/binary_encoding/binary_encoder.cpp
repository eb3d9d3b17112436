#include <memory>
#include <utility>

#include "binary_encoding/state.hpp"
#include "vorn/core/binary_encoding.hpp"

namespace vorn::core::v2 {

static_assert(sizeof(binary_encoder) == sizeof(void*), "binary_encoder is one owning pointer");

binary_encoder::binary_encoder(binary_encoding encoding) : impl_(nullptr) {
    auto record = std::make_unique<detail::binary_encoder_impl>();
    record->algorithm = detail::get_algorithm(encoding);
    impl_ = record.release();
}

binary_encoder::binary_encoder(const binary_encoder& other)
    : impl_(new detail::binary_encoder_impl(*other.impl_)) {}

binary_encoder::~binary_encoder() {
    delete impl_;
}

binary_encoder& binary_encoder::operator=(const binary_encoder& other) {
    if (this != &other) {
        // Copies first, so that a failing allocation leaves this encoder as it was.
        std::string text(other.impl_->encoded_text);
        byte_array pending(other.impl_->pending_bytes);
        impl_->encoded_text.swap(text);
        impl_->pending_bytes.swap(pending);
        impl_->algorithm = other.impl_->algorithm;
    }
    return *this;
}

void binary_encoder::add_data(const unsigned char* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    detail::binary_encoder_impl& state = *impl_;
    detail::data_chunk chunks[2];
    std::uint32_t count = 0;
    if (!state.pending_bytes.empty()) {
        chunks[count++] = {state.pending_bytes.data(), state.pending_bytes.size()};
    }
    chunks[count++] = {data, size};
    state.pending_bytes = state.algorithm->update_encoded_string(state.encoded_text, chunks, count);
}

void binary_encoder::add_data(const byte_array& data) {
    add_data(data.data(), data.size());
}

std::string binary_encoder::finish() const {
    return impl_->algorithm->finish_encoded_string(impl_->encoded_text, impl_->pending_bytes);
}

std::string binary_encoder::encode(binary_encoding encoding, const unsigned char* data,
                                   std::size_t size) {
    // What a local encoder would do with one add_data and finish(), with its record on the
    // stack, and with the text moved out rather than copied: only the end marking of the
    // leftover is appended to it.
    detail::binary_encoder_impl state;
    state.algorithm = detail::get_algorithm(encoding);
    if (size != 0) {
        const detail::data_chunk chunk = {data, size};
        state.pending_bytes = state.algorithm->update_encoded_string(state.encoded_text, &chunk, 1);
    }
    if (!state.pending_bytes.empty()) {
        state.encoded_text +=
            state.algorithm->finish_encoded_string(std::string(), state.pending_bytes);
    }
    return std::move(state.encoded_text);
}

std::string binary_encoder::encode(binary_encoding encoding, const byte_array& data) {
    return encode(encoding, data.data(), data.size());
}

}  // namespace vorn::core::v2
