// SPDX-License-Identifier: GPL-3.0-or-later
#include "titleline.h"

#include "display/titles.h"
#include "platform/sysinfo.h"

#include <QTimer>
#include <QWidget>

TitleLine::TitleLine(QWidget *window, SystemInfo *system, QString &mode)
    : QObject(window), m_window(window), m_system(system), m_mode(mode), m_timer1(new QTimer(window))
{
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    connect(m_timer1, &QTimer::timeout, this, &TitleLine::titleText);
}

void TitleLine::titleText()
{
    titles::System system;
    if (m_system) {
        system.now = m_system->now();
        if (m_mode == QStringLiteral("5"))
            system.uptimeMs = m_system->uptimeMs();
        if (m_mode == QStringLiteral("6") || m_mode == QStringLiteral("7")) {
            const SystemInfo::Memory memory = m_system->memory();
            system.memTotal = memory.totalBytes;
            system.memAvailable = memory.availableBytes;
        }
    }
    if (const auto title = titles::titleFor(m_mode, system))
        m_window->setWindowTitle(*title);
    if (m_mode == QStringLiteral("1"))
        m_timer1->stop();
}

void TitleLine::titleMode_Click(int mode)
{
    const int interval = titles::intervalForMode(mode);
    if (interval > 0)
        m_timer1->start(interval);
    m_mode = QString::number(mode);
    titleText();
}
