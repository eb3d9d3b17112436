// vorn/core/binary_encoding.hpp: streaming binary-to-text encoders and decoders, Base64 and
// hexadecimal.
//
// An encoder takes bytes in any number of pieces and gives the complete text on finish(); a
// decoder takes text in any number of pieces and gives the complete bytes. Where the pieces
// are split never matters. Decoding is strict: a text that is not exactly what the encoder
// writes (Base64 with "=" padding and no whitespace; hex digits in pairs, either case) is
// refused, and a refused text decodes to an empty byte_array.
//
//   namespace vc = vorn::core::v2;
//   std::string text = vc::binary_encoder::encode(vc::binary_encoding::base64, bytes);
//
//   vc::binary_decoder decoder(vc::binary_encoding::base64);
//   decoder.add_string("Zm9v");
//   decoder.add_string("YmE=");
//   vc::byte_array decoded = decoder.finish();   // "fooba"; empty if the text was refused
#ifndef VORN_CORE_BINARY_ENCODING_HPP
#define VORN_CORE_BINARY_ENCODING_HPP

#include <cstddef>
#include <cstdint>
#include <string>

#include "vorn/core/byte_array.hpp"
#include "vorn/core/export.hpp"

namespace vorn::core::v2 {

// The text form. Any other value is refused with std::logic_error by the constructors and the
// one-shot functions below.
enum class binary_encoding : std::uint32_t {
    hex = 0,     // two lower-case digits per byte; decoding accepts either case
    base64 = 1,  // RFC 4648 section 4: standard alphabet, "=" padding, no line breaks
};

namespace detail {
struct binary_encoder_impl;
struct binary_decoder_impl;
}  // namespace detail

// Turns bytes into text, fed in any number of pieces.
class VORN_CORE_API binary_encoder {
  public:
    // An encoder with no input yet. Throws std::logic_error for an invalid `encoding`, and
    // std::bad_alloc.
    explicit binary_encoder(binary_encoding encoding);
    // An independent copy: continuing either stream does not affect the other.
    binary_encoder(const binary_encoder& other);
    ~binary_encoder();
    // Makes this encoder an independent copy of `other`. On an exception it is unchanged.
    binary_encoder& operator=(const binary_encoder& other);

    // Feeds `size` bytes (none when size is 0). Throws std::bad_alloc or std::length_error;
    // the encoder may then only be destroyed or assigned.
    void add_data(const unsigned char* data, std::size_t size);
    void add_data(const byte_array& data);

    // The complete text of everything fed since construction. Changes nothing: it may be
    // called again, and feeding may go on, a later finish() covering all of it.
    std::string finish() const;

    // The text of `size` bytes, in one call.
    static std::string encode(binary_encoding encoding, const unsigned char* data,
                              std::size_t size);
    static std::string encode(binary_encoding encoding, const byte_array& data);

  private:
    detail::binary_encoder_impl* impl_;
};

// Turns text back into bytes, fed in any number of pieces.
class VORN_CORE_API binary_decoder {
  public:
    // A decoder with no input yet. Throws std::logic_error for an invalid `encoding`, and
    // std::bad_alloc.
    explicit binary_decoder(binary_encoding encoding);
    // An independent copy: continuing either stream does not affect the other.
    binary_decoder(const binary_decoder& other);
    ~binary_decoder();
    // Makes this decoder an independent copy of `other`. On an exception it is unchanged.
    binary_decoder& operator=(const binary_decoder& other);

    // Feeds `size` characters (none when size is 0). A character that can never be part of a
    // valid text refuses the whole stream for good, whatever is fed later. Throws
    // std::bad_alloc or std::length_error; the decoder may then only be destroyed or assigned.
    void add_string(const char* text, std::size_t size);
    void add_string(const std::string& text);
    // `text` is NUL-terminated and not null.
    void add_string(const char* text);

    // The bytes of everything fed since construction, or an empty array when the text is
    // refused. A text that merely ends early (a Base64 group short of four characters, an
    // unpaired hex digit) gives an empty array now, and feeding the rest completes it.
    // Changes nothing: it may be called again, and feeding may go on.
    byte_array finish() const;

    // The bytes of `text`, or an empty array when it is refused, in one call.
    static byte_array decode(binary_encoding encoding, const char* text, std::size_t size);
    static byte_array decode(binary_encoding encoding, const std::string& text);
    // `text` is NUL-terminated and not null.
    static byte_array decode(binary_encoding encoding, const char* text);

  private:
    detail::binary_decoder_impl* impl_;
};

}  // namespace vorn::core::v2

#endif  // VORN_CORE_BINARY_ENCODING_HPP
