#pragma once

#include <QString>

// How an entry's text is compared and shown, with history markers read as line breaks.
namespace historyformat {
// Whether a clipboard text is the list's current entry already: its first 200 characters, with
// history markers read as line breaks, equal the list's text when case is ignored.
bool isCurrentEntry(const QString &clipboardText, const QString &listText);

// Whether a clipboard text, with history markers read as line breaks, is the whole text `whole` when
// case is ignored.
bool isSameText(const QString &clipboardText, const QString &whole);

// How an item's text is shown in a one-line list: line breaks as a visible mark.
QString displayText(const QString &itemText);
} // namespace historyformat
