// SPDX-License-Identifier: GPL-3.0-or-later
#include "popuprows.h"

#include "core/commanderror.h"
#include "history/historyformat.h"

#include <algorithm>

namespace popuprows {
bool pastesWithShiftInsert(const QString &windowClass, const QStringList &classes)
{
    return !windowClass.isEmpty() && classes.contains(windowClass, Qt::CaseInsensitive);
}

QString rowText(int number, const QString &text)
{
    return historyformat::numberText(number) + QStringLiteral("  ") +
           historyformat::displayText(text.left(historyformat::maxEntryLength));
}

QString toolTipText(const QString &text)
{
    QString shown = text.size() > toolTipLength ? text.left(toolTipLength) + QChar(0x2026) : text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Rich text that keeps spaces and line breaks, so that no text is taken for markup.
    return QStringLiteral("<div style=\"white-space:pre-wrap\">") + shown.toHtmlEscaped() + QStringLiteral("</div>");
}

QPoint place(const QRect &screen, const QSize &size, std::optional<QPoint> pointer)
{
    if (!pointer)
        return {screen.left() + (screen.width() - size.width()) / 2,
                screen.top() + (screen.height() - size.height()) / 2};
    // Left of and above the pointer when it does not fit right of and below it; never off the screen's
    // top left corner.
    const int x = std::max(screen.left(), std::min(pointer->x(), screen.left() + screen.width() - size.width()));
    const int y = std::max(screen.top(), std::min(pointer->y(), screen.top() + screen.height() - size.height()));
    return {x, y};
}

int pickedRow(int key, Qt::KeyboardModifiers modifiers, bool filterEmpty)
{
    if (key < Qt::Key_1 || key > Qt::Key_9)
        return -1;
    // Shift is no other key: layouts such as AZERTY type their digits with it.
    const Qt::KeyboardModifiers others = modifiers & ~(Qt::KeypadModifier | Qt::AltModifier | Qt::ShiftModifier);
    if (others != Qt::NoModifier)
        return -1;
    if (!filterEmpty && !(modifiers & Qt::AltModifier))
        return -1;
    return key - Qt::Key_1;
}
} // namespace popuprows

HistoryRows::HistoryRows(HistoryModel &history, QObject *parent)
    : QAbstractListModel(parent), m_history(history), m_shown(std::min(history.rowCount(), popuprows::listLimit))
{
    connect(&history, &QAbstractItemModel::modelAboutToBeReset, this, &HistoryRows::beginResetModel);
    connect(&history, &QAbstractItemModel::modelReset, this, [this] {
        m_shown = std::min(m_history.rowCount(), popuprows::listLimit);
        endResetModel();
    });
    connect(&history, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex &, int first, int last) { historyInsertingRows(first, last); });
    connect(&history, &QAbstractItemModel::rowsInserted, this, &HistoryRows::historyInsertedRows);
    connect(&history, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) { historyRemovingRows(first, last); });
    connect(&history, &QAbstractItemModel::rowsRemoved, this, &HistoryRows::historyRemovedRows);
    connect(&history, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                const int last = std::min(bottomRight.row(), m_shown - 1);
                if (topLeft.row() <= last)
                    emit dataChanged(index(topLeft.row()), index(last));
            });
}

int HistoryRows::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shown;
}

void HistoryRows::historyInsertingRows(int first, int last)
{
    m_pending = 0;
    if (first >= popuprows::listLimit)
        return;
    last = std::min(last, popuprows::listLimit - 1);
    m_pending = last - first + 1;
    beginInsertRows({}, first, last);
}

void HistoryRows::historyInsertedRows()
{
    if (m_pending > 0) {
        m_shown += m_pending;
        m_pending = 0;
        endInsertRows();
    }
    if (m_shown > popuprows::listLimit) { // the oldest rows shown make way
        beginRemoveRows({}, popuprows::listLimit, m_shown - 1);
        m_shown = popuprows::listLimit;
        endRemoveRows();
    }
    fillUp(); // rows inserted past the rows shown, while there was room
}

void HistoryRows::historyRemovingRows(int first, int last)
{
    m_pending = 0;
    if (first >= m_shown)
        return;
    last = std::min(last, m_shown - 1);
    m_pending = last - first + 1;
    beginRemoveRows({}, first, last);
}

void HistoryRows::historyRemovedRows()
{
    if (m_pending > 0) {
        m_shown -= m_pending;
        m_pending = 0;
        endRemoveRows();
    }
    fillUp(); // older rows move up into the room made
}

void HistoryRows::fillUp()
{
    const int wanted = std::min(m_history.rowCount(), popuprows::listLimit);
    if (wanted > m_shown) {
        beginInsertRows({}, m_shown, wanted - 1);
        m_shown = wanted;
        endInsertRows();
    }
}

QVariant HistoryRows::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_shown || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const QModelIndex item = m_history.index(index.row());
    if (role == Qt::DisplayRole)
        return popuprows::rowText(item.data(HistoryModel::NumberRole).toInt(), item.data(Qt::EditRole).toString());
    // A tooltip is asked for at any moment, even while the history is being written: the file is read
    // only as indexed, else the row's own text stands in.
    try {
        // One character more than is shown tells a cut text.
        if (const std::optional<QString> start = m_history.indexedText(item.row(), popuprows::toolTipLength + 1))
            return popuprows::toolTipText(*start);
    } catch (const CommandError &) { // the file cannot be read now
    }
    return popuprows::toolTipText(item.data(Qt::EditRole).toString());
}

historysearch::Entry HistoryRows::entry(int row) const
{
    return {m_history.entryNumber(row), m_history.wholeText(row), row};
}

int FoundRows::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_found.size());
}

QVariant FoundRows::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const historysearch::Entry &found = m_found[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return popuprows::rowText(found.number, found.text);
    if (role == Qt::ToolTipRole)
        return popuprows::toolTipText(found.text);
    return {};
}

void FoundRows::clear()
{
    beginResetModel();
    m_found.clear();
    endResetModel();
}

void FoundRows::append(const QList<historysearch::Entry> &batch)
{
    const int taken = std::min(popuprows::listLimit - rowCount(), static_cast<int>(batch.size()));
    if (taken <= 0)
        return;
    beginInsertRows({}, rowCount(), rowCount() + taken - 1);
    m_found.insert(m_found.end(), batch.cbegin(), batch.cbegin() + taken);
    endInsertRows();
}
