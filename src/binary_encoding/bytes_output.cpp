// SPDX-License-Identifier: MIT
// byte_chain: the growing bytes of a stream, inside the record while short and in a chain of
// doubling heap blocks beyond that.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "binary_encoding/state.hpp"

namespace vorn::core::v2::detail {

byte_chain::byte_chain(const byte_chain& other)
    : size_(other.size_), inline_used_(other.inline_used_) {
    std::memcpy(inline_, other.inline_, inline_used_);
    const std::size_t in_blocks = size_ - inline_used_;
    if (other.first_ == nullptr) {
        return;
    }
    // The bytes of all the source's blocks, in one block of their size.
    void* const p = std::malloc(sizeof(block) + in_blocks);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    first_ = last_ = ::new (p) block{nullptr, 0, in_blocks};
    for (const block* b = other.first_; b != nullptr; b = b->next) {
        std::memcpy(last_->bytes() + last_->used, b->bytes(), b->used);
        last_->used += b->used;
    }
}

void byte_chain::add_block(std::size_t n) {
    // At least all the bytes so far: the blocks double, so there are few of them and little
    // room is left unused at the end of each.
    constexpr std::size_t smallest = 4096 - sizeof(block);
    std::size_t capacity = n > size_ ? n : size_;
    capacity = capacity > smallest ? capacity : smallest;
    // The callers keep their sizes within the encoder's largest input (or the decoder's bytes
    // of a text that fits size_t), well below this.
    if (capacity > SIZE_MAX - sizeof(block)) {  // GCOVR_EXCL_BR_LINE: unreachable, see above
        // GCOVR_EXCL_START: unreachable, see above
        throw std::length_error("vorn::core::binary_encoding: input too large");
        // GCOVR_EXCL_STOP
    }
    void* const p = std::malloc(sizeof(block) + capacity);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    block* const b = ::new (p) block{nullptr, 0, capacity};
    if (last_ == nullptr) {
        first_ = b;
    } else {
        last_->next = b;
    }
    last_ = b;
}

void byte_chain::copy_to(unsigned char* out) const noexcept {
    for_each_run([&out](const unsigned char* bytes, std::size_t n) {
        std::memcpy(out, bytes, n);
        out += n;
    });
}

void byte_chain::free_blocks() noexcept {
    for (block* b = first_; b != nullptr;) {
        block* const next = b->next;
        std::free(b);
        b = next;
    }
}

void byte_chain::release() noexcept {
    free_blocks();
    first_ = last_ = nullptr;
    size_ = 0;
    inline_used_ = 0;
}

}  // namespace vorn::core::v2::detail
