// SPDX-License-Identifier: MIT
// Argument records of status items: storage, lookup texts and the out-of-memory placeholder.
#include <malloc.h>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/copy_bytes.hpp"
#include "result/result_access.hpp"
#include "result/thread_state.hpp"
#include "vorn/core/result.hpp"

namespace vorn::core::v2::result {

namespace {

using detail::result_access;

static_assert(sizeof(argument) == 256, "an argument record is exactly 256 bytes");

constexpr std::size_t text_limit = 253;  // name and value bytes together
constexpr char out_of_memory_name[] = "out-of-memory";
constexpr char out_of_memory_value[] =
    "Não foi possível alocar memoria para um argumento do result status";

// The one record of every list whose very first record could not be allocated. Never written
// and never freed.
constexpr argument out_of_memory_argument = result_access::make_marked_argument();

}  // namespace

// A list that reads empty and is already closed: its one-before-first record is the marked
// one, so additions stop before allocating. Freeing it is a no-op.
void detail::result_access::make_closed_empty(argument_list& list) noexcept {
    list.count_ = 0;
    list.records_ = const_cast<argument*>(&out_of_memory_argument) + 1;
}

namespace {

argument* shared_out_of_memory_argument() noexcept {
    // Lists only read through this pointer; set_argument() stops before writing to it.
    return const_cast<argument*>(&out_of_memory_argument);
}

bool reads_as_placeholder(const argument& a) noexcept {
    return &a == &out_of_memory_argument ||
           result_access::value_offset(a) == result_access::out_of_memory_mark;
}

void fill(argument& record, std::string_view name, std::string_view value) noexcept {
    const std::size_t n = name.size() < text_limit ? name.size() : text_limit;
    const std::size_t room = text_limit - n;
    const std::size_t m = value.size() < room ? value.size() : room;
    char* text = result_access::text(record);
    result_access::value_offset(record) = static_cast<unsigned char>(n + 1);
    *v2::detail::copy_short_bytes(text, name.data(), n) = '\0';
    *v2::detail::copy_short_bytes(text + n + 1, value.data(), m) = '\0';
}

}  // namespace

const char* argument::get_name() const noexcept {
    return reads_as_placeholder(*this) ? out_of_memory_name : text_;
}

const char* argument::get_value() const noexcept {
    return reads_as_placeholder(*this) ? out_of_memory_value : text_ + value_offset_;
}

argument_list::argument_list(argument_list&& other) noexcept : argument_list() {
    swap(other);
}

argument_list& argument_list::operator=(argument_list&& other) noexcept {
    argument_list temporary(std::move(other));
    swap(temporary);
    return *this;
}

argument_list::~argument_list() {
    if (records_ != nullptr && records_ != &out_of_memory_argument &&
        records_ != &out_of_memory_argument + 1) {
        std::free(records_);
    }
}

void argument_list::swap(argument_list& other) noexcept {
    std::swap(count_, other.count_);
    std::swap(records_, other.records_);
}

void argument_list::set_argument(const std::string& name, const std::string& value) noexcept {
    detail::result_access::append(*this, name, value);
}

void argument_list::set_argument(std::string_view name, std::string_view value) noexcept {
    detail::result_access::append(*this, name, value);
}

void argument_list::set_arguments(const named_text* arguments, std::size_t count) noexcept {
    detail::result_access::append_all(*this, arguments, count);
}

void detail::result_access::append(argument_list& list, std::string_view name,
                                   std::string_view value) noexcept {
    std::uint64_t& count = list.count_;
    argument*& records = list.records_;
    if (records == nullptr) {
        void* block = std::malloc(sizeof(argument));
        count = 1;
        if (block == nullptr) {
            records = shared_out_of_memory_argument();
            return;
        }
        records = static_cast<argument*>(block);
        fill(records[0], name, value);
        return;
    }

    argument& last = records[count - 1];
    if (reads_as_placeholder(last)) {
        return;  // the list is closed
    }
    void* grown = std::realloc(records, (count + 1) * sizeof(argument));
    if (grown == nullptr) {
        // The record added before this one now reads as the placeholder and closes the list.
        result_access::value_offset(last) = result_access::out_of_memory_mark;
        return;
    }
    records = static_cast<argument*>(grown);
    ++count;
    fill(records[count - 1], name, value);
}

namespace {

// A block for `count` records of a list that has none: a spare block of this thread when it
// is large enough, else a new one, at least large enough to be kept as a spare when released.
void* new_record_block(std::size_t count) noexcept {
    if (count <= v2::detail::spare_record_capacity) {
        if (void* spare = v2::detail::take_spare_records()) {
            return spare;
        }
        count = v2::detail::spare_record_capacity;
    }
    return std::malloc(count * sizeof(argument));
}

}  // namespace

// Several records with one allocation. The outcomes under failure are those of one addition:
// a list with no records gets the shared placeholder, an open list closes.
void detail::result_access::append_all(argument_list& list, const named_text* arguments,
                                       std::size_t count) noexcept {
    if (count == 0) {
        return;
    }
    std::uint64_t& stored = list.count_;
    argument*& records = list.records_;
    if (records == nullptr) {
        void* block = new_record_block(count);
        if (block == nullptr) {
            stored = 1;
            records = shared_out_of_memory_argument();
            return;
        }
        records = static_cast<argument*>(block);
    } else {
        argument& last = records[stored - 1];
        if (reads_as_placeholder(last)) {
            return;  // the list is closed
        }
        void* grown = std::realloc(records, (stored + count) * sizeof(argument));
        if (grown == nullptr) {
            result_access::value_offset(last) = result_access::out_of_memory_mark;
            return;
        }
        records = static_cast<argument*>(grown);
    }
    for (std::size_t i = 0; i < count; ++i) {
        fill(records[stored + i], arguments[i].name, arguments[i].value);
    }
    stored += count;
}

// A list released with its item leaves its block to the thread when the block holds exactly
// spare_record_capacity records' room (a list of two records always does).
void detail::result_access::release_records(argument_list& list) noexcept {
    argument* records = list.records_;
    if (records == nullptr || records == &out_of_memory_argument ||
        records == &out_of_memory_argument + 1 || list.count_ > v2::detail::spare_record_capacity) {
        return;
    }
    if ((list.count_ == v2::detail::spare_record_capacity ||
         malloc_usable_size(records) >= v2::detail::spare_record_capacity * sizeof(argument)) &&
        v2::detail::keep_spare_records(records)) {
        list.records_ = nullptr;
        list.count_ = 0;
    }
}

argument_list::iterator argument_list::begin() noexcept {
    return iterator(records_);
}

argument_list::iterator argument_list::end() noexcept {
    return iterator(records_ == nullptr ? nullptr : records_ + count_);
}

argument_list::const_iterator argument_list::begin() const noexcept {
    return const_iterator(records_);
}

argument_list::const_iterator argument_list::end() const noexcept {
    return const_iterator(records_ == nullptr ? nullptr : records_ + count_);
}

}  // namespace vorn::core::v2::result
