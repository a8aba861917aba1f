// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator.h"

#include "core/commanderror.h"
#include "launcher/numbers.h"

#include <cmath>

namespace calculator {
namespace {

// Launching looks at ASCII only: a full-width letter (Ａ) or sign does not make a text a command.
bool startsCommand(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'+' || c == u'/' || c == u'*' || c == u'-';
}

// Each code point by its simple (one-to-one) case mapping: every script that has case changes
// (Latin with full-width forms, Greek, Cyrillic...), kana and other caseless characters stay, and the
// text keeps its length (ß stays ß rather than becoming SS).
QString mapCase(const QString &text, bool upper)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        const char32_t mapped = upper ? QChar::toUpper(c) : QChar::toLower(c);
        out.append(QStringView(QChar::fromUcs4(mapped)));
    }
    return out;
}

} // namespace

Decision decide(QStringView text)
{
    if (text.isEmpty())
        return {};
    if (startsCommand(text.front()))
        return {Action::Launch, QChar()};
    for (QChar mark : {u'+', u'-', u'*', u'/', u'%'}) {
        if (text.contains(mark))
            return {Action::Evaluate, mark};
    }
    return {};
}

QString calValue(QStringView text, QChar mark)
{
    const qsizetype at = text.indexOf(mark);
    const QStringView leftText = at < 0 ? text : text.first(at);
    const QStringView rightText = at < 0 ? QStringView() : text.sliced(at + 1);
    const double left = numbers::readPrefix(leftText);
    const double right = numbers::readPrefix(rightText);

    if (mark == u'%') {
        const std::int32_t dividend = numbers::roundToInt32(left);
        const std::int32_t divisor = numbers::roundToInt32(right);
        if (divisor == 0)
            throw commandError(ErrorNumber::DivisionByZero);
        // The remainder takes the dividend's sign; -2147483648 % -1 is 0 (and must not be computed).
        const std::int32_t remainder = divisor == -1 ? 0 : dividend % divisor;
        return QString::number(remainder);
    }

    double result = 0;
    switch (mark.unicode()) {
    case u'+':
        result = left + right;
        break;
    case u'-':
        result = left - right;
        break;
    case u'*':
        result = left * right;
        break;
    case u'/':
        // 0/0 too is a division by zero to the user, not an overflow.
        if (right == 0)
            throw commandError(ErrorNumber::DivisionByZero);
        result = left / right;
        break;
    default:
        return text.toString();
    }
    // An operand too large for a double reads as infinity, so this covers overlong operands as well.
    if (!std::isfinite(result))
        throw commandError(ErrorNumber::Overflow);
    return numbers::toText(result);
}

QString convert(const QString &key, const QString &text)
{
    const auto is = [&key](QLatin1String name) { return key.compare(name, Qt::CaseInsensitive) == 0; };
    if (is(QLatin1String("h8")))
        return numbers::toOctalText(numbers::toInt32(text));
    if (is(QLatin1String("h16")))
        return numbers::toHexText(numbers::toInt32(text));
    if (is(QLatin1String("h10")))
        return numbers::toText(numbers::toDecimal(text));
    if (is(QLatin1String("ucase")))
        return mapCase(text, true);
    if (is(QLatin1String("lcase")))
        return mapCase(text, false);
    return text;
}

} // namespace calculator
