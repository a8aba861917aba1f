// SPDX-License-Identifier: GPL-3.0-or-later
#include "websearch.h"

#include <QUrl>

namespace websearch {
const QList<Site> &sites()
{
    // Sites that closed point to their last home page, so the item still leads somewhere sensible.
    static const QList<Site> list = {
        {QStringLiteral("yahoo1"),
         QT_TRANSLATE_NOOP("WebSearch", "Yahoo!!で検索"),
         QStringLiteral("https://search.yahoo.co.jp/bin/search?p="),
         {},
         true,
         true},
        {QStringLiteral("google1"), QT_TRANSLATE_NOOP("WebSearch", "Googleで検索"),
         QStringLiteral("https://www.google.co.jp/search?q="), QStringLiteral("&act.search=submit"), true, true},
        {QStringLiteral("infoseek1"),
         QT_TRANSLATE_NOOP("WebSearch", "infoseekで検索"),
         QStringLiteral("https://www.infoseek.co.jp/Titles?qt="),
         {},
         true,
         true},
        {QStringLiteral("goo1"),
         QT_TRANSLATE_NOOP("WebSearch", "gooで検索"),
         QStringLiteral("https://search.goo.ne.jp/web.jsp?MT="),
         {},
         true,
         false},
        {QStringLiteral("lycos1"),
         QT_TRANSLATE_NOOP("WebSearch", "Lycosで検索"),
         QStringLiteral("https://www.lycos.co.jp/cgi-bin/pursuit?query="),
         {},
         true,
         true},
        {QStringLiteral("excite1"),
         QT_TRANSLATE_NOOP("WebSearch", "Exciteで検索"),
         QStringLiteral("https://search.excite.co.jp/search.gw?s="),
         {},
         true,
         true},
        {QStringLiteral("kensaku1"),
         QT_TRANSLATE_NOOP("WebSearch", "kensaku.jpで検索"),
         QStringLiteral("https://kensaku.jp/search.cgi?key="),
         {},
         true,
         true},
        {QStringLiteral("fresheye1"),
         QT_TRANSLATE_NOOP("WebSearch", "フレッシュアイで検索"),
         QStringLiteral("https://search.fresheye.com/?kw="),
         {},
         true,
         true},
        {QStringLiteral("bar"), "-", {}, {}, false, true},
        {QStringLiteral("yahoo"),
         QT_TRANSLATE_NOOP("WebSearch", "Yahoo!!"),
         QStringLiteral("https://www.yahoo.co.jp/"),
         {},
         false,
         true},
        {QStringLiteral("google"),
         QT_TRANSLATE_NOOP("WebSearch", "Google"),
         QStringLiteral("https://www.google.co.jp/"),
         {},
         false,
         true},
        {QStringLiteral("infoseek"),
         QT_TRANSLATE_NOOP("WebSearch", "infoseek"),
         QStringLiteral("https://www.infoseek.co.jp/"),
         {},
         false,
         true},
        {QStringLiteral("goo"),
         QT_TRANSLATE_NOOP("WebSearch", "goo"),
         QStringLiteral("https://www.goo.ne.jp/"),
         {},
         false,
         true},
        {QStringLiteral("lycos"),
         QT_TRANSLATE_NOOP("WebSearch", "Lycos"),
         QStringLiteral("https://www.lycos.co.jp/"),
         {},
         false,
         true},
        {QStringLiteral("excite"),
         QT_TRANSLATE_NOOP("WebSearch", "Excite"),
         QStringLiteral("https://www.excite.co.jp/"),
         {},
         false,
         true},
        {QStringLiteral("kensaku"),
         QT_TRANSLATE_NOOP("WebSearch", "kensaku.jp"),
         QStringLiteral("https://kensaku.jp/"),
         {},
         false,
         true},
        {QStringLiteral("fresheye"),
         QT_TRANSLATE_NOOP("WebSearch", "フレッシュアイ"),
         QStringLiteral("https://www.fresheye.com/"),
         {},
         false,
         true},
        {QStringLiteral("vec"),
         QT_TRANSLATE_NOOP("WebSearch", "Vector"),
         QStringLiteral("https://www.vector.co.jp/"),
         {},
         false,
         true},
        {QStringLiteral("mado"),
         QT_TRANSLATE_NOOP("WebSearch", "窓の杜"),
         QStringLiteral("https://forest.watch.impress.co.jp/"),
         {},
         false,
         true},
    };
    return list;
}

QString address(const QString &key, const QString &query)
{
    for (const Site &s : sites()) {
        if (s.key.compare(key, Qt::CaseInsensitive) != 0 || !s.visible || s.prefix.isEmpty())
            continue;
        if (!s.search)
            return s.prefix;
        return s.prefix + QString::fromLatin1(QUrl::toPercentEncoding(query)) + s.suffix;
    }
    return {};
}
} // namespace websearch
