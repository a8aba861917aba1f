// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include "launcher/websearch.h"

// The two toolbars of the main window: buttons in order, with their keys, tooltips and styles.
namespace toolbars {
enum class Style
{
    Plain,    // a click runs the command
    Check,    // a click flips the button up or down, then runs the command
    DropDown, // the button runs its command, the arrow part opens its menu
};

struct Button
{
    QString key;
    QString tooltip;
    Style style;
};

// A drop-down menu item; a caption of "-" is a separator; a hidden item is never shown.
struct MenuItem
{
    QString key;
    QString caption;
    bool visible = true;
};

QList<Button> toolbar1();
QList<Button> toolbar2();

// The menu of a drop-down button, by the button's key (empty for other buttons).
QList<MenuItem> menu(const QString &buttonKey);

// A caption kept as its catalogue source and translated (context "Toolbars") where it is shown.
struct Caption
{
    const char *source;
    operator QString() const; // NOLINT(google-explicit-constructor): used wherever a caption text is
};

// Captions of the `hides` menu items whose text follows a state.
inline constexpr Caption captionTopmostOn{QT_TRANSLATE_NOOP("Toolbars", "最前面表示解除")};
inline constexpr Caption captionTopmostOff{QT_TRANSLATE_NOOP("Toolbars", "最前面表示セット")};
inline constexpr Caption captionTextShown{QT_TRANSLATE_NOOP("Toolbars", "テキストを隠す")};
inline constexpr Caption captionTextHidden{QT_TRANSLATE_NOOP("Toolbars", "テキストを表示")};
} // namespace toolbars
