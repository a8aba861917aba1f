// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/historysearch.h"
#include "platform/platform.h"

#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class SearchJob;
class SearchResults;

// The search window "履歴検索" (Ctrl+F on the bar): a query, three ways of matching, and the entries
// whose whole text contains the query, newest first, each shown like the history list's items with
// the match marked. Enter or a double click chooses the entry (entryChosen: the main window does what
// choosing it in the history list does); Escape closes. Each keystroke starts a new search (a SearchJob, off
// the window's thread) and cancels the one before: typing never waits for a search.
class frmSearch final : public QWidget
{
    Q_OBJECT

public:
    // `historyPath` names the file to search, asked at each search; `options` are the settings' and
    // follow the check boxes.
    frmSearch(const Platform &platform, std::function<QString()> historyPath, historysearch::Options &options,
              QWidget *parent = nullptr);
    ~frmSearch() override;

    // How many matches are listed at most; all of them are counted.
    static constexpr int listLimit = 1000;

    // Shows the window with the keyboard in the query, and searches again.
    void open();
    // Searches for the query and options shown now.
    void startSearch();
    // Chooses a listed match and closes the window.
    void restore(int row);

signals:
    // The user chose this entry.
    void entryChosen(const historysearch::Entry &entry);
    // A search has ended with this many matches (not for a cancelled one).
    void searchFinished(qint64 count);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showFound(const QList<historysearch::Entry> &entries);
    void showCount(qint64 count, bool finished);
    // Adds to the count why the search could not go on.
    void tellProblem(const QString &problem);

    Platform m_platform;
    std::function<QString()> m_historyPath;
    historysearch::Options &m_options;
    QLineEdit *m_text;
    QCheckBox *m_ignoreCase;
    QCheckBox *m_ignoreWidth;
    QCheckBox *m_ignoreKana;
    QListView *m_list;
    QLabel *m_count;
    SearchResults *m_results;
    std::unique_ptr<SearchJob> m_job;
    qint64 m_found = 0; // the current search's count so far
    QString m_problem;  // why it could not go on
};
