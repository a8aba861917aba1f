// SPDX-License-Identifier: GPL-3.0-or-later
// The global shortcut through the desktop portal, against a fake portal (fakeportal.py, a python3-dbusmock
// template) on a private session bus of the test's own: no display is needed.
#include "fakes/fakes.h"
#include "platform/portalshortcut.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString portalName = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString mockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
// The Debian interpreter: python3-dbusmock belongs to it, not to one found first in PATH.
const QString python =
    QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3") : QStringLiteral("python3");

} // namespace

class tst_PortalShortcut : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void bind_data();
    void bind();

private:
    QDBusMessage mockCall(const QString &method, const QVariantList &arguments = {});

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    std::unique_ptr<QDBusConnection> m_bus;
    std::unique_ptr<QProcess> m_portal;
};

void tst_PortalShortcut::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        QSKIP("no dbus-daemon (Debian package dbus-daemon)");
    if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0)
        QSKIP("python3 cannot load dbusmock (Debian package python3-dbusmock)");
    // A bus of our own that starts no services: a portal installed here must not answer in place of ours.
    QVERIFY(m_dir.isValid());
    QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                 "<busconfig><type>session</type><listen>unix:dir=" +
                 m_dir.path().toUtf8() +
                 "</listen><auth>EXTERNAL</auth>"
                 "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                 "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
    config.close();
    m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config.fileName(),
                                                   QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    QVERIFY(m_daemon.waitForStarted());
    QTRY_VERIFY(m_daemon.canReadLine());
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    m_bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_address, QStringLiteral("test")));
    QVERIFY2(m_bus->isConnected(), qPrintable(m_address));
}

void tst_PortalShortcut::cleanup()
{
    if (!m_portal)
        return;
    m_portal->terminate();
    m_portal->waitForFinished();
    m_portal.reset();
    QTRY_VERIFY(!m_bus->interface()->isServiceRegistered(portalName));
}

void tst_PortalShortcut::cleanupTestCase()
{
    if (m_bus)
        QDBusConnection::disconnectFromBus(m_bus->name());
    m_daemon.terminate();
    m_daemon.waitForFinished();
}

QDBusMessage tst_PortalShortcut::mockCall(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(portalName, portalPath, mockInterface, method);
    call.setArguments(arguments);
    return m_bus->call(call);
}

void tst_PortalShortcut::bind_data()
{
    QTest::addColumn<QString>("portal"); // the fake portal's parameters; empty: no portal on the bus
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<bool>("available");
    QTest::addColumn<bool>("asked"); // the portal is asked, `settled` follows
    QTest::addColumn<bool>("bound"); // `settled` when asked
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("boundText");  // the fallback's words for the keys when they went there
    QTest::addColumn<bool>("fallbackBinds"); // false: it keeps the keys, to bind when it can (X11: another layout)

    const QString bindDefault = QStringLiteral("BindShortcuts session popup CTRL+ALT+v 履歴を開く");
    QTest::newRow("the user's own keys") << R"({"trigger": "Meta+H"})" << QKeySequence(QStringLiteral("Ctrl+Alt+V"))
                                         << true << true << true << QStringList{"CreateSession", bindDefault}
                                         << "Meta+H" << true;
    QTest::newRow("answered before the reply")
        << R"({"trigger": "Meta+H", "early": true})" << QKeySequence(QStringLiteral("Ctrl+Alt+V")) << true << true
        << true << QStringList{"CreateSession", bindDefault} << "Meta+H" << true;
    QTest::newRow("listed after the bind")
        << R"({"trigger": "Meta+H", "list": true})" << QKeySequence(QStringLiteral("Meta+Shift+F12")) << true << true
        << true
        << QStringList{"CreateSession", "BindShortcuts session popup SHIFT+LOGO+F12 履歴を開く",
                       "ListShortcuts session"}
        << "Meta+H" << true;
    QTest::newRow("no keys given") << R"({"trigger": ""})" << QKeySequence(QStringLiteral("Ctrl+Alt+V")) << true << true
                                   << true << QStringList{"CreateSession", bindDefault} << "" << true;
    QTest::newRow("left out") << R"({"omit": true})" << QKeySequence(QStringLiteral("Ctrl+Alt+V")) << true << true
                              << false << QStringList{"CreateSession", bindDefault} << "Ctrl+Alt+V" << true;
    QTest::newRow("bind cancelled") << R"({"bind": 1})" << QKeySequence(QStringLiteral("Ctrl+Alt+V")) << true << true
                                    << false << QStringList{"CreateSession", bindDefault} << "Ctrl+Alt+V" << true;
    QTest::newRow("bind refused") << R"({"bind": 2})" << QKeySequence(QStringLiteral("Ctrl+Alt+V")) << true << true
                                  << false << QStringList{"CreateSession", bindDefault} << "Ctrl+Alt+V" << true;
    QTest::newRow("session refused") << R"({"create": 2})" << QKeySequence(QStringLiteral("Ctrl+Alt+V")) << true << true
                                     << false << QStringList{"CreateSession"} << "Ctrl+Alt+V" << true;
    QTest::newRow("session unanswered") << R"({"create": -1})" << QKeySequence(QStringLiteral("Ctrl+Alt+V")) << true
                                        << true << false << QStringList{"CreateSession"} << "Ctrl+Alt+V" << true;
    QTest::newRow("the fallback refuses too")
        << R"({"bind": 2})" << QKeySequence(QStringLiteral("Ctrl+Alt+V")) << true << true << false
        << QStringList{"CreateSession", bindDefault} << "Ctrl+Alt+V" << false;
    QTest::newRow("no interface") << R"({"version": 0})" << QKeySequence(QStringLiteral("Ctrl+Alt+V")) << false << true
                                  << false << QStringList{} << "Ctrl+Alt+V" << true;
    QTest::newRow("keys without a name") << "{}" << QKeySequence(Qt::CTRL | Qt::Key_VolumeUp) << true << false << false
                                         << QStringList{} << "Ctrl+Volume Up" << true;
    QTest::newRow("no portal") << "" << QKeySequence(QStringLiteral("Ctrl+Alt+V")) << false << false << false
                               << QStringList{} << "Ctrl+Alt+V" << true;
}

