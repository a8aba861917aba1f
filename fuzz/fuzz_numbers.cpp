// SPDX-License-Identifier: GPL-3.0-or-later
// The number rules and the calculator: any text read as an operand, converted, computed with.

#include "fuzzcommon.h"

#include "core/commanderror.h"
#include "launcher/calculator.h"
#include "launcher/numbers.h"

#include <cmath>
#include <initializer_list>

namespace {
bool oneOf(int number, std::initializer_list<int> expected)
{
    for (const int e : expected) {
        if (number == e)
            return true;
    }
    std::fprintf(stderr, "unexpected CommandError %d\n", number);
    return false;
}

void checkConversions(const QString &text)
{
    const double prefix = numbers::readPrefix(text);
    FUZZ_CHECK(!std::isnan(prefix));
    FUZZ_CHECK(!numbers::toText(prefix).isEmpty());
    try {
        (void)numbers::roundToInt32(prefix);
    } catch (const CommandError &e) {
        FUZZ_CHECK(oneOf(e.number, {ErrorNumber::Overflow}));
    }

    try {
        const double value = numbers::toDouble(text);
        FUZZ_CHECK(std::isfinite(value));
        const QString written = numbers::toText(value);
        // Fifteen significant digits read back within rounding (away from the ends of the range).
        if (value == 0 || (std::fabs(value) > 1e-300 && std::fabs(value) < 1e300)) {
            const double back = numbers::toDouble(written);
            FUZZ_CHECK(std::fabs(back - value) <= 1e-14 * std::fabs(value));
        }
    } catch (const CommandError &e) {
        FUZZ_CHECK(oneOf(e.number, {ErrorNumber::TypeMismatch, ErrorNumber::Overflow}));
    }

    try {
        const numbers::Decimal value = numbers::toDecimal(text);
        FUZZ_CHECK(value.scale >= 0 && value.scale <= 28);
        const QString written = numbers::toText(value);
        FUZZ_CHECK(numbers::toText(numbers::toDecimal(written)) == written);
    } catch (const CommandError &e) {
        FUZZ_CHECK(oneOf(e.number, {ErrorNumber::TypeMismatch, ErrorNumber::Overflow}));
    }

    try {
        const std::int32_t value = numbers::toInt32(text);
        FUZZ_CHECK(numbers::toInt32(numbers::toHexText(value)) == value);
        FUZZ_CHECK(numbers::toInt32(numbers::toOctalText(value)) == value);
        FUZZ_CHECK(numbers::toInt32(numbers::toText(double(value))) == value);
    } catch (const CommandError &e) {
        FUZZ_CHECK(oneOf(e.number, {ErrorNumber::TypeMismatch, ErrorNumber::Overflow}));
    }
}

void checkCalculator(const QString &text)
{
    const calculator::Decision decision = calculator::decide(text);
    switch (decision.action) {
    case calculator::Action::Nothing:
        break;
    case calculator::Action::Launch:
        FUZZ_CHECK(!text.isEmpty());
        break;
    case calculator::Action::Evaluate:
        FUZZ_CHECK(QStringLiteral("+-*/%").contains(decision.mark) && text.contains(decision.mark));
        break;
    }

    for (const char16_t mark : {u'+', u'-', u'*', u'/', u'%', u'x'}) {
        try {
            const QString result = calculator::calValue(text, QChar(mark));
            if (mark == u'x')
                FUZZ_CHECK(result == text);
        } catch (const CommandError &e) {
            FUZZ_CHECK(mark != u'x');
            FUZZ_CHECK(oneOf(e.number, {ErrorNumber::DivisionByZero, ErrorNumber::Overflow}));
        }
    }

    for (const char *key : {"h8", "h10", "h16", "H16", "ucase", "lcase", "LCase", "other"}) {
        const QString k = QString::fromLatin1(key);
        try {
            const QString result = calculator::convert(k, text);
            if (k.endsWith(QLatin1String("case"), Qt::CaseInsensitive))
                FUZZ_CHECK(result.size() == text.size());
            if (k == QLatin1String("other"))
                FUZZ_CHECK(result == text);
        } catch (const CommandError &e) {
            FUZZ_CHECK(k.startsWith(u'h', Qt::CaseInsensitive));
            FUZZ_CHECK(oneOf(e.number, {ErrorNumber::TypeMismatch, ErrorNumber::Overflow}));
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzz::textOf(fuzz::bytesOf(data, size));
    checkConversions(text);
    checkCalculator(text);
    return 0;
}
