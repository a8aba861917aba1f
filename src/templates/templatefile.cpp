// SPDX-License-Identifier: GPL-3.0-or-later
#include "templatefile.h"

#include "core/fileio.h"

namespace templatefile {
QStringList splitLines(QStringView text, int maxLines)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start < n && (maxLines < 0 || lines.size() < maxLines)) {
        qsizetype end = start;
        while (end < n && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
            ++end;
        lines << text.mid(start, end - start).toString();
        start = end + 1;
        if (end + 1 < n && text[end] == QLatin1Char('\r') && text[end + 1] == QLatin1Char('\n'))
            ++start;
    }
    return lines;
}

QStringList read(const QString &path, int maxLines)
{
    return splitLines(codec::decode(fileio::readWholeFile(path)), maxLines);
}

QByteArray encode(const QStringList &phrases, CodePage page)
{
    QString text;
    for (const QString &p : phrases)
        text += p + QStringLiteral("\r\n");
    return codec::encode(text, page);
}

void write(const QString &path, const QStringList &phrases, CodePage page)
{
    fileio::writeFileAtomic(path, encode(phrases, page));
}
} // namespace templatefile
