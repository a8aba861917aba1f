// SPDX-License-Identifier: GPL-3.0-or-later
// The soak test: the real program on its own Xvfb, used at random for a while — clicks anywhere on its
// windows, keys, copies from other programs, boxes answered or dismissed, the bar hidden and brought
// back, signals and restarts on the same data folder. After every action the program must still
// answer; whenever it ends, it must have ended normally, with no sanitizer report, a well-formed
// history that still holds what was recorded, and settings that load.
//
//   soak [--seed N] [--seconds S] [--actions N] [--keep]
//
// Every random choice comes from the seed, and every action is written to the log with its number, so
// a failure can be run again with the same seed (and --actions to stop just after the failing one).
// Exit status: 0 when nothing was found, 1 on a finding (the log and the folder are kept), 2 when the
// soak itself could not run.
#include "settings/modini.h"
#include "x11harness.h"
#include "xwindows.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include <signal.h>
#include <sys/stat.h>

namespace {
using namespace x11harness;

// How long the program may take to answer, and to start or end (a sanitizer build is slow).
constexpr int kAnswerMs = 2000;
constexpr int kStartUpMs = 30000;
constexpr int kEndMs = 20000;

// The keys the windows use, and some they do not.
const QStringList kKeys = {
    QStringLiteral("F2"),
    QStringLiteral("F3"),
    QStringLiteral("F4"),
    QStringLiteral("F5"),
    QStringLiteral("F6"),
    QStringLiteral("F7"),
    QStringLiteral("F8"),
    QStringLiteral("F9"),
    QStringLiteral("F10"),
    QStringLiteral("F11"),
    QStringLiteral("ctrl+F1"),
    QStringLiteral("ctrl+F2"),
    QStringLiteral("ctrl+F3"),
    QStringLiteral("ctrl+F4"),
    QStringLiteral("ctrl+F5"),
    QStringLiteral("ctrl+F6"),
    QStringLiteral("ctrl+F7"),
    QStringLiteral("ctrl+Insert"),
    QStringLiteral("shift+Insert"),
    QStringLiteral("shift+Delete"),
    QStringLiteral("ctrl+a"),
    QStringLiteral("ctrl+c"),
    QStringLiteral("ctrl+v"),
    QStringLiteral("ctrl+x"),
    QStringLiteral("ctrl+z"),
    QStringLiteral("Escape"),
    QStringLiteral("Escape"),
    QStringLiteral("Return"),
    QStringLiteral("Return"),
    QStringLiteral("Tab"),
    QStringLiteral("shift+Tab"),
    QStringLiteral("Up"),
    QStringLiteral("Down"),
    QStringLiteral("Left"),
    QStringLiteral("Right"),
    QStringLiteral("Delete"),
    QStringLiteral("BackSpace"),
    QStringLiteral("Home"),
    QStringLiteral("End"),
    QStringLiteral("Page_Up"),
    QStringLiteral("Page_Down"),
    QStringLiteral("space"),
    QStringLiteral("alt+f"),
    QStringLiteral("alt+e"),
    QStringLiteral("alt+s"),
    QStringLiteral("alt+o"),
    QStringLiteral("alt+a"),
    QStringLiteral("alt+p"),
    QStringLiteral("alt+q"),
    QStringLiteral("alt+y"),
    QStringLiteral("alt+n"),
    QStringLiteral("alt+u"),
    QStringLiteral("alt+h"),
    QStringLiteral("alt+d"),
    QStringLiteral("alt+c"),
    QStringLiteral("alt+1"),
    QStringLiteral("alt+2"),
    QStringLiteral("y"),
    QStringLiteral("n"),
    QStringLiteral("F1"),
    QStringLiteral("F12"),
    QStringLiteral("Menu"),
    QStringLiteral("shift+F10"),
    QStringLiteral("ctrl+q"),
};

// What is typed: calculator input, number bases, Latin and Japanese text, a path.
const QStringList kTyping = {
    QStringLiteral("12+34"),    QStringLiteral("7/0"),  QStringLiteral("&hFF"),   QStringLiteral("2^10"),
    QStringLiteral("abc"),      QStringLiteral("ABC "), QStringLiteral("テスト"), QStringLiteral("かな"),
    QStringLiteral("1e308*10"), QStringLiteral("x"),    QStringLiteral("/tmp"),   QStringLiteral("-5 mod 0"),
};

// The names a file dialog is given: files the soak put in the program's folder, and new ones.
const QStringList kFileNames = {
    QStringLiteral("sample.txt"), QStringLiteral("cp932.txt"), QStringLiteral("picture.png"),
    QStringLiteral("empty.txt"),  QStringLiteral("fifo"),      QStringLiteral("folder"),
    QStringLiteral("new.txt"),    QStringLiteral("saved.bmp"), QStringLiteral("テンプレート.txt"),
};

// Titles of the standard file and font dialogs (Qt's Japanese texts, and the English ones).
const QStringList kDialogTitles = {QStringLiteral("開く"),           QStringLiteral("名前を付けて保存"),
                                   QStringLiteral("ファイルを開く"), QStringLiteral("フォントの選択"),
                                   QStringLiteral("Open"),           QStringLiteral("Save As"),
                                   QStringLiteral("Select Font")};

enum class Action
{
    Click,
    Key,
    Typing,
    Copy,
    CloseWindow,
    ClickOutside,
    SecondStart,
    Signal,
    Count
};

// A sanitizer's report in a program's error output.
bool reportsFault(const QByteArray &errors)
{
    for (const char *marker :
         {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:", "Sanitizer:DEADLYSIGNAL"}) {
        if (errors.contains(marker))
            return true;
    }
    return false;
}

bool ended(QProcess &p)
{
    return p.state() == QProcess::NotRunning || p.waitForFinished(0);
}

class Soak
{
public:
    Soak(quint32 seed, qint64 seconds, qint64 maxActions) : m_seed(seed), m_seconds(seconds), m_maxActions(maxActions)
    {
        m_rng.seed(seed);
    }

    int run();
    bool keep() const { return m_keep; }
    void setKeep(bool keep) { m_keep = keep; }
    QString folder() const { return m_dir.path(); }

private:
    bool setUp();
    bool start();
    bool finding(const QString &what);
    void log(const QString &line);

    bool act(Action action);
    bool click();
    bool key();
    bool typing();
    bool copy();
    bool closeWindow();
    bool clickOutside();
    bool secondStart();
    bool signalAndRestart();
    bool answerFileDialog(const xwindows::Window &dialog);

    // Checks once the program has ended: how it ended, what it reported, what it left.
    bool checkEnd(int expectedSignal);
    bool checkHistory(const QByteArray &before);
    bool checkSettings();
    bool probe();

    int pick(int count) { return count <= 0 ? 0 : static_cast<int>(m_rng() % static_cast<quint32>(count)); }
    int between(int low, int high) { return low + pick(high - low + 1); }
    QList<xwindows::Window> windows() { return m_x.windowsOf(m_program ? m_program->processId() : -1); }
    std::optional<xwindows::Window> fileDialog();
    QString historyPath() const { return m_home + QStringLiteral("/temp.ifo"); }

    quint32 m_seed;
    qint64 m_seconds;
    qint64 m_maxActions;
    bool m_keep = false;
    std::mt19937 m_rng;
    QTemporaryDir m_dir;
    QString m_home, m_files, m_stderr;
    QProcess m_server;
    xwindows::Connection m_x;
    std::unique_ptr<QProcess> m_program;
    std::vector<std::unique_ptr<QProcess>> m_owners; // clipboard owners of our own
    QFile m_log;
    qint64 m_action = 0;
    int m_starts = 0, m_restarts = 0, m_userQuits = 0;
    bool m_historyMayBeForeign = false; // a file was chosen in an open dialog
    int m_counts[static_cast<int>(Action::Count)] = {};
};

void Soak::log(const QString &line)
{
    const QByteArray bytes = QStringLiteral("[seed %1 #%2] %3\n").arg(m_seed).arg(m_action).arg(line).toUtf8();
    m_log.write(bytes);
    m_log.flush();
}

bool Soak::finding(const QString &what)
{
    log(QStringLiteral("FINDING: ") + what);
    saveScreen(QStringLiteral("soak-%1").arg(m_seed), QString::number(m_action));
    // A program still running (one that does not answer) is caught where it is: every thread's stack.
    if (m_program && m_program->state() == QProcess::Running && haveTool(QStringLiteral("gdb"))) {
        const Result stacks =
            x11harness::run(QStringLiteral("gdb"),
                            {QStringLiteral("-p"), QString::number(m_program->processId()), QStringLiteral("-batch"),
                             QStringLiteral("-ex"), QStringLiteral("thread apply all bt")},
                            60000);
        QFile out(m_dir.filePath(QStringLiteral("stacks-%1.txt").arg(m_action)));
        if (out.open(QIODevice::WriteOnly))
            out.write(stacks.out);
        log(QStringLiteral("stacks of the program's threads: %1").arg(out.fileName()));
    }
    std::fprintf(stderr,
                 "soak: seed %u, action %lld: %s\n  log and data folder: %s\n  again: soak --seed %u --actions %lld\n",
                 m_seed, static_cast<long long>(m_action), qPrintable(what), qPrintable(m_dir.path()), m_seed,
                 static_cast<long long>(m_action));
    m_keep = true;
    return false;
}

bool Soak::setUp()
{
    if (!m_dir.isValid())
        return false;
    m_dir.setAutoRemove(false); // removed at the end unless something was found
    const QString root = m_dir.path();
    m_home = root + QStringLiteral("/data");
    m_files = root + QStringLiteral("/files");
    for (const QString &sub : {QStringLiteral("/data"), QStringLiteral("/files"), QStringLiteral("/run"),
                               QStringLiteral("/bin"), QStringLiteral("/user"), QStringLiteral("/files/folder")})
        QDir().mkpath(root + sub);
    ::chmod(QFile::encodeName(root + QStringLiteral("/run")).constData(), 0700);
    m_log.setFileName(root + QStringLiteral("/soak.log"));
    if (!m_log.open(QIODevice::WriteOnly))
        return false;

    // Files for the program's dialogs to open, among them some that must not hang or crash it.
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile f(m_files + QLatin1Char('/') + name);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    write(QStringLiteral("sample.txt"), "first line\r\n二行目\r\n\r\nlast");
    write(QStringLiteral("cp932.txt"), "\x82\xa0\x82\xa2\x82\xa4\r\n\x83\x65\x83\x58\x83\x67\r\n");
    write(QStringLiteral("empty.txt"), QByteArray());
    ::mkfifo(QFile::encodeName(m_files + QStringLiteral("/fifo")).constData(), 0600);
    x11harness::run(QStringLiteral("convert"),
                    {QStringLiteral("-size"), QStringLiteral("120x80"), QStringLiteral("gradient:red-blue"),
                     m_files + QStringLiteral("/picture.png")});

    // Programs the toolbar launches (a browser, a file manager) are stand-ins that do nothing.
    const QString stub = root + QStringLiteral("/bin/xdg-open");
    write(QStringLiteral("../bin/xdg-open"), "#!/bin/sh\nexit 0\n");
    ::chmod(QFile::encodeName(stub).constData(), 0755);

    setUpChildEnvironment(root + QStringLiteral("/run"));
    g_env.insert(QStringLiteral("PATH"), root + QStringLiteral("/bin:") + g_env.value(QStringLiteral("PATH")));
    g_env.insert(QStringLiteral("HOME"), root + QStringLiteral("/user"));
    g_env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/user/.config"));
    g_env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    if (startXvfb(m_server).isEmpty())
        return false;
    return m_x.open(g_env.value(QStringLiteral("DISPLAY")).toLocal8Bit());
}

// Starts the program on the data folder and waits for its bar.
bool Soak::start()
{
    m_program = std::make_unique<QProcess>();
    QProcessEnvironment env = g_env;
    env.insert(QStringLiteral("VORNKIP_HOME"), m_home);
    m_program->setProcessEnvironment(env);
    m_program->setWorkingDirectory(m_files);
    m_program->setStandardInputFile(QProcess::nullDevice());
    m_program->setStandardOutputFile(QProcess::nullDevice());
    m_stderr = m_dir.path() + QStringLiteral("/stderr-%1.log").arg(++m_starts);
    m_program->setStandardErrorFile(m_stderr);
    m_program->start(QStringLiteral(VORNKIP_BIN), {});
    log(QStringLiteral("start %1").arg(m_starts));
    if (!m_program->waitForStarted())
        return finding(QStringLiteral("the program did not start"));
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kStartUpMs) {
        if (m_program->state() == QProcess::NotRunning)
            return finding(QStringLiteral("the program ended while starting"));
        if (!windows().isEmpty())
            return true;
        QTest::qWait(50);
    }
    return finding(QStringLiteral("the bar did not appear within %1 s").arg(kStartUpMs / 1000));
}

std::optional<xwindows::Window> Soak::fileDialog()
{
    for (const xwindows::Window &w : windows()) {
        if (kDialogTitles.contains(w.title))
            return w;
    }
    return std::nullopt;
}

// A file or font dialog is only ever answered, never clicked about in: its own commands would reach
// the rest of the machine (deleting, renaming, other folders). The name typed is one in the program's
// folder, where the dialog starts.
bool Soak::answerFileDialog(const xwindows::Window &dialog)
{
    if (pick(2) == 0 || dialog.title.contains(QStringLiteral("フォント")) ||
        dialog.title.contains(QStringLiteral("Font"))) {
        log(QStringLiteral("dialog '%1': %2")
                .arg(dialog.title, pick(2) ? QStringLiteral("Escape") : QStringLiteral("Return")));
        x11harness::key(dialog.id, m_rng() % 2 ? QStringLiteral("Escape") : QStringLiteral("Return"));
        return true;
    }
    const QString name = kFileNames[pick(static_cast<int>(kFileNames.size()))];
    log(QStringLiteral("dialog '%1': type %2, Return").arg(dialog.title, name));
    if (!dialog.title.contains(QStringLiteral("保存")) && !dialog.title.contains(QStringLiteral("Save")))
        m_historyMayBeForeign = true; // any file can be opened as the history
    xdotool({QStringLiteral("windowfocus"), QString::number(dialog.id)});
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("BackSpace")});
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), name});
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    return true;
}

