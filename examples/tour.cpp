// SPDX-License-Identifier: MIT
// A walk through libvorn-core: the road of one typical request.
//
// Build and run it from the top of the source tree with
//   cmake --preset default && cmake --build --preset default --target tour &&
//   build/default/examples/tour
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

#include <vorn/core.hpp>

namespace vc = vorn::core::v2;

// A category of the tour's own: its codes, their messages and the names of their arguments.
struct tour_error : vc::result::described_category<tour_error> {
    static constexpr const char* name = "tour";
    static constexpr code<1> bad_request{"The request could not be read", "request"};
    static constexpr auto codes = list(bad_request);
};

// A caller reports what went wrong on a result::stack instead of throwing.
static vc::result::stack parse_count(const char* text) {
    vc::result::stack status;
    // ... imagine an integer conversion that finds `text` too large ...
    status.push(vc::integral_conversion_error::overflow, text);
    return status;
}

int main() {
    std::printf("libvorn-core %s (version number %d)\n\n", vc::get_version_string(),
                vc::get_version_number());

    // Status reporting: push a status with its arguments, read it back.
    std::printf("-- status reporting\n");
    vc::result::stack ok;
    std::printf("an empty stack: failed=%d, message \"%s\", category \"%s\"\n", ok.has_failed(),
                ok.get_message(), ok.get_category().get_name());

    vc::result::stack status = parse_count("123456789012345678901234567890");
    std::printf("after a failed conversion: failed=%d, code %d\n", status.has_failed(),
                status.get_value());
    std::printf("  message:  %s\n", status.get_message());
    std::printf("  category: %s\n", status.get_category().get_name());
    for (const vc::result::argument& a : status.get_argument_range()) {
        std::printf("  argument: %s = %s\n", a.get_name(), a.get_value());
    }

    // Byte storage: a byte_array collects bytes and text, and grows in one heap block.
    std::printf("\n-- byte storage\n");
    vc::byte_array bytes("GET ");
    bytes.append("/index.html").push_back(' ');
    bytes.insert(bytes.end(), {'H', 'T', 'T', 'P'});
    std::printf("%.*s (%zu bytes, capacity %zu)\n", static_cast<int>(bytes.size()),
                reinterpret_cast<const char*>(bytes.data()), bytes.size(), bytes.capacity());
    try {
        bytes.at(bytes.size());
    } catch (const std::out_of_range& e) {
        std::printf("at() past the end: %s\n", e.what());
    }

    // Binary encodings: the bytes travel as Base64 text and come back in two pieces.
    std::printf("\n-- binary encodings\n");
    const std::string encoded = vc::binary_encoder::encode(vc::binary_encoding::base64, bytes);
    std::printf("base64: %s\nhex:    %s\n", encoded.c_str(),
                vc::binary_encoder::encode(vc::binary_encoding::hex, bytes).c_str());
    vc::binary_decoder decoder(vc::binary_encoding::base64);
    decoder.add_string(encoded.substr(0, 5));
    decoder.add_string(encoded.substr(5));
    const vc::byte_array received = decoder.finish();
    std::printf("decoded in two pieces: %zu bytes, as sent: %d\n", received.size(),
                std::equal(received.begin(), received.end(), bytes.begin(), bytes.end()));
    std::printf("a malformed text decodes to %zu bytes\n",
                vc::binary_decoder::decode(vc::binary_encoding::base64, "Zm9v!mFy").size());
    const std::string pem = vc::binary_encoder::encode(vc::binary_encoding::base64,
                                                       encoded + encoded, vc::line_wrap::pem());
    std::printf("in PEM lines:\n%s", pem.c_str());
    vc::decode_status pem_status;
    const vc::byte_array unwrapped = vc::binary_decoder::decode(
        vc::binary_encoding::base64, pem, vc::decode_options::forgiving, pem_status);
    std::printf(
        "read forgivingly: %zu bytes, %s; canonically, \"Zm9=\" is %s\n", unwrapped.size(),
        vc::to_string(pem_status),
        vc::to_string(vc::binary_decoder::decode_to(vc::binary_encoding::base64, "Zm9=", nullptr, 0,
                                                    vc::decode_options::canonical)
                          .status));

    // Calendar and time: read a timestamp, see it at another offset, write it back.
    std::printf("\n-- calendar and time\n");
    const std::string stamp = "2024-03-10T12:34:56.789-03:00";
    vc::datetime when;
    vc::value_converter<vc::datetime>().make_value(when, stamp.data(), stamp.size());
    char text[32];
    std::size_t length = sizeof text;
    vc::chars_converter<vc::datetime>().make_chars(text, length, when.to_offset(0));
    std::printf("%s is %.*s, %lld ms after the epoch\n", stamp.c_str(), static_cast<int>(length),
                text, when.to_msecs_since_epoch());

    // The typical request: a malformed timestamp is refused, and the caller reports it.
    const std::string malformed = "2024-03-10 12:34:56";
    const vc::converter_status read =
        vc::value_converter<vc::datetime>().make_value(when, malformed.data(), malformed.size());
    std::printf("reading \"%s\" gives status %u\n", malformed.c_str(), static_cast<unsigned>(read));
    if (read != vc::converter_status::success) {
        vc::result::stack report;
        vc::result::stack::item& item = report.push_item(vc::error_datetime::instance(), 1);
        vc::error_datetime::instance().create(item, vc::result::code<vc::error_datetime, 1>(),
                                              malformed);
        std::printf("  failed:   %d\n", report.has_failed());
        std::printf("  message:  %s\n", report.get_message());
        std::printf("  category: %s\n", report.get_category().get_name());
        std::printf("  received-value: %s\n", item.get_argument_value("received-value"));

        // The caller's caller adds what it was doing, with the place of the push, and prints
        // the whole stack, newest first.
        report.push(vc::result::here(), tour_error::bad_request, 1);
        std::printf("%s\n", vc::result::to_string(report).c_str());
    }

    // Numbers and text: an exact sum, its text, a message filled in, and the time it took.
    std::printf("\n-- numbers and text\n");
    vc::stopwatch watch;
    watch.start();
    vc::decimal price(1990, -2);
    vc::decimal shipping(15, -1);
    const vc::decimal total = price + shipping;
    vc::text_formatter message =
        vc::text_formatter::parser("Olá {0}, seu pedido de {1} itens soma R$ {2: 2 casas}.");
    std::printf("placeholder 2 has parameters: %d\n", message.has_arg_args(2));
    message.bind(0, "Ana").bind(1, 3).bind(2, total.to_string(2, ','));
    std::printf("%s\n", message.make_string().c_str());
    std::printf("took %lld ms\n", static_cast<long long>(watch.split()));
    return 0;
}
