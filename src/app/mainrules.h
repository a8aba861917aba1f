#pragma once

#include <QString>
#include <QStringList>

// Rules of the main window that need no widget.
namespace mainrules {
// Whether a clipboard text is the list's current entry already: its first 200 characters, with
// history markers read as line breaks, equal the list's text when case is ignored.
bool isCurrentEntry(const QString &clipboardText, const QString &listText);

// Whether a clipboard text, with history markers read as line breaks, is the whole text `whole` when
// case is ignored.
bool isSameText(const QString &clipboardText, const QString &whole);

// The text a file drop puts on the clipboard: one path alone, or every path followed by CR LF.
QString dropText(const QStringList &paths);

// Whether the command line (the arguments after the program) is the reset switch "/a".
bool isResetSwitch(const QStringList &arguments);

// How an item's text is shown in the drop-down: line breaks as a visible mark, so every row is one line.
QString displayText(const QString &itemText);
} // namespace mainrules
