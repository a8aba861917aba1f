// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// The text window's conversions and character counts, over the program's text (line breaks CR LF).
namespace textConv {
QString properCase(QStringView text);
QString upperCase(QStringView text);
QString lowerCase(QStringView text);
QString widen(QStringView text);
QString narrow(QStringView text);
QString toHiragana(QStringView text);
QString toKatakana(QStringView text);
// Half-width katakana to full-width katakana, every other character left alone.
QString wideKana(const QString &text);

// Counts 1 and 2: the characters of a text once every CR LF pair is removed.
qsizetype displayedLength(QStringView text);
// F(n): digits grouped by three with commas, nothing at all for 0.
QString groupedCount(qint64 n);
// The two count messages.
QString countMessageWhole(qint64 n);
QString countMessageSelection(qint64 n);
// Count 3: the input box prompt for R characters after the caret.
QString countPrompt(qint64 charactersAfterCaret);
// Count 3: the selection length an answer asks for, or nothing when the answer is not a number
// (blanks around it, an optional sign, digits with an optional decimal part), rounded half to
// even and kept within 0..charactersAfterCaret.
std::optional<int> selectionLengthFor(const QString &answer, qint64 charactersAfterCaret);
} // namespace textConv
