#include "linebreaks.h"

namespace linebreaks {
QString fromDesktop(QStringView text)
{
    QString out;
    out.reserve(text.size() + text.size() / 16);
    const QChar cr = QLatin1Char('\r');
    const QChar lf = QLatin1Char('\n');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == cr) {
            out += QStringLiteral("\r\n");
            if (i + 1 < text.size() && text[i + 1] == lf)
                ++i;
        } else if (c == lf) {
            out += QStringLiteral("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

QString toDesktop(QStringView text)
{
    return text.toString().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
} // namespace linebreaks
