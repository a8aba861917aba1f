// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QTimer;
class QWidget;
class SystemInfo;

// The main window's title line: the name and version, the date and time in one of their forms, the
// time since start-up or the memory in use, kept current by `Timer1` at the interval its mode needs.
class TitleLine final : public QObject
{
    Q_OBJECT

public:
    // `mode` is the settings' title mode ("1" to "7"), kept there as the user changes it.
    TitleLine(QWidget *window, SystemInfo *system, QString &mode);

    // Writes the title for the current mode; the name alone stops the timer.
    void titleText();
    // A title-mode menu item: its interval, its mode, the title.
    void titleMode_Click(int mode);
    QTimer *timer() const { return m_timer1; }

private:
    QWidget *m_window;
    SystemInfo *m_system;
    QString &m_mode;
    QTimer *m_timer1;
};
