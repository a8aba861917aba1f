// SPDX-License-Identifier: GPL-3.0-or-later
#include "historygen.h"

#include "history/historyfile.h"
#include "history/historyformat.h"

#include <QRandomGenerator>
#include <QStringList>

namespace {
const QStringList words = {
    QStringLiteral("会議"),
    QStringLiteral("資料"),
    QStringLiteral("お疲れ様です。"),
    QStringLiteral("よろしくお願いします"),
    QStringLiteral("東京都千代田区"),
    QStringLiteral("https://example.org/a?b=1"),
    QStringLiteral("make -j2"),
    QStringLiteral("git status"),
    QStringLiteral("the"),
    QStringLiteral("quick"),
    QStringLiteral("brown"),
    QStringLiteral("fox"),
    QStringLiteral("123-4567"),
    QStringLiteral("ｶﾀｶﾅ"),
    QStringLiteral("令和8年12月8日"),
    QStringLiteral("user@example.com"),
    QStringLiteral("（株）"),
    QStringLiteral("TODO"),
};

QString sentence(QRandomGenerator &rng, int minChars)
{
    QString s;
    while (s.size() < minChars) {
        if (!s.isEmpty())
            s += rng.bounded(3) == 0 ? QString() : QStringLiteral(" ");
        s += words[rng.bounded(static_cast<int>(words.size()))];
    }
    return s;
}
} // namespace

QByteArray generateHistory(int entries, quint32 seed, int cp932PerMille)
{
    QRandomGenerator rng(seed);
    QByteArray out;
    for (int i = 1; i <= entries; ++i) {
        const int kind = rng.bounded(100);
        QString text;
        if (kind == 0) {
            text = sentence(rng, 1000 + rng.bounded(3000));
        } else if (kind <= 5) {
            const int lines = 2 + rng.bounded(6);
            for (int l = 0; l < lines; ++l)
                text += (l ? QStringLiteral("\r\n") : QString()) + sentence(rng, 5 + rng.bounded(40));
        } else {
            text = sentence(rng, 1 + rng.bounded(60));
        }
        // Drawn only when asked for, so the other files keep their bytes.
        const bool cp932 = cp932PerMille > 0 && rng.bounded(1000) < cp932PerMille;
        out += historyformat::encodeLine((i - 1) % historyformat::largestNumber + 1, text,
                                         cp932 ? CodePage::Cp932 : CodePage::Utf8);
    }
    return out;
}
