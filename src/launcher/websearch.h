// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// The web-search and top-page items of the `shell` button's menu, in menu order.
namespace websearch {
struct Site
{
    QString key;
    const char *caption; // in the catalogue (context "WebSearch"); "-" is the separator
    QString prefix;      // search items: scheme, host, path and "?key="; top pages: the whole address
    QString suffix;      // appended after the query (search items only)
    bool search;         // a search item (the query is appended) or a top page
    bool visible;
};

// Search items, the separator (key "bar", caption "-") and the top pages, hidden ones included.
const QList<Site> &sites();

// The address a search item opens for `query`, which is percent-encoded as UTF-8; a top page's
// address as it is. Empty for an unknown key.
QString address(const QString &key, const QString &query);
} // namespace websearch
