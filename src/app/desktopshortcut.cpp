// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktopshortcut.h"

#include <algorithm>
#include <utility>

namespace desktopshortcut {
namespace {
const QString listSchema = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString listKey = QStringLiteral("custom-keybindings");
const QString entrySchema = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys.custom-keybinding");
const QString entryName = QStringLiteral("Vornkip");

enum Modifier
{
    Ctrl = 1,
    Alt = 2,
    Shift = 4,
    Meta = 8,
};

struct Keys
{
    int modifiers = 0;
    QString keysym; // the key's X key symbol name ("v", "F12", "Page_Up")
};

// A key of the portable text as its X key symbol; empty when unknown.
QString keysymOf(const QString &key)
{
    if (key.size() == 1) {
        const QChar c = key.at(0);
        if ((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            return key.toLower();
        static const char *const punctuation[][2] = {
            {"+", "plus"},       {"-", "minus"}, {"=", "equal"},       {",", "comma"},
            {".", "period"},     {"/", "slash"}, {"\\", "backslash"},  {";", "semicolon"},
            {"'", "apostrophe"}, {"`", "grave"}, {"[", "bracketleft"}, {"]", "bracketright"},
        };
        for (const auto &pair : punctuation) {
            if (key == QLatin1String(pair[0]))
                return QLatin1String(pair[1]);
        }
        return {};
    }
    if (key.size() >= 2 && key.size() <= 3 && key.at(0) == QLatin1Char('F') && key.at(1) != QLatin1Char('0')) {
        bool ok = false;
        const int n = key.sliced(1).toInt(&ok);
        return ok && n >= 1 && n <= 35 ? key : QString();
    }
    static const char *const named[][2] = {
        {"Space", "space"},         {"Esc", "Escape"},    {"Tab", "Tab"},
        {"Backspace", "BackSpace"}, {"Return", "Return"}, {"Enter", "KP_Enter"},
        {"Ins", "Insert"},          {"Del", "Delete"},    {"Pause", "Pause"},
        {"Print", "Print"},         {"Home", "Home"},     {"End", "End"},
        {"Left", "Left"},           {"Up", "Up"},         {"Right", "Right"},
        {"Down", "Down"},           {"PgUp", "Page_Up"},  {"PgDown", "Page_Down"},
        {"Menu", "Menu"},
    };
    for (const auto &pair : named) {
        if (key.compare(QLatin1String(pair[0]), Qt::CaseInsensitive) == 0)
            return QLatin1String(pair[1]);
    }
    return {};
}

// "Ctrl+Alt+V", "Ctrl++": modifiers, then one key. Nothing for several chords or unknown names.
std::optional<Keys> parse(const QString &portable)
{
    const QString text = portable.trimmed();
    if (text.isEmpty() || text.contains(QStringLiteral(", ")))
        return std::nullopt;
    QString rest;
    Keys keys;
    QString key;
    if (text == QStringLiteral("+") || text.endsWith(QStringLiteral("++"))) {
        key = QStringLiteral("+");
        rest = text.chopped(text.size() == 1 ? 1 : 2);
    } else {
        const qsizetype plus = text.lastIndexOf(QLatin1Char('+'));
        key = text.mid(plus + 1);
        rest = plus < 0 ? QString() : text.left(plus);
    }
    keys.keysym = keysymOf(key);
    if (keys.keysym.isEmpty())
        return std::nullopt;
    if (!rest.isEmpty()) {
        for (const QString &name : rest.split(QLatin1Char('+'))) {
            static const std::pair<const char *, Modifier> modifiers[] = {
                {"Ctrl", Ctrl}, {"Alt", Alt}, {"Shift", Shift}, {"Meta", Meta}};
            int found = 0;
            for (const auto &[written, modifier] : modifiers) {
                if (name.compare(QLatin1String(written), Qt::CaseInsensitive) == 0)
                    found = modifier;
            }
            if (found == 0)
                return std::nullopt;
            keys.modifiers |= found;
        }
    }
    return keys;
}

// The modifiers in a fixed order, each written as `names` gives it.
QStringList modifierNames(int modifiers, const char *const (&names)[4])
{
    QStringList out;
    for (int i = 0; i < 4; ++i) {
        if (modifiers & (1 << i))
            out << QLatin1String(names[i]);
    }
    return out;
}

// Our entry of the relocatable schema, as gsettings names it.
QString entryAt()
{
    return entrySchema + QLatin1Char(':') + gnomeEntry;
}
} // namespace

QString gnomeKeys(const QString &portable)
{
    const auto keys = parse(portable);
    if (!keys)
        return {};
    static const char *const names[4] = {"<Primary>", "<Alt>", "<Shift>", "<Super>"};
    return modifierNames(keys->modifiers, names).join(QString()) + keys->keysym;
}

QString swayKeys(const QString &portable)
{
    const auto keys = parse(portable);
    if (!keys)
        return {};
    static const char *const names[4] = {"Ctrl", "Alt", "Shift", "Mod4"};
    return (modifierNames(keys->modifiers, names) << keys->keysym).join(QLatin1Char('+'));
}

QString hyprlandKeys(const QString &portable)
{
    const auto keys = parse(portable);
    if (!keys)
        return {};
    static const char *const names[4] = {"CTRL", "ALT", "SHIFT", "SUPER"};
    const QString key = keys->keysym.size() == 1 ? keys->keysym.toUpper() : keys->keysym;
    return modifierNames(keys->modifiers, names).join(QLatin1Char(' ')) + QStringLiteral(", ") + key;
}

Kind desktopKind(const QString &currentDesktop, bool swaySocket, bool hyprlandSignature)
{
    const QStringList names = currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const auto named = [&names](const char *name) {
        return std::any_of(names.begin(), names.end(), [name](const QString &n) {
            return n.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
        });
    };
    if (named("GNOME"))
        return Kind::Gnome;
    if (named("Hyprland") || (hyprlandSignature && names.isEmpty()))
        return Kind::Hyprland;
    if (named("sway") || (swaySocket && names.isEmpty()))
        return Kind::Sway;
    return Kind::Other;
}

QString popupCommand(const QString &program)
{
    static const QString plain = QStringLiteral("/._-+,:@%=");
    const bool safe = !program.isEmpty() && std::all_of(program.begin(), program.end(), [](QChar c) {
        return (c.unicode() < 0x80 && c.isLetterOrNumber()) || plain.contains(c);
    });
    QString quoted = program;
    if (!safe)
        quoted = QLatin1Char('\'') + quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
    return quoted + QStringLiteral(" --popup");
}

QStringList parseStringList(const QString &text)
{
    QStringList items;
    QString item;
    QChar quote;
    bool escaped = false;
    for (const QChar c : text) {
        if (quote.isNull()) {
            if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
                quote = c;
                item.clear();
            }
        } else if (escaped) {
            item += c;
            escaped = false;
        } else if (c == QLatin1Char('\\')) {
            escaped = true;
        } else if (c == quote) {
            items << item;
            quote = QChar();
        } else {
            item += c;
        }
    }
    return items;
}

QString stringText(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QString stringListText(const QStringList &items)
{
    if (items.isEmpty())
        return QStringLiteral("@as []");
    QStringList quoted;
    for (const QString &item : items)
        quoted << stringText(item);
    return QLatin1Char('[') + quoted.join(QStringLiteral(", ")) + QLatin1Char(']');
}

bool installGnome(const Gsettings &run, const QString &command, const QString &keys, QString *error)
{
    const auto list = run({QStringLiteral("get"), listSchema, listKey}, error);
    if (!list)
        return false;
    const QString entry = entryAt();
    for (const auto &[key, value] : {std::pair{QStringLiteral("name"), entryName},
                                     {QStringLiteral("command"), command},
                                     {QStringLiteral("binding"), keys}}) {
        if (!run({QStringLiteral("set"), entry, key, stringText(value)}, error))
            return false;
    }
    QStringList paths = parseStringList(*list);
    if (paths.contains(gnomeEntry))
        return true;
    paths << gnomeEntry;
    return run({QStringLiteral("set"), listSchema, listKey, stringListText(paths)}, error).has_value();
}

bool removeGnome(const Gsettings &run, bool *wasThere, QString *error)
{
    const auto list = run({QStringLiteral("get"), listSchema, listKey}, error);
    if (!list)
        return false;
    QStringList paths = parseStringList(*list);
    *wasThere = paths.removeAll(gnomeEntry) > 0;
    if (*wasThere && !run({QStringLiteral("set"), listSchema, listKey, stringListText(paths)}, error))
        return false;
    for (const QString &key : {QStringLiteral("name"), QStringLiteral("command"), QStringLiteral("binding")}) {
        if (!run({QStringLiteral("reset"), entryAt(), key}, error))
            return false;
    }
    return true;
}
} // namespace desktopshortcut
