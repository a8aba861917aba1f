// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStatusBar>

class QLabel;
class QTimer;
class SystemInfo;

// The main window's status bar (`StatusBar1`, extended mode): the date, the time and the CAPS state
// in three panels, kept current twice a second. A click on the date or the time panel shows it
// pressed for a moment and then offers the date or the time as a text.
class StatusPanels final : public QStatusBar
{
    Q_OBJECT

public:
    StatusPanels(SystemInfo *system, QWidget *parent = nullptr);

    // Starts keeping the panels current.
    void start();
    // Writes the date, the time and the CAPS state.
    void refresh();
    // A click on a panel (1-based).
    void StatusBar1_PanelClick(int panel);

signals:
    // The text a panel click chose: the date in the Japanese era calendar, or the date and time.
    void textChosen(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    SystemInfo *m_system;
    QLabel *m_panels[3] = {};
    QTimer *m_clock;
};
