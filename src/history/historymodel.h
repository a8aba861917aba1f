// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/historyfile.h"

#include <QAbstractListModel>
#include <QCache>
#include <QHash>

#include <optional>

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

    // What the list's edit field shows: its text; the row it is the text of, or -1 (a typed text, or
    // the clipboard's text at start); for no row, the whole text the field shows the start of, when
    // it is longer than the field (null: the field's text is all of it).
    struct Shown
    {
        QString text;
        int row = -1;
        QString whole;
    };

    // Records a copied text as the newest entry, numbered after the last one (after 999999 comes 1):
    // its line is appended to the file and its list text (the first 200 characters) becomes the top
    // row. An empty text, or the one the list shows already, is not recorded: its first 200
    // characters equal the field's text and the whole text equals the whole text shown (the shown
    // row's, read from the file), when case is ignored. Returns the new row's text, or nothing.
    // A history whose last load failed is read again first (the rows are rebuilt), so the number goes
    // on from its last line. Throws CommandError; nothing changes when the write fails.
    std::optional<QString> record(const QString &text, const Shown &shown);
    // The same while the field shows `shownText` and no row.
    std::optional<QString> record(const QString &text, const QString &shownText)
    {
        return record(text, Shown{shownText, -1, {}});
    }

    // The whole text of a row, read from the file (Combo1_Click).
    QString wholeText(int row);

    // The first `maxLength` characters of a row's text (all of a shorter one) while the file is as
    // indexed; nothing once it changed (wholeText reads it again). Changes nothing, so views may ask for
    // it at any moment (a tooltip).
    std::optional<QString> indexedText(int row, qsizetype maxLength) const
    {
        return row < 0 || row >= rowCount() ? std::nullopt : m_file.indexedEntryText(entryOf(row), maxLength);
    }
    int entryNumber(int row) const;
    HistoryFile &file() { return m_file; }

private:
    bool isShown(const QString &text, const Shown &shown);
    qsizetype entryOf(int row) const { return m_file.entryCount() - 1 - row; }
    QString itemText(qsizetype entry) const;

    HistoryFile &m_file;
    // Texts of entries added during this run, as they were shown when added.
    QHash<qsizetype, QString> m_added;
    mutable QCache<qsizetype, QString> m_cache{512};
};
