// The state records behind binary_encoder and binary_decoder.
#ifndef VORN_CORE_SRC_BINARY_ENCODING_STATE_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_STATE_HPP

#include <string>

#include "binary_encoding/algorithm.hpp"
#include "vorn/core/byte_array.hpp"

namespace vorn::core::v2::detail {

struct binary_encoder_impl {
    std::string encoded_text;  // all text produced so far
    byte_array pending_bytes;  // input not yet encoded: the last update's leftover
    const binary_encoding_algorithm_base* algorithm = nullptr;  // shared, not owned
};

struct binary_decoder_impl {
    std::string pending_text;  // input not yet decoded: the last update's leftover
    byte_array decoded_bytes;  // all bytes decoded so far
    const binary_encoding_algorithm_base* algorithm = nullptr;  // shared, not owned
};

}  // namespace vorn::core::v2::detail

#endif
