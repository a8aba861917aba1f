#include "tray.h"

#include <QSystemTrayIcon>

QtTrayIcon::QtTrayIcon(QObject *parent) : TrayIcon(parent), m_icon(new QSystemTrayIcon(this))
{
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
    if (isAvailable())
        m_icon->show();
}

void QtTrayIcon::remove()
{
    m_icon->hide();
}
