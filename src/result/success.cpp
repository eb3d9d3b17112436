// SPDX-License-Identifier: MIT
// The success category of an empty status stack.
#include "result/success.hpp"

#include <cstdlib>
#include <new>

#include "result/result_access.hpp"

namespace vorn::core::v2::detail {

success_category& success_category::instance() {
    // The guard branch taken when another thread finishes the construction first cannot be
    // arranged by a test.
    static success_category the_category;  // GCOVR_EXCL_BR_LINE: see above
    return the_category;
}

success_category::~success_category() = default;

const char* success_category::get_name() const {
    // Frozen text: programs compare and store category names.
    return "vorn-core-success";
}

const char* success_category::get_message(int) const {
    return "Success";
}

namespace {

using result::detail::result_access;

alignas(result::stack::item) unsigned char success_item_storage[sizeof(result::stack::item)];
result::stack::item* the_success_item = nullptr;

void release_success_item_arguments() {
    result_access::arguments(*the_success_item) = result::argument_list();
}

}  // namespace

const result::stack::item& success_item() noexcept {
    return *the_success_item;
}

void build_success_item() noexcept {
    the_success_item = result_access::construct_item(
        success_item_storage, success_category::instance(), 0, /*failed=*/false);
    std::atexit(release_success_item_arguments);
}

}  // namespace vorn::core::v2::detail
