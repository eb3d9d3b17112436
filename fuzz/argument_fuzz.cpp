// SPDX-License-Identifier: MIT
// Status arguments from arbitrary bytes: every record reads back as its name and value cut to
// the record's limits, in insertion order, and a lookup finds the first record of a name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "vorn/core/result.hpp"

#include "fuzz_check.hpp"

using vorn::fuzz::check;

namespace {

// What a record keeps of a text: at most `limit` bytes, and nothing after a NUL.
std::string kept(std::string_view text, std::size_t limit) {
    const std::string_view cut = text.substr(0, limit);
    return std::string(cut.substr(0, cut.find('\0')));
}

int check_input(const std::uint8_t* data, std::size_t size) {
    namespace vc = vorn::core::v2;
    // Pieces separated by 0xFF bytes alternate name, value, name, value, ... They are views of
    // the input, so that the records read the caller's bytes in place.
    const char* const chars = reinterpret_cast<const char*>(data);
    std::vector<std::string_view> pieces;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == 0xFF) {
            pieces.emplace_back(chars + from, i - from);
            from = i + 1;
        }
    }
    if (pieces.size() % 2 != 0) {
        pieces.emplace_back();
    }

    vc::result::stack s;
    vc::result::stack::item& item = s.push_item(vc::converter_result_category::instance(), 1);
    for (std::size_t i = 0; i < pieces.size(); i += 2) {
        item.set_argument(pieces[i], pieces[i + 1]);
    }

    std::size_t index = 0;
    for (const vc::result::argument& a : item.get_argument_range()) {
        const std::string_view name = pieces[2 * index];
        const std::string_view value = pieces[2 * index + 1];
        const std::size_t name_bytes = name.size() < 253 ? name.size() : 253;
        check(a.get_name() == kept(name, 253));
        check(a.get_value() == kept(value, 253 - name_bytes));
        check(std::strlen(a.get_name()) + std::strlen(a.get_value()) <= 253);
        ++index;
    }
    check(index == pieces.size() / 2);

    // The copy holds the same texts, and a lookup answers from the first record of a name.
    const vc::result::stack copy(s);
    const std::string first_name = kept(pieces[0], 253);
    check(std::strcmp(copy.begin()->get_argument_value(first_name),
                      item.get_argument_value(first_name)) == 0);
    check(std::strcmp(item.get_argument_value(first_name),
                      item.get_argument_range().begin()->get_value()) == 0);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vorn::fuzz::run_guarded(data, size, check_input);
}
