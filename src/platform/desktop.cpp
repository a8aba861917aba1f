#include "desktop.h"

#include "core/commanderror.h"

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
