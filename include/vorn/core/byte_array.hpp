// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/byte_array.hpp: a growable, contiguous sequence of unsigned bytes.
///
/// byte_array is shaped like std::vector<unsigned char> and also takes character data (C
/// strings, character ranges, pointer and length), so that text can be kept as raw bytes. The
/// handle is one pointer: moves and swaps are constant time, and an empty array owns no memory.
/// A non-empty array owns one heap block holding a small header and the bytes. Capacity grows
/// by doubling up to 1000 bytes and in steps of 1024 bytes above that, and is never given back.
///
///   vorn::core::v2::byte_array bytes("GET ");
///   bytes.append("/index.html");
///   bytes.push_back('\n');
///   std::fwrite(bytes.data(), 1, bytes.size(), stdout);
///
/// Failures are standard exceptions: std::length_error for sizes past max_size(),
/// std::bad_alloc when memory runs out, std::out_of_range from at(). An operation that throws
/// leaves the array as it was: same size, capacity and bytes.
#ifndef VORN_CORE_BYTE_ARRAY_HPP
#define VORN_CORE_BYTE_ARRAY_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string_view>
#include <type_traits>
#include <utility>

#include "vorn/core/export.hpp"

namespace vorn::core {

// Frozen by the exported interface: this header type and the namespace it lives in are named in
// the library's symbols, so they stay outside the vorn::core::v2::detail of the other internals.
namespace detail {

/// The header in front of the bytes of every array's heap block. Internal to the library: its
/// layout is fixed, but its functions are not part of the exported interface.
struct byte_array_impl {
    /// Bytes from the start of the header to the first data byte.
    static constexpr std::uint64_t header_size = 24;

    std::uint64_t size_;         ///< bytes in use
    std::uint64_t capacity_;     ///< bytes the block can hold after the header
    std::uint64_t data_offset_;  ///< always header_size

