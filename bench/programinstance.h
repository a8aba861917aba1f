// SPDX-License-Identifier: GPL-3.0-or-later
// The real program as the benchmarks that measure it from outside run it, on the private Xvfb of the
// end-to-end tests' harness (tests/e2e/x11harness.h). Header-only; needs VORNKIP_BIN.
#pragma once

#include "benchutil.h"
#include "x11harness.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

#include <signal.h>

namespace benchutil {
// The program measured: this build's, or another build's (a baseline) named by VORNKIP_BENCH_BIN.
inline QString program()
{
    return qEnvironmentVariable("VORNKIP_BENCH_BIN", QStringLiteral(VORNKIP_BIN));
}

// A run of the program on a data folder, its output thrown away; killed when it is still running at
// the end.
class ProgramInstance
{
public:
    explicit ProgramInstance(const QString &home, const QString &binary = program()) : m_binary(binary)
    {
        QProcessEnvironment env = x11harness::g_env;
        env.insert(QStringLiteral("VORNKIP_HOME"), home);
        m_process.setProcessEnvironment(env);
        m_process.setStandardInputFile(QProcess::nullDevice());
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
    }
    ~ProgramInstance()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    ProgramInstance(const ProgramInstance &) = delete;
    ProgramInstance &operator=(const ProgramInstance &) = delete;

    // Starts the program; false when it did not start.
    bool launch()
    {
        m_process.start(m_binary, {});
        return m_process.waitForStarted();
    }

    // Starts the program and waits until its main window is mapped, and half a second more so that the
    // start is over; false when it did not start or no window was mapped in time.
    bool launchAndShow()
    {
        if (!launch() || x11harness::waitForWindow(x11harness::mainWindowOf(m_process), x11harness::kStartMs) == 0)
            return false;
        QThread::msleep(500);
        return true;
    }

    const QProcess &process() const { return m_process; }
    QProcess &process() { return m_process; }
    bool running() const { return m_process.state() == QProcess::Running; }

    // Milliseconds from SIGTERM to the end; negative when it was not running or did not end in time.
    double terminate(int timeoutMs)
    {
        if (!running())
            return -1;
        const auto start = Clock::now();
        ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(timeoutMs))
            return -1;
        return msSince(start);
    }

    // Ends it with SIGTERM, or kills it when it has not ended within `timeoutMs`.
    void stop(int timeoutMs)
    {
        if (running() && terminate(timeoutMs) < 0) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // A figure of its /proc/PID/status in kB ("VmRSS:", "VmHWM:"), or -1.
    long statusKb(const char *field) const
    {
        return running() ? benchutil::statusKb(field, m_process.processId()) : -1;
    }

private:
    QString m_binary;
    QProcess m_process;
};

// The benchmark's own X server and runtime folder, stopped at the end. start() says on stderr, as
// `name`, what is missing or did not start. The server takes the first free display from :90 to :120, or
// from :N to :N+8 with VORNKIP_BENCH_DISPLAY=N.
class BenchDisplay
{
public:
    ~BenchDisplay() { x11harness::stopXvfb(m_xvfb); }

    bool start(const char *name, const QStringList &unset = x11harness::kSessionVariables)
    {
        for (const char *tool : {"Xvfb", "xclip", "xdotool"}) {
            if (!x11harness::haveTool(QLatin1String(tool))) {
                std::fprintf(stderr, "%s: %s is not installed\n", name, tool);
                return false;
            }
        }
        x11harness::setUpChildEnvironment(m_runtime.path(), unset);
        const int chosen = qEnvironmentVariableIntValue("VORNKIP_BENCH_DISPLAY");
        const int first = chosen > 0 ? chosen : 90;
        const int last = chosen > 0 ? chosen + 8 : 120;
        if (x11harness::startXvfb(m_xvfb, first, last).isEmpty()) {
            std::fprintf(stderr, "%s: Xvfb did not start on any display from :%d to :%d\n", name, first, last);
            return false;
        }
        return true;
    }

private:
    QTemporaryDir m_runtime;
    QProcess m_xvfb;
};
} // namespace benchutil
