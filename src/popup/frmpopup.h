// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/historysearch.h"
#include "platform/platform.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>

class FoundRows;
class HistoryModel;
class HistoryRows;
class QLabel;
class QLineEdit;
class QListView;
class QTimer;
class SearchJob;

// The popup "履歴" (the global shortcut, `vornkip --popup`, the tray menu): a frameless list of the
// history, newest first, opened where the user is working. Typing filters it as the search window
// searches; the arrow and page keys, Home and End move; Enter, a double click or a digit (see
// popuprows::pickedRow) picks an entry: it is chosen as in the history list (setChooser), the popup
// closes and the paste keys are sent to the window that had the focus. Escape closes it and gives that
// window the focus back; losing the focus to another window closes it.
class frmPopup final : public QWidget
{
    Q_OBJECT

public:
    // `history` is the history list's model; `options` are the settings' ways of matching.
    frmPopup(const Platform &platform, HistoryModel &history, const historysearch::Options &options,
             QWidget *parent = nullptr);
    ~frmPopup() override;

    // The window classes that paste with Shift+Insert.
    void setShiftInsertClasses(const QStringList &classes) { m_shiftInsertClasses = classes; }
    // Whether a picked entry is also pasted into the window that had the focus (else it is only put
    // on the clipboard).
    void setPastes(bool pastes) { m_pastes = pastes; }
    // How a picked entry is chosen as in the history list: false when it was not put on the clipboard
    // (then nothing is pasted).
    void setChooser(std::function<bool(const historysearch::Entry &)> choose) { m_choose = std::move(choose); }

    // Notes the window that has the focus, then shows every entry where the user is and takes the keyboard.
    void open();
    // Picks a listed entry.
    void pick(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void startSearch();
    // The list shown: every entry while nothing is typed, else the entries found.
    QListView *shownList() const;
    void showCount(qint64 count, bool finished);
    void placeOnScreen();
    // No keys can be sent here (KDE and GNOME on Wayland): the open popup tells the user once, briefly,
    // to paste. Told after the popup closed, it would be a window of its own where the compositor chooses.
    void tellPasteByHand();
    // The keys sent were not taken: told once, briefly, where the popup was.
    void tellPasteFailed(const QPoint &at);

    Platform m_platform;
    HistoryModel &m_history;
    const historysearch::Options &m_options;
    QStringList m_shiftInsertClasses;
    bool m_pastes = true;
    std::function<bool(const historysearch::Entry &)> m_choose;
    QLineEdit *m_filter;
    // Two lists, so that going back from a filter to every entry relists nothing.
    QListView *m_allList;
    QListView *m_foundList;
    QLabel *m_count;
    HistoryRows *m_allRows;
    FoundRows *m_foundRows;
    QLabel *m_hint;               // a window of its own, after the popup closed
    QLabel *m_openHint = nullptr; // under the count, while the popup is open
    QTimer *m_hintTimer;
    std::unique_ptr<SearchJob> m_job;
    qint64 m_matches = 0; // the current search's count so far
    QString m_problem;    // why it could not go on
    bool m_hintTold = false;
    int m_pasting = 0; // pastes asked for and not reported
    QPoint m_closedAt; // where the popup was when it last picked
};
