#include "linebreaks.h"

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
