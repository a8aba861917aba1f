// SPDX-License-Identifier: GPL-3.0-or-later
#include "historycommand.h"

#include "core/commanderror.h"
#include "core/linebreaks.h"
#include "history/historyformat.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace historycommand {
namespace {
enum class Next
{
    Skip,   // not this one: go on with the next older entry
    More,   // printed: go on with the next older entry
    Done,   // printed, and enough: stop the search
    Broken, // the output failed: stop the search
};

// Runs the search and hands each entry it finds to `take`. A missing file is an empty history; a file
// that cannot be read, or output that cannot be written, is said in `error`.
Status each(const QString &path, const QString &text, const historysearch::Options &options,
            const std::function<Next(const historysearch::Entry &)> &take, QString *error)
{
    // A symbolic link, even one that leads nowhere, is there: reading it is refused below.
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return NotFound;
    bool printed = false;
    bool broken = false;
    try {
        historysearch::search(path, text, options, [&](const historysearch::Entry &entry) {
            const Next next = take(entry);
            broken = next == Next::Broken;
            printed = printed || next == Next::More || next == Next::Done;
            return next == Next::More || next == Next::Skip;
        });
    } catch (const CommandError &e) {
        if (e.number == ErrorNumber::FileNotFound && !QFileInfo::exists(path)) // removed meanwhile
            return NotFound;
        // The description's first line: the error box's text names the path again below it.
        *error = QCoreApplication::translate("HistoryCommand", "履歴ファイルを読めません: %1: %2")
                     .arg(path, e.description.section(QLatin1Char('\n'), 0, 0));
        return Failed;
    }
    if (broken) {
        *error = QCoreApplication::translate("HistoryCommand", "出力に書き込めません");
        return Failed;
    }
    return printed ? Printed : NotFound;
}
} // namespace

QByteArray listLine(const historysearch::Entry &entry)
{
    const QStringView text(entry.text);
    qsizetype end = 0;
    while (end < text.size() && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
        ++end;
    QByteArray line = historyformat::numberText(entry.number).toLatin1();
    line += '\t';
    line += text.first(end).toUtf8();
    line += '\n';
    return line;
}

Status list(const QString &path, int count, const Output &out, QString *error)
{
    int left = count;
    return each(
        path, QString(), {},
        [&](const historysearch::Entry &entry) {
            if (!out(listLine(entry)))
                return Next::Broken;
            return --left > 0 ? Next::More : Next::Done;
        },
        error);
}

Status print(const QString &path, int number, const Output &out, QString *error)
{
    // Newest first: when numbers have wrapped around, the first line found is the newest with it.
    return each(
        path, QString(), {},
        [&](const historysearch::Entry &entry) {
            if (entry.number != number)
                return Next::Skip;
            return out(linebreaks::toDesktop(entry.text).toUtf8()) ? Next::Done : Next::Broken;
        },
        error);
}

Status search(const QString &path, const QString &text, const historysearch::Options &options, const Output &out,
              QString *error)
{
    return each(
        path, text, options,
        [&](const historysearch::Entry &entry) { return out(listLine(entry)) ? Next::More : Next::Broken; }, error);
}
} // namespace historycommand
