#include <cstddef>
#include <cstdint>

#include "vorn/core/byte_array.hpp"

namespace vorn::core::vector_impl {

std::size_t get_new_vector_capacity(std::size_t n) noexcept {
    if (n <= 63) {
        // The next power of two; 0 - 1 wraps to all ones, and back to 0 after the + 1.
        std::size_t v = n - 1;
        v |= v >> 1;
        v |= v >> 2;
        v |= v >> 4;
        v |= v >> 8;
        v |= v >> 16;
        return v + 1;
    }
    const std::size_t base = n - n % 64;
    return base > SIZE_MAX - 64 ? 0 : base + 64;
}

}  // namespace vorn::core::vector_impl