bool Soak::click()
{
    const QList<xwindows::Window> shown = windows();
    if (shown.isEmpty())
        return secondStart();
    const xwindows::Window &w = shown[pick(static_cast<int>(shown.size()))];
    const QPoint at(w.geometry.x() + pick(std::max(1, w.geometry.width())),
                    w.geometry.y() + pick(std::max(1, w.geometry.height())));
    const int roll = pick(10);
    const int button = roll < 7 ? 1 : roll < 9 ? 3 : 2; // the middle button pastes
    const bool twice = pick(8) == 0;
    log(QStringLiteral("%1click %2 at %3,%4 of '%5'%6")
            .arg(twice ? QStringLiteral("double ") : QString(), button == 1   ? QStringLiteral("left")
                                                                : button == 3 ? QStringLiteral("right")
                                                                              : QStringLiteral("middle"))
            .arg(at.x())
            .arg(at.y())
            .arg(w.title, w.popup ? QStringLiteral(" (pop-up)") : QString()));
    xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
             QStringLiteral("--repeat"), twice ? QStringLiteral("2") : QStringLiteral("1"), QString::number(button)});
    return true;
}

bool Soak::clickOutside()
{
    const QPoint at(between(0, 1023), between(0, 767));
    log(QStringLiteral("click on the desktop at %1,%2").arg(at.x()).arg(at.y()));
    clickScreen(at);
    return true;
}

