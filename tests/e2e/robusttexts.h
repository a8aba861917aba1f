// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Texts that the robustness test and its clipboard owner (clipowner) agree on. Each is UTF-8 as it
// goes over the desktop's clipboard, with the desktop's LF line breaks.
#include <QByteArray>

namespace robusttexts {
// The kill test's copies: distinct, numbered, some multi-line, some Japanese, now and then a large one.
inline QByteArray killText(int i)
{
    QByteArray text = QByteArrayLiteral("k") + QByteArray::number(i).rightJustified(5, '0') + '-';
    switch (i % 4) {
    case 0:
        text += "plain text";
        break;
    case 1:
        text += "line one\nline two\nline three";
        break;
    case 2:
        text += "日本語のテキスト「コピー」";
        break;
    default:
        text += "複数行の\n二行目\n三行目";
        break;
    }
    if (i % 25 == 24) {
        // About 200 KB: more than one X request, and a write of many pages.
        const QByteArray unit = QByteArrayLiteral(" 大きな項目 large entry ") + QByteArray::number(i);
        while (text.size() < 200 * 1024)
            text += unit;
    }
    return text;
}

// The number a kill-test text carries, or -1 when the bytes do not start like one.
inline int killTextIndex(const QByteArray &text)
{
    if (text.size() < 7 || text[0] != 'k' || text[6] != '-')
        return -1;
    bool ok = false;
    const int i = text.mid(1, 5).toInt(&ok);
    return ok ? i : -1;
}

// The burst's copies.
inline QByteArray burstText(int i)
{
    return QByteArrayLiteral("burst ") + QByteArray::number(i).rightJustified(3, '0');
}
} // namespace robusttexts
