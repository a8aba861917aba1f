// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/historysearch.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

// The history on the terminal: --list, --print and --search. Each reads the history file and never
// writes, creates or locks anything, so it runs beside the bar. Output is UTF-8 whatever the locale,
// and a status as grep gives it.
namespace historycommand {
enum Status
{
    Printed = 0,  // something was printed
    NotFound = 1, // nothing matched, no such number, or an empty (or missing) history
    Failed = 2,   // the file could not be read, or the output could not be written
};

// Where the bytes go; false when they could not be written (the command then stops, Failed).
using Output = std::function<bool(QByteArrayView bytes)>;

// The line --list and --search print for an entry: its six-digit number, a tab, its text up to the
// first CR or LF, and LF.
QByteArray listLine(const historysearch::Entry &entry);

// The newest `count` entries, newest first.
Status list(const QString &path, int count, const Output &out, QString *error);

// The whole text of the newest entry numbered `number`, exactly as choosing it in the list puts it on
// the clipboard: line breaks as LF, nothing added at its end.
Status print(const QString &path, int number, const Output &out, QString *error);

// Every entry that contains `text`, newest first.
Status search(const QString &path, const QString &text, const historysearch::Options &options, const Output &out,
              QString *error);
} // namespace historycommand
