// Growing the encoders' text and the decoders' bytes in place: room is made without filling
// it first, the codec writes straight into it, and what it did not use is given back.
#ifndef VORN_CORE_SRC_BINARY_ENCODING_OUTPUT_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_OUTPUT_HPP

#include <cstddef>
#include <cstdint>
#include <string>

#include "vorn/core/byte_array.hpp"

#include "binary_encoding/chunks.hpp"

namespace vorn::core::v2::detail {

// Appends at most `room` characters to `text`: `write` gets the address of the new room and
// `context`, writes there and returns how many characters it wrote. When the capacity must
// grow, it grows geometrically (a stream of appends costs amortised linear time) and keeps
// `spare` more characters free, for an end marking that may follow. Throws like
// std::string::append, with `text` unchanged.
void append_to_text(std::string& text, std::size_t room, std::size_t spare,
                    std::size_t (*write)(char* out, void* context) noexcept, void* context);

// A decoding step of a codec: decodes the chunk stream to `out`.
using decode_step = decode_outcome (*)(const data_chunk* chunks, std::uint32_t count,
                                       unsigned char* out) noexcept;

// append_to_text with a callable `write(char* out) noexcept -> std::size_t`.
template <class Write>
void append_to_text(std::string& text, std::size_t room, std::size_t spare, Write& write) {
    append_to_text(
        text, room, spare,
        [](char* out, void* context) noexcept { return (*static_cast<Write*>(context))(out); },
        &write);
}

// Appends the decoding of the chunk stream to `bytes`, written in place into at most `room`
// new bytes, and returns the characters held back. A refused stream empties `bytes` (and
// gives back its block). The capacity grows geometrically. Throws like byte_array::append,
// with `bytes` unchanged.
std::string decode_into(byte_array& bytes, const data_chunk* chunks, std::uint32_t count,
                        std::size_t room, decode_step decode);

}  // namespace vorn::core::v2::detail

#endif
