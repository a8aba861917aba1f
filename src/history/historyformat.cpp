// SPDX-License-Identifier: GPL-3.0-or-later
#include "historyformat.h"

#include <algorithm>

namespace historyformat {
namespace {
const QString crlf = QStringLiteral("\r\n");

QString marker()
{
    return QString::fromLatin1(markerBytes, markerLength);
}
} // namespace

QString numberText(int number)
{
    return QStringLiteral("%1").arg(number, numberDigits, 10, QLatin1Char('0'));
}

int lineNumber(const char *line, qint64 length)
{
    if (length < numberDigits)
        return -1;
    int n = 0;
    for (int i = 0; i < numberDigits; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return -1;
        n = n * 10 + (line[i] - '0');
    }
    return n;
}

bool isCutNumber(const char *line, qint64 length)
{
    if (length < 1 || length >= numberDigits)
        return false;
    return std::all_of(line, line + length, [](char c) { return c >= '0' && c <= '9'; });
}

QByteArray encodeText(QStringView text, CodePage page)
{
    QString part = text.toString();
    part.replace(crlf, marker());
    part.replace(QLatin1Char('\r'), marker());
    return codec::encode(part, page);
}

QByteArray encodeLine(int number, QStringView text, CodePage page)
{
    return numberText(number).toLatin1() + encodeText(text, page) + "\r\n";
}

QString markersToBreaks(QString text)
{
    return text.replace(marker(), crlf, Qt::CaseInsensitive);
}

QString decodeText(QByteArrayView bytes, bool cut)
{
    QString text = codec::decode(bytes, cut);
    // A text that began with U+FEFF keeps it: the UTF-8 decoder takes it for a byte order mark.
    if (bytes.startsWith("\xEF\xBB\xBF") && !text.startsWith(QChar(0xFEFF)))
        text.prepend(QChar(0xFEFF));
    return markersToBreaks(text);
}

bool isCurrentEntry(const QString &clipboardText, const QString &listText)
{
    // Only the start can matter, and a copy may be megabytes: a line break written as a marker takes
    // three times the characters it stands for, so four times the shown length is always enough.
    return markersToBreaks(clipboardText.left(4 * maxEntryLength))
               .left(maxEntryLength)
               .compare(listText, Qt::CaseInsensitive) == 0;
}

bool isSameText(const QString &clipboardText, const QString &whole)
{
    return markersToBreaks(clipboardText).compare(whole, Qt::CaseInsensitive) == 0;
}

QString displayText(const QString &itemText)
{
    QString shown = itemText;
    shown.replace(crlf, QStringLiteral("\u21B5"));
    shown.replace(QLatin1Char('\r'), QChar(0x21B5));
    shown.replace(QLatin1Char('\n'), QChar(0x21B5));
    return shown;
}
} // namespace historyformat
