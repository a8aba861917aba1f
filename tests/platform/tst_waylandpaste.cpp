// SPDX-License-Identifier: GPL-3.0-or-later
// The Wayland paste sender against a real compositor: sway on its headless back-end. A native Wayland
// window of another program (wlwindow --field) has the focus and wl-copy holds a text; the sender
// types the paste keys through its virtual keyboard, and the window's field must hold the text whole,
// whatever layout the compositor's keyboards are set to.
#include "e2e/swayharness.h"
#include "platform/waylandpaste.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {
constexpr int kWaitMs = 10000;
const QString kLines =
    QStringLiteral("first line\nsecond line \u2713 \u65e5\u672c\u8a9e\n\tindented, and a blank:\n\nlast");
} // namespace

class TestWaylandPaste : public QObject
{
    Q_OBJECT

private:
    swayharness::Session m_session;
    QProcessEnvironment m_env;
    std::unique_ptr<WaylandPasteSender> m_sender;

    bool swaymsg(const QStringList &args)
    {
        QProcessEnvironment env = m_env;
        env.insert(QStringLiteral("SWAYSOCK"), m_session.swaySocket());
        return swayharness::run(env, QStringLiteral("swaymsg"), args).exitCode == 0;
    }

private slots:
    void initTestCase()
    {
        if (!swayharness::haveSway() || QStandardPaths::findExecutable(QStringLiteral("swaymsg")).isEmpty())
            QSKIP("sway, swaymsg, wl-copy and wl-paste are needed");
        const QString error = m_session.start();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        m_env = m_session.clientEnvironment();
        qputenv("WAYLAND_DISPLAY", QFile::encodeName(m_session.waylandDisplay()));
        m_sender = std::make_unique<WaylandPasteSender>();
        QVERIFY(m_sender->canPaste()); // at once: a popup opened with the program asks first
        QVERIFY(m_sender->targetClass().isEmpty());
    }

    void cleanupTestCase()
    {
        m_sender.reset();
        m_session.stop();
    }

    void pastesIntoTheFocusedWindow_data()
    {
        QTest::addColumn<PasteKeys>("keys");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QString>("text");
        const QString us = QStringLiteral("us");
        const QString none = QStringLiteral("\"\""); // no variant
        QTest::newRow("Ctrl+V, a line") << PasteKeys::CtrlV << us << none << QStringLiteral("a line, copied");
        QTest::newRow("Ctrl+V, lines") << PasteKeys::CtrlV << us << none << kLines;
        QTest::newRow("Shift+Insert, lines") << PasteKeys::ShiftInsert << us << none << kLines;
        QTest::newRow("Ctrl+V, German") << PasteKeys::CtrlV << QStringLiteral("de") << none << kLines;
        QTest::newRow("Ctrl+V, Dvorak") << PasteKeys::CtrlV << us << QStringLiteral("dvorak") << kLines;
        QTest::newRow("Shift+Insert, Dvorak") << PasteKeys::ShiftInsert << us << QStringLiteral("dvorak") << kLines;
    }

    void pastesIntoTheFocusedWindow()
    {
        QFETCH(PasteKeys, keys);
        QFETCH(QString, layout);
        QFETCH(QString, variant);
        QFETCH(QString, text);
        // Every keyboard of the seat, ours among them, is told to take the user's layout.
        QVERIFY(
            swaymsg({QStringLiteral("input"), QStringLiteral("type:keyboard"), QStringLiteral("xkb_layout"), layout}));
        QVERIFY(swaymsg(
            {QStringLiteral("input"), QStringLiteral("type:keyboard"), QStringLiteral("xkb_variant"), variant}));
        QVERIFY(swayharness::wlCopy(m_env, text.toUtf8()));

        QProcess window;
        QProcessEnvironment env = m_env;
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        window.setProcessEnvironment(env);
        window.setStandardErrorFile(QProcess::nullDevice());
        window.start(QStringLiteral(VORNKIP_WLWINDOW), {QStringLiteral("--field")});
        auto end = qScopeGuard([&] {
            window.terminate();
            if (!window.waitForFinished(kWaitMs))
                window.kill();
            window.waitForFinished();
        });
        QVERIFY(!swayharness::nextLine(window, "focus").isNull());

        QSignalSpy pasted(m_sender.get(), &PasteSender::pasted);
        m_sender->paste(keys);
        QVERIFY(pasted.wait(kWaitMs));
        QCOMPARE(pasted.first().first().toBool(), true);
        QCOMPARE(QString::fromUtf8(QByteArray::fromBase64(swayharness::nextLine(window, "text "))), text);
    }

    void noCompositor()
    {
        const QByteArray display = qgetenv("WAYLAND_DISPLAY");
        qputenv("WAYLAND_DISPLAY", "/nonexistent/wayland-0");
        WaylandPasteSender sender;
        qputenv("WAYLAND_DISPLAY", display);
        QVERIFY(!sender.canPaste());
        QSignalSpy pasted(&sender, &PasteSender::pasted);
        sender.paste(PasteKeys::CtrlV);
        QVERIFY(pasted.wait(kWaitMs));
        QCOMPARE(pasted.first().first().toBool(), false);
    }

    // Last: the compositor ends.
    void compositorGoesAway()
    {
        m_session.stop();
        QSignalSpy pasted(m_sender.get(), &PasteSender::pasted);
        m_sender->paste(PasteKeys::CtrlV);
        QVERIFY(pasted.wait(kWaitMs));
        QCOMPARE(pasted.first().first().toBool(), false);
    }
};

QTEST_MAIN(TestWaylandPaste)
#include "tst_waylandpaste.moc"
