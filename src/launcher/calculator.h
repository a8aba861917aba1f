// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

// The one-line calculator and the conversions of the list's text.
namespace calculator {
enum class Action
{
    Nothing,  // no operator and not launched
    Launch,   // handed to the shell as it is
    Evaluate, // computed with `mark`
};

struct Decision
{
    Action action = Action::Nothing;
    QChar mark; // the operator, for Evaluate
};

// Enter or F11 on a text: launched when it begins with a letter A-Z (either case) or one of
// "+", "/", "*", "-"; otherwise computed with the first of "+", "-", "*", "/", "%" it contains.
Decision decide(QStringView text);

// Splits the text at the first `mark`, reads both operands by the prefix rule and computes.
// Throws CommandError 11 for a division or remainder by zero, 6 for an overflow.
QString calValue(QStringView text, QChar mark);

// The conversions of the `hides` menu by key (h8, h10, h16, ucase, lcase). Throws CommandError 13
// or 6 for a text that is not a number or does not fit.
QString convert(const QString &key, const QString &text);
} // namespace calculator
