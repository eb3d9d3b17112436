// SPDX-License-Identifier: MIT
// error's copies, moves and destruction over its type-erased value.
#include "vorn/core/error.hpp"

namespace vorn::core::v2 {

error::error(const error& other) : error() {
    if (other.operations_ != nullptr) {
        other.operations_->copy(*this, other.storage_);
        operations_ = other.operations_;
    }
}

error::error(error&& other) noexcept : error() {
    swap(other);
}

error& error::operator=(const error& other) {
    error temporary(other);
    swap(temporary);
    return *this;
}

error& error::operator=(error&& other) noexcept {
    error temporary(std::move(other));
    swap(temporary);
    return *this;
}

error::~error() {
    if (operations_ != nullptr) {
        operations_->destroy(*this);
    }
}

void error::swap(error& other) noexcept {
    std::swap(storage_, other.storage_);
    std::swap(operations_, other.operations_);
}

std::string error::get_message() const {
    return operations_ != nullptr ? operations_->message(storage_) : std::string();
}

bad_expected_access<void>::~bad_expected_access() = default;

const char* bad_expected_access<void>::what() const noexcept {
    return "Bad expected access";
}

const nullopt_t nullopt{nullopt_t::construct_tag{}};

}  // namespace vorn::core::v2
