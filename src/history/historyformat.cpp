#include "historyformat.h"

#include "history/historyfile.h"

namespace historyformat {
bool isCurrentEntry(const QString &clipboardText, const QString &listText)
{
    // Only the start can matter, and a copy may be megabytes: a line break written as a marker takes
    // three times the characters it stands for, so four times the shown length is always enough.
    return HistoryFile::markersToBreaks(clipboardText.left(4 * HistoryFile::maxEntryLength))
               .left(HistoryFile::maxEntryLength)
               .compare(listText, Qt::CaseInsensitive) == 0;
}

bool isSameText(const QString &clipboardText, const QString &whole)
{
    return HistoryFile::markersToBreaks(clipboardText).compare(whole, Qt::CaseInsensitive) == 0;
}

QString displayText(const QString &itemText)
{
    QString shown = itemText;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\u21B5"));
    shown.replace(QLatin1Char('\r'), QChar(0x21B5));
    shown.replace(QLatin1Char('\n'), QChar(0x21B5));
    return shown;
}
} // namespace historyformat
