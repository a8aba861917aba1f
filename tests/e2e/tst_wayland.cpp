// SPDX-License-Identifier: GPL-3.0-or-later
// End to end on Wayland: the real vornkip started as a desktop starts it in a sway session (its windows
// on XWayland, the clipboard watched through the compositor's data-control protocol), while a native
// Wayland window of another program has the focus. Other programs copy with wl-copy and paste with
// wl-paste; the checks read the history file of the instance's data folder.
#include "swayharness.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

#include <signal.h>

namespace {
using namespace swayharness;

constexpr int kStartMs = 20000;
// The history list's edit field, below the toolbar.
constexpr QPoint kListEdit(60, 38);

// The focused window of the session as sway sees it: its tree node.
QJsonObject focusedNode(const QJsonObject &node)
{
    if (node.value(QStringLiteral("focused")).toBool())
        return node;
    for (const char *children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue &child : node.value(QLatin1String(children)).toArray()) {
            if (const QJsonObject found = focusedNode(child.toObject()); !found.isEmpty())
                return found;
        }
    }
    return {};
}

// A window as sway knows it: its Wayland app_id, or its X11 class.
QString windowName(const QJsonObject &node)
{
    const QString appId = node.value(QStringLiteral("app_id")).toString();
    return appId.isEmpty()
               ? node.value(QStringLiteral("window_properties")).toObject().value(QStringLiteral("class")).toString()
               : appId;
}

// An entry as the history file holds it, for a text copied with LF line breaks (the program's CR LF
// is written as "@1@2@3").
QByteArray historyLine(int number, const QByteArray &text)
{
    QByteArray line = QByteArray::number(number).rightJustified(6, '0') + text;
    return line.replace("\n", "@1@2@3") + "\r\n";
}

QByteArray bigText()
{
    QByteArray text;
    for (int i = 0; text.size() < 5 * 1024 * 1024; ++i)
        text += "line " + QByteArray::number(i) + " of a large copy\n";
    return text;
}
} // namespace

class TestWayland final : public QObject
{
    Q_OBJECT

private:
    Session m_session;
    QProcessEnvironment m_env;
    QTemporaryDir m_home;
    QTemporaryDir m_logs;
    QTemporaryDir m_bin;
    QString m_vornkip;
    QString m_lsanOptions;
    std::vector<std::unique_ptr<QProcess>> m_started;
    std::vector<pid_t> m_boundStarts; // the program as a key binding of sway's started it

    QString file(const char *name) const { return m_home.filePath(QLatin1String(name)); }

