// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers.h"

#include "core/commanderror.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

// How numbers are read and written here, and why:
//
// - Digits, signs, the period, the exponent letters and the "&H"/"&O" prefixes are ASCII only. A
//   full-width digit is not a digit: reading an operand stops there, and the general conversion calls
//   such a text not a number. The decimal point is always ".", never the locale's, so a result the
//   calculator writes can be read back by it on every system.
// - The letter D introduces an exponent just like E (1.5D3 is 1500), in operands and in the general
//   conversion alike.
// - "&H" and "&O" texts are whole numbers in 32-bit two's complement: a value from &H80000000 to
//   &HFFFFFFFF (&O20000000000 to &O37777777777) is negative, so what toHexText and toOctalText write
//   for a negative value reads back as that value. Short texts are not taken as 16-bit values (the old
//   runtimes read &HFFFF as -1): 65535 is written &HFFFF and must read back as 65535. A value beyond
//   32 bits does not fit: the general conversion reports an overflow, while an operand (which never
//   fails) reads as the plain unsigned value.
// - Operands never fail: a digit string too long for a double reads as infinity (or 0 when too
//   small), and the calculator reports the overflow when it looks at its result.
// - Decimal, the exact type behind h10, keeps the whole-number part exactly (up to 2^96 - 1) and rounds
//   further fraction digits half to even so that at most 28 significant digits remain (never more
//   than 28 places). It keeps the scale the text was written with (12.50 has scale 2), but writing a
//   Decimal drops trailing fraction zeros, as the old runtimes did: 12.50 is written 12.5.

namespace numbers {
namespace {

using u128 = unsigned __int128;

constexpr u128 decimalLimit = (u128(1) << 96); // first magnitude a Decimal cannot hold

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int hexValue(QChar c)
{
    if (isDigit(c))
        return c.unicode() - u'0';
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    return -1;
}

// A number as read from a text, before it is made a double, a Decimal or a whole number.
struct Scanned
{
    bool radix = false; // an "&H"/"&O" text
    // Radix texts: the value read as unsigned; `wide` when it is beyond 32 bits (then only `wideValue`,
    // a double approximation, is kept).
    std::uint32_t bits = 0;
    bool wide = false;
    double wideValue = 0;
    // Decimal texts: the value is (digits as a whole number) * 10^exp10, negated when `negative`.
    bool negative = false;
    std::string digits; // ASCII digits, leading zeros removed
    std::int64_t exp10 = 0;
};

// Reads the longest number at the start of `text` from `pos` on and moves `pos` past it. Returns false
// (leaving `pos`) when there is no number there. A part that does not complete a number (an exponent
// letter without digits, "&H" without digits) is not taken.
bool scan(QStringView text, qsizetype &pos, Scanned &out)
{
    const qsizetype n = text.size();
    qsizetype i = pos;
    out = Scanned{};

    if (i + 1 < n && text[i] == u'&') {
        const QChar kind = text[i + 1];
        const int base = (kind == u'H' || kind == u'h') ? 16 : (kind == u'O' || kind == u'o') ? 8 : 0;
        if (base == 0)
            return false;
        qsizetype j = i + 2;
        std::uint64_t value = 0;
        double approx = 0;
        for (; j < n; ++j) {
            const int d = hexValue(text[j]);
            if (d < 0 || d >= base)
                break;
            approx = approx * base + d;
            if (value <= 0xFFFFFFFFu)
                value = value * std::uint64_t(base) + std::uint64_t(d);
        }
        if (j == i + 2)
            return false;
        out.radix = true;
        out.wide = value > 0xFFFFFFFFu;
        out.bits = std::uint32_t(value);
        out.wideValue = approx;
        pos = j;
        return true;
    }

    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        out.negative = text[i] == u'-';
        ++i;
    }
    std::string digits;
    std::int64_t fractionDigits = 0;
    bool any = false;
    for (; i < n && isDigit(text[i]); ++i) {
        any = true;
        if (!digits.empty() || text[i] != u'0')
            digits.push_back(char(text[i].unicode()));
    }
    if (i < n && text[i] == u'.') {
        ++i;
        for (; i < n && isDigit(text[i]); ++i) {
            any = true;
            ++fractionDigits;
            if (!digits.empty() || text[i] != u'0')
                digits.push_back(char(text[i].unicode()));
        }
    }
    if (!any)
        return false;

