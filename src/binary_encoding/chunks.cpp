// SPDX-License-Identifier: MIT
// The total size of a run of chunks, checked against size_t.
#include "binary_encoding/chunks.hpp"

#include <stdexcept>

namespace vorn::core::v2::detail {

std::size_t total_size(const data_chunk* chunks, std::uint32_t count) {
    std::size_t total = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (chunks[i].size > SIZE_MAX - total) {
            throw std::length_error("vorn::core::binary_encoding: input too large");
        }
        total += chunks[i].size;
    }
    return total;
}

}  // namespace vorn::core::v2::detail