    QProcess *start(const QString &program, const QStringList &args, const QProcessEnvironment &env,
                    bool asSessionUser = false)
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->setStandardInputFile(QProcess::nullDevice());
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->setStandardOutputFile(
            m_logs.filePath(QStringLiteral("%1-%2.log").arg(QFileInfo(program).fileName()).arg(m_started.size())));
        if (asSessionUser) {
            const auto [user, userArgs] = m_session.asSessionUser(program, args);
            p->start(user, userArgs);
        } else {
            p->start(program, args);
        }
        p->waitForStarted();
        m_started.push_back(std::move(p));
        return m_started.back().get();
    }

    Result xdotool(const QStringList &args)
    {
        const auto [program, userArgs] = m_session.asSessionUser(QStringLiteral("xdotool"), args);
        return run(m_session.sessionUserEnvironment(), program, userArgs);
    }

    qulonglong waitForWindow(const QProcess &p)
    {
        for (int waited = 0; waited < kStartMs; waited += 100) {
            const Result r =
                xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                         QString::number(p.processId()), QStringLiteral("--class"), QStringLiteral("^vornkip$")});
            if (const qulonglong id = r.out.split('\n').first().trimmed().toULongLong())
                return id;
            QTest::qWait(100);
        }
        return 0;
    }

    Result swaymsg(const QStringList &args)
    {
        QProcessEnvironment env = m_env;
        env.insert(QStringLiteral("SWAYSOCK"), m_session.swaySocket());
        return run(env, QStringLiteral("swaymsg"), args);
    }

    QJsonObject focusedNode()
    {
        const Result tree = swaymsg({QStringLiteral("-t"), QStringLiteral("get_tree")});
        return ::focusedNode(QJsonDocument::fromJson(tree.out).object());
    }

    QString focused() { return windowName(focusedNode()); }

    bool waitForFocus(const QString &window)
    {
        for (int waited = 0; waited < kStartMs; waited += 100) {
            if (focused() == window)
                return true;
            QTest::qWait(100);
        }
        return false;
    }

    QByteArray history() const
    {
        QFile f(file("temp.ifo"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(QStringLiteral(VORNKIP_BIN)).isExecutable(), VORNKIP_BIN " is not built");
        if (!haveSway())
            QSKIP("sway, wl-copy and wl-paste are needed");
        for (const char *tool : {"xdotool", "swaymsg", "Xwayland"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is needed").arg(QLatin1String(tool))));
        }
        QVERIFY(m_home.isValid() && m_logs.isValid());
        const QString error = m_session.start();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(!m_session.x11Display().isEmpty(), "sway started no XWayland");
        m_env = m_session.clientEnvironment();

        // The session's account may not reach the build tree (a checkout under /root): it runs a copy
        // of the program, and reads a copy of the leak checker's suppressions where there are any.
        QVERIFY(m_bin.isValid());
        m_vornkip = m_bin.filePath(QStringLiteral("vornkip"));
        QVERIFY(QFile::copy(QStringLiteral(VORNKIP_BIN), m_vornkip));
        m_lsanOptions = qEnvironmentVariable("LSAN_OPTIONS");
        static const QRegularExpression suppressions(QStringLiteral("suppressions=([^:]+)"));
        if (const QRegularExpressionMatch m = suppressions.match(m_lsanOptions); m.hasMatch()) {
            const QString copy = m_bin.filePath(QStringLiteral("lsan.supp"));
            QVERIFY(QFile::copy(m.captured(1), copy));
            m_lsanOptions.replace(m.capturedStart(1), m.capturedLength(1), copy);
        }
        QVERIFY(m_session.giveToSessionUser(m_bin.path()));
    }

    void cleanup()
    {
        if (QTest::currentTestFailed()) {
            for (const QString &log : QDir(m_logs.path()).entryList(QDir::Files, QDir::Name)) {
                QFile f(m_logs.filePath(log));
                if (f.open(QIODevice::ReadOnly))
                    qInfo("output of %s:\n%s", qPrintable(log), f.readAll().right(4000).constData());
            }
            qInfo("sway's log:\n%s", m_session.log().constData());
        }
        for (const auto &p : m_started) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished();
            }
        }
        m_started.clear();
        for (const pid_t pid : m_boundStarts)
            ::kill(pid, SIGKILL);
        m_boundStarts.clear();
    }

    void cleanupTestCase() { m_session.stop(); }

    // Copies made in another program's window are recorded whole, a password manager's are not, and
    // choosing an entry puts its whole text on the clipboard for the other programs.
    void copiesWhileAnotherWindowHasTheFocus()
    {
        // Started as the desktop starts it: in the session, as its user.
        QProcessEnvironment env = m_session.sessionUserEnvironment();
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("VORNKIP_HOME"), m_home.path());
        QVERIFY(m_session.giveToSessionUser(m_home.path()));
        if (!m_lsanOptions.isEmpty())
            env.insert(QStringLiteral("LSAN_OPTIONS"), m_lsanOptions);
        QProcess *vornkip = start(m_vornkip, {}, env, true);
        const qulonglong window = waitForWindow(*vornkip);
        QVERIFY2(window, "no vornkip window appeared");

        QProcessEnvironment native = m_env;
        native.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        native.remove(QStringLiteral("DISPLAY"));
        start(QStringLiteral(VORNKIP_WLWINDOW), {}, native);
        QVERIFY2(waitForFocus(QStringLiteral("vornkip-test-window")), qPrintable(focused()));

        QVERIFY(wlCopy(m_env, "first line\nsecond line"));
        const QByteArray one = historyLine(1, "first line\nsecond line");
        QTRY_COMPARE_WITH_TIMEOUT(history(), one, kWaitMs);

        auto secret =
            start(QStringLiteral(VORNKIP_WLSECRETCOPY), {QStringLiteral("secret"), QStringLiteral("hunter2")}, m_env);
        QVERIFY(secret->waitForStarted());
        QTest::qWait(1000);
        QVERIFY(wlCopy(m_env, "after the password"));
        const QByteArray two = one + historyLine(2, "after the password");
        QTRY_COMPARE_WITH_TIMEOUT(history(), two, kWaitMs);

        const QByteArray big = bigText();
        QVERIFY(wlCopy(m_env, big));
        const QByteArray three = two + historyLine(3, big);
        QTRY_VERIFY_WITH_TIMEOUT(history().size() == three.size(), kWaitMs);
        QVERIFY(history() == three);
        QVERIFY2(focused() == QStringLiteral("vornkip-test-window"), qPrintable(focused()));

        // The user turns to Vornkip and clicks its list.
        swaymsg({QStringLiteral("[pid=%1] focus").arg(vornkip->processId())});
        QVERIFY2(waitForFocus(QStringLiteral("vornkip")), qPrintable(focused()));
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window),
                 QString::number(kListEdit.x()), QString::number(kListEdit.y()), QStringLiteral("click"),
                 QStringLiteral("1")});
        // The list starts at the clipboard's content, the newest entry: down to the older ones, and
        // back up to the newest, which must come back whole.
        const auto press = [this](const char *key) { xdotool({QStringLiteral("key"), QLatin1String(key)}); };
        press("Down");
        QTRY_COMPARE_WITH_TIMEOUT(wlPaste(m_env).out, QByteArray("after the password"), kWaitMs);
        // Put there by the data-control back-end (its own marker among the formats), not through XWayland.
        const Result types = run(m_env, QStringLiteral("wl-paste"), {QStringLiteral("--list-types")});
        QVERIFY2(types.out.contains("application/x-vornkip-source"), types.out.constData());
        press("Down");
        QTRY_COMPARE_WITH_TIMEOUT(wlPaste(m_env).out, QByteArray("first line\nsecond line"), kWaitMs);
        press("Up");
        QTRY_COMPARE_WITH_TIMEOUT(wlPaste(m_env).out, QByteArray("after the password"), kWaitMs);
        press("Up");
        QTRY_VERIFY_WITH_TIMEOUT(wlPaste(m_env).out.size() == big.size(), kWaitMs);
        QVERIFY(wlPaste(m_env).out == big);

        ::kill(static_cast<pid_t>(vornkip->processId()), SIGTERM);
        QVERIFY(vornkip->waitForFinished(kWaitMs));
        QCOMPARE(vornkip->exitStatus(), QProcess::NormalExit);
        QCOMPARE(vornkip->exitCode(), 0);
        QVERIFY(history() == three);
    }

    // Without an X display the windows are native Wayland ones, beside the back-end's own connection.
    void nativeWaylandWindows()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid() && m_session.giveToSessionUser(home.path()));
        QProcessEnvironment env = m_session.sessionUserEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("VORNKIP_HOME"), home.path());
        if (!m_lsanOptions.isEmpty()) {
            // Qt's Wayland plugin leaves some of its objects for the exit; they are suppressed by its
            // library's name, which only a full stack of the allocation shows.
            env.insert(QStringLiteral("LSAN_OPTIONS"), m_lsanOptions + QStringLiteral(":fast_unwind_on_malloc=0"));
            env.insert(QStringLiteral("ASAN_OPTIONS"),
                       env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":fast_unwind_on_malloc=0"));
        }
        QProcess *vornkip = start(m_vornkip, {}, env, true);
        // A native window is known by its application id, the name of the installed desktop entry.
        QVERIFY2(waitForFocus(QStringLiteral("io.github.vornkip.Vornkip")), qPrintable(focused()));
        // Another program takes the focus and copies.
        QProcessEnvironment native = m_env;
        native.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        start(QStringLiteral(VORNKIP_WLWINDOW), {}, native);
        QVERIFY2(waitForFocus(QStringLiteral("vornkip-test-window")), qPrintable(focused()));
        QVERIFY(wlCopy(m_env, "copied beside a native window"));
        QFile file(home.filePath(QStringLiteral("temp.ifo")));
        const auto recorded = [&file] {
            file.close();
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QTRY_COMPARE_WITH_TIMEOUT(recorded(), historyLine(1, "copied beside a native window"), kWaitMs);
        ::kill(static_cast<pid_t>(vornkip->processId()), SIGTERM);
        QVERIFY(vornkip->waitForFinished(kWaitMs));
        QCOMPARE(vornkip->exitStatus(), QProcess::NormalExit);
        QCOMPARE(vornkip->exitCode(), 0);
    }

    void popupPastesIntoTheWindowItCameFrom_data()
    {
        QTest::addColumn<bool>("running");
        QTest::newRow("running") << true;
        QTest::newRow("started by the binding") << false;
    }

    // The popup from the desktop's own binding, as on sway: the user works in another program's text
    // field, presses the keys, moves to an older entry and presses Enter; the entry is on the
    // clipboard whole and typed into the field by our virtual keyboard, and recorded nothing. When
    // Vornkip does not run, the binding starts it, and the popup is all it shows.
    void popupPastesIntoTheWindowItCameFrom()
    {
        QFETCH(bool, running);
        for (const char *tool : {"wtype", "setxkbmap"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is needed").arg(QLatin1String(tool))));
        }
        QTemporaryDir home;
        QVERIFY(home.isValid() && m_session.giveToSessionUser(home.path()));
        QProcessEnvironment env = m_session.sessionUserEnvironment();
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("VORNKIP_HOME"), home.path());
        QString lsan;
        if (!m_lsanOptions.isEmpty()) {
            env.insert(QStringLiteral("LSAN_OPTIONS"), m_lsanOptions);
            lsan = QStringLiteral("LSAN_OPTIONS='%1' ").arg(m_lsanOptions);
        }
        QProcess *vornkip = start(m_vornkip, {}, env, true);
        QVERIFY2(waitForWindow(*vornkip), "no vornkip window appeared");
        QVERIFY(swaymsg({QStringLiteral("bindsym"), QStringLiteral("Ctrl+Alt+v"),
                         QStringLiteral("exec env VORNKIP_HOME='%1' %2'%3' --popup").arg(home.path(), lsan, m_vornkip)})
                    .exitCode == 0);

        QProcessEnvironment native = m_env;
        native.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        native.remove(QStringLiteral("DISPLAY"));
        auto &client = *m_started.emplace_back(std::make_unique<QProcess>());
        client.setProcessEnvironment(native);
        client.setStandardErrorFile(QProcess::nullDevice());
        client.start(QStringLiteral(VORNKIP_WLWINDOW), {QStringLiteral("--field")});
        QVERIFY(!nextLine(client, "focus").isNull());
        QVERIFY2(waitForFocus(QStringLiteral("vornkip-test-window")), qPrintable(focused()));

        QFile file(home.filePath(QStringLiteral("temp.ifo")));
        const auto recorded = [&file] {
            file.close();
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray lines = "first line\nsecond line, 日本語\n\tindented\n";
        QByteArray entries;
        int number = 0;
        for (const QByteArray &text : {lines, QByteArray("a later copy"), QByteArray("the newest copy")}) {
            QVERIFY(wlCopy(m_env, text));
            entries += historyLine(++number, text);
            QTRY_COMPARE_WITH_TIMEOUT(recorded(), entries, kWaitMs);
        }
        if (!running) {
            ::kill(static_cast<pid_t>(vornkip->processId()), SIGTERM);
            QVERIFY(vornkip->waitForFinished(kWaitMs));
            QCOMPARE(vornkip->exitCode(), 0);
        }

        // The keys through a keyboard of the seat, which sway's binding sees first.
        QVERIFY(run(m_env, "wtype", {"-M", "ctrl", "-M", "alt", "v", "-m", "alt", "-m", "ctrl"}).exitCode == 0);
        QTRY_COMPARE_WITH_TIMEOUT(focusedNode().value(QStringLiteral("name")).toString(), QStringLiteral("履歴"),
                                  kWaitMs);
        const auto popupProcess = static_cast<pid_t>(focusedNode().value(QStringLiteral("pid")).toInt());
        if (running)
            QCOMPARE(popupProcess, static_cast<pid_t>(vornkip->processId()));
        else
            m_boundStarts.push_back(popupProcess);
        // Newest first: two rows down is the oldest entry. Typed into the popup, an XWayland window,
        // through XTest: wtype's key map of its own reaches XWayland's clients late or not at all. It
        // leaves XWayland with its few keys, for which xdotool would map the arrows just for the
        // moment, gone again when Qt reads the map: a whole layout first.
        const auto [setxkbmap, layout] = m_session.asSessionUser("setxkbmap", {"us"});
        QVERIFY(run(m_session.sessionUserEnvironment(), setxkbmap, layout).exitCode == 0);
        QVERIFY(xdotool({"key", "Down", "Down", "Return"}).exitCode == 0);
        QTRY_COMPARE_WITH_TIMEOUT(wlPaste(m_env).out, lines, kWaitMs);
        QCOMPARE(QByteArray::fromBase64(nextLine(client, "text ")), lines);
        QCOMPARE(focused(), QStringLiteral("vornkip-test-window"));

        // Nothing came in between: the next copy is the fourth entry.
        QVERIFY(wlCopy(m_env, "after the pick"));
        QTRY_COMPARE_WITH_TIMEOUT(recorded(), entries + historyLine(4, "after the pick"), kWaitMs);
        QCOMPARE(::kill(popupProcess, SIGTERM), 0);
        if (running) {
            QVERIFY(vornkip->waitForFinished(kWaitMs));
            QCOMPARE(vornkip->exitCode(), 0);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(::kill(popupProcess, 0) != 0, kWaitMs); // sway's child, not ours
        }
    }
};

QTEST_GUILESS_MAIN(TestWayland)
#include "tst_wayland.moc"
