#pragma once

#include <QString>
#include <QStringList>

// Launching and system services of the desktop. Nothing goes through a shell.
class Desktop
{
public:
    virtual ~Desktop() = default;

    // Opens a web address with the default browser, an existing path with its default application,
    // or starts a program found on PATH; anything else does nothing. Failures are not reported.
    virtual void shellOpen(const QString &target) = 0;

    // The full path of a program found on PATH, or empty.
    virtual QString findProgram(const QString &name) const = 0;

    // Starts a program detached. Throws CommandError when it cannot be started.
    virtual void startProgram(const QString &program, const QStringList &arguments) = 0;

    // Asks the desktop to start the screen saver.
    virtual void startScreenSaver() = 0;

    // Opens or closes the tray door of the first optical drive; no drive, nothing happens.
    virtual void cdDoor(bool open) = 0;
};

class LinuxDesktop final : public Desktop
{
public:
    void shellOpen(const QString &target) override;
    QString findProgram(const QString &name) const override;
    void startProgram(const QString &program, const QStringList &arguments) override;
    void startScreenSaver() override;
    void cdDoor(bool open) override;
};
