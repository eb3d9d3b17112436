// SPDX-License-Identifier: MIT
// Misuses of a described category that must not compile, one per value of MISUSE; MISUSE 0
// is the valid category they all start from. Compiled (syntax only) by the status suite's
// CTest entries, which expect each misuse's own diagnostic.
#include "vorn/core/result.hpp"

namespace vc = vorn::core::v2;

struct ledger_error : vc::result::described_category<ledger_error> {
    static constexpr const char* name = "acme-ledger";
    static constexpr code<1> bad_amount{"The amount is not a decimal", "received"};
#if MISUSE == 1
    static constexpr code<1> bad_line{"The line is malformed", "line"};  // code given twice
#elif MISUSE == 2
    static constexpr code<0> bad_line{"The line is malformed", "line"};  // code 0
#else
    static constexpr code<2> bad_line{"The line is malformed", "line"};
#endif
    static constexpr code<3> unlisted{"Not in the list"};
    static constexpr auto codes = list(bad_amount, bad_line);
};

void push(vc::result::stack& status) {
#if MISUSE == 3
    status.push(ledger_error::bad_line, 1, 2);  // one value too many
#elif MISUSE == 4
    status.push(ledger_error::unlisted);                                 // a code left out of the list
#else
    status.push(ledger_error::bad_line, 1);
#endif
}
