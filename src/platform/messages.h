// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/clipboard.h"

#include <QString>

#include <optional>

class Clipboard;
class QWidget;
struct CommandError;

enum class MsgIcon
{
    None,
    Information,
    Question,
    Exclamation,
    Critical,
};

enum class MsgButtons
{
    Ok,
    YesNo,
    YesNoCancel,
};

enum class MsgAnswer
{
    Ok,
    Yes,
    No,
    Cancel,
    // A Yes/No box closed without either answer (Escape, its close box, the end of the program).
    // Nothing destructive follows from it: only an explicit No means no.
    Dismissed,
};

// Message boxes: a text, a title, an icon and a set of buttons; the answer is the button pressed.
// A box closed without a button answers OK (OK boxes), Cancel (Yes/No/Cancel) or Dismissed (Yes/No).
class MessageService
{
public:
    virtual ~MessageService() = default;
    virtual MsgAnswer show(QWidget *parent, const QString &text, const QString &title, MsgIcon icon,
                           MsgButtons buttons) = 0;

    // An input box: the answer, or nothing when it was cancelled.
    virtual std::optional<QString> input(QWidget *parent, const QString &prompt, const QString &title,
                                         const QString &defaultAnswer) = 0;

    // The error box: the error's description as text, its number as title, an OK button.
    void showError(QWidget *parent, const CommandError &error);
};

// Qt message boxes with Japanese button texts.
class QtMessageService final : public MessageService
{
public:
    // The clipboard the input box's field pastes from; until there is one it pastes nothing.
    void setClipboard(Clipboard &clipboard) { m_clipboard = &clipboard; }

    MsgAnswer show(QWidget *parent, const QString &text, const QString &title, MsgIcon icon,
                   MsgButtons buttons) override;
    std::optional<QString> input(QWidget *parent, const QString &prompt, const QString &title,
                                 const QString &defaultAnswer) override;

private:
    Clipboard *m_clipboard = &NoClipboard::shared();
};
