// SPDX-License-Identifier: GPL-3.0-or-later
#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

QStringList Clipboard::localFiles(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

NoClipboard &NoClipboard::shared()
{
    static NoClipboard none;
    return none;
}

QtClipboard::QtClipboard(QObject *parent) : Clipboard(parent)
{
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &Clipboard::changed);
}

ClipboardContent QtClipboard::read(bool withPicture) const
{
    ClipboardContent c;
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!mime)
        return c;
    const QStringList formats = mime->formats();
    // Password managers mark what they copy; such a content is never read further.
    if (formats.contains(QStringLiteral("x-kde-passwordManagerHint")) &&
        mime->data(QStringLiteral("x-kde-passwordManagerHint")).trimmed() == "secret") {
        c.secret = true;
        return c;
    }
    const auto offers = [&](QLatin1StringView prefix) {
        return std::any_of(formats.begin(), formats.end(), [&](const QString &f) { return f.startsWith(prefix); });
    };
    c.hasText = mime->hasText() || offers(QLatin1StringView("text/html")) || offers(QLatin1StringView("text/rtf")) ||
                offers(QLatin1StringView("application/rtf"));
    if (c.hasText)
        c.text = fromDesktop(mime->text());
    c.hasImage = mime->hasImage();
    if (c.hasImage && withPicture)
        c.image = qvariant_cast<QImage>(mime->imageData());
    return c;
}

void QtClipboard::clear()
{
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}

void QtClipboard::setText(const QString &text)
{
    QGuiApplication::clipboard()->setText(toDesktop(text), QClipboard::Clipboard);
}

void QtClipboard::setImage(const QImage &image)
{
    QGuiApplication::clipboard()->setImage(image, QClipboard::Clipboard);
}

void QtClipboard::setSelection(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection())
        clipboard->setText(toDesktop(text), QClipboard::Selection);
}
