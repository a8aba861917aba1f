// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>

#include <memory>

// Modal windows and the end of the program. A message box, dialog or menu run with exec() has an
// event loop of its own; the program must not end from inside it (the windows it belongs to would
// be deleted under it). When the desktop ends the program, every modal window is closed first, and
// boxes and dialogs asked for afterwards answer at once as if the user had dismissed them.
namespace modal {
// Closes every open modal window and pop-up menu, and refuses new ones from now on.
void closeAll();

// Whether closeAll() has been called: boxes and dialogs are not shown any more.
bool closing();

// Shows boxes and dialogs again: for a process that outlives one program's end (a test).
void reset();

// Whether an event loop other than the program's top-level one is running (a modal window's).
// `topLevel` is the loop level of the top-level loop (1 inside QApplication::exec()).
bool nestedLoopRunning(int topLevel = 1);

// Runs a dialog made with new in its own event loop and hands it back, owned, once it has closed:
// nothing when it was deleted meanwhile (with the window it belongs to). `result` is exec()'s.
template <typename Dialog>
std::unique_ptr<Dialog> exec(Dialog *dialog, int &result)
{
    const QPointer<Dialog> watched(dialog);
    result = dialog->exec();
    return std::unique_ptr<Dialog>(watched.data());
}
} // namespace modal
