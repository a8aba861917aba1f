// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/portalshortcut.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QList>
#include <QVariantMap>

#include <atomic>
#include <utility>

namespace portal {

// One element of the a(sa{sv}) lists of BindShortcuts and its answers: an id and its properties.
struct Shortcut
{
    QString id;
    QVariantMap properties;
};
using Shortcuts = QList<Shortcut>;

QDBusArgument &operator<<(QDBusArgument &argument, const Shortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Shortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace portal

Q_DECLARE_METATYPE(portal::Shortcut)

namespace {

const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString objectPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const char *const description = QT_TRANSLATE_NOOP("PortalShortcut", "履歴を開く");
// How long an answer may take: at once but for a busy bus, and for the bind the user's choice in the
// desktop's dialog.
constexpr int kAnswerMs = 3000;
constexpr int kBindAnswerMs = 60000;

QDBusMessage versionCall()
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, objectPath, propertiesInterface, QStringLiteral("Get"));
    call << shortcutsInterface << QStringLiteral("version");
    return call;
}

unsigned versionIn(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return 0;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toUInt();
}

// Session handles come as object paths or, from older portals, as strings.
QString pathIn(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

// The xkbcommon names of the keys that have no letter or digit of their own.
QString keyName(Qt::Key key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return QString(QChar(u'a' + (key - Qt::Key_A)));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return QString(QChar(u'0' + (key - Qt::Key_0)));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return QStringLiteral("F%1").arg(key - Qt::Key_F1 + 1);
    static const QList<std::pair<Qt::Key, const char *>> names = {
        {Qt::Key_Space, "space"},
        {Qt::Key_Return, "Return"},
        {Qt::Key_Enter, "KP_Enter"},
        {Qt::Key_Escape, "Escape"},
        {Qt::Key_Tab, "Tab"},
        {Qt::Key_Backspace, "BackSpace"},
        {Qt::Key_Insert, "Insert"},
        {Qt::Key_Delete, "Delete"},
        {Qt::Key_Home, "Home"},
        {Qt::Key_End, "End"},
        {Qt::Key_PageUp, "Page_Up"},
        {Qt::Key_PageDown, "Page_Down"},
        {Qt::Key_Left, "Left"},
        {Qt::Key_Right, "Right"},
        {Qt::Key_Up, "Up"},
        {Qt::Key_Down, "Down"},
        {Qt::Key_Print, "Print"},
        {Qt::Key_Pause, "Pause"},
        {Qt::Key_Menu, "Menu"},
        {Qt::Key_Comma, "comma"},
        {Qt::Key_Period, "period"},
        {Qt::Key_Slash, "slash"},
        {Qt::Key_Backslash, "backslash"},
        {Qt::Key_Minus, "minus"},
        {Qt::Key_Equal, "equal"},
        {Qt::Key_Semicolon, "semicolon"},
        {Qt::Key_Apostrophe, "apostrophe"},
        {Qt::Key_QuoteLeft, "grave"},
        {Qt::Key_BracketLeft, "bracketleft"},
        {Qt::Key_BracketRight, "bracketright"},
    };
    for (const auto &[k, name] : names) {
        if (k == key)
            return QString::fromLatin1(name);
    }
    return {};
}

} // namespace

PortalGlobalShortcut::PortalGlobalShortcut(QObject *parent)
    : PortalGlobalShortcut(QDBusConnection::sessionBus(), parent)
{}

PortalGlobalShortcut::PortalGlobalShortcut(const QDBusConnection &bus, QObject *parent)
    : GlobalShortcut(parent), m_bus(bus)
{
    qDBusRegisterMetaType<portal::Shortcut>();
    qDBusRegisterMetaType<portal::Shortcuts>();
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, &PortalGlobalShortcut::fail);
    if (!m_bus.isConnected())
        return;
    m_bus.connect(service, objectPath, shortcutsInterface, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusMessage)));
    m_bus.connect(service, objectPath, shortcutsInterface, QStringLiteral("ShortcutsChanged"), this,
                  SLOT(onShortcutsChanged(QDBusMessage)));
}

PortalGlobalShortcut::~PortalGlobalShortcut()
{
    unbind();
}

void PortalGlobalShortcut::setFallback(std::unique_ptr<GlobalShortcut> fallback)
{
    m_fallback = std::move(fallback);
    if (!m_fallback)
        return;
    connect(m_fallback.get(), &GlobalShortcut::activated, this, &GlobalShortcut::activated);
    connect(m_fallback.get(), &GlobalShortcut::problem, this, &GlobalShortcut::problem);
    connect(m_fallback.get(), &GlobalShortcut::keysChanged, this, &GlobalShortcut::keysChanged);
}

