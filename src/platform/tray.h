// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;
class QTimer;

// The icon in the desktop's notification area (StatusNotifierItem or the X11 system tray).
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Whether the desktop has a notification area at all.
    virtual bool isAvailable() const = 0;
    // The icon is added also when there is no notification area yet: it appears once one does (a
    // panel that starts after the program, at login).
    virtual void add(const QIcon &icon, const QString &tip) = 0;
    virtual void remove() = 0;

signals:
    void leftButtonDown();
    void rightButtonDown();
    // A notification area has appeared since the icon was added.
    void becameAvailable();
};

class QtTrayIcon final : public TrayIcon
{
    Q_OBJECT

public:
    explicit QtTrayIcon(QObject *parent = nullptr);

    bool isAvailable() const override;
    void add(const QIcon &icon, const QString &tip) override;
    void remove() override;

private:
    QSystemTrayIcon *m_icon;
    QTimer *m_lookout; // asks for a notification area while there is none
};

// A desktop without a notification area, for good: the icon never shows.
class NoTray final : public TrayIcon
{
public:
    using TrayIcon::TrayIcon;

    bool isAvailable() const override { return false; }
    void add(const QIcon &, const QString &) override {}
    void remove() override {}
};
