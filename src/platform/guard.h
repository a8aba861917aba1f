// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/commanderror.h"
#include "platform/messages.h"

#include <algorithm>
#include <initializer_list>
#include <new>

class QWidget;

// Runs a command; a CommandError it raises is shown in the error box (text = description,
// title = number) unless its number is one the command expects and ignores. Nothing escapes to
// the event loop.
template <typename Fn>
void guarded(MessageService &messages, QWidget *parent, Fn &&command, std::initializer_list<int> ignored = {})
{
    try {
        command();
    } catch (const CommandError &e) {
        if (std::find(ignored.begin(), ignored.end(), e.number) == ignored.end())
            messages.showError(parent, e);
    } catch (const std::bad_alloc &) {
        // A file or a picture too large to hold ends the command, not the program.
        messages.showError(parent, commandError(ErrorNumber::OutOfMemory));
    }
}
