// SPDX-License-Identifier: MIT
// The heap block every decimal owns: its factor and number, in this order. Shared by the files
// that implement decimal's members.
#ifndef VORN_CORE_SRC_DECIMAL_DECIMAL_BLOCK_HPP
#define VORN_CORE_SRC_DECIMAL_DECIMAL_BLOCK_HPP

#include <cstdint>

#include "vorn/core/decimal.hpp"

namespace vorn::core::v2 {

// The order of the fields is part of the decimal's fixed shape.
struct decimal::block {
    std::int16_t factor;
    std::int64_t number;
};

}  // namespace vorn::core::v2

#endif
