// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop.h"

#include "core/commanderror.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

void LinuxDesktop::shellOpen(const QString &target)
{
    const QString t = target.trimmed();
    if (t.isEmpty())
        return;
    const QUrl url(t, QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty() && url.scheme().size() > 1) {
        QDesktopServices::openUrl(url);
        return;
    }
    if (QFileInfo::exists(t)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(t).absoluteFilePath()));
        return;
    }
    const QString program = findProgram(t);
    if (!program.isEmpty())
        QProcess::startDetached(program, {});
}

QString LinuxDesktop::findProgram(const QString &name) const
{
    return QStandardPaths::findExecutable(name);
}

void LinuxDesktop::startProgram(const QString &program, const QStringList &arguments)
{
    const QString path = findProgram(program);
    if (path.isEmpty() || !QProcess::startDetached(path, arguments))
        throw fileError(ENOENT, program);
}

void LinuxDesktop::startScreenSaver()
{
    const QString tool = findProgram(QStringLiteral("xdg-screensaver"));
    if (!tool.isEmpty())
        QProcess::startDetached(tool, {QStringLiteral("activate")});
}

void LinuxDesktop::cdDoor(bool open)
{
    const int fd = ::open("/dev/sr0", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    ::ioctl(fd, open ? CDROMEJECT : CDROMCLOSETRAY, 0);
    ::close(fd);
}

std::optional<QString> runToEnd(const QString &program, const QStringList &arguments, QString *error, int timeoutMs)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        *error = QCoreApplication::translate("Desktop", "%1 が見つかりません").arg(program);
        return std::nullopt;
    }
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(path, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        *error = process.error() == QProcess::FailedToStart
                     ? process.errorString()
                     : QCoreApplication::translate("Desktop", "%1 が終わりません").arg(program);
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        if (error->isEmpty())
            *error =
                QCoreApplication::translate("Desktop", "%1 が失敗しました (%2)").arg(program).arg(process.exitCode());
        return std::nullopt;
    }
    QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    if (out.endsWith(QLatin1Char('\n')))
        out.chop(1);
    return out;
}