bool Soak::key()
{
    const QList<xwindows::Window> shown = windows();
    // The clipboard's keys come more often than their share: pasting is where the clipboard's state
    // (empty, without an owner, a picture, huge) meets every edit field.
    static const QStringList clipboardKeys = {QStringLiteral("ctrl+v"),      QStringLiteral("shift+Insert"),
                                              QStringLiteral("ctrl+Insert"), QStringLiteral("shift+Delete"),
                                              QStringLiteral("ctrl+c"),      QStringLiteral("ctrl+x")};
    const QString keys = pick(4) == 0 ? clipboardKeys[pick(static_cast<int>(clipboardKeys.size()))]
                                      : kKeys[pick(static_cast<int>(kKeys.size()))];
    if (!shown.isEmpty() && pick(3) == 0) {
        // Another window takes the focus first.
        const xwindows::Window &w = shown[pick(static_cast<int>(shown.size()))];
        log(QStringLiteral("focus '%1', key %2").arg(w.title, keys));
        xdotool({QStringLiteral("windowfocus"), QString::number(w.id)});
    } else {
        log(QStringLiteral("key %1").arg(keys));
    }
    xdotool({QStringLiteral("key"), keys});
    return true;
}

bool Soak::typing()
{
    const QString text = kTyping[pick(static_cast<int>(kTyping.size()))];
    log(QStringLiteral("type %1").arg(text));
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), text});
    return true;
}