QString PortalGlobalShortcut::boundText() const
{
    return m_onFallback ? m_fallback->boundText() : m_boundText;
}

QString PortalGlobalShortcut::portalTrigger(const QKeySequence &keys)
{
    if (keys.count() != 1)
        return {};
    const QKeyCombination combination = keys[0];
    const QString key = keyName(combination.key());
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    if (key.isEmpty() || (modifiers & ~(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier)))
        return {};
    QStringList parts;
    if (modifiers & Qt::ControlModifier)
        parts << QStringLiteral("CTRL");
    if (modifiers & Qt::AltModifier)
        parts << QStringLiteral("ALT");
    if (modifiers & Qt::ShiftModifier)
        parts << QStringLiteral("SHIFT");
    if (modifiers & Qt::MetaModifier)
        parts << QStringLiteral("LOGO");
    parts << key;
    return parts.join(u'+');
}

bool PortalGlobalShortcut::available(const QDBusConnection &bus)
{
    if (!bus.isConnected())
        return false;
    return versionIn(bus.call(versionCall(), QDBus::Block, 1000)) >= 1;
}

bool PortalGlobalShortcut::bind(const QKeySequence &keys)
{
    unbind();
    m_keys = keys;
    m_trigger = portalTrigger(keys);
    if (m_trigger.isEmpty() || !m_bus.isConnected())
        return bindFallback();
    // Only the bus itself is asked here, which answers at once: is the portal running, or can it be
    // started? Whether it has the interface is the first thing asked of it.
    QDBusConnectionInterface *names = m_bus.interface();
    if (!names || (!names->isServiceRegistered(service) && !names->activatableServiceNames().value().contains(service)))
        return bindFallback();
    askVersion();
    return true;
}

void PortalGlobalShortcut::unbind()
{
    delete m_pending;
    m_pending = nullptr;
    m_timeout.stop();
    stopListening();
    if (!m_sessionPath.isEmpty()) {
        m_bus.send(QDBusMessage::createMethodCall(service, m_sessionPath, sessionInterface, QStringLiteral("Close")));
        m_sessionPath.clear();
    }
    m_stage = Stage::Idle;
    m_boundText.clear();
    if (m_onFallback)
        m_fallback->unbind();
    m_onFallback = false;
}

void PortalGlobalShortcut::askVersion()
{
    m_stage = Stage::Version;
    m_timeout.start(kAnswerMs);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(versionCall()), this);
    m_pending = watcher;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        m_pending = nullptr;
        if (versionIn(finished->reply()) >= 1)
            createSession();
        else
            fail();
    });
}

void PortalGlobalShortcut::createSession()
{
    m_stage = Stage::Creating;
    const QString requestToken = token("create");
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, objectPath, shortcutsInterface, QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("handle_token"), requestToken},
                        {QStringLiteral("session_handle_token"), token("session")}};
    request(call, requestToken);
}

void PortalGlobalShortcut::bindShortcut()
{
    m_stage = Stage::Binding;
    const QString requestToken = token("bind");
    const portal::Shortcuts shortcuts = {
        {QString::fromLatin1(shortcutId),
         {{QStringLiteral("description"), QCoreApplication::translate("PortalShortcut", description)},
          {QStringLiteral("preferred_trigger"), m_trigger}}}};
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, objectPath, shortcutsInterface, QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(m_sessionPath)) << QVariant::fromValue(shortcuts) << QString()
         << QVariantMap{{QStringLiteral("handle_token"), requestToken}};
    request(call, requestToken);
}

