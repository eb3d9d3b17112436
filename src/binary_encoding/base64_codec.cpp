// SPDX-License-Identifier: MIT
// Base64 over streams of chunks: the whole groups go to a kernel; the groups split between
// chunks, the end marking and the padding rules are handled here.
#include "binary_encoding/base64_codec.hpp"

#include <cstring>

#include "binary_encoding/tables.hpp"

namespace vorn::core::v2::detail {

std::size_t base64_encoded_size(const data_chunk* chunks, std::uint32_t count) {
    // total / 3 * 4 never exceeds SIZE_MAX.
    return total_size(chunks, count) / 3 * 4;
}

base64_carry base64_encode_update(const base64_kernels& kernels, const data_chunk* chunks,
                                  std::uint32_t count, char* out) noexcept {
    base64_carry carry;
    unsigned char group[3];
    std::size_t filled = 0;
    for (std::uint32_t c = 0; c < count; ++c) {
        const unsigned char* p = chunks[c].data;
        std::size_t n = chunks[c].size;
        if (n == 0) {
            continue;
        }
        if (filled != 0) {
            // The group that straddles the chunks, put together from both.
            while (filled < 3 && n != 0) {
                group[filled++] = *p++;
                --n;
            }
            if (filled < 3) {
                continue;
            }
            (kernels.alphabet->url ? base64url_scalar_kernels : base64_scalar_kernels)
                .encode(group, 1, out);
            out += 4;
        }
        const std::size_t groups = n / 3;
        if (groups != 0) {
            kernels.encode(p, groups, out);
            out += 4 * groups;
            p += 3 * groups;
            n -= 3 * groups;
        }
        std::memcpy(group, p, n);
        filled = n;
    }
    std::memcpy(carry.bytes, group, filled);
    carry.size = filled;
    return carry;
}

std::size_t base64_encode_final(const unsigned char* carry, std::size_t size, char* out) noexcept {
    return base64_encode_final(standard_base64, carry, size, out);
}

std::size_t base64_encode_final(const base64_alphabet_spec& a, const unsigned char* carry,
                                std::size_t size, char* out) noexcept {
    if (size == 0) {
        return 0;
    }
    const unsigned b0 = carry[0];
    const unsigned b1 = size == 2 ? carry[1] : 0u;
    out[0] = a.chars[b0 >> 2];
    out[1] = a.chars[((b0 & 0x03u) << 4) | (b1 >> 4)];
    if (a.url) {
        // No padding: 2 characters for one byte, 3 for two.
        if (size == 2) {
            out[2] = a.chars[(b1 & 0x0Fu) << 2];
        }
        return size + 1;
    }
    out[2] = size == 2 ? a.chars[(b1 & 0x0Fu) << 2] : base64_padding;
    out[3] = base64_padding;
    return 4;
}

std::size_t base64_decoded_size_bound(const data_chunk* chunks, std::uint32_t count) {
    return total_size(chunks, count) / 4 * 3;
}

std::size_t base64_decoded_size_bound(std::size_t text_size) noexcept {
    // An unpadded final group of 2 or 3 characters gives 1 or 2 bytes.
    const std::size_t rest = text_size % 4;
    return text_size / 4 * 3 + (rest > 1 ? rest - 1 : 0);
}

decode_outcome base64_decode_update(const base64_kernels& kernels, const data_chunk* chunks,
                                    std::uint32_t count, unsigned char* out) noexcept {
    const base64_alphabet_spec& a = *kernels.alphabet;
    const base64_kernels& scalar = a.url ? base64url_scalar_kernels : base64_scalar_kernels;
    unsigned char* const start = out;
    char group[4];
    std::size_t filled = 0;
    bool padded = false;  // `group` is a padded group: the stream must end with it
    for (std::uint32_t c = 0; c < count; ++c) {
        const char* p = reinterpret_cast<const char*>(chunks[c].data);
        std::size_t n = chunks[c].size;
        if (n == 0) {
            continue;
        }
        if (padded) {
            return decode_outcome::refusal();  // characters after the padding
        }
        if (filled != 0) {
            while (filled < 4 && n != 0) {
                group[filled++] = *p++;
                --n;
            }
            if (filled < 4) {
                continue;
            }
            if (group[3] == base64_padding) {
                if (!valid_padded_group(a, group) || n != 0) {
                    return decode_outcome::refusal();
                }
                padded = true;
                continue;
            }
            if (!scalar.decode(group, 1, out)) {
                return decode_outcome::refusal();
            }
            out += 3;
        }
        const std::size_t groups = n / 4;
        if (groups != 0) {
            // Only the stream's last group may be padded; it is kept for the final step.
            const bool last_padded = p[4 * groups - 1] == base64_padding;
            const std::size_t body = last_padded ? groups - 1 : groups;
            if (!kernels.decode(p, body, out)) {
                return decode_outcome::refusal();
            }
            out += 3 * body;
            p += 4 * body;
            n -= 4 * body;
            if (last_padded) {
                if (!valid_padded_group(a, p) || n != 4) {
                    return decode_outcome::refusal();
                }
                std::memcpy(group, p, 4);
                filled = 4;
                padded = true;
                continue;
            }
        }
        std::memcpy(group, p, n);
        filled = n;
    }
    // An incomplete group that no continuation can make valid refuses the stream now, as it
    // would at the latest when finishing.
    if (!padded && !valid_group_start(a, group, filled)) {
        return decode_outcome::refusal();
    }
    decode_outcome outcome;
    outcome.written = static_cast<std::size_t>(out - start);
    outcome.leftover_size = filled;
    std::memcpy(outcome.leftover, group, filled);
    return outcome;
}

base64_final_bytes base64_decode_final(const char* leftover, std::size_t size) noexcept {
    return base64_decode_final(standard_base64, leftover, size);
}

base64_final_bytes base64_decode_final(const base64_alphabet_spec& a, const char* leftover,
                                       std::size_t size) noexcept {
    return base64_decode_final(a, leftover, size, {a.url, false});
}

base64_final_bytes base64_decode_final(const base64_alphabet_spec& a, const char* leftover,
                                       std::size_t size, base64_final_rules rules) noexcept {
    base64_final_bytes result;
    if (size == 0) {
        return result;
    }
    // A text with optional padding may end in an unpadded group of 2 or 3 characters;
    // anything else short of four is a truncated group (or a refused stream).
    const bool unpadded =
        rules.padding_optional && (size == 2 || (size == 3 && leftover[2] != base64_padding));
    if (size != 4 && !unpadded) {
        result.refused = true;
        return result;
    }
    const unsigned v0 = base64_value(a, leftover[0]);
    const unsigned v1 = base64_value(a, leftover[1]);
    unsigned v2 = 0;
    unsigned v3 = 0;
    if (unpadded) {
        if (size == 3) {
            v2 = base64_value(a, leftover[2]);
        }
        result.size = size - 1;
    } else if (leftover[3] != base64_padding) {
        v2 = base64_value(a, leftover[2]);
        v3 = base64_value(a, leftover[3]);
        result.size = 3;
    } else if (leftover[2] != base64_padding) {
        v2 = base64_value(a, leftover[2]);
        result.size = 2;
    } else {
        result.size = 1;
    }
    const unsigned last = result.size == 1 ? v1 : v2;
    if (((v0 | v1 | v2 | v3) & 0x80u) != 0 ||
        (rules.canonical && result.size < 3 && !base64_unused_bits_zero(last, result.size))) {
        result.size = 0;
        result.refused = true;
        return result;
    }
    const unsigned bits = (v0 << 18) | (v1 << 12) | (v2 << 6) | v3;
    result.bytes[0] = static_cast<unsigned char>(bits >> 16);
    result.bytes[1] = static_cast<unsigned char>(bits >> 8);
    result.bytes[2] = static_cast<unsigned char>(bits);
    return result;
}

}  // namespace vorn::core::v2::detail