bool Soak::copy()
{
    const int kind = pick(16);
    QByteArray text;
    switch (kind) {
    case 0:
        text = "plain " + QByteArray::number(m_action);
        break;
    case 1:
        text = "line one " + QByteArray::number(m_action) + "\r\nline two\r\n";
        break;
    case 2:
        text = "lone\rCR " + QByteArray::number(m_action);
        break;
    case 3:
        text = QByteArray("with\0NUL ", 9) + QByteArray::number(m_action);
        break;
    case 4:
        text = "bad \xff\xfe\xc3 UTF-8 " + QByteArray::number(m_action);
        break;
    case 5:
        text = QStringLiteral("日本語のコピー %1\n二行目").arg(m_action).toUtf8();
        break;
    case 6: {
        // About 5 MB, in lines.
        const QByteArray line = "5 MB text " + QByteArray::number(m_action) + " 大きなテキスト\n";
        text.reserve(5 << 20);
        while (text.size() < (5 << 20))
            text += line;
        break;
    }
    case 7:
        log(QStringLiteral("copy a picture"));
        x11harness::run(QStringLiteral("sh"), {QStringLiteral("-c"),
                                               QStringLiteral("xclip -selection clipboard -t image/png -i \"$0\" "
                                                              ">/dev/null 2>&1"),
                                               m_files + QStringLiteral("/picture.png")});
        return true;
    case 8:
    case 9: {
        const bool burst = kind == 8;
        auto owner = std::make_unique<QProcess>();
        owner->setProcessEnvironment(g_env);
        owner->setStandardOutputFile(QProcess::nullDevice());
        owner->setStandardErrorFile(QProcess::nullDevice());
        QStringList args;
        if (burst) {
            args = {QStringLiteral("--burst"), QString::number(between(5, 40)), QStringLiteral("--interval"),
                    QString::number(between(0, 20))};
        } else {
            args = {QStringLiteral("--text"), QStringLiteral("secret %1").arg(m_action), QStringLiteral("--secret")};
        }
        log(QStringLiteral("copy from clipowner %1").arg(args.join(QLatin1Char(' '))));
        owner->start(QStringLiteral(VORNKIP_CLIPOWNER), args);
        m_owners.push_back(std::move(owner));
        return true;
    }
    case 10:
        text = QByteArray();
        break;
    case 13:
    case 14:
    case 15: {
        // The other program quits once its text has been read: the clipboard is left without an owner.
        text = "owner quits " + QByteArray::number(m_action);
        log(QStringLiteral("copy from a program that quits after one request: %1").arg(QString::fromUtf8(text)));
        QProcess p;
        p.setProcessEnvironment(g_env);
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        p.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                          QStringLiteral("-loops"), QStringLiteral("1"), QStringLiteral("-i")});
        p.waitForStarted();
        p.write(text);
        p.closeWriteChannel();
        p.waitForFinished(kWaitMs);
        return true;
    }
    case 11:
        text = "https://example.com/?q=" + QByteArray::number(m_action);
        break;
    default:
        text = (m_files + QStringLiteral("/sample.txt")).toUtf8();
        break;
    }
    QString shown;
    for (const QChar c : QString::fromUtf8(text.left(40)))
        shown += c.unicode() < 0x20 ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0')) : QString(c);
    log(QStringLiteral("copy %1 bytes: %2").arg(text.size()).arg(shown));
    copyText(text);
    return true;
}

