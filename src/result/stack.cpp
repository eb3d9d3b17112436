// SPDX-License-Identifier: MIT
// The result stack and its items: pushing, releasing, copying, the queries and the argument
// operations of an item.
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "result/item_pool.hpp"
#include "result/result_access.hpp"
#include "result/success.hpp"
#include "result/thread_state.hpp"
#include "vorn/core/result.hpp"

namespace vorn::core::v2::result {

namespace {

using detail::result_access;
using item = stack::item;

static_assert(sizeof(item) == 48, "item: two links, code, flag, category, argument list");
static_assert(sizeof(stack) == 2 * sizeof(void*), "a stack is its two sentinel links");

// Heap first (a block this thread released, else a new one); when the heap is exhausted, the
// static pool.
item* new_item(const category& c, int value, bool failed) noexcept {
    void* where = v2::detail::take_spare_item();
    if (where == nullptr) {
        where = std::malloc(sizeof(item));
        if (where == nullptr) {
            where = v2::detail::claim_pool_item();
        }
    }
    return result_access::construct_item(where, c, value, failed);
}

void delete_item(item* it) noexcept {
    result_access::release_records(result_access::arguments(*it));
    result_access::destroy_item(it);  // releases what the arguments still hold
    if (v2::detail::pool_owns(it)) {
        v2::detail::release_pool_item(it);
    } else if (!v2::detail::keep_spare_item(it)) {
        std::free(it);
    }
}

const item& newest_or_success(const stack& s) noexcept {
    return s.begin() != s.end() ? *s.begin() : v2::detail::success_item();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// item

const char* stack::item::get_message() const {
    return category_->get_message(value_);
}

void stack::item::set_argument(const std::string& name, const std::string& value) noexcept {
    arguments_.set_argument(name, value);
}

void stack::item::set_argument(std::string_view name, std::string_view value) noexcept {
    arguments_.set_argument(name, value);
}

void stack::item::set_arguments(const named_text* arguments, std::size_t count) noexcept {
    arguments_.set_arguments(arguments, count);
}

stack::item& stack::item::set_location(source_location where) noexcept {
    constexpr std::string_view name = "source-location";
    // What a record leaves for the value once the name is stored.
    constexpr std::size_t room = 253 - name.size();
    char line[16] = {':'};
    const std::size_t line_length = static_cast<std::size_t>(
        std::to_chars(line + 1, line + sizeof line, where.line()).ptr - line);
    // Keep the end of a file name too long to fit: the file's own name and the line.
    const std::string_view file(where.file_name());
    const std::size_t kept = std::min(file.size(), room - line_length);
    char text[room];
    std::memcpy(text, file.data() + (file.size() - kept), kept);
    std::memcpy(text + kept, line, line_length);
    arguments_.set_argument(name, std::string_view(text, kept + line_length));
    return *this;
}

const char* stack::item::get_argument_value(const std::string& name) const noexcept {
    return get_argument_value(std::string_view(name));
}

const char* stack::item::get_argument_value(std::string_view name) const noexcept {
    for (const argument& a : arguments_) {
        const char* stored = a.get_name();
        if (std::strlen(stored) == name.size() &&
            std::memcmp(stored, name.data(), name.size()) == 0) {
            return a.get_value();
        }
    }
    return "";
}

bool stack::item::operator==(const item& other) const noexcept {
    return value_ == other.value_ && *category_ == *other.category_;
}

bool stack::item::operator!=(const item& other) const noexcept {
    return !(*this == other);
}

// ---------------------------------------------------------------------------------------------
// stack

stack::stack(const stack& other) : stack() {
    try {
        for (const item& source : other) {
            item* copy = new_item(*source.category_, source.value_, source.failed_);
            // Link at the back first, so that reset() releases a half-built copy too.
            copy->next = &head_;
            copy->previous = head_.previous;
            head_.previous->next = copy;
            head_.previous = copy;
            for (const argument& a : source.arguments_) {
                copy->arguments_.set_argument(std::string(a.get_name()),
                                              std::string(a.get_value()));
            }
        }
    } catch (...) {
        reset();
        throw;
    }
}

stack::stack(stack&& other) noexcept : stack() {
    swap(other);
}

stack& stack::operator=(const stack& other) {
    stack temporary(other);
    swap(temporary);
    return *this;
}

stack& stack::operator=(stack&& other) noexcept {
    stack temporary(std::move(other));
    swap(temporary);
    return *this;
}

stack::~stack() {
    reset();
}

void stack::swap(stack& other) noexcept {
    const bool was_empty = head_.next == &head_;
    const bool other_was_empty = other.head_.next == &other.head_;
    std::swap(head_, other.head_);
    // After the exchange the end items still point at the sentinel they came from.
    for (auto [s, empty] : {std::pair{this, other_was_empty}, std::pair{&other, was_empty}}) {
        if (empty) {
            s->head_.next = s->head_.previous = &s->head_;
        } else {
            s->head_.next->previous = &s->head_;
            s->head_.previous->next = &s->head_;
        }
    }
}

stack::item& stack::push_item(const category& c, int value) noexcept {
    item* it = new_item(c, value, /*failed=*/true);
    it->next = head_.next;
    it->previous = &head_;
    head_.next->previous = it;
    head_.next = it;
    return *it;
}

void stack::reset() noexcept {
    while (head_.next != &head_) {
        auto* newest = static_cast<item*>(head_.next);
        head_.next = newest->next;
        newest->next->previous = &head_;
        newest->next = newest->previous = newest;
        delete_item(newest);
    }
}

stack::iterator stack::begin() noexcept {
    return head_.next == &head_ ? iterator() : iterator(head_.next);
}

stack::iterator stack::end() noexcept {
    return head_.next == &head_ ? iterator() : iterator(&head_);
}

stack::const_iterator stack::begin() const noexcept {
    return head_.next == &head_ ? const_iterator() : const_iterator(head_.next);
}

stack::const_iterator stack::end() const noexcept {
    return head_.next == &head_ ? const_iterator() : const_iterator(&head_);
}

int stack::get_value() const noexcept {
    return newest_or_success(*this).get_value();
}

bool stack::has_failed() const noexcept {
    return newest_or_success(*this).has_failed();
}

const char* stack::get_message() const {
    return newest_or_success(*this).get_message();
}

const category& stack::get_category() const noexcept {
    return newest_or_success(*this).get_category();
}

std::size_t stack::size() const noexcept {
    std::size_t n = 0;
    for (const links* at = head_.next; at != &head_; at = at->next) {
        ++n;
    }
    return n;
}

argument_list& stack::get_argument_range() noexcept {
    if (head_.next != &head_) {
        return static_cast<item*>(head_.next)->arguments_;
    }
    // An empty stack must not hand out the shared success item's list for writing.
    return v2::detail::fresh_detached_list();
}

const argument_list& stack::get_argument_range() const noexcept {
    return newest_or_success(*this).get_argument_range();
}

bool stack::operator==(const stack& other) const noexcept {
    const bool empty = head_.next == &head_;
    const bool other_empty = other.head_.next == &other.head_;
    if (empty || other_empty) {
        return empty == other_empty;
    }
    return *static_cast<const item*>(head_.next) == *static_cast<const item*>(other.head_.next);
}

bool stack::operator!=(const stack& other) const noexcept {
    return !(*this == other);
}

}  // namespace vorn::core::v2::result
