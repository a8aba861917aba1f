// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/historymodel.h"
#include "history/historysearch.h"
#include "platform/platform.h"

#include <QComboBox>

#include <optional>

class HistoryFile;

// The history list `Combo1`: the recorded texts newest first, one line each, over the history file.
// Choosing an entry puts its whole text back on the clipboard. Its edit field is the program's working
// text: Enter or F11 launches it or calculates with it, and files dropped on it put their paths on the
// clipboard.
class HistoryList final : public QComboBox
{
    Q_OBJECT

public:
    HistoryList(const Platform &platform, HistoryFile &history, QWidget *parent = nullptr);

    // The history file it lists.
    HistoryFile &history() const { return m_model->file(); }
    // Its items.
    HistoryModel &model() const { return *m_model; }

    // The edit field's text.
    QString text() const { return currentText(); }
    void setText(const QString &text) { setEditText(text); }

    // Rebuilds the list from the history file (created when missing) and shows `shown`, the clipboard's
    // text, in the edit field. Throws CommandError when the file cannot be read; the field is set all
    // the same.
    void reload(const QString &shown);

    // Records a copied text as the newest entry and shows it; false, and nothing done, when it is
    // empty or what the list shows already. Throws CommandError when it cannot be written.
    bool record(const QString &text);
    // Adds a text recorded on another machine as the newest entry, whatever the field shows: the field,
    // the row it shows and the clipboard stay as they are. Throws CommandError when it cannot be written.
    void add(const QString &text);

    // Puts a whole text back on the clipboard: an entry chosen here or in the search window, the edit
    // field's text, a template phrase. The clipboard is emptied first.
    void restore(const QString &text);
    // The user chose an entry. False when its text could not be read (the user was told).
    bool Combo1_Click(int index);
    // The user chose an entry elsewhere (the search window): the list shows it and it is put back as
    // by Combo1_Click. Entries recorded since are listed above it (`entry.newer`); when it is no longer
    // listed (another history was loaded), its text is put back as it was found. False when nothing
    // was put back (the user was told).
    bool chooseEntry(const historysearch::Entry &entry);
    // Enter or F11 in the edit field.
    void Combo1_KeyDown(int key);
    // Computes the edit field's text with the operator `mark` and writes the result back. Throws
    // CommandError (a division by zero, an overflow).
    void calValue(QChar mark);
    // A number-base or case conversion of the edit field's text (`h8`, `h10`, `h16`, `ucase`,
    // `lcase`). Throws CommandError for a text it cannot convert.
    void convertText(const QString &key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool fileDrop(QEvent *event);
    QWidget *boxParent() const;
    // What the edit field shows, for the recording rule.
    HistoryModel::Shown shown() const;

    Platform m_platform;
    HistoryModel *m_model;
    // The clipboard's text shown at the last rebuild, when the field shows only its start.
    QString m_shownWhole;
};