bool Soak::closeWindow()
{
    const QList<xwindows::Window> shown = windows();
    if (shown.isEmpty())
        return true;
    const xwindows::Window &w = shown[pick(static_cast<int>(shown.size()))];
    log(QStringLiteral("close box of '%1'").arg(w.title));
    m_x.closeWindow(w.id);
    return true;
}

// A second start of the program, as from the menu while the bar is hidden: it brings the running one
// back and says so in a box, which is answered.
bool Soak::secondStart()
{
    log(QStringLiteral("second start"));
    QProcess second;
    QProcessEnvironment env = g_env;
    env.insert(QStringLiteral("VORNKIP_HOME"), m_home);
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(m_files);
    second.setStandardInputFile(QProcess::nullDevice());
    second.setStandardOutputFile(QProcess::nullDevice());
    const QString err = m_dir.path() + QStringLiteral("/stderr-second.log");
    second.setStandardErrorFile(err);
    second.start(QStringLiteral(VORNKIP_BIN), {});
    if (!second.waitForStarted())
        return finding(QStringLiteral("a second start did not start"));
    QElapsedTimer waited;
    waited.start();
    while (second.state() != QProcess::NotRunning && waited.elapsed() < kStartUpMs &&
           !(ended(*m_program) && waited.elapsed() > 5000)) {
        const QList<xwindows::Window> box = m_x.windowsOf(second.processId());
        if (!box.isEmpty())
            x11harness::key(box.first().id, QStringLiteral("Return"));
        second.waitForFinished(200);
    }
    if (second.state() != QProcess::NotRunning && ended(*m_program)) {
        // The running copy was ending (its user had just quit it): the second start took over. It is
        // ended as any copy is; the first one's end is checked by the next probe.
        log(QStringLiteral("the running copy had ended: the second start took over, SIGTERM"));
        const int status = x11harness::stop(&second, SIGTERM);
        if (status != 0 || reportsFault(fileBytes(err)))
            return finding(QStringLiteral("a second start that took over did not end well (%1)").arg(err));
        return true;
    }
    if (second.state() != QProcess::NotRunning) {
        finding(QStringLiteral("a second start did not end"));
        second.kill();
        second.waitForFinished();
        return false;
    }
    const QByteArray reported = fileBytes(err);
    if (reportsFault(reported))
        return finding(QStringLiteral("a second start reported: %1").arg(QString::fromUtf8(reported.left(2000))));
    if (second.exitStatus() != QProcess::NormalExit || second.exitCode() != 0)
        return finding(QStringLiteral("a second start ended with status %1").arg(second.exitCode()));
    return true;
}

