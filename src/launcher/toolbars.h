// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

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

const QList<Button> &toolbar1();
const QList<Button> &toolbar2();

// The menu of a drop-down button, by the button's key (empty for other buttons).
QList<MenuItem> menu(const QString &buttonKey);

// Captions of the `hides` menu items whose text follows a state.
inline const QString captionTopmostOn = QStringLiteral("最前面表示解除");
inline const QString captionTopmostOff = QStringLiteral("最前面表示セット");
inline const QString captionTextShown = QStringLiteral("テキストを隠す");
inline const QString captionTextHidden = QStringLiteral("テキストを表示");
} // namespace toolbars
