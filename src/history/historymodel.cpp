// SPDX-License-Identifier: GPL-3.0-or-later
#include "historymodel.h"

#include "history/historyformat.h"

HistoryModel::HistoryModel(HistoryFile &file, QObject *parent) : QAbstractListModel(parent), m_file(file) {}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_file.entryCount());
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return {};
    const qsizetype entry = entryOf(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return historyformat::displayText(itemText(entry));
    case Qt::EditRole:
        return itemText(entry);
    case NumberRole:
        return m_file.entryNumber(entry);
    default:
        return {};
    }
}

void HistoryModel::reload()
{
    beginResetModel();
    m_added.clear();
    m_cache.clear();
    try {
        m_file.load();
    } catch (...) {
        endResetModel();
        throw;
    }
    endResetModel();
}

bool HistoryModel::isShown(const QString &text, const Shown &shown)
{
    if (!historyformat::isCurrentEntry(text, shown.text))
        return false;
    // The same start is not the same text: a long copy may differ from the shown entry further on.
    if (shown.row >= 0)
        return historyformat::isSameText(text, wholeText(shown.row));
    return historyformat::isSameText(text,
                                     shown.whole.isNull() ? shown.text : historyformat::markersToBreaks(shown.whole));
}

std::optional<QString> HistoryModel::record(const QString &text, const Shown &shown)
{
    if (text.isEmpty() || isShown(text, shown))
        return std::nullopt;
    // A history that could not be read has no last number to go on from: it is read again first.
    if (m_file.loadFailed())
        reload();
    const QString itemText = text.left(historyformat::maxEntryLength);
    const HistoryFile::Written written = m_file.write(historyformat::nextNumber(m_file.lastNumber()), text);
    if (written.changedBehind) {
        beginResetModel();
        m_added.clear();
        m_cache.clear();
        try {
            m_file.commit(written); // reads the file again
        } catch (...) {
            endResetModel();
            throw;
        }
        m_added.insert(m_file.entryCount() - written.newEntries, itemText);
        endResetModel();
        return itemText;
    }
    const qsizetype entry = m_file.entryCount();
    beginInsertRows({}, 0, static_cast<int>(written.newEntries) - 1);
    m_file.commit(written);
    m_added.insert(entry, itemText);
    endInsertRows();
    return itemText;
}

QString HistoryModel::itemText(qsizetype entry) const
{
    if (const auto it = m_added.constFind(entry); it != m_added.constEnd())
        return *it;
    if (const QString *cached = m_cache.object(entry))
        return *cached;
    QString text;
    try {
        text = m_file.itemText(entry);
    } catch (...) {
        // The file became unreadable: show nothing rather than fail the view.
    }
    m_cache.insert(entry, new QString(text));
    return text;
}

QString HistoryModel::wholeText(int row)
{
    if (row < 0 || row >= rowCount())
        return {};
    bool reindexed = false;
    const QString text = m_file.restoreText(entryOf(row), &reindexed);
    if (reindexed) {
        beginResetModel();
        m_added.clear();
        m_cache.clear();
        endResetModel();
    }
    return text;
}

int HistoryModel::entryNumber(int row) const
{
    return row < 0 || row >= rowCount() ? -1 : m_file.entryNumber(entryOf(row));
}
