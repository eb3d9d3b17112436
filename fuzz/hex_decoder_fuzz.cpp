// SPDX-License-Identifier: MIT
// The hex decoder on arbitrary text, one-shot and cut at fuzzer-chosen points.
#include "binary_encoding_checks.hpp"

namespace {

int check_input(const std::uint8_t* data, std::size_t size) {
    vorn::fuzz::check_decoder(vorn::core::v2::binary_encoding::hex, data, size);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vorn::fuzz::run_guarded(data, size, check_input);
}
