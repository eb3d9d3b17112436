// SPDX-License-Identifier: MIT
// Library-internal access to a byte_array's storage, for code that writes its output straight
// into an array (the encoders and decoders) and for white-box tests. Not installed, not
// exported; everything here is inline over the exported interface.
#ifndef VORN_CORE_SRC_BYTE_ARRAY_BYTE_ARRAY_ACCESS_HPP
#define VORN_CORE_SRC_BYTE_ARRAY_BYTE_ARRAY_ACCESS_HPP

#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "byte_array/byte_array_impl.hpp"
#include "vorn/core/byte_array.hpp"

namespace vorn::core::detail {

// Frozen by the exported interface: byte_array names this friend in this namespace.
struct byte_array_access {
    // Appends n bytes without initialising them and returns a pointer to the first; the
    // caller writes all n (or gives back the unwritten tail with truncate). Throws like
    // push_back, with the array unchanged; the returned pointer is valid until the next
    // operation that may move the bytes.
    static unsigned char* append_uninitialized(v2::byte_array& a, std::size_t n) {
        const std::size_t old_size = a.size();
        if (n > a.capacity() - old_size) {
            // The same checks and block as grow(), through the exported reserve, so that this
            // stays usable from the tests too.
            if (n > SIZE_MAX - old_size) {
                throw std::length_error(v2::detail::grow_length_error);
            }
            a.reserve(old_size + n);
        }
        if (n != 0) {  // an array without a block is left alone
            a.impl_->size_ = old_size + n;
        }
        return a.data() + old_size;
    }

    // Room for n bytes in all, as byte_array::reserve: a caller that knows its output size
    // reserves once, and its appends then never move the bytes.
    static void reserve(v2::byte_array& a, std::size_t n) { a.reserve(n); }

    // Shrinks the size to n <= size(); never moves the bytes, never throws.
    static void truncate(v2::byte_array& a, std::size_t n) noexcept {
        if (n != a.impl_->size_) {  // an array without a block has size 0: never written
            a.impl_->size_ = n;
        }
    }

    // The array's header, for tests that inspect or damage it.
    static byte_array_impl*& header(v2::byte_array& a) noexcept { return a.impl_; }
};

}  // namespace vorn::core::detail

#endif
