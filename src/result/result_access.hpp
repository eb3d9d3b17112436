// SPDX-License-Identifier: MIT
// Private access to the status classes for the library's own implementation files.
#ifndef VORN_CORE_SRC_RESULT_RESULT_ACCESS_HPP
#define VORN_CORE_SRC_RESULT_RESULT_ACCESS_HPP

#include <new>
#include <string_view>

#include "vorn/core/result.hpp"

namespace vorn::core::v2::result::detail {

struct result_access {
    using links = stack::links;

    // Marks the value_offset of a record that reads as the out-of-memory placeholder.
    static constexpr unsigned char out_of_memory_mark = 255;

    static constexpr argument make_marked_argument() noexcept {
        return argument(out_of_memory_mark);
    }
    static unsigned char& value_offset(argument& a) noexcept { return a.value_offset_; }
    static unsigned char value_offset(const argument& a) noexcept { return a.value_offset_; }
    static char* text(argument& a) noexcept { return a.text_; }
    static const char* text(const argument& a) noexcept { return a.text_; }

    static argument_list& arguments(stack::item& i) noexcept { return i.arguments_; }

    // What argument_list::set_argument does, from texts that need no std::string (so nothing
    // is allocated before the record itself).
    static void append(argument_list& list, std::string_view name, std::string_view value) noexcept;
    // What argument_list::set_arguments does.
    static void append_all(argument_list& list, const named_text* arguments,
                           std::size_t count) noexcept;
    // Before the list of an item is destroyed with it: leaves its block to the calling thread
    // as a spare when it can serve again, and then leaves the list empty.
    static void release_records(argument_list& list) noexcept;
    // Makes `list` (holding no records) read empty and ignore every later addition.
    static void make_closed_empty(argument_list& list) noexcept;

    // Builds an item in raw storage, linked to itself and with an empty argument list.
    static stack::item* construct_item(void* where, const category& c, int value,
                                       bool failed) noexcept {
        auto* it = ::new (where) stack::item();
        it->next = it;
        it->previous = it;
        it->value_ = value;
        it->failed_ = failed;
        it->category_ = &c;
        return it;
    }
    static void destroy_item(stack::item* it) noexcept { it->~item(); }
};

}  // namespace vorn::core::v2::result::detail

#endif