void PortalGlobalShortcut::listShortcuts()
{
    m_stage = Stage::Listing;
    const QString requestToken = token("list");
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, objectPath, shortcutsInterface, QStringLiteral("ListShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(m_sessionPath))
         << QVariantMap{{QStringLiteral("handle_token"), requestToken}};
    request(call, requestToken);
}

void PortalGlobalShortcut::request(const QDBusMessage &call, const QString &requestToken)
{
    // Listening before the call is sent: the bus handles our match rule first, so even an answer sent
    // before the method's reply reaches us.
    QString sender = m_bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    listenAt(QStringLiteral("%1/request/%2/%3").arg(objectPath, sender, requestToken));
    m_timeout.start(m_stage == Stage::Binding ? kBindAnswerMs : kAnswerMs);
    // The Response may come before this reply (the portal answers at once when it shows no dialog), and
    // the next request may then be under way: the reply only matters while this request is the one we
    // wait for.
    const QString expected = m_requestPath;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    m_pending = watcher;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, expected](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        if (m_pending == finished)
            m_pending = nullptr;
        if (m_requestPath != expected)
            return;
        const QDBusPendingReply<QDBusObjectPath> reply = *finished;
        if (reply.isError()) {
            fail();
        } else if (reply.value().path() != expected) {
            // Portals before 0.9 chose the path themselves; their answer may then come before we listen.
            stopListening();
            listenAt(reply.value().path());
        }
    });
}

void PortalGlobalShortcut::listenAt(const QString &path)
{
    m_requestPath = path;
    m_bus.connect(service, path, requestInterface, QStringLiteral("Response"), this, SLOT(onResponse(QDBusMessage)));
}

void PortalGlobalShortcut::stopListening()
{
    if (m_requestPath.isEmpty())
        return;
    m_bus.disconnect(service, m_requestPath, requestInterface, QStringLiteral("Response"), this,
                     SLOT(onResponse(QDBusMessage)));
    m_requestPath.clear();
}

void PortalGlobalShortcut::onResponse(const QDBusMessage &message)
{
    const QList<QVariant> arguments = message.arguments();
    if (message.path() != m_requestPath || arguments.size() < 2)
        return;
    stopListening();
    const QVariantMap results = qdbus_cast<QVariantMap>(arguments.at(1));
    if (arguments.at(0).toUInt() != 0) {
        fail();
    } else if (m_stage == Stage::Creating) {
        m_sessionPath = pathIn(results.value(QStringLiteral("session_handle")));
        if (m_sessionPath.isEmpty())
            fail();
        else
            bindShortcut();
    } else if (m_stage == Stage::Binding && !results.contains(QStringLiteral("shortcuts"))) {
        // Some back-ends answer a bind through their dialog without the list: ask for it.
        listShortcuts();
    } else if (m_stage == Stage::Binding || m_stage == Stage::Listing) {
        if (takeShortcuts(results.value(QStringLiteral("shortcuts")))) {
            m_stage = Stage::Bound;
            m_timeout.stop();
            emit settled(true);
            emit keysChanged();
        } else {
            fail();
        }
    }
}

void PortalGlobalShortcut::onActivated(const QDBusMessage &message)
{
    const QList<QVariant> arguments = message.arguments();
    if (m_stage == Stage::Bound && arguments.size() >= 2 && pathIn(arguments.at(0)) == m_sessionPath &&
        arguments.at(1).toString() == QLatin1String(shortcutId))
        emit activated();
}

void PortalGlobalShortcut::onShortcutsChanged(const QDBusMessage &message)
{
    const QList<QVariant> arguments = message.arguments();
    // Also while binding: a back-end may tell the new keys this way before it answers the bind.
    if (!m_sessionPath.isEmpty() && arguments.size() >= 2 && pathIn(arguments.at(0)) == m_sessionPath &&
        takeShortcuts(arguments.at(1)) && m_stage == Stage::Bound)
        emit keysChanged();
}

bool PortalGlobalShortcut::takeShortcuts(const QVariant &shortcuts)
{
    for (const portal::Shortcut &shortcut : qdbus_cast<portal::Shortcuts>(shortcuts)) {
        if (shortcut.id != QLatin1String(shortcutId))
            continue;
        // The desktop's words for the keys the user kept or chose (none when the user gave it no keys).
        m_boundText = shortcut.properties.value(QStringLiteral("trigger_description")).toString();
        return true;
    }
    return false;
}

void PortalGlobalShortcut::fail()
{
    unbind();
    const bool fallback = bindFallback();
    emit settled(false);
    if (fallback)
        emit keysChanged();
}

bool PortalGlobalShortcut::bindFallback()
{
    // Also when it refuses the keys now: it may grab them later (on another keyboard map), and is
    // unbound with us.
    m_onFallback = m_fallback != nullptr;
    return m_onFallback && m_fallback->bind(m_keys);
}

QString PortalGlobalShortcut::token(const char *what)
{
    // Unique on our connection, as the portal asks, also with several of these objects.
    static std::atomic<unsigned> counter = 0;
    return QStringLiteral("vornkip_%1%2").arg(QLatin1String(what)).arg(++counter);
}
