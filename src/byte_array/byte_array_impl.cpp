// SPDX-License-Identifier: MIT
// The storage block behind byte_array: its header layout, allocation, growth and release.
#include "byte_array/byte_array_impl.hpp"

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <type_traits>

namespace vorn::core::v2::detail {

static_assert(sizeof(byte_array_impl) == byte_array_impl::header_size);
static_assert(alignof(byte_array_impl) == 8);
static_assert(offsetof(byte_array_impl, size_) == 0);
static_assert(offsetof(byte_array_impl, capacity_) == 8);
static_assert(offsetof(byte_array_impl, data_offset_) == 16);
static_assert(std::is_trivially_copyable_v<byte_array_impl> &&
                  std::is_standard_layout_v<byte_array_impl>,
              "headers are made in malloc blocks and moved by realloc");
static_assert(sizeof(std::size_t) == sizeof(std::uint64_t));
static_assert(max_data_size == 18446744073709551591ULL);
static_assert(round_up_to_power_of_two(0) == 0 && round_up_to_power_of_two(1) == 1 &&
              round_up_to_power_of_two(24) == 32 && round_up_to_power_of_two(1023) == 1024);
// block_size_for takes std::bit_ceil for the small blocks: the same as the rounding above
// for every total of 24 to 1023 bytes.
static_assert([] {
    for (std::size_t total = byte_array_impl::header_size; total <= 1023; ++total) {
        if (std::bit_ceil(total) != round_up_to_power_of_two(total)) {
            return false;
        }
    }
    return true;
}());

// Constant-initialised, so it exists before any code of the process runs.
extern const byte_array_impl empty_impl{0, 0, byte_array_impl::header_size};

}  // namespace vorn::core::v2::detail

// The exported header type's members live in the namespace the interface gives them.
namespace vorn::core::detail {

using v2::detail::allocate_block;
using v2::detail::block_size_for;
using v2::detail::empty_header;
using v2::detail::empty_impl;
using v2::detail::grow_length_error;
using v2::detail::max_data_size;

byte_array_impl* byte_array_impl::allocate(std::size_t n) {
    if (n == 0) {
        return empty_header();
    }
    if (n > max_data_size) {
        throw std::length_error("vorn::core::detail::byte_array_impl::allocate");
    }
    return allocate_block(n);
}

void byte_array_impl::reallocate(byte_array_impl*& ptr, std::size_t n) {
    if (ptr == &empty_impl) {
        ptr = allocate(n);
        return;
    }
    if (n > max_data_size) {
        throw std::length_error("vorn::core::detail::byte_array_impl::reallocate");
    }
    const std::size_t block = block_size_for(n);
    // Checked on every call, so that a damaged header is caught before it is trusted.
    if (ptr->data_offset_ != header_size) {
        throw std::logic_error("[vornfw]: internal error: ptr->data_offset_ != header_size");
    }
    if (ptr->capacity_ >= block - header_size) {
        return;
    }
    void* p = std::realloc(ptr, block);
    if (p == nullptr) {
        throw std::bad_alloc();  // the old block is still attached, untouched
    }
    ptr = static_cast<byte_array_impl*>(p);
    ptr->capacity_ = block - header_size;
}

void byte_array_impl::grow(byte_array_impl*& ptr, std::size_t n) {
    const std::size_t old_size = ptr->size_;
    if (n > SIZE_MAX - old_size) {
        throw std::length_error(grow_length_error);
    }
    reallocate(ptr, old_size + n);
    if (ptr != &empty_impl) {
        ptr->size_ = old_size + n;
    }
}

}  // namespace vorn::core::detail

namespace vorn::core::v2::detail {

void set_size(byte_array_impl*& ptr, std::size_t n) {
    byte_array_impl::reallocate(ptr, n);
    if (ptr != &empty_impl) {
        ptr->size_ = n;
    }
}

byte_array_impl* clone(const byte_array_impl* ptr) {
    const std::size_t n = ptr->size_;
    if (n == 0) {  // also covers the empty header
        return empty_header();
    }
    byte_array_impl* copy = byte_array_impl::allocate(n);
    std::memcpy(data_of(copy), data_of(ptr), n);
    copy->size_ = n;
    return copy;
}

void release(byte_array_impl* ptr) noexcept {
    if (ptr != &empty_impl) {
        std::free(ptr);
    }
}

void fill(byte_array_impl* ptr, unsigned char value) noexcept {
    if (ptr != &empty_impl) {
        std::memset(data_of(ptr), value, ptr->size_);
    }
}

}  // namespace vorn::core::v2::detail
