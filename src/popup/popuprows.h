// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/historymodel.h"
#include "history/historysearch.h"

#include <QAbstractListModel>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringList>

#include <optional>
#include <vector>

// The popup's rules that need no widget: what a row shows, where the popup opens, which keys pick,
// and which keys paste.
namespace popuprows {
// How many found entries the popup lists at most; all of them are counted.
inline constexpr int listLimit = 1000;
// A tooltip shows at most this many characters of an entry.
inline constexpr int toolTipLength = 2000;

// Whether the window of class `windowClass` pastes with Shift+Insert: it is one of `classes`, whatever
// the case (WM_CLASS is written "XTerm", "xterm", "Alacritty"...).
bool pastesWithShiftInsert(const QString &windowClass, const QStringList &classes);

// A row: the entry's number, then its first characters on one line, line breaks marked as the history
// list marks them.
QString rowText(int number, const QString &text);
// An entry's text as a tooltip shows it: its lines as they are, never read as markup; a very long
// text is cut with an ellipsis.
QString toolTipText(const QString &text);

// Where a popup of `size` opens: at the pointer, moved as far as needed to stay on `screen`; in the
// middle of `screen` when the pointer cannot be known.
QPoint place(const QRect &screen, const QSize &size, std::optional<QPoint> pointer);

// The row a key press picks at once, or -1. The digits 1 to 9 pick the first nine rows while nothing
// is typed in the filter (once something is, digits are part of what is searched for: dates, amounts,
// codes); with Alt they pick at any time.
int pickedRow(int key, Qt::KeyboardModifiers modifiers, bool filterEmpty);
} // namespace popuprows

// The popup's rows while nothing is typed: the newest entries of the history, as many as a found list
// holds (popuprows::listLimit), following it as it grows. Older ones are found by typing; a list of a
// million rows would only cost its layout each time the popup opens.
class HistoryRows final : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit HistoryRows(HistoryModel &history, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // A row's entry with its whole text, read from the history file. Throws CommandError.
    historysearch::Entry entry(int row) const;

private:
    void historyInsertingRows(int first, int last);
    void historyInsertedRows();
    void historyRemovingRows(int first, int last);
    void historyRemovedRows();
    // Brings the rows shown to the history's count, at most the limit.
    void fillUp();

    HistoryModel &m_history;
    int m_shown = 0;   // rows shown: the history's first rows
    int m_pending = 0; // rows of an insertion or removal under way that concern the rows shown
};

// The popup's rows while a filter is typed: the entries found so far, newest first.
class FoundRows final : public QAbstractListModel
{
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    void clear();
    // The next entries found, after those shown, up to the list's limit.
    void append(const QList<historysearch::Entry> &batch);
    const historysearch::Entry &entry(int row) const { return m_found[static_cast<size_t>(row)]; }

private:
    std::vector<historysearch::Entry> m_found;
};
