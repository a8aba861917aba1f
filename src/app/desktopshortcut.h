// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The desktop's own key binding that runs `vornkip --popup`, for sessions where the program cannot bind
// a global shortcut itself (GNOME on Wayland, sway and other wlroots desktops).
namespace desktopshortcut {
// The keys of form.ini's [Popup] Shortcut (a key sequence's portable text, "Ctrl+Alt+V") as each desktop
// writes them: GNOME "<Primary><Alt>v", sway "Ctrl+Alt+v", Hyprland "CTRL ALT, V". Empty when they cannot
// be written there: no key, several chords, a modifier or key this conversion does not know.
QString gnomeKeys(const QString &portable);
QString swayKeys(const QString &portable);
QString hyprlandKeys(const QString &portable);

enum class Kind
{
    Gnome,
    Sway,
    Hyprland,
    Other,
};
// The desktop from $XDG_CURRENT_DESKTOP (a list separated by colons) and whether $SWAYSOCK or
// $HYPRLAND_INSTANCE_SIGNATURE are set.
Kind desktopKind(const QString &currentDesktop, bool swaySocket, bool hyprlandSignature);

// The command that opens the popup, as a line a desktop splits like a shell: the program quoted when it
// holds anything but plain path characters.
QString popupCommand(const QString &program);

// A list of strings as gsettings prints it ("['/a/', '/b/']", "@as []"), and a list or a string as it
// takes them.
QStringList parseStringList(const QString &text);
QString stringListText(const QStringList &items);
QString stringText(const QString &text);

// Runs gsettings with the arguments; its output without the final line break, or nothing when it failed
// (`error` then says why).
using Gsettings = std::function<std::optional<QString>(const QStringList &arguments, QString *error)>;

// The path of our entry among GNOME's custom keybindings.
inline const QString gnomeEntry =
    QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/vornkip-popup/");

// Writes our custom keybinding (name, command, keys in GNOME's syntax) and puts its path in the list,
// keeping the other entries; installing again only rewrites it. False when gsettings failed.
bool installGnome(const Gsettings &run, const QString &command, const QString &keys, QString *error);
// Takes our path out of the list and resets our entry, leaving the others. `wasThere` tells whether it
// was in the list. False when gsettings failed.
bool removeGnome(const Gsettings &run, bool *wasThere, QString *error);
} // namespace desktopshortcut
