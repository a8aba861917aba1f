#pragma once

#include <QList>
#include <QString>

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

const QList<Button> &toolbar1();
const QList<Button> &toolbar2();
} // namespace toolbars