bool Soak::signalAndRestart()
{
    const int sig = pick(2) ? SIGTERM : SIGHUP;
    // What the history holds now must still be there after the end.
    const QByteArray before = fileBytes(historyPath());
    log(QStringLiteral("signal %1, restart")
            .arg(sig == SIGTERM ? QStringLiteral("SIGTERM") : QStringLiteral("SIGHUP")));
    ::kill(static_cast<pid_t>(m_program->processId()), sig);
    if (!m_program->waitForFinished(kEndMs))
        return finding(QStringLiteral("the program did not end within %1 s of the signal").arg(kEndMs / 1000));
    if (!checkEnd(sig) || !checkHistory(before))
        return false;
    ++m_restarts;
    return start();
}

bool Soak::checkEnd(int expectedSignal)
{
    const QByteArray reported = fileBytes(m_stderr);
    if (reportsFault(reported))
        return finding(
            QStringLiteral("sanitizer report in %1:\n%2").arg(m_stderr, QString::fromUtf8(reported.right(4000))));
    if (m_program->exitStatus() != QProcess::NormalExit)
        return finding(QStringLiteral("the program crashed (%1)").arg(m_stderr));
    if (m_program->exitCode() != 0)
        return finding(
            QStringLiteral("the program ended with status %1 (%2)").arg(m_program->exitCode()).arg(m_stderr));
    if (!expectedSignal) {
        ++m_userQuits;
        log(QStringLiteral("the program ended by itself (the user quit)"));
    }
    return checkSettings() && checkHistory({});
}

