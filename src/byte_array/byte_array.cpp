// SPDX-License-Identifier: MIT
// byte_array's members: insertion, removal and growth over the one storage block, with
// sources that may lie inside the array itself.
#include "vorn/core/byte_array.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "byte_array/byte_array_impl.hpp"

namespace vorn::core::v2 {

static_assert(sizeof(byte_array) == sizeof(void*), "the handle is the header pointer alone");

namespace {

using detail::byte_array_impl;
using detail::data_of;

// Whether source points at one of the bytes in use of this array; if so, `offset` receives its
// index, which survives a move of the block. Compared as integers: the source is usually
// another object.
bool locate_inside(const byte_array_impl* impl, const unsigned char* source,
                   std::size_t& offset) noexcept {
    const auto first = reinterpret_cast<std::uintptr_t>(data_of(impl));
    const auto s = reinterpret_cast<std::uintptr_t>(source);
    if (s < first || s - first >= impl->size_) {
        return false;
    }
    offset = s - first;
    return true;
}

// Opens a gap of count bytes at index: grows (the block may move), then shifts the tail up.
// Returns the start of the gap. Nothing has changed when it throws.
unsigned char* open_gap(byte_array_impl*& impl, std::size_t index, std::size_t count) {
    const std::size_t old_size = impl->size_;
    byte_array_impl::grow(impl, count);
    unsigned char* gap = data_of(impl) + index;
    std::memmove(gap + count, gap, old_size - index);
    return gap;
}

unsigned char* insert_fill(byte_array_impl*& impl, std::size_t index, std::size_t count,
                           unsigned char value) {
    if (count == 0) {
        return data_of(impl) + index;
    }
    unsigned char* gap = open_gap(impl, index, count);
    std::memset(gap, value, count);
    return gap;
}

unsigned char* insert_bytes(byte_array_impl*& impl, std::size_t index, const unsigned char* source,
                            std::size_t count) {
    if (count == 0) {
        return data_of(impl) + index;
    }
    std::size_t offset = 0;
    const bool inside = locate_inside(impl, source, offset);
    unsigned char* gap = open_gap(impl, index, count);
    if (!inside) {
        std::memcpy(gap, source, count);
        return gap;
    }
    // The source moved with the block. Its bytes before the gap stayed where they were; the
    // rest were shifted up by count along with the tail. Neither part overlaps the gap.
    unsigned char* bytes = data_of(impl);
    const std::size_t before = offset < index ? std::min(count, index - offset) : 0;
    std::memcpy(gap, bytes + offset, before);
    std::memcpy(gap + before, bytes + offset + before + count, count - before);
    return gap;
}

void assign_bytes(byte_array_impl*& impl, const unsigned char* source, std::size_t n) {
    std::size_t offset = 0;
    const bool inside = locate_inside(impl, source, offset);
    detail::set_size(impl, n);
    if (n != 0) {
        // A source inside the array starts at or after the first byte: memmove copies it
        // forwards intact.
        std::memmove(data_of(impl), inside ? data_of(impl) + offset : source, n);
    }
}

std::size_t range_length(const unsigned char* first, const unsigned char* last) noexcept {
    return first < last ? static_cast<std::size_t>(last - first) : 0;
}

}  // namespace

byte_array::byte_array() noexcept : impl_(detail::empty_header()) {}

byte_array::byte_array(std::size_t count, unsigned char value) : byte_array() {
    assign(count, value);
}

byte_array::byte_array(std::size_t count) : byte_array(count, 0) {}

byte_array::byte_array(std::initializer_list<unsigned char> bytes) : byte_array() {
    assign_bytes(impl_, bytes.begin(), bytes.size());
}

byte_array::byte_array(const char* s) : byte_array() {
    assign_bytes(impl_, as_bytes(s), std::strlen(s));
}

byte_array::byte_array(const byte_array& other) : impl_(detail::clone(other.impl_)) {}

byte_array::byte_array(byte_array&& other) noexcept : byte_array() {
    swap(other);
}

byte_array::~byte_array() {
    detail::release(impl_);
}

void byte_array::assign(std::size_t count, unsigned char value) {
    detail::set_size(impl_, count);
    detail::fill(impl_, value);
}

void byte_array::assign(const unsigned char* first, const unsigned char* last) {
    assign_bytes(impl_, first, range_length(first, last));
}

void byte_array::assign(const char* s, std::size_t n) {
    assign_bytes(impl_, as_bytes(s), n);
}

unsigned char* byte_array::insert(const unsigned char* pos, std::size_t count,
                                  unsigned char value) {
    return insert_fill(impl_, static_cast<std::size_t>(pos - cbegin()), count, value);
}

unsigned char* byte_array::insert(const unsigned char* pos, const unsigned char* first,
                                  const unsigned char* last) {
    return insert_bytes(impl_, static_cast<std::size_t>(pos - cbegin()), first,
                        range_length(first, last));
}

unsigned char* byte_array::insert(const unsigned char* pos, const char* s, std::size_t n) {
    return insert_bytes(impl_, static_cast<std::size_t>(pos - cbegin()), as_bytes(s), n);
}

unsigned char* byte_array::erase(const unsigned char* first, const unsigned char* last) noexcept {
    unsigned char* const at_first = begin() + (first - cbegin());
    if (first == last) {
        return at_first;  // also the only case an array without a block can meet
    }
    std::memmove(at_first, last, static_cast<std::size_t>(cend() - last));
    impl_->size_ -= static_cast<std::size_t>(last - first);
    return at_first;
}

void byte_array::resize(std::size_t n, unsigned char value) {
    const std::size_t old_size = impl_->size_;
    if (n <= old_size) {
        detail::set_size(impl_, n);
    } else {
        insert_fill(impl_, old_size, n - old_size, value);
    }
}

void byte_array::reserve(std::size_t n) {
    byte_array_impl::reallocate(impl_, n);
}

void byte_array::clear() {
    detail::set_size(impl_, 0);
}

unsigned char& byte_array::at(std::size_t i) {
    const byte_array& self = *this;
    return const_cast<unsigned char&>(self.at(i));
}

const unsigned char& byte_array::at(std::size_t i) const {
    if (i >= impl_->size_) {
        throw std::out_of_range(
            "The index " + std::to_string(i) +
            " is not within the range of byte array (size: " + std::to_string(impl_->size_) + ")");
    }
    return data()[i];
}

}  // namespace vorn::core::v2
