// SPDX-License-Identifier: GPL-3.0-or-later
#include "modal.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QThread>

namespace modal {
namespace {
bool refusing = false;
}

void closeAll()
{
    refusing = true;
    // Pop-up menus first: they grab the input while open.
    for (QWidget *popup = QApplication::activePopupWidget(), *last = nullptr; popup && popup != last;
         last = popup, popup = QApplication::activePopupWidget())
        popup->close();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<QDialog *>(w); dialog && dialog->isVisible())
            dialog->reject(); // ends its exec() with no button chosen
        else if (auto *menu = qobject_cast<QMenu *>(w); menu && menu->isVisible())
            menu->close();
    }
}

bool closing()
{
    return refusing;
}

void reset()
{
    refusing = false;
}

bool nestedLoopRunning(int topLevel)
{
    return QThread::currentThread()->loopLevel() > topLevel;
}
} // namespace modal