    std::int64_t exponent = 0;
    if (i < n) {
        const QChar e = text[i];
        if (e == u'E' || e == u'e' || e == u'D' || e == u'd') {
            qsizetype j = i + 1;
            bool negativeExponent = false;
            if (j < n && (text[j] == u'+' || text[j] == u'-')) {
                negativeExponent = text[j] == u'-';
                ++j;
            }
            const qsizetype first = j;
            std::int64_t value = 0;
            for (; j < n && isDigit(text[j]); ++j) {
                // Beyond a billion the value is out of every range anyway; keep the sum from wrapping.
                if (value < 1'000'000'000)
                    value = value * 10 + (text[j].unicode() - u'0');
            }
            if (j > first) {
                exponent = negativeExponent ? -value : value;
                i = j;
            }
        }
    }

    out.digits = std::move(digits);
    out.exp10 = exponent - fractionDigits;
    pos = i;
    return true;
}

// The decimal digits and exponent as the nearest double; infinity and 0 where the value is beyond the
// double range. Never fails.
double decimalToDouble(const Scanned &s)
{
    if (s.digits.empty())
        return s.negative ? -0.0 : 0.0;
    // The value lies in [10^(magnitude-1), 10^magnitude).
    const std::int64_t magnitude = std::int64_t(s.digits.size()) + s.exp10;
    double value = 0;
    if (magnitude > 310) {
        value = std::numeric_limits<double>::infinity();
    } else if (magnitude < -330) {
        value = 0;
    } else {
        const std::string text = s.digits + 'e' + std::to_string(s.exp10);
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec == std::errc::result_out_of_range)
            value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        else if (ec != std::errc())
            value = 0;
    }
    return s.negative ? -value : value;
}

// (digits * 10^exp10) * 10^scale rounded to a whole number, a half to the even neighbour. Returns false
// when the result has more than 38 digits (more than the calculations here ever need).
bool roundToScale(const std::string &digits, std::int64_t exp10, std::int64_t scale, u128 &out)
{
    out = 0;
    if (digits.empty())
        return true;
    const std::int64_t shift = exp10 + scale;
    const std::int64_t size = std::int64_t(digits.size());
    const std::int64_t kept = size + shift; // digits left of the point after scaling
    if (kept > 38)
        return false;
    if (shift >= 0) {
        for (char c : digits)
            out = out * 10 + u128(c - '0');
        for (std::int64_t k = 0; k < shift; ++k)
            out *= 10;
        return true;
    }
    for (std::int64_t k = 0; k < kept; ++k)
        out = out * 10 + u128(digits[std::size_t(k)] - '0');
    // The first dropped digit decides; the ones after it only break a tie.
    const char first = kept >= 0 ? digits[std::size_t(kept)] : '0';
    bool beyondHalf = false;
    for (std::int64_t k = std::max<std::int64_t>(kept + 1, 0); k < size && !beyondHalf; ++k)
        beyondHalf = digits[std::size_t(k)] != '0';
    if (first > '5' || (first == '5' && (beyondHalf || (out & 1) != 0)))
        ++out;
    return true;
}

Decimal decimalFromMagnitude(u128 magnitude, int scale, bool negative)
{
    Decimal d;
    d.lo = std::uint32_t(magnitude);
    d.mid = std::uint32_t(magnitude >> 32);
    d.hi = std::uint32_t(magnitude >> 64);
    d.scale = scale;
    d.negative = negative && magnitude != 0;
    return d;
}

// The general conversion's reading: the whole text, blanks around it allowed.
Scanned scanWhole(QStringView text)
{
    const auto blankAround = [](QChar c) { return isBlank(c) || c == u'\r'; };
    qsizetype begin = 0, end = text.size();
    while (begin < end && blankAround(text[begin]))
        ++begin;
    while (end > begin && blankAround(text[end - 1]))
        --end;
    const QStringView number = text.sliced(begin, end - begin);
    Scanned s;
    qsizetype pos = 0;
    if (!scan(number, pos, s) || pos != number.size())
        throw commandError(ErrorNumber::TypeMismatch);
    if (s.radix && s.wide)
        throw commandError(ErrorNumber::Overflow);
    return s;
}

QString radixText(std::int32_t value, int base, QChar letter)
{
    QString text = QString::number(std::uint32_t(value), base).toUpper();
    text.prepend(letter);
    text.prepend(u'&');
    return text;
}

} // namespace

double readPrefix(QStringView text)
{
    QString compact;
    compact.reserve(text.size());
    for (QChar c : text) {
        if (!isBlank(c))
            compact.append(c);
    }
    Scanned s;
    qsizetype pos = 0;
    if (!scan(compact, pos, s))
        return 0;
    if (s.radix)
        return s.wide ? s.wideValue : double(std::int32_t(s.bits));
    return decimalToDouble(s);
}

