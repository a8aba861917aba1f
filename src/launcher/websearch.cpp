// SPDX-License-Identifier: GPL-3.0-or-later
#include "websearch.h"

#include <QUrl>

namespace websearch {
const QList<Site> &sites()
{
    // Sites that closed point to their last home page, so the item still leads somewhere sensible.
    static const QList<Site> list = {
        {QStringLiteral("yahoo1"),
         QStringLiteral("Yahoo!!で検索"),
         QStringLiteral("https://search.yahoo.co.jp/bin/search?p="),
         {},
         true,
         true},
        {QStringLiteral("google1"), QStringLiteral("Googleで検索"),
         QStringLiteral("https://www.google.co.jp/search?q="), QStringLiteral("&act.search=submit"), true, true},
        {QStringLiteral("infoseek1"),
         QStringLiteral("infoseekで検索"),
         QStringLiteral("https://www.infoseek.co.jp/Titles?qt="),
         {},
         true,
         true},
        {QStringLiteral("goo1"),
         QStringLiteral("gooで検索"),
         QStringLiteral("https://search.goo.ne.jp/web.jsp?MT="),
         {},
         true,
         false},
        {QStringLiteral("lycos1"),
         QStringLiteral("Lycosで検索"),
         QStringLiteral("https://www.lycos.co.jp/cgi-bin/pursuit?query="),
         {},
         true,
         true},
        {QStringLiteral("excite1"),
         QStringLiteral("Exciteで検索"),
         QStringLiteral("https://search.excite.co.jp/search.gw?s="),
         {},
         true,
         true},
        {QStringLiteral("kensaku1"),
         QStringLiteral("kensaku.jpで検索"),
         QStringLiteral("https://kensaku.jp/search.cgi?key="),
         {},
         true,
         true},
        {QStringLiteral("fresheye1"),
         QStringLiteral("フレッシュアイで検索"),
         QStringLiteral("https://search.fresheye.com/?kw="),
         {},
         true,
         true},
        {QStringLiteral("bar"), QStringLiteral("-"), {}, {}, false, true},
        {QStringLiteral("yahoo"),
         QStringLiteral("Yahoo!!"),
         QStringLiteral("https://www.yahoo.co.jp/"),
         {},
         false,
         true},
        {QStringLiteral("google"),
         QStringLiteral("Google"),
         QStringLiteral("https://www.google.co.jp/"),
         {},
         false,
         true},
        {QStringLiteral("infoseek"),
         QStringLiteral("infoseek"),
         QStringLiteral("https://www.infoseek.co.jp/"),
         {},
         false,
         true},
        {QStringLiteral("goo"), QStringLiteral("goo"), QStringLiteral("https://www.goo.ne.jp/"), {}, false, true},
        {QStringLiteral("lycos"), QStringLiteral("Lycos"), QStringLiteral("https://www.lycos.co.jp/"), {}, false, true},
        {QStringLiteral("excite"),
         QStringLiteral("Excite"),
         QStringLiteral("https://www.excite.co.jp/"),
         {},
         false,
         true},
        {QStringLiteral("kensaku"),
         QStringLiteral("kensaku.jp"),
         QStringLiteral("https://kensaku.jp/"),
         {},
         false,
         true},
        {QStringLiteral("fresheye"),
         QStringLiteral("フレッシュアイ"),
         QStringLiteral("https://www.fresheye.com/"),
         {},
         false,
         true},
        {QStringLiteral("vec"), QStringLiteral("Vector"), QStringLiteral("https://www.vector.co.jp/"), {}, false, true},
        {QStringLiteral("mado"),
         QStringLiteral("窓の杜"),
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
