// SPDX-License-Identifier: MIT
// Both encoders on arbitrary bytes, fed whole and in fuzzer-chosen pieces, round-tripping
// through their decoders.
#include "binary_encoding_checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorn::fuzz::check_encoder(vorn::core::v2::binary_encoding::base64, data, size);
    vorn::fuzz::check_encoder(vorn::core::v2::binary_encoding::hex, data, size);
    vorn::fuzz::check_encoder(vorn::core::v2::binary_encoding::base64url, data, size);
    return 0;
}
