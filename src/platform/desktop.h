// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

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

// Runs a program found on PATH to its end, without a shell, and gives its standard output without the
// final line break; nothing when it cannot be started, does not end within `timeoutMs` or fails (`error`
// then holds what it printed on its error output, or why it did not run).
std::optional<QString> runToEnd(const QString &program, const QStringList &arguments, QString *error,
                                int timeoutMs = 10000);

class LinuxDesktop final : public Desktop
{
public:
    void shellOpen(const QString &target) override;
    QString findProgram(const QString &name) const override;
    void startProgram(const QString &program, const QStringList &arguments) override;
    void startScreenSaver() override;
    void cdDoor(bool open) override;
};
