// SPDX-License-Identifier: MIT
// The capacity a growing vector takes for n elements.
#include <cstddef>
#include <cstdint>

#include "byte_array/byte_array_impl.hpp"
#include "vorn/core/byte_array.hpp"

namespace vorn::core::vector_impl {

std::size_t get_new_vector_capacity(std::size_t n) noexcept {
    if (n <= 63) {
        return v2::detail::round_up_to_power_of_two(n);  // 0 for 0
    }
    const std::size_t base = n - n % 64;
    return base > SIZE_MAX - 64 ? 0 : base + 64;
}

}  // namespace vorn::core::vector_impl
