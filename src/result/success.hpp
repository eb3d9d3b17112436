// SPDX-License-Identifier: MIT
// What an empty result::stack reports: the success category and the shared success item.
#ifndef VORN_CORE_SRC_RESULT_SUCCESS_HPP
#define VORN_CORE_SRC_RESULT_SUCCESS_HPP

#include "vorn/core/result.hpp"

namespace vorn::core::v2::detail {

class success_category final : public result::category {
  public:
    static success_category& instance();

    ~success_category() override;
    const char* get_name() const override;
    // "Success", whatever the code.
    const char* get_message(int code) const override;

  private:
    constexpr success_category() noexcept = default;
};

// The item an empty stack answers from: code 0, not failed, the success category, no
// arguments. Built when the library is loaded.
const result::stack::item& success_item() noexcept;

// Builds the success item and registers the exit handler that releases its arguments.
void build_success_item() noexcept;

}  // namespace vorn::core::v2::detail

#endif
