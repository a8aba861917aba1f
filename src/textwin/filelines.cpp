// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelines.h"

namespace textConv {
QString fileLines(QStringView text)
{
    QString out;
    out.reserve(text.size() + 2);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\r'), start);
        if (end < 0)
            end = text.size();
        out += text.mid(start, end - start);
        out += QStringLiteral("\r\n");
        start = end + 1;
        if (end + 1 < text.size() && text[end + 1] == QLatin1Char('\n'))
            ++start;
    }
    return out;
}
} // namespace textConv
