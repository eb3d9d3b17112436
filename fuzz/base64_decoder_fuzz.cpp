// SPDX-License-Identifier: MIT
// The Base64 decoder on arbitrary text, one-shot and cut at fuzzer-chosen points.
#include "binary_encoding_checks.hpp"

namespace {

int check_input(const std::uint8_t* data, std::size_t size) {
    vorn::fuzz::check_decoder(vorn::core::v2::binary_encoding::base64, data, size);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vorn::fuzz::run_guarded(data, size, check_input);
}