// Every line a six-digit number, numbers increasing, every line ended by CR LF; and every line the
// history held before the end still there.
bool Soak::checkHistory(const QByteArray &before)
{
    const QByteArray bytes = fileBytes(historyPath());
    if (bytes.isEmpty())
        return before.isEmpty() ? true : finding(QStringLiteral("the history was lost"));
    static const QRegularExpression shape(QStringLiteral("^[0-9]{6}"));
    if (m_historyMayBeForeign && !shape.match(QString::fromLatin1(bytes.left(6))).hasMatch()) {
        // The user opened a file that is no history as the history: the program keeps it as it is and
        // lists nothing of it, so only what it held before is checked.
        log(QStringLiteral("the history is a file opened as the history: its lines are not checked"));
        if (!before.isEmpty() && !bytes.startsWith(before))
            return finding(QStringLiteral("the history lost what it held before the end"));
        return true;
    }
    if (!bytes.endsWith("\r\n"))
        return finding(QStringLiteral("the history's last line is not whole"));
    const QList<QByteArray> lines = bytes.left(bytes.size() - 2).split('\n');
    int previous = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (i + 1 < lines.size()) {
            if (!line.endsWith('\r'))
                return finding(QStringLiteral("history line %1 ends without CR LF").arg(i + 1));
            line.chop(1);
        }
        if (line.contains('\r'))
            return finding(QStringLiteral("history line %1 holds a lone CR").arg(i + 1));
        if (!shape.match(QString::fromLatin1(line.left(6))).hasMatch())
            return finding(QStringLiteral("history line %1 does not start with a number: %2")
                               .arg(i + 1)
                               .arg(QString::fromUtf8(line.left(40))));
        const int number = line.left(6).toInt();
        if (number <= previous)
            return finding(QStringLiteral("history line %1: number %2 after %3").arg(i + 1).arg(number).arg(previous));
        previous = number;
    }
    if (!before.isEmpty() && !bytes.startsWith(before))
        return finding(QStringLiteral("the history lost entries it held before the end"));
    return true;
}

// The settings file must load, and hold every key a new one has.
bool Soak::checkSettings()
{
    const QString path = m_home + QStringLiteral("/form.ini");
    const QString written = QString::fromUtf8(fileBytes(path));
    static const QRegularExpression keyLine(QStringLiteral("^([^=\\r\\n\\[]+)="), QRegularExpression::MultilineOption);
    auto it = keyLine.globalMatch(defaultIniText(m_home));
    while (it.hasNext()) {
        const QString key = it.next().captured(1);
        if (!written.contains(
                QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(key) + QStringLiteral("="),
                                   QRegularExpression::MultilineOption)))
            return finding(QStringLiteral("form.ini lacks the key %1").arg(key));
    }
    try {
        QTemporaryDir copy;
        QFile::copy(path, copy.path() + QStringLiteral("/form.ini"));
        iniRead(copy.path());
    } catch (const std::exception &) {
        return finding(QStringLiteral("form.ini does not load"));
    }
    return true;
}

// The program must answer the window manager's ping within the limit, whatever it is doing.
bool Soak::probe()
{
    if (m_program->state() == QProcess::NotRunning) {
        if (!checkEnd(0))
            return false;
        ++m_restarts;
        return start();
    }
    // Every window of the program, shown or hidden, is asked at once: any of them answers for it. A
    // window may be made anew (a change of its flags) at any moment, so no answer from a program that
    // has no window at that moment is asked again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QList<::Window> all = m_x.topLevelsOf(m_program->processId());
        if (!all.isEmpty() && m_x.ping(all, kAnswerMs))
            return true;
        if (m_program->state() == QProcess::NotRunning || m_program->waitForFinished(100))
            return probe();
        if (!all.isEmpty())
            return finding(QStringLiteral("the program did not answer within %1 s").arg(kAnswerMs / 1000));
    }
    // No window at all: the program is ending (its user has just quit it). It must then end.
    if (m_program->waitForFinished(kEndMs))
        return probe();
    return finding(QStringLiteral("the program has no window and does not end"));
}

