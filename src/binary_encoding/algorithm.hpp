// The interface every encoding algorithm implements, and the two algorithms.
//
// An algorithm is a stateless object; all streaming state lives in the encoder or decoder
// that calls it. Input arrives as an array of chunks read as one stream: the leftover of
// the previous call first, the new input second, never copied together.
#ifndef VORN_CORE_SRC_BINARY_ENCODING_ALGORITHM_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_ALGORITHM_HPP

#include <cstdint>
#include <string>

#include "vorn/core/binary_encoding.hpp"
#include "vorn/core/byte_array.hpp"

#include "binary_encoding/chunks.hpp"

namespace vorn::core::v2::detail {

class binary_encoding_algorithm_base {
  public:
    virtual ~binary_encoding_algorithm_base();

    // The complete text: `text` followed by the encoding of `leftover` with the algorithm's
    // end marking. What is added depends on `leftover` alone.
    virtual std::string finish_encoded_string(const std::string& text,
                                              const byte_array& leftover) const = 0;
    // Appends the encoding of every whole group of the chunk stream to `text` and returns the
    // bytes that do not fill a group yet.
    virtual byte_array update_encoded_string(std::string& text, const data_chunk* chunks,
                                             std::uint32_t count) const = 0;
    // The complete bytes: `bytes` followed by the decoding of `leftover`, or an empty array
    // when the text is refused. A non-empty leftover either adds at least one byte or
    // refuses the text.
    virtual byte_array finish_decoded_bytes(const byte_array& bytes,
                                            const std::string& leftover) const = 0;
    // Appends the decoding of the chunk stream to `bytes` and returns the characters held
    // back for later. A refused stream empties `bytes` and returns a leftover that keeps it
    // refused whatever follows.
    virtual std::string update_decoded_bytes(byte_array& bytes, const data_chunk* chunks,
                                             std::uint32_t count) const = 0;

    binary_encoding_algorithm_base(const binary_encoding_algorithm_base&) = delete;
    binary_encoding_algorithm_base& operator=(const binary_encoding_algorithm_base&) = delete;

  protected:
    constexpr binary_encoding_algorithm_base() noexcept = default;
};

namespace binary_encoding_algorithms {

// Lower-case hexadecimal, two digits per byte. The encoding leftover is always empty; the
// decoding leftover is at most one character.
class hex final : public binary_encoding_algorithm_base {
  public:
    constexpr hex() noexcept = default;
    ~hex() override;
    std::string finish_encoded_string(const std::string& text,
                                      const byte_array& leftover) const override;
    byte_array update_encoded_string(std::string& text, const data_chunk* chunks,
                                     std::uint32_t count) const override;
    byte_array finish_decoded_bytes(const byte_array& bytes,
                                    const std::string& leftover) const override;
    std::string update_decoded_bytes(byte_array& bytes, const data_chunk* chunks,
                                     std::uint32_t count) const override;
};

// Base64 with "=" padding and no line breaks. The encoding leftover is at most 2 bytes; the
// decoding leftover at most 4 characters (an incomplete group, or a padded final group).
class base64 final : public binary_encoding_algorithm_base {
  public:
    constexpr base64() noexcept = default;
    ~base64() override;
    // More than 2 leftover bytes cannot come from update_encoded_string: the process ends
    // with a message on standard error.
    std::string finish_encoded_string(const std::string& text,
                                      const byte_array& leftover) const override;
    byte_array update_encoded_string(std::string& text, const data_chunk* chunks,
                                     std::uint32_t count) const override;
    byte_array finish_decoded_bytes(const byte_array& bytes,
                                    const std::string& leftover) const override;
    std::string update_decoded_bytes(byte_array& bytes, const data_chunk* chunks,
                                     std::uint32_t count) const override;
};

}  // namespace binary_encoding_algorithms

// The instance of an algorithm. Throws std::logic_error for a value that names none.
const binary_encoding_algorithm_base* get_algorithm(binary_encoding encoding);

}  // namespace vorn::core::v2::detail

#endif
