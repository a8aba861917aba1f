// SPDX-License-Identifier: GPL-3.0-or-later
#include "statuspanels.h"

#include "display/titles.h"
#include "platform/sysinfo.h"
#include "platform/widgettwips.h"

#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QTimer>

StatusPanels::StatusPanels(SystemInfo *system, QWidget *parent)
    : QStatusBar(parent), m_system(system), m_clock(new QTimer(this))
{
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(this);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        m_panels[i]->setAlignment(Qt::AlignCenter);
        m_panels[i]->installEventFilter(this);
        addWidget(m_panels[i], i == 2 ? 0 : 1);
    }
    m_panels[2]->setMinimumWidth(twips::px(this, 540));
    connect(m_clock, &QTimer::timeout, this, &StatusPanels::refresh);
}

void StatusPanels::start()
{
    refresh();
    m_clock->start(500);
}

void StatusPanels::refresh()
{
    if (!m_system)
        return;
    const QDateTime now = m_system->now();
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    m_panels[0]->setText(japanese.toString(now.date(), QLocale::ShortFormat));
    m_panels[1]->setText(japanese.toString(now.time(), QLocale::ShortFormat));
    m_panels[2]->setText(m_system->capsLock() ? tr("CAPS") : QString());
}

void StatusPanels::StatusBar1_PanelClick(int panel)
{
    if (panel != 1 && panel != 2)
        return;
    // The panel is seen pressed for 150 ms; then the date or the time is chosen.
    QLabel *label = m_panels[panel - 1];
    label->setFrameShadow(QFrame::Sunken);
    QTimer::singleShot(150, label, [this, label, panel] {
        const QDateTime now = m_system->now();
        // Translatable patterns, read field by field like the title line's.
        emit textChosen(titles::formatDateTime(now, panel == 1 ? tr("ggge年m月d日 aaaa") : tr("yyyy/mm/dd hh:mm:ss")));
        label->setFrameShadow(QFrame::Raised);
    });
}

bool StatusPanels::eventFilter(QObject *watched, QEvent *event)
{
    for (int i = 0; i < 3; ++i) {
        if (watched == m_panels[i] && event->type() == QEvent::MouseButtonPress) {
            StatusBar1_PanelClick(i + 1);
            return true;
        }
    }
    return QStatusBar::eventFilter(watched, event);
}