void tst_PortalShortcut::bind()
{
    QFETCH(QString, portal);
    QFETCH(QKeySequence, keys);
    QFETCH(bool, available);
    QFETCH(bool, asked);
    QFETCH(bool, bound);
    QFETCH(QStringList, calls);
    QFETCH(QString, boundText);
    QFETCH(bool, fallbackBinds);

    if (!portal.isEmpty()) {
        m_portal = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        m_portal->setProcessEnvironment(environment);
        m_portal->setStandardOutputFile(QProcess::nullDevice());
        m_portal->start(python, {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                                 QStringLiteral(VORNKIP_FAKE_PORTAL), QStringLiteral("-p"), portal});
        QTRY_VERIFY(m_bus->interface()->isServiceRegistered(portalName));
    }
    QCOMPARE(PortalGlobalShortcut::available(*m_bus), available);

    PortalGlobalShortcut shortcut(*m_bus);
    // The X11 grab in the program: it holds the keys only when the portal binds none.
    auto *fallback = new FakeShortcut;
    fallback->bindable = fallbackBinds;
    shortcut.setFallback(std::unique_ptr<GlobalShortcut>(fallback));
    QSignalSpy settled(&shortcut, &PortalGlobalShortcut::settled);
    QSignalSpy activated(&shortcut, &GlobalShortcut::activated);
    QSignalSpy problem(&shortcut, &GlobalShortcut::problem);
    QSignalSpy keysChanged(&shortcut, &GlobalShortcut::keysChanged); // the tray menu shows them
    QCOMPARE(shortcut.bind(keys), asked || !bound);
    if (asked) {
        QTRY_COMPARE_WITH_TIMEOUT(settled.count(), 1, 10000); // a portal that does not answer is given up
        QCOMPARE(settled.at(0).at(0).toBool(), bound);
    }
    if (m_portal)
        QCOMPARE(mockCall(QStringLiteral("Recorded")).arguments().value(0).toStringList(), calls);
    QCOMPARE(shortcut.boundText(), boundText);
    QCOMPARE(fallback->bound, bound ? QKeySequence() : keys);

    if (!bound) {
        emit fallback->activated();
        emit fallback->problem(QStringLiteral("taken"));
        QCOMPARE(problem.count(), 1);
        shortcut.unbind();
        QVERIFY(fallback->bound.isEmpty());
    } else {
        // Only our id of our session opens the popup; signals come in order, so the second press of ours
        // arriving alone shows the other id was ignored.
        mockCall(QStringLiteral("Activate"), {QStringLiteral("popup")});
        QTRY_COMPARE(activated.count(), 1);
        mockCall(QStringLiteral("Activate"), {QStringLiteral("other")});
        mockCall(QStringLiteral("Activate"), {QStringLiteral("popup")});
        QTRY_COMPARE(activated.count(), 2);
        shortcut.unbind();
        QVERIFY(shortcut.boundText().isEmpty());
    }
    QCOMPARE(activated.count(), bound ? 2 : 1);
    QCOMPARE(settled.count(), asked ? 1 : 0);
    QCOMPARE(keysChanged.count(), asked && (bound || fallbackBinds) ? 1 : 0);
    QCOMPARE(problem.count(), bound ? 0 : 1);
}

QTEST_GUILESS_MAIN(tst_PortalShortcut)
#include "tst_portalshortcut.moc"
