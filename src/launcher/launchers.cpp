// SPDX-License-Identifier: GPL-3.0-or-later
#include "launchers.h"

#include <QHash>

namespace launchers {
namespace {
Command cmd(const char *program, std::initializer_list<const char *> args = {})
{
    Command c{QString::fromLatin1(program), {}};
    for (const char *a : args)
        c.arguments << QString::fromLatin1(a);
    return c;
}

const QHash<QString, QList<Command>> &table()
{
    static const QHash<QString, QList<Command>> t = {
        {QStringLiteral("con"),
         {cmd("gnome-control-center"), cmd("systemsettings"), cmd("xfce4-settings-manager"), cmd("lxqt-config"),
          cmd("mate-control-center")}},
        {QStringLiteral("sys"),
         {cmd("gnome-control-center", {"about"}), cmd("kinfocenter"), cmd("xfce4-settings-manager"),
          cmd("mate-system-monitor")}},
        {QStringLiteral("int"),
         {cmd("gnome-control-center", {"network"}), cmd("systemsettings", {"kcm_proxy"}), cmd("nm-connection-editor")}},
        {QStringLiteral("app"), {cmd("gnome-software"), cmd("plasma-discover"), cmd("synaptic-pkexec")}},
        {QStringLiteral("disp"),
         {cmd("gnome-control-center", {"display"}), cmd("systemsettings", {"kcm_kscreen"}),
          cmd("xfce4-display-settings"), cmd("arandr")}},
        {QStringLiteral("mouse"),
         {cmd("gnome-control-center", {"mouse"}), cmd("systemsettings", {"kcm_mouse"}), cmd("xfce4-mouse-settings")}},
        {QStringLiteral("sound"),
         {cmd("gnome-control-center", {"sound"}), cmd("systemsettings", {"kcm_pulseaudio"}), cmd("pavucontrol"),
          cmd("xfce4-mixer")}},
        {QStringLiteral("mycom"),
         {cmd("nautilus", {"--new-window", "/"}), cmd("dolphin", {"/"}), cmd("thunar", {"/"}), cmd("caja", {"/"}),
          cmd("pcmanfm", {"/"}), cmd("xdg-open", {"/"})}},
        {QStringLiteral("mynet"),
         {cmd("nautilus", {"--new-window", "network:///"}), cmd("dolphin", {"remote:/"}),
          cmd("thunar", {"network:///"}), cmd("caja", {"network:///"}), cmd("xdg-open", {"network:///"})}},
        {QStringLiteral("calc"),
         {cmd("gnome-calculator"), cmd("kcalc"), cmd("galculator"), cmd("mate-calc"), cmd("qalculate-gtk"),
          cmd("xcalc")}},
        {QStringLiteral("note"),
         {cmd("gnome-text-editor"), cmd("gedit"), cmd("kwrite"), cmd("kate"), cmd("mousepad"), cmd("pluma"), cmd("xed"),
          cmd("featherpad")}},
        {QStringLiteral("paint"), {cmd("kolourpaint"), cmd("pinta"), cmd("drawing"), cmd("mtpaint"), cmd("gimp")}},
    };
    return t;
}
} // namespace

QList<Command> candidates(const QString &key)
{
    return table().value(key.toLower());
}

QString lookedFor(const QList<Command> &commands)
{
    QStringList names;
    for (const Command &c : commands) {
        if (!names.contains(c.program))
            names << c.program;
    }
    return names.join(QStringLiteral(", "));
}
} // namespace launchers
