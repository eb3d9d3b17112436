// SPDX-License-Identifier: MIT
// Storage for a run of trivial elements that stays in a buffer inside its owner while it is
// small and moves to a heap block of its own once it outgrows that buffer.
#ifndef VORN_CORE_SRC_TEXT_FORMATTER_INLINE_OR_HEAP_HPP
#define VORN_CORE_SRC_TEXT_FORMATTER_INLINE_OR_HEAP_HPP

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace vorn::core::v2::detail {

// Frees what std::malloc and std::realloc took.
struct free_block {
    void operator()(void* p) const noexcept { std::free(p); }
};

template <class T>
using heap_block = std::unique_ptr<T[], free_block>;

// Makes `block` hold `size` elements, keeping those it held as far as they fit; an empty
// block is taken new. Grown where it lies when the allocator can: a large block is remapped
// rather than copied. Throws std::bad_alloc with `block` unchanged.
template <class T>
void resize_block(heap_block<T>& block, std::size_t size) {
    static_assert(std::is_trivial_v<T>, "born uninitialised, freed without destruction");
    if (size > SIZE_MAX / sizeof(T)) {
        throw std::bad_alloc();
    }
    void* const p = std::realloc(block.get(), size == 0 ? 1 : size * sizeof(T));
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    static_cast<void>(block.release());
    block.reset(static_cast<T*>(p));
}

// A block of `size` uninitialised elements. Throws std::bad_alloc.
template <class T>
heap_block<T> uninitialised(std::size_t size) {
    heap_block<T> block;
    resize_block(block, size);
    return block;
}

// Elements of a trivial type, either in a buffer that the owner lends (one inside the owner
// itself, so that a small owner takes no allocation of its own) or in a heap block that this
// object owns. Which one is in use is its own business: data() and capacity() describe the
// current storage, whose contents beyond what the owner wrote are unspecified.
//
// Not copyable: a copy would point into the source's owner. The owner copies what it uses.
template <class T>
class inline_or_heap {
    static_assert(std::is_trivial_v<T>, "elements are copied as bytes and born uninitialised");

  public:
    // The `capacity` elements at `lent`, which must outlive this object or the next lend().
    inline_or_heap(T* lent, std::size_t capacity) noexcept : data_(lent), capacity_(capacity) {}
    inline_or_heap(const inline_or_heap&) = delete;
    inline_or_heap& operator=(const inline_or_heap&) = delete;

    T* data() const noexcept { return data_; }
    std::size_t capacity() const noexcept { return capacity_; }
    T& operator[](std::size_t i) const noexcept { return data_[i]; }

    // Uses the `capacity` elements at `lent` from now on, and frees the heap block if any.
    void lend(T* lent, std::size_t capacity) noexcept {
        heap_.reset();
        data_ = lent;
        capacity_ = capacity;
    }

    // Makes room for `wanted` elements, keeping the first `kept`: a heap block is resized
    // where it lies when the allocator can. Throws std::bad_alloc with nothing changed.
    void grow(std::size_t wanted, std::size_t kept) {
        const bool was_lent = !heap_;
        resize_block(heap_, wanted);
        if (was_lent) {
            std::memcpy(heap_.get(), data_, kept * sizeof(T));
        }
        data_ = heap_.get();
        capacity_ = wanted;
    }

    // Uses `block`, of `capacity` elements, from now on, and frees the heap block held if any.
    void adopt(heap_block<T> block, std::size_t capacity) noexcept {
        heap_ = std::move(block);
        data_ = heap_.get();
        capacity_ = capacity;
    }

  private:
    T* data_;
    std::size_t capacity_;
    heap_block<T> heap_;
};

}  // namespace vorn::core::v2::detail

#endif
