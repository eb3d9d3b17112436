// SPDX-License-Identifier: MIT
// Runs decimal rounding and division on cases read from standard input, one result line per
// case, for decimal_money_oracle.py to compare with Python's decimal module. Input lines:
//   r <number> <factor> <decimals> <mode>                                 round
//   d <number> <factor> <divisor number> <divisor factor> <decimals> <mode>  divide by a decimal
//   i <number> <factor> <divisor> <decimals> <mode>                       divide by an integer
// where <mode> is a rounding_mode value. Each result is "<number> <factor>", "overflow"
// (std::overflow_error), "domain" (std::domain_error) or "error <reason>".
#include <charconv>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "vorn/core/decimal.hpp"

namespace {

namespace vc = vorn::core::v2;

// Reads the next integer field at `at`, skipping spaces; false when there is none.
bool next(const char*& at, const char* end, long long& value) {
    while (at != end && *at == ' ') {
        ++at;
    }
    const auto [stop, error] = std::from_chars(at, end, value);
    at = stop;
    return error == std::errc();
}

void append(std::string& out, long long value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// The result of one input line, appended to `out` with its newline.
void run(const char* at, const char* end, std::string& out) {
    const char op = at != end ? *at++ : '\0';
    long long field[6];
    const int count = op == 'r' ? 4 : op == 'd' ? 6 : op == 'i' ? 5 : 0;
    for (int i = 0; i < count; ++i) {
        if (!next(at, end, field[i])) {
            out += "error unreadable line\n";
            return;
        }
    }
    if (count == 0) {
        out += "error unknown operation\n";
        return;
    }
    const auto mode = static_cast<vc::rounding_mode>(field[count - 1]);
    const auto decimals = static_cast<int>(field[count - 2]);
    try {
        const vc::decimal value(field[0], static_cast<short>(field[1]));
        const vc::decimal divisor(op == 'd' ? field[2] : 1,
                                  static_cast<short>(op == 'd' ? field[3] : 0));
        const vc::decimal result = op == 'r'   ? value.round(decimals, mode)
                                   : op == 'd' ? value.divide(divisor, decimals, mode)
                                               : value.divide(field[2], decimals, mode);
        // The in-place forms give the same value; a difference shows as a mismatch.
        vc::decimal in_place = value;
        if (op == 'r') {
            in_place.round_in_place(decimals, mode);
        } else if (op == 'd') {
            in_place.divide_in_place(divisor, decimals, mode);
        } else {
            in_place.divide_in_place(field[2], decimals, mode);
        }
        if (in_place.get_number() != result.get_number() ||
            in_place.get_factor() != result.get_factor()) {
            out += "in-place ";
        }
        append(out, result.get_number());
        out += ' ';
        append(out, result.get_factor());
        out += '\n';
    } catch (const std::overflow_error&) {
        out += "overflow\n";
    } catch (const std::domain_error&) {
        out += "domain\n";
    } catch (const std::exception& error) {
        out += "error ";
        out += error.what();
        out += '\n';
    }
}

}  // namespace

int main() {
    std::string input;
    std::vector<char> chunk(1 << 16);
    for (std::size_t got; (got = std::fread(chunk.data(), 1, chunk.size(), stdin)) > 0;) {
        input.append(chunk.data(), got);
    }
    std::string output;
    output.reserve(input.size());
    for (std::size_t start = 0; start < input.size();) {
        std::size_t stop = input.find('\n', start);
        if (stop == std::string::npos) {
            stop = input.size();
        }
        run(input.data() + start, input.data() + stop, output);
        start = stop + 1;
    }
    std::fwrite(output.data(), 1, output.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
