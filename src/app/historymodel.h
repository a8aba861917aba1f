#pragma once

#include "app/historyfile.h"

#include <QAbstractListModel>
#include <QCache>
#include <QHash>

// The history list's items, newest first, over the index of a HistoryFile. Item texts are decoded
// when a view asks for them: the edit role is the item's text, the display role the same on one line;
// each item's data (NumberRole) is its entry number.
class HistoryModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int NumberRole = Qt::UserRole;

    explicit HistoryModel(HistoryFile &file, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Rebuilds the rows from the file (comboInitialize). Throws CommandError.
    void reload();

    // Records a new entry: appends its line to the file and inserts `itemText` as the top row.
    // Throws CommandError; nothing changes when the write fails.
    void addEntry(int number, QStringView wholeText, const QString &itemText);

    // The whole text of a row, read from the file (Combo1_Click).
    QString wholeText(int row);

    int entryNumber(int row) const;
    HistoryFile &file() { return m_file; }

private:
    qsizetype entryOf(int row) const { return m_file.entryCount() - 1 - row; }
    QString itemText(qsizetype entry) const;

    HistoryFile &m_file;
    // Texts of entries added during this run, as they were shown when added.
    QHash<qsizetype, QString> m_added;
    mutable QCache<qsizetype, QString> m_cache{512};
};
