// SPDX-License-Identifier: MIT
// The Base64url decoder on arbitrary text, one-shot, into a caller's buffer and cut at
// fuzzer-chosen points.
#include "binary_encoding_checks.hpp"

namespace {

int check_input(const std::uint8_t* data, std::size_t size) {
    vorn::fuzz::check_decoder(vorn::core::v2::binary_encoding::base64url, data, size);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vorn::fuzz::run_guarded(data, size, check_input);
}
