#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Checks decimal round() and divide() against Python's decimal module.

Usage: python3 decimal_money_oracle.py <path to decimal_money_driver>

Generates a fixed set of cases (ties, values at the 64-bit limits, every rounding mode, zero
and extreme scales), runs them all through the driver in one call and compares its lines with
the expected ones. Exits 1 on any difference, printing the first ones with their input.
"""
import decimal
import random
import subprocess
import sys
from decimal import Decimal

INT64_MIN, INT64_MAX = -2**63, 2**63 - 1
INT16_MIN, INT16_MAX = -2**15, 2**15 - 1
INT32_MIN, INT32_MAX = -2**31, 2**31 - 1
# In rounding_mode order.
MODES = (decimal.ROUND_HALF_EVEN, decimal.ROUND_HALF_UP, decimal.ROUND_HALF_DOWN,
         decimal.ROUND_DOWN, decimal.ROUND_UP, decimal.ROUND_FLOOR, decimal.ROUND_CEILING)
# Enough digits for any coefficient a case can produce (scales reach about 2^15 places).
context = decimal.Context(prec=100000, Emax=10**6, Emin=-10**6, traps=[decimal.InvalidOperation])
if hasattr(sys, "set_int_max_str_digits"):
    sys.set_int_max_str_digits(0)  # the quotients at extreme scales have that many digits


def rounded(value, decimals, mode):
    """`value` (a Decimal) rounded to `decimals` places by the decimal module, as an integer
    count of units of the last place, or None when that count is beyond 64 bits."""
    result = value.quantize(Decimal(1).scaleb(-decimals), rounding=MODES[mode], context=context)
    units = result.scaleb(decimals, context)
    return int(units) if INT64_MIN <= units <= INT64_MAX else None


def quotient(number, factor, divisor, divisor_factor, decimals, mode):
    """The exact quotient rounded to `decimals` places, as an integer count of units.

    The decimal module is the reference for how each mode rounds; integers are used only to
    find the quotient, which need not terminate. At the target scale it is q + r/d, and only
    q, the sign and whether r/d is zero, below, at or above one half decide the result, so a
    terminating stand-in with the same q and the same kind of fraction rounds the same way.
    """
    shift = factor - divisor_factor + decimals
    numerator, denominator = number * 10**max(shift, 0), divisor * 10**max(-shift, 0)
    q, r = divmod(abs(numerator), abs(denominator))
    if q > 2**64:
        return None  # beyond 64 bits however it rounds
    twice, d = 2 * r, abs(denominator)
    fraction = "0" if r == 0 else "25" if twice < d else "5" if twice == d else "75"
    sign = "-" if (numerator < 0) != (denominator < 0) else ""
    return rounded(Decimal("%s%d.%s" % (sign, q, fraction)), 0, mode)


def expected(case):
    op, args = case[0], case[1:]
    if op == "r":
        number, factor, decimals, mode = args
        divisor, divisor_factor = 1, 0
    else:
        number, factor = args[0], args[1]
        divisor, divisor_factor = (args[2], args[3]) if op == "d" else (args[2], 0)
        decimals, mode = args[-2], args[-1]
        if divisor == 0:
            return "domain"
    if not INT16_MIN <= -decimals <= INT16_MAX:
        return "overflow"
    if op == "r":
        result = rounded(Decimal(number).scaleb(factor, context), decimals, mode)
    else:
        result = quotient(number, factor, divisor, divisor_factor, decimals, mode)
    return "overflow" if result is None else "%d %d" % (result, -decimals)


def check_quotients(rng):
    """The integer path agrees with Decimal.quantize wherever the quotient terminates."""
    for _ in range(20000):
        divisor = rng.choice((1, -1)) * 2**rng.randrange(8) * 5**rng.randrange(6)
        number = rng.randrange(-10**rng.randrange(1, 20), 10**rng.randrange(1, 20))
        factor, divisor_factor = rng.randrange(-8, 9), rng.randrange(-8, 9)
        decimals, mode = rng.randrange(-6, 12), rng.randrange(7)
        exact = context.divide(Decimal(number).scaleb(factor, context),
                               Decimal(divisor).scaleb(divisor_factor, context))
        reference = rounded(exact, decimals, mode)
        mine = quotient(number, factor, divisor, divisor_factor, decimals, mode)
        assert mine == reference, (number, factor, divisor, divisor_factor, decimals, mode)


def generate(rng):
    limits = [INT64_MIN, INT64_MIN + 1, INT64_MAX, INT64_MAX - 1, 0, 1, -1]
    limits += [s * (INT64_MAX // 10**k) for k in range(1, 19) for s in (1, -1)]

    def number():
        kind = rng.random()
        if kind < 0.06:
            return 0
        if kind < 0.18:
            value = rng.choice(limits) + rng.choice((0, 0, 0, 1, -1))
        else:
            value = rng.getrandbits(rng.randrange(1, 64)) * rng.choice((1, -1))
        return max(INT64_MIN, min(INT64_MAX, value))

    def decimals_for(digits):
        # Mostly a scale that keeps the result's number near the 64-bit range, else any.
        kind = rng.random()
        if kind < 0.01:
            return rng.choice((40, -40, 32767, 32768, 32769, -32767, -32768, INT32_MAX, INT32_MIN))
        if kind < 0.5:
            return rng.randrange(-5, 26)
        return rng.randrange(-2, 21) - digits

    def factor():
        if rng.random() < 0.003:
            return rng.choice((INT16_MIN, INT16_MAX))
        return rng.randrange(-30, 31)

    def tie(places):
        # A number whose `places` dropped digits are 5 followed by zeros, or one unit off that.
        kept = rng.randrange(10**max(0, 18 - places))
        value = kept * 10**places + 5 * 10**(places - 1) + rng.choice((0, 0, 0, 1, -1))
        return value * rng.choice((1, -1))

    def halves():
        # n / d whose exact value ends in a 5 at the place after the last kept one: with
        # d = 2^a 5^b c (b < a) it ends in that 5 at place a; or one unit off.
        a = rng.randrange(1, 8)
        c = rng.choice((1, 1, 3, 7, 9, 11, 13, 17, 1001, 65537))
        divisor = 2**a * 5**rng.randrange(a) * c * rng.choice((1, -1))
        n = (2 * rng.randrange(-10**6, 10**6) + 1) * c + rng.choice((0, 0, 0, 1, -1))
        return n, divisor, a - 1

    def near_limit():
        # n / d whose units at `places` places are within a few of a 64-bit limit.
        places = rng.randrange(1, 5)
        d = rng.randrange(2, 10**places + 1)
        target = rng.choice((INT64_MAX, INT64_MIN)) + rng.randrange(-2, 3)
        n = target * d // 10**places + rng.randrange(-1, 2)
        if rng.random() < 0.5:
            n, d = -n, -d
        return max(INT64_MIN, min(INT64_MAX, n)), d, places

    def divisor():
        kind = rng.random()
        if kind < 0.03:
            return 0
        if kind < 0.13:
            return rng.choice((1, -1))
        if kind < 0.23:
            return rng.choice(limits)
        if kind < 0.5:
            return rng.randrange(-1000, 1001) or 7
        return number() or 3

    cases = []
    for _ in range(72000):
        mode = rng.randrange(7)
        kind, f = rng.random(), factor()
        if kind < 0.3:
            places = rng.randrange(1, 19)
            cases.append(("r", tie(places), f, -f - places, mode))
        elif kind < 0.35:
            # Scaled up by 10^k to just inside or just past the 64-bit range.
            k = rng.randrange(1, 19)
            n = rng.choice((1, -1)) * (INT64_MAX // 10**k) + rng.choice((0, 1, -1))
            cases.append(("r", n, f, k - f, mode))
        else:
            n = number()
            cases.append(("r", n, f, decimals_for(len(str(abs(n))) + f), mode))
    for op, count in (("d", 30000), ("i", 18000)):
        for _ in range(count):
            mode = rng.randrange(7)
            df = rng.randrange(-30, 31) if op == "d" else 0
            kind = rng.random()
            if kind < 0.3:
                n, d, places = halves()
                f = rng.randrange(-12, 13)
                decimals = places - f + df
            elif kind < 0.36:
                n, d, places = near_limit()
                f = rng.randrange(-12, 13)
                decimals = places - f + df
            else:
                n, d, f = number(), divisor(), factor()
                digits = len(str(abs(n))) - len(str(abs(d))) + f - df
                decimals = decimals_for(digits)
            cases.append((op, n, f, d, df, decimals, mode) if op == "d" else
                         (op, n, f, d, decimals, mode))
    return cases


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: decimal_money_oracle.py <decimal_money_driver>")
    rng = random.Random(20261210)
    check_quotients(rng)
    cases = generate(rng)
    lines = [" ".join(map(str, case)) for case in cases]
    run = subprocess.run([sys.argv[1]], input="\n".join(lines) + "\n", capture_output=True,
                         text=True, check=False)
    if run.returncode != 0:
        sys.exit("driver failed (%d): %s" % (run.returncode, run.stderr))
    got = run.stdout.splitlines()
    if len(got) != len(cases):
        sys.exit("driver wrote %d lines for %d cases" % (len(got), len(cases)))
    mismatches = 0
    for line, case, result in zip(lines, cases, got):
        want = expected(case)
        if result != want:
            mismatches += 1
            if mismatches <= 20:
                print("%s: expected %s, got %s" % (line, want, result))
    print("%d cases, %d mismatches" % (len(cases), mismatches))
    return 1 if mismatches else 0


if __name__ == "__main__":
    sys.exit(main())