bool Soak::act(Action action)
{
    ++m_counts[static_cast<int>(action)];
    // An open file or font dialog is answered first: nothing else reaches the program while it is open.
    if (const auto dialog = fileDialog(); dialog && action != Action::Signal)
        return answerFileDialog(*dialog);
    switch (action) {
    case Action::Click:
        return click();
    case Action::Key:
        return key();
    case Action::Typing:
        return typing();
    case Action::Copy:
        return copy();
    case Action::CloseWindow:
        return closeWindow();
    case Action::ClickOutside:
        return clickOutside();
    case Action::SecondStart:
        return secondStart();
    case Action::Signal:
        return signalAndRestart();
    case Action::Count:
        break;
    }
    return true;
}

int Soak::run()
{
    if (!setUp()) {
        std::fprintf(stderr, "soak: could not set up (Xvfb, xdotool, a temporary folder)\n");
        return 2;
    }
    // Weights of the actions, in the order of Action.
    const std::vector<int> weights = {40, 35, 6, 10, 1, 3, 1, 1};
    std::discrete_distribution<int> choose(weights.begin(), weights.end());
    bool ok = start();
    QElapsedTimer clock;
    clock.start();
    while (ok && clock.elapsed() < m_seconds * 1000 && (m_maxActions <= 0 || m_action < m_maxActions)) {
        ++m_action;
        ok = act(static_cast<Action>(choose(m_rng))) && probe();
        if (ok)
            QTest::qWait(pick(150));
    }
    if (ok) {
        log(QStringLiteral("end: SIGTERM"));
        const QByteArray before = fileBytes(historyPath());
        ::kill(static_cast<pid_t>(m_program->processId()), SIGTERM);
        ok = m_program->waitForFinished(kEndMs) ? checkEnd(SIGTERM) && checkHistory(before)
                                                : finding(QStringLiteral("the program did not end at the end"));
    }
    if (m_program && m_program->state() != QProcess::NotRunning) {
        m_program->kill();
        m_program->waitForFinished();
    }
    killAll(m_owners);
    m_x.close();
    stopXvfb(m_server);
    const QString summary =
        QStringLiteral(
            "seed %1: %2 actions in %3 s (clicks %4, keys %5, typing %6, copies %7, closes %8, desktop clicks %9, "
            "second starts %10, signals %11), %12 starts, %13 restarts, %14 quits by the user: %15")
            .arg(m_seed)
            .arg(m_action)
            .arg(clock.elapsed() / 1000)
            .arg(m_counts[0])
            .arg(m_counts[1])
            .arg(m_counts[2])
            .arg(m_counts[3])
            .arg(m_counts[4])
            .arg(m_counts[5])
            .arg(m_counts[6])
            .arg(m_counts[7])
            .arg(m_starts)
            .arg(m_restarts)
            .arg(m_userQuits)
            .arg(ok ? QStringLiteral("nothing found") : QStringLiteral("FINDING"));
    log(summary);
    std::printf("%s\n", qPrintable(summary));
    return ok ? 0 : 1;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions(
        {{QStringLiteral("seed"), QStringLiteral("The random seed."), QStringLiteral("N"), QStringLiteral("1")},
         {QStringLiteral("seconds"), QStringLiteral("How long to run."), QStringLiteral("S"), QStringLiteral("60")},
         {QStringLiteral("actions"), QStringLiteral("Stop after this many actions."), QStringLiteral("N"),
          QStringLiteral("0")},
         {QStringLiteral("keep"), QStringLiteral("Keep the folder with the log and the data folder.")}});
    parser.addHelpOption();
    parser.process(app);
    Soak soak(parser.value(QStringLiteral("seed")).toUInt(), parser.value(QStringLiteral("seconds")).toLongLong(),
              parser.value(QStringLiteral("actions")).toLongLong());
    soak.setKeep(parser.isSet(QStringLiteral("keep")));
    const int status = soak.run();
    if (soak.keep())
        std::printf("soak: log and data folder kept in %s\n", qPrintable(soak.folder()));
    else
        QDir(soak.folder()).removeRecursively();
    return status;
}
