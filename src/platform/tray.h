#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;

// The icon in the desktop's notification area (StatusNotifierItem or the X11 system tray).
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Whether the desktop has a notification area at all.
    virtual bool isAvailable() const = 0;
    virtual void add(const QIcon &icon, const QString &tip) = 0;
    virtual void remove() = 0;

signals:
    void leftButtonDown();
    void rightButtonDown();
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
};
