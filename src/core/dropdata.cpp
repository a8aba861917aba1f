// SPDX-License-Identifier: GPL-3.0-or-later
#include "dropdata.h"

#include <QMimeData>
#include <QUrl>

namespace dropdata {
namespace {
bool namesOneOf(const QString &line, const QStringList &files)
{
    const QString name = line.trimmed();
    if (files.contains(line) || files.contains(name))
        return true;
    if (!name.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive))
        return false;
    const QUrl url(name);
    return url.isValid() && url.isLocalFile() && files.contains(url.toLocalFile());
}

// The formats the windows read from a drop, besides the urls and the picture: the text and the
// rich text (whose presence decides the branch).
bool isTextFormat(const QString &format)
{
    for (const char *prefix : {"text/plain", "text/rtf", "application/rtf", "text/html"}) {
        if (format.startsWith(QLatin1StringView(prefix)))
            return true;
    }
    return false;
}
} // namespace

bool textIsFileList(const QString &text, const QStringList &files)
{
    if (files.isEmpty())
        return false;
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString &line : lines.split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty() && !namesOneOf(line, files))
            return false;
    }
    return true;
}

std::unique_ptr<QMimeData> copy(const QMimeData &data)
{
    auto out = std::make_unique<QMimeData>();
    for (const QString &format : data.formats()) {
        if (isTextFormat(format))
            out->setData(format, data.data(format));
    }
    if (data.hasUrls())
        out->setUrls(data.urls());
    if (data.hasImage())
        out->setImageData(data.imageData());
    return out;
}
} // namespace dropdata
