// SPDX-License-Identifier: GPL-3.0-or-later
#include "tray.h"

#include <QSystemTrayIcon>
#include <QTimer>

namespace {
// How often a missing notification area is looked for: one round trip to the display server.
constexpr int lookoutMs = 1000;
} // namespace

QtTrayIcon::QtTrayIcon(QObject *parent)
    : TrayIcon(parent), m_icon(new QSystemTrayIcon(this)), m_lookout(new QTimer(this))
{
    m_lookout->setInterval(lookoutMs);
    connect(m_lookout, &QTimer::timeout, this, [this] {
        if (!isAvailable())
            return;
        m_lookout->stop();
        // The toolkit docks the shown icon there itself.
        emit becameAvailable();
    });
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            emit leftButtonDown();
        else if (reason == QSystemTrayIcon::Context)
            emit rightButtonDown();
    });
}

bool QtTrayIcon::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::add(const QIcon &icon, const QString &tip)
{
    m_icon->setIcon(icon);
    m_icon->setToolTip(tip);
    m_icon->show();
    if (!isAvailable())
        m_lookout->start();
}

void QtTrayIcon::remove()
{
    m_lookout->stop();
    m_icon->hide();
}
