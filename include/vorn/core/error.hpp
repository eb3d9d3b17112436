// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/error.hpp: a type-erased error value, the exception for a missing expected value,
/// and the nullopt tag.
///
/// `error` holds an error object of any copyable type that has a get_message() const, and
/// renders it as text without the holder knowing the type:
///
///   struct parse_failure {
///       int line;
///       std::string get_message() const { return "bad input on line " + std::to_string(line); }
///   };
///   vorn::core::v2::error e = parse_failure{12};
///   std::puts(e.get_message().c_str());   // "bad input on line 12"
#ifndef VORN_CORE_ERROR_HPP
#define VORN_CORE_ERROR_HPP

#include <exception>
#include <string>
#include <type_traits>
#include <utility>

#include "vorn/core/export.hpp"

namespace vorn::core::v2 {

class error;

/// The operations of one held error type; every error holding that type shares one table.
struct error_operations {
    /// Makes `destination` (empty) hold a copy of the error whose storage word is given.
    void (*copy)(error& destination, void* source_storage);
    /// Releases what the error's storage word holds.
    void (*destroy)(error& self);
    /// The held error's message.
    std::string (*message)(void* storage);
};

namespace detail {
template <class E, class = void>
struct is_error_type : std::false_type {};
template <class E>
struct is_error_type<E, std::void_t<decltype(std::string(std::declval<const E&>().get_message()))>>
    : std::bool_constant<std::is_copy_constructible_v<E>> {};
}  // namespace detail

/// A copyable value that is either empty or holds one error object.
class VORN_CORE_API error {
  public:
    /// An empty error: get_message() gives "".
    error() noexcept : storage_(nullptr), operations_(nullptr) {}

    /// Holds a copy of `e`, any copyable type E whose get_message() const returns text.
    template <
        class E, class D = std::decay_t<E>,
        class = std::enable_if_t<!std::is_same_v<D, error> && detail::is_error_type<D>::value>>
    error(E&& e) : storage_(new D(std::forward<E>(e))), operations_(&typed_operations<D>::table) {}

    /// Copies the held error; if that copy throws, the exception propagates.
    error(const error& other);
    /// The source is left empty; no operation of the held type is called.
    error(error&& other) noexcept;
    /// Replaces the held error with a copy of the source's.
    error& operator=(const error& other);
    /// Replaces the held error with the source's; the source is left empty.
    error& operator=(error&& other) noexcept;
    ~error();

    /// Exchanges the held errors; no operation of a held type is called.
    void swap(error& other) noexcept;

    /// The held error's message, or "" when empty.
    std::string get_message() const;

  private:
    template <class E>
    struct typed_operations {
        static void copy(error& destination, void* source_storage) {
            destination.storage_ = new E(*static_cast<const E*>(source_storage));
        }
        static void destroy(error& self) { delete static_cast<E*>(self.storage_); }
        static std::string message(void* storage) {
            return std::string(static_cast<const E*>(storage)->get_message());
        }
        static constexpr error_operations table{&copy, &destroy, &message};
    };

    void* storage_;
    const error_operations* operations_;
};

/// Same as a.swap(b).
inline void swap(error& a, error& b) noexcept {
    a.swap(b);
}

template <class E>
class bad_expected_access;

/// Thrown on access to the value of an expected that holds none. what() gives
/// "Bad expected access".
template <>
class VORN_CORE_API bad_expected_access<void> : public std::exception {
  public:
    bad_expected_access() noexcept = default;
    /// Copyable and movable; never throws.
    ///@{
    bad_expected_access(const bad_expected_access&) noexcept = default;
    bad_expected_access(bad_expected_access&&) noexcept = default;
    bad_expected_access& operator=(const bad_expected_access&) noexcept = default;
    bad_expected_access& operator=(bad_expected_access&&) noexcept = default;
    ///@}
    ~bad_expected_access() override;

    /// "Bad expected access"; static lifetime.
    const char* what() const noexcept override;
};

/// The same, carrying the error that the expected held instead of a value. Derives publicly
/// from bad_expected_access<void>, so that one handler catches every E.
template <class E>
class bad_expected_access
// Doxygen takes a primary template derived from its own specialisation for a recursive
// relation; the reference states the base in the text above instead.
#ifndef VORN_CORE_DOXYGEN
    : public bad_expected_access<void>
#endif
{
  public:
    /// Carries `e`.
    explicit bad_expected_access(E e) : error_(std::move(e)) {}

    /// The carried error.
    ///@{
    const E& error() const& noexcept {
        return error_;
    }
    E& error() & noexcept {
        return error_;
    }
    const E&& error() const&& noexcept {
        return std::move(error_);
    }
    E&& error() && noexcept {
        return std::move(error_);
    }
    ///@}

  private:
    E error_;
};

/// The tag type of `nullopt`: an empty value meaning "no value".
struct nullopt_t {
    struct construct_tag {};
    /// Made only from a construct_tag; callers use the one object, `nullopt`.
    explicit constexpr nullopt_t(construct_tag) noexcept {}
};

/// The one nullopt object.
VORN_CORE_API extern const nullopt_t nullopt;

}  // namespace vorn::core::v2

#endif  // VORN_CORE_ERROR_HPP
