// SPDX-License-Identifier: MIT
// The names of the encodings and of the decoding statuses, written to streams.
#include <ostream>

#include "vorn/core/binary_encoding.hpp"

namespace vorn::core::v2 {

std::ostream& operator<<(std::ostream& out, binary_encoding value) {
    return out << to_string(value);
}

std::ostream& operator<<(std::ostream& out, decode_status value) {
    return out << to_string(value);
}

}  // namespace vorn::core::v2
