// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/globalshortcut.h"

#include <QDBusConnection>
#include <QString>
#include <QTimer>

#include <memory>

class QDBusMessage;
class QDBusPendingCallWatcher;

// The global shortcut through the desktop portal's GlobalShortcuts interface (KDE Plasma on Wayland,
// and any desktop whose xdg-desktop-portal back-end offers it), on the session bus.
//
// What it relies on (xdg-desktop-portal 1.16, interface version 1):
// - The portal is the bus name org.freedesktop.portal.Desktop, object /org/freedesktop/portal/desktop;
//   the interface is there when its `version` property reads 1 or more.
// - CreateSession(a{sv} options) → o request. Options `handle_token` and `session_handle_token` name
//   the last element of the request's and the session's object paths. The answer comes later as the
//   signal org.freedesktop.portal.Request.Response(u code, a{sv} results) on the request's path, which
//   is /org/freedesktop/portal/desktop/request/SENDER/TOKEN (SENDER: our unique bus name without the
//   ':' and with '.' made '_'): we listen there before calling, so an early answer is not missed.
//   Code 0 is success, 1 the user cancelled, 2 any other failure. `session_handle` in the results is
//   the session's path (sent as a string by old portals, as an object path by others).
// - BindShortcuts(o session, a(sa{sv}) shortcuts, s parent_window, a{sv} options) → o request, with one
//   shortcut: id "popup", `description`, and `preferred_trigger` in the freedesktop shortcuts syntax
//   (modifiers CTRL, ALT, SHIFT, LOGO and an xkbcommon key symbol name, joined by '+': "CTRL+ALT+v").
//   The desktop may show a dialog where the user keeps or changes the keys, and remembers the choice
//   for our application and id: once the user has keys for it, later preferred triggers are not used.
//   Its Response's `shortcuts` (a(sa{sv})) lists what was bound, each with a `trigger_description` for
//   the user; a shortcut left out was not bound. KDE's newer back-ends leave the list out of the answer
//   of their dialog: ListShortcuts(o session, a{sv} options) → o request then gives it in the same
//   form. A session may be bound only once, so binding other keys closes the session
//   (org.freedesktop.portal.Session.Close) and starts a new one.
// - Activated(o session, s id, t timestamp, a{sv} options) when the keys are pressed; ShortcutsChanged
//   (o session, a(sa{sv}) shortcuts) when the user changes them in the desktop's settings.
//
// Nothing here waits for the portal: bind() asks only the bus itself whether a portal runs or can be
// started (false at once when not), then asks the portal and reports the desktop's answer with
// `settled`. A refused request, a portal without the interface or a call that fails end with
// settled(false) and nothing on `problem`: the session has no portal shortcut, which is not the
// user's concern, and so does a portal that does not answer in time (a few seconds; a minute for the
// bind, where the desktop may wait for the user in a dialog). The keys then go to the fallback when
// there is one (the X11 grab, which still acts while an X11 window has the focus), as they do at once
// when the portal cannot be asked at all.
class PortalGlobalShortcut final : public GlobalShortcut
{
    Q_OBJECT

public:
    explicit PortalGlobalShortcut(QObject *parent = nullptr);
    PortalGlobalShortcut(const QDBusConnection &bus, QObject *parent = nullptr);
    ~PortalGlobalShortcut() override;

    // True when `keys` are asked for: the answer follows with `settled`. Else the fallback's answer
    // (false without one) for an empty sequence, keys the portal cannot name, or no portal on the bus.
    bool bind(const QKeySequence &keys) override;
    void unbind() override;
    QString boundText() const override;

    // Where the keys go when the portal binds none; its presses, problems and changes of keys are passed
    // on as ours.
    void setFallback(std::unique_ptr<GlobalShortcut> fallback);

    // Whether a portal with the GlobalShortcuts interface is on the session bus: asks its version once,
    // waiting at most a second (a portal started on demand answers when it is up). For choosing the
    // shortcut of a session at start.
    static bool available(const QDBusConnection &bus = QDBusConnection::sessionBus());
    // `keys` in the portal's trigger syntax, e.g. "CTRL+ALT+v"; empty when they cannot be written there
    // (several chords, or a key without a name in the table).
    static QString portalTrigger(const QKeySequence &keys);

    // The id our shortcut has in the session.
    static constexpr char shortcutId[] = "popup";

signals:
    // The desktop answered the last bind(): true when our shortcut is bound (boundText() is then the
    // desktop's words for its keys, empty when the user gave it none), false when the portal bound
    // nothing (the fallback has then been given the keys).
    void settled(bool bound);

private slots:
    void onResponse(const QDBusMessage &message);
    void onActivated(const QDBusMessage &message);
    void onShortcutsChanged(const QDBusMessage &message);

private:
    enum class Stage
    {
        Idle,
        Version,
        Creating,
        Binding,
        Listing,
        Bound
    };

    void askVersion();
    void createSession();
    void bindShortcut();
    void listShortcuts();
    // Sends `call` and listens for its Response at the path predicted from `token`.
    void request(const QDBusMessage &call, const QString &token);
    void listenAt(const QString &path);
    void stopListening();
    void fail();
    bool bindFallback();
    static QString token(const char *what);
    bool takeShortcuts(const QVariant &shortcuts);

    QDBusConnection m_bus;
    std::unique_ptr<GlobalShortcut> m_fallback;
    bool m_onFallback = false;
    Stage m_stage = Stage::Idle;
    QKeySequence m_keys;
    QString m_trigger;
    QString m_requestPath;
    QString m_sessionPath;
    QString m_boundText;
    QDBusPendingCallWatcher *m_pending = nullptr;
    QTimer m_timeout; // the answer to the request under way is given up
};
