#include "linebreaks.h"

#include <QStringDecoder>

// Both run over texts of megabytes on every copy and paste: one pass each, straight into a buffer
// of the final size or more (QString::replace moves the rest of the text once per batch of matches).
namespace linebreaks {
QString fromDesktop(QStringView text)
{
    const qsizetype n = text.size();
    const qsizetype breaks = text.count(QLatin1Char('\r')) + text.count(QLatin1Char('\n'));
    QString out(n + breaks, Qt::Uninitialized);
    QChar *o = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            *o++ = u'\r';
            *o++ = u'\n';
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
        } else {
            *o++ = c;
        }
    }
    out.truncate(o - out.constData());
    return out;
}

namespace {
// Appends `text` to `out` with every break as CR LF; `afterCr` carries a CR that ended the last part,
// so that a CR LF split between two parts is one break.
void appendFromDesktop(QString &out, QStringView text, bool &afterCr)
{
    for (const QChar c : text) {
        if (c == u'\n' && afterCr) {
            afterCr = false;
            continue; // the LF of a CR LF already written
        }
        afterCr = c == u'\r';
        if (c == u'\r' || c == u'\n')
            out.append(QLatin1StringView("\r\n"));
        else
            out.append(c);
    }
}
} // namespace

QString fromDesktopBytes(QList<QByteArray> &pieces, DesktopEncoding encoding)
{
    // Decoded a slice at a time, so the decoded temporary stays small beside the result.
    constexpr qsizetype kSlice = 1 << 20;
    QStringDecoder decoder(encoding == DesktopEncoding::Latin1 ? QStringDecoder::Latin1 : QStringDecoder::Utf8);
    QString out;
    bool afterCr = false;
    for (QByteArray &piece : pieces) {
        for (qsizetype at = 0; at < piece.size(); at += kSlice) {
            const QString part = decoder.decode(QByteArrayView(piece).sliced(at, qMin(kSlice, piece.size() - at)));
            appendFromDesktop(out, part, afterCr);
        }
        piece = QByteArray();
    }
    pieces.clear();
    return out;
}

QString toDesktop(QStringView text)
{
    const qsizetype n = text.size();
    QString out(n, Qt::Uninitialized);
    QChar *o = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            continue; // the LF that follows is the break
        *o++ = text[i];
    }
    out.truncate(o - out.constData());
    return out;
}
} // namespace linebreaks
