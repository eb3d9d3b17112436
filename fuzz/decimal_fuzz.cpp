// SPDX-License-Identifier: MIT
// Decimal text and arithmetic on fuzzer-chosen values: to_string agrees byte for byte with the
// exact digit-string reference, and a sum that fits comes back to the left operand when the
// right one is subtracted again.
//
// Input: 8 bytes of number, 2 of factor, 2 of precision, 1 separator, then 8 + 2 bytes of a
// second decimal.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "vorn/core/decimal.hpp"

#include "fuzz_check.hpp"
#include "support/decimal_reference.hpp"

using vorn::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace vc = vorn::core::v2;
    std::uint8_t bytes[23] = {};
    std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
    long long number;
    short factor;
    std::uint16_t precision_bits;
    long long other_number;
    short other_factor;
    std::memcpy(&number, bytes, 8);
    std::memcpy(&factor, bytes + 8, 2);
    std::memcpy(&precision_bits, bytes + 10, 2);
    const char separator = static_cast<char>(bytes[12]);
    std::memcpy(&other_number, bytes + 13, 8);
    std::memcpy(&other_factor, bytes + 21, 2);

    const unsigned int precision = precision_bits % 600U;
    const vc::decimal d(number, factor);
    check(d.to_string(precision, separator) ==
          vorn::test::exact_fixed(number, factor, precision, separator));

    vc::decimal a(number, factor);
    vc::decimal b(other_number, other_factor);
    try {
        vc::decimal sum = a + b;
        check(sum.get_factor() == (factor < other_factor ? factor : other_factor));
        vc::decimal back = sum - b;
        // back is a at the finer factor: scaling a up by the difference gives back's number.
        vc::decimal zero(0, back.get_factor());
        const vc::decimal difference = back - a;
        check(difference.get_number() == 0);
        check((zero + a).get_number() == back.get_number());
    } catch (const std::overflow_error&) {
        // The sum, or a in the finer scale, does not fit: nothing more to check.
    }
    return 0;
}