    static byte_array_impl* allocate(std::size_t n);
    static void reallocate(byte_array_impl*& ptr, std::size_t n);
    static void grow(byte_array_impl*& ptr, std::size_t n);
};

struct byte_array_access;

}  // namespace detail

// Frozen by the exported interface: callers link against this name, namespace included.
namespace vector_impl {

/// The capacity a growing vector should take to hold n elements: the next power of two for n
/// up to 63 (0 gives 0), the next multiple of 64 strictly above n from 64 on, and 0 when that
/// multiple does not fit in size_t.
VORN_CORE_API std::size_t get_new_vector_capacity(std::size_t n) noexcept;

}  // namespace vector_impl

namespace v2 {

class byte_array;

namespace detail {

/// What a byte_array compares with as text: anything that converts to std::string_view.
template <class Text>
using text_like = std::enable_if_t<std::is_convertible_v<const Text&, std::string_view> &&
                                   !std::is_same_v<Text, byte_array>>;

/// memcmp order: bytes as unsigned char, a prefix before its extensions.
inline int compare(std::string_view a, std::string_view b) noexcept {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
    if (c != 0) {
        return c;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace detail

/// A growable byte sequence. Iterators are plain pointers. An operation that may need more
/// capacity (assign, copy assignment, insert, append, push_back, resize upwards, reserve) may
/// move the bytes and so invalidates every pointer, reference and iterator into the array;
/// erase, clear, pop_back and resize downwards never move them.
class VORN_CORE_API byte_array {
  public:
    /// The standard container types; the iterators are plain pointers.
    ///@{
    using value_type = unsigned char;
    using size_type = std::size_t;
    using difference_type = std::ptrdiff_t;
    using reference = unsigned char&;
    using const_reference = const unsigned char&;
    using pointer = unsigned char*;
    using const_pointer = const unsigned char*;
    using iterator = unsigned char*;
    using const_iterator = const unsigned char*;
    using reverse_iterator = std::reverse_iterator<iterator>;
    using const_reverse_iterator = std::reverse_iterator<const_iterator>;
    ///@}

    /// An empty array with capacity 0. Allocates nothing.
    byte_array() noexcept;
    /// count copies of value; count 0 gives an empty array that allocates nothing.
    byte_array(std::size_t count, unsigned char value);
    /// count zero bytes.
    explicit byte_array(std::size_t count);
    /// The listed bytes.
    byte_array(std::initializer_list<unsigned char> bytes);
    /// The bytes of the NUL-terminated s, without the terminator. s must not be null.
    byte_array(const char* s);  // NOLINT(google-explicit-constructor)
    /// The n bytes at s (char or unsigned char; s may be null when n is 0). A template, so that
    /// byte_array(0, value) still means count copies of value.
    template <class Char,
              std::enable_if_t<std::is_same_v<Char, char> || std::is_same_v<Char, unsigned char>,
                               int> = 0>
    byte_array(const Char* s, std::size_t n) : byte_array() {
        assign(reinterpret_cast<const char*>(s), n);
    }
    /// An independent copy whose capacity follows other's size, not other's capacity; a copy of
    /// an empty array allocates nothing.
    byte_array(const byte_array& other);
    /// Takes other's bytes; other is left empty with capacity 0.
    byte_array(byte_array&& other) noexcept;
    ~byte_array();

    /// Replaces the contents with other's bytes, keeping this array's block when it is large
    /// enough. Self-assignment leaves the array unchanged.
    // NOLINTNEXTLINE(bugprone-unhandled-self-assignment): assign copies forwards, in place
    byte_array& operator=(const byte_array& other) {
        assign(other.begin(), other.end());
        return *this;
    }
    /// Takes other's bytes and releases this array's old block; other is left empty with
    /// capacity 0.
    ///@{
    byte_array& operator=(byte_array&& other) noexcept {
        byte_array taken(std::move(other));
        swap(taken);
        return *this;
    }
    byte_array& operator=(std::initializer_list<unsigned char> bytes) {
        assign(bytes);
        return *this;
    }
    byte_array& operator=(const char* s) {
        assign(s);
        return *this;
    }
    ///@}

    /// Replace the contents. The capacity grows when needed and is never reduced.
    void assign(std::size_t count, unsigned char value);
    /// [first, last) may lie inside this array.
    ///@{
    void assign(const unsigned char* first, const unsigned char* last);
    void assign(const byte_array& other) { assign(other.begin(), other.end()); }
    void assign(std::initializer_list<unsigned char> bytes) { assign(bytes.begin(), bytes.end()); }
    void assign(const char* first, const char* last) { assign(as_bytes(first), as_bytes(last)); }
    void assign(const char* s, std::size_t n);
    void assign(const char* s) { assign(s, std::strlen(s)); }
    ///@}

    /// Insert before pos, which must lie in [begin(), end()]. Each returns a pointer to the
    /// first inserted byte, or pos when nothing is inserted. A source range may lie inside this
    /// array: the result is the one a copy of the source, taken first, would give.
    ///@{
    unsigned char* insert(const unsigned char* pos, std::size_t count, unsigned char value);
    unsigned char* insert(const unsigned char* pos, unsigned char value) {
        return insert(pos, 1, value);
    }
    unsigned char* insert(const unsigned char* pos, const unsigned char* first,
                          const unsigned char* last);
    unsigned char* insert(const unsigned char* pos, const byte_array& other) {
        return insert(pos, other.begin(), other.end());
    }
    unsigned char* insert(const unsigned char* pos, std::initializer_list<unsigned char> bytes) {
        return insert(pos, bytes.begin(), bytes.end());
    }
    unsigned char* insert(const unsigned char* pos, const char* first, const char* last) {
        return insert(pos, as_bytes(first), as_bytes(last));
    }
    unsigned char* insert(const unsigned char* pos, const char* s, std::size_t n);
    unsigned char* insert(const unsigned char* pos, const char* s) {
        return insert(pos, s, std::strlen(s));
    }
    ///@}

    /// Insert at end() and return this array. A source may lie inside this array, the array
    /// itself included.
    ///@{
    byte_array& append(std::size_t count, unsigned char value) {
        if (count <= spare()) {
            if (count != 0) {
                std::memset(end(), value, count);
                impl_->size_ += count;
            }
        } else {
            insert(end(), count, value);
        }
        return *this;
    }
    byte_array& append(const byte_array& other) { return append(other.begin(), other.end()); }
    byte_array& append(std::initializer_list<unsigned char> bytes) {
        return append(bytes.begin(), bytes.end());
    }
    byte_array& append(const unsigned char* first, const unsigned char* last) {
        const std::size_t n = first < last ? static_cast<std::size_t>(last - first) : 0;
        if (n <= spare()) {
            append_in_place(first, n);
        } else {
            insert(end(), first, last);
        }
        return *this;
    }
    byte_array& append(const char* first, const char* last) {
        return append(as_bytes(first), as_bytes(last));
    }
    byte_array& append(const char* s, std::size_t n) {
        if (n <= spare()) {
            append_in_place(as_bytes(s), n);
        } else {
            insert(end(), s, n);
        }
        return *this;
    }
    byte_array& append(const char* s) { return append(s, std::strlen(s)); }
    ///@}

    /// Removes [first, last), a range within the array, and returns first, which now holds the
    /// byte that followed the range. Never moves the bytes or changes the capacity.
    ///@{
    unsigned char* erase(const unsigned char* first, const unsigned char* last) noexcept;
    unsigned char* erase(const unsigned char* pos) noexcept { return erase(pos, pos + 1); }
    ///@}

    /// Appends value: a store when there is room, otherwise insert(end(), value).
    void push_back(unsigned char value) {
        core::detail::byte_array_impl* const h = impl_;
        const std::uint64_t n = h->size_;
        if (n < h->capacity_) {
            h->size_ = n + 1;
            reinterpret_cast<unsigned char*>(h)[core::detail::byte_array_impl::header_size + n] =
                value;
        } else {
            insert(end(), value);
        }
    }
    /// Removes the last byte; the array must not be empty.
    void pop_back() noexcept { --impl_->size_; }

    /// Truncates to n bytes, keeping the capacity, or appends n - size() copies of value.
    ///@{
    void resize(std::size_t n, unsigned char value);
    void resize(std::size_t n) { resize(n, 0); }
    ///@}
    /// Makes the capacity at least the one the growth policy gives for n bytes; never reduces
    /// it. On an array without a block, n > 0 allocates a block of size 0.
    void reserve(std::size_t n);
    /// Size 0; the block and its capacity stay.
    void clear();
    /// Exchanges the contents of the two arrays in constant time.
    void swap(byte_array& other) noexcept { std::swap(impl_, other.impl_); }

    /// Byte i; throws std::out_of_range with "The index <i> is not within the range of byte
    /// array (size: <size>)" when i >= size().
    ///@{
    unsigned char& at(std::size_t i);
    const unsigned char& at(std::size_t i) const;
    ///@}
    /// Byte i, unchecked.
    ///@{
    unsigned char& operator[](std::size_t i) noexcept { return data()[i]; }
    const unsigned char& operator[](std::size_t i) const noexcept { return data()[i]; }
    ///@}
    /// The first byte. Never null, even for an empty array, whose data() must not be
    /// dereferenced.
    ///@{
    unsigned char* data() noexcept {
        return reinterpret_cast<unsigned char*>(impl_) + core::detail::byte_array_impl::header_size;
    }
    const unsigned char* data() const noexcept {
        return reinterpret_cast<const unsigned char*>(impl_) +
               core::detail::byte_array_impl::header_size;
    }
    ///@}
    /// The first and last bytes; the array must not be empty.
    ///@{
    unsigned char& front() noexcept { return data()[0]; }
    const unsigned char& front() const noexcept { return data()[0]; }
    unsigned char& back() noexcept { return data()[impl_->size_ - 1]; }
    const unsigned char& back() const noexcept { return data()[impl_->size_ - 1]; }
    ///@}

    /// [begin(), end()) is [data(), data() + size()); the reverse forms run from the last byte.
    ///@{
    iterator begin() noexcept { return data(); }
    const_iterator begin() const noexcept { return data(); }
    const_iterator cbegin() const noexcept { return data(); }
    iterator end() noexcept { return data() + impl_->size_; }
    const_iterator end() const noexcept { return data() + impl_->size_; }
    const_iterator cend() const noexcept { return end(); }
    reverse_iterator rbegin() noexcept { return reverse_iterator(end()); }
    const_reverse_iterator rbegin() const noexcept { return const_reverse_iterator(end()); }
    const_reverse_iterator crbegin() const noexcept { return rbegin(); }
    reverse_iterator rend() noexcept { return reverse_iterator(begin()); }
    const_reverse_iterator rend() const noexcept { return const_reverse_iterator(begin()); }
    const_reverse_iterator crend() const noexcept { return rend(); }
    ///@}

    /// Bytes in use.
    std::size_t size() const noexcept { return impl_->size_; }
    /// True when size() is 0.
    bool empty() const noexcept { return impl_->size_ == 0; }
    /// 0 for an array that owns no block.
    std::size_t capacity() const noexcept { return impl_->capacity_; }
    /// 18446744073709551591 (2^64 - 25): the largest size whose block size fits in 64 bits.
    std::size_t max_size() const noexcept { return ~core::detail::byte_array_impl::header_size; }

    /// The bytes as read-only characters; invalidated like the iterators.
    std::string_view view() const noexcept {
        return std::string_view(reinterpret_cast<const char*>(data()), size());
    }

    /// Byte-wise comparison like std::vector's: equal sizes and bytes, or lexicographic with
    /// bytes compared as unsigned. The other side may be anything that converts to a
    /// std::string_view (std::string, a string literal), compared as its bytes.
    friend bool operator==(const byte_array& a, const byte_array& b) noexcept {
        return a.view() == b.view();
    }
    friend bool operator!=(const byte_array& a, const byte_array& b) noexcept { return !(a == b); }
    friend bool operator<(const byte_array& a, const byte_array& b) noexcept {
        return detail::compare(a.view(), b.view()) < 0;
    }
    friend bool operator<=(const byte_array& a, const byte_array& b) noexcept {
        return detail::compare(a.view(), b.view()) <= 0;
    }
    friend bool operator>(const byte_array& a, const byte_array& b) noexcept {
        return detail::compare(a.view(), b.view()) > 0;
    }
    friend bool operator>=(const byte_array& a, const byte_array& b) noexcept {
        return detail::compare(a.view(), b.view()) >= 0;
    }
    template <class Text, class = detail::text_like<Text>>
    friend bool operator==(const byte_array& a, const Text& b) noexcept {
        return a.view() == std::string_view(b);
    }
    template <class Text, class = detail::text_like<Text>>
    friend bool operator==(const Text& a, const byte_array& b) noexcept {
        return std::string_view(a) == b.view();
    }
    template <class Text, class = detail::text_like<Text>>
    friend bool operator!=(const byte_array& a, const Text& b) noexcept {
        return !(a.view() == std::string_view(b));
    }
    template <class Text, class = detail::text_like<Text>>
    friend bool operator!=(const Text& a, const byte_array& b) noexcept {
        return !(std::string_view(a) == b.view());
    }
    template <class Text, class = detail::text_like<Text>>
    friend bool operator<(const byte_array& a, const Text& b) noexcept {
        return detail::compare(a.view(), std::string_view(b)) < 0;
    }
    template <class Text, class = detail::text_like<Text>>
    friend bool operator<(const Text& a, const byte_array& b) noexcept {
        return detail::compare(std::string_view(a), b.view()) < 0;
    }
    template <class Text, class = detail::text_like<Text>>
    friend bool operator<=(const byte_array& a, const Text& b) noexcept {
        return detail::compare(a.view(), std::string_view(b)) <= 0;
    }
    template <class Text, class = detail::text_like<Text>>
    friend bool operator<=(const Text& a, const byte_array& b) noexcept {
        return detail::compare(std::string_view(a), b.view()) <= 0;
    }
    template <class Text, class = detail::text_like<Text>>
    friend bool operator>(const byte_array& a, const Text& b) noexcept {
        return detail::compare(a.view(), std::string_view(b)) > 0;
    }
    template <class Text, class = detail::text_like<Text>>
    friend bool operator>(const Text& a, const byte_array& b) noexcept {
        return detail::compare(std::string_view(a), b.view()) > 0;
    }
    template <class Text, class = detail::text_like<Text>>
    friend bool operator>=(const byte_array& a, const Text& b) noexcept {
        return detail::compare(a.view(), std::string_view(b)) >= 0;
    }
    template <class Text, class = detail::text_like<Text>>
    friend bool operator>=(const Text& a, const byte_array& b) noexcept {
        return detail::compare(std::string_view(a), b.view()) >= 0;
    }

  private:
    friend struct core::detail::byte_array_access;

    static const unsigned char* as_bytes(const char* p) noexcept {
        return reinterpret_cast<const unsigned char*>(p);
    }
    std::size_t spare() const noexcept {
        const std::size_t n = impl_->capacity_ - impl_->size_;
#if defined(__GNUC__)
        // No block can be larger than the allocator's PTRDIFF_MAX limit; saying so keeps the
        // compiler from warning about copies of impossible sizes on the paths that use it.
        if (n > static_cast<std::size_t>(PTRDIFF_MAX)) {
            __builtin_unreachable();
        }
#endif
        return n;
    }
    /// Appends n bytes that fit in the spare capacity. They cannot overlap the free space, so a
    /// source inside the array is read intact.
    void append_in_place(const unsigned char* source, std::size_t n) noexcept {
        if (n != 0) {
            std::memcpy(end(), source, n);
            impl_->size_ += n;
        }
    }

    // Frozen layout: the handle is this one pointer, compiled into every caller.
    core::detail::byte_array_impl* impl_;  ///< a heap block, or the shared empty header; never null
};

}  // namespace v2
}  // namespace vorn::core

/// Hashes the bytes, as std::hash<std::string_view> does the same characters.
template <>
struct std::hash<vorn::core::v2::byte_array> {
    /// The hash of a.view().
    std::size_t operator()(const vorn::core::v2::byte_array& a) const noexcept {
        return std::hash<std::string_view>()(a.view());
    }
};

#endif  // VORN_CORE_BYTE_ARRAY_HPP
