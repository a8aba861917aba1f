// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

// The number rules the calculator and the base conversions rest on.
namespace numbers {
// Reading an operand (the numeric-prefix rule): blanks, tabs and line feeds are skipped anywhere;
// then an optional sign, digits, one period and an exponent (E or D, optional sign, digits) are
// taken, or a "&H"/"&O" whole number; reading stops at the first character that does not fit.
// Nothing readable gives 0.
double readPrefix(QStringView text);

// An exact decimal of up to 28 significant digits: a 96-bit magnitude with a scale (digits after
// the point, 0..28) and a sign.
struct Decimal
{
    std::uint32_t lo = 0, mid = 0, hi = 0; // magnitude, least significant word first
    int scale = 0;
    bool negative = false;
};

// The general text-to-number conversion: the whole text (blanks around it allowed) must be a
// number, decimal with sign, point and exponent, or "&H"/"&O". Throws CommandError 13 when it is
// not a number, 6 when the value does not fit.
double toDouble(QStringView text);
Decimal toDecimal(QStringView text);
// The value brought to the nearest signed 32-bit whole number, a half to the even neighbour.
std::int32_t toInt32(QStringView text);
// A double brought to the nearest signed 32-bit whole number, a half to the even neighbour.
// Throws CommandError 6 when it does not fit.
std::int32_t roundToInt32(double value);

// A result written with at most 15 significant digits, trailing zeros and a trailing point dropped;
// plain notation for decimal exponents -4 to 14, otherwise mantissa, "E", sign and at least two
// exponent digits (1E+15, 1E-05).
QString toText(double value);

// A decimal in plain notation, without exponent.
QString toText(const Decimal &value);

// "&O" and octal digits, "&H" and upper-case hexadecimal digits; negative values in two's complement.
QString toOctalText(std::int32_t value);
QString toHexText(std::int32_t value);
} // namespace numbers