double toDouble(QStringView text)
{
    const Scanned s = scanWhole(text);
    if (s.radix)
        return double(std::int32_t(s.bits));
    const double value = decimalToDouble(s);
    if (std::isinf(value))
        throw commandError(ErrorNumber::Overflow);
    return value;
}

Decimal toDecimal(QStringView text)
{
    const Scanned s = scanWhole(text);
    if (s.radix) {
        const std::int32_t value = std::int32_t(s.bits);
        return decimalFromMagnitude(value < 0 ? u128(-std::int64_t(value)) : u128(value), 0, value < 0);
    }
    // Places as written, then as many as the 28-digit rule leaves (the whole-number part is never cut).
    const std::int64_t written = std::max<std::int64_t>(0, -s.exp10);
    const std::int64_t wholeDigits = std::int64_t(s.digits.size()) + s.exp10;
    const std::int64_t scale = std::min({written, std::int64_t(28), std::max<std::int64_t>(0, 28 - wholeDigits)});
    u128 magnitude = 0;
    if (!roundToScale(s.digits, s.exp10, scale, magnitude) || magnitude >= decimalLimit)
        throw commandError(ErrorNumber::Overflow);
    return decimalFromMagnitude(magnitude, int(scale), s.negative);
}

std::int32_t toInt32(QStringView text)
{
    const Scanned s = scanWhole(text);
    if (s.radix)
        return std::int32_t(s.bits);
    // Rounded from the digits themselves, so a tie is a tie only when the text says so exactly.
    u128 magnitude = 0;
    const u128 limit = s.negative ? u128(0x80000000u) : u128(0x7FFFFFFFu);
    if (!roundToScale(s.digits, s.exp10, 0, magnitude) || magnitude > limit)
        throw commandError(ErrorNumber::Overflow);
    const std::int64_t value = std::int64_t(magnitude);
    return std::int32_t(s.negative ? -value : value);
}

std::int32_t roundToInt32(double value)
{
    if (std::isnan(value))
        throw commandError(ErrorNumber::Overflow);
    double whole = std::floor(value);
    const double rest = value - whole; // exact for every finite double
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0))
        whole += 1;
    if (!(whole >= -2147483648.0 && whole <= 2147483647.0))
        throw commandError(ErrorNumber::Overflow);
    return std::int32_t(whole);
}

QString toText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
    if (value == 0)
        return QStringLiteral("0"); // -0 too

    // Round to 15 significant digits first; the notation depends on the rounded exponent, so
    // 999999999999999.5 becomes 1E+15.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific, 14);
    const std::string scientific(buffer, result.ptr);
    const std::size_t e = scientific.find('e');
    std::string digits = scientific.substr(0, 1) + scientific.substr(2, e - 2);
    const int exponent = std::stoi(scientific.substr(e + 1));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = value < 0 ? "-" : "";
    if (exponent >= -4 && exponent <= 14) {
        if (exponent < 0) {
            out += "0." + std::string(std::size_t(-exponent - 1), '0') + digits;
        } else {
            const std::size_t whole = std::size_t(exponent) + 1;
            if (digits.size() <= whole) {
                out += digits + std::string(whole - digits.size(), '0');
            } else {
                out += digits.substr(0, whole) + '.' + digits.substr(whole);
            }
        }
    } else {
        out += digits.substr(0, 1);
        if (digits.size() > 1)
            out += '.' + digits.substr(1);
        std::string exponentDigits = std::to_string(std::abs(exponent));
        if (exponentDigits.size() < 2)
            exponentDigits.insert(0, 1, '0');
        out += (exponent < 0 ? "E-" : "E+") + exponentDigits;
    }
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

QString toText(const Decimal &value)
{
    u128 magnitude = (u128(value.hi) << 64) | (u128(value.mid) << 32) | u128(value.lo);
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    const std::size_t scale = std::size_t(std::clamp(value.scale, 0, 28));
    if (digits.size() <= scale)
        digits.insert(0, scale + 1 - digits.size(), '0');
    std::string whole = digits.substr(0, digits.size() - scale);
    std::string fraction = digits.substr(digits.size() - scale);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    std::string out = whole;
    if (!fraction.empty())
        out += '.' + fraction;
    if (value.negative && out != "0")
        out.insert(0, 1, '-');
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

QString toOctalText(std::int32_t value)
{
    return radixText(value, 8, u'O');
}

QString toHexText(std::int32_t value)
{
    return radixText(value, 16, u'H');
}

} // namespace numbers
