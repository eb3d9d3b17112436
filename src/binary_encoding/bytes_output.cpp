#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "binary_encoding/state.hpp"

namespace vorn::core::v2::detail {

stream_output::stream_output(const stream_output& other) : size_(other.size_) {
    if (other.heap_ == nullptr) {
        std::memcpy(inline_, other.inline_, size_);
        return;
    }
    // The copy takes a block of its source's size; it grows by doubling as its source did.
    capacity_ = size_ > inline_capacity ? size_ : inline_capacity;
    heap_ = static_cast<unsigned char*>(std::malloc(capacity_));
    if (heap_ == nullptr) {
        throw std::bad_alloc();
    }
    std::memcpy(heap_, other.heap_, size_);
}

void stream_output::grow(std::size_t n) {
    if (n > SIZE_MAX - size_) {
        throw std::length_error("vorn::core::binary_encoding: input too large");
    }
    const std::size_t wanted = size_ + n;
    const std::size_t doubled = capacity_ <= SIZE_MAX / 2 ? 2 * capacity_ : wanted;
    const std::size_t capacity = wanted > doubled ? wanted : doubled;
    if (heap_ != nullptr) {
        void* const p = std::realloc(heap_, capacity);
        if (p == nullptr) {
            throw std::bad_alloc();  // the old block is still in use, untouched
        }
        heap_ = static_cast<unsigned char*>(p);
    } else {
        heap_ = static_cast<unsigned char*>(std::malloc(capacity));
        if (heap_ == nullptr) {
            throw std::bad_alloc();
        }
        std::memcpy(heap_, inline_, size_);
    }
    capacity_ = capacity;
}

void stream_output::release() noexcept {
    std::free(heap_);
    heap_ = nullptr;
    size_ = 0;
    capacity_ = inline_capacity;
}

void stream_output::swap(stream_output& other) noexcept {
    unsigned char bytes[inline_capacity];
    std::memcpy(bytes, inline_, inline_capacity);
    std::memcpy(inline_, other.inline_, inline_capacity);
    std::memcpy(other.inline_, bytes, inline_capacity);
    std::swap(heap_, other.heap_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
}

}  // namespace vorn::core::v2::detail
