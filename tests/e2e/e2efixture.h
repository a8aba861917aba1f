// SPDX-License-Identifier: GPL-3.0-or-later
// The fixture of the end-to-end tests that run the real program on a private Xvfb: the server and a
// runtime folder for the whole test case; for each test function a fresh data folder ($VORNKIP_HOME)
// and log folder; the programs a test starts, ended after it. A test class derives from QObject and
// this. Include it where VORNKIP_BIN names the built program.
#pragma once

#include "x11harness.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <vector>

namespace x11harness {
class ProgramFixture
{
protected:
    // For initTestCase: the first of the tools that is not installed, or an empty string.
    static QString missingTool(std::initializer_list<const char *> tools)
    {
        for (const char *tool : tools) {
            if (!haveTool(QLatin1String(tool)))
                return QLatin1String(tool);
        }
        return {};
    }

    // For initTestCase: the children's environment (see setUpChildEnvironment) with a private runtime
    // folder, then the server; startDisplay() is false when no server started.
    void setUpEnvironment(const QStringList &unset = kSessionVariables)
    {
        m_runtime = std::make_unique<QTemporaryDir>();
        setUpChildEnvironment(m_runtime->path(), unset);
    }
    bool startDisplay() { return !startXvfb(m_xvfb).isEmpty(); }
    // For cleanupTestCase.
    void stopDisplay() { stopXvfb(m_xvfb); }

    // For init: a fresh data folder and log folder; false when one could not be made.
    bool makeFolders()
    {
        m_home = std::make_unique<QTemporaryDir>();
        m_logs = std::make_unique<QTemporaryDir>();
        m_vornkipRuns = 0;
        return m_home->isValid() && m_logs->isValid();
    }

    // For cleanup after a failure: prints the output of the programs started, each cut to `limit` bytes.
    void printLogs(qsizetype limit = std::numeric_limits<qsizetype>::max()) const
    {
        for (const QString &log : QDir(m_logs->path()).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
            const QByteArray text = fileBytes(m_logs->filePath(log)).left(limit);
            if (!text.isEmpty())
                qInfo("output of %s:\n%s", qPrintable(log), text.constData());
        }
    }

    // Starts vornkip with `env` on a data folder (the test's own by default); its output goes to
    // vornkip-<n>.log. A `modifier` runs in the child before the program (see QProcess).
    QProcess *startVornkip(const QProcessEnvironment &env = g_env, const QString &folder = {},
                           const std::function<void()> &modifier = {}, const QStringList &arguments = {})
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment withHome = env;
        withHome.insert(QStringLiteral("VORNKIP_HOME"), folder.isEmpty() ? home() : folder);
        p->setProcessEnvironment(withHome);
        p->setStandardInputFile(QProcess::nullDevice());
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->setStandardOutputFile(m_logs->filePath(QStringLiteral("vornkip-%1.log").arg(++m_vornkipRuns)));
        if (modifier)
            p->setChildProcessModifier(modifier);
        p->start(QStringLiteral(VORNKIP_BIN), arguments);
        p->waitForStarted();
        return track(std::move(p));
    }

    // The output of the n-th vornkip started in this test function.
    QByteArray vornkipLog(int n) const { return fileBytes(m_logs->filePath(QStringLiteral("vornkip-%1.log").arg(n))); }

    // Keeps a started process to be ended after the test function.
    QProcess *track(std::unique_ptr<QProcess> p)
    {
        m_started.push_back(std::move(p));
        return m_started.back().get();
    }

    QString home() const { return m_home->path(); }
    QString file(const char *name) const { return home() + QLatin1Char('/') + QLatin1String(name); }

    QProcess m_xvfb;
    std::unique_ptr<QTemporaryDir> m_runtime;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QTemporaryDir> m_logs;
    std::vector<std::unique_ptr<QProcess>> m_started;
    int m_vornkipRuns = 0;
};
} // namespace x11harness
