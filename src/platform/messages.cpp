// SPDX-License-Identifier: GPL-3.0-or-later
#include "messages.h"

#include "core/commanderror.h"
#include "platform/modal.h"
#include "platform/pastelineedit.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

void MessageService::showError(QWidget *parent, const CommandError &error)
{
    show(parent, error.description, QString::number(error.number), MsgIcon::None, MsgButtons::Ok);
}

namespace {
MsgAnswer dismissal(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
        return MsgAnswer::Ok;
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Cancel;
    case MsgButtons::YesNo:
        break;
    }
    return MsgAnswer::Dismissed;
}

// QMessageBox takes Escape and the close box for its No button; here they close the box with no
// button chosen.
class DismissWithoutAnswer final : public QObject
{
public:
    explicit DismissWithoutAnswer(QMessageBox *box) : QObject(box), m_box(box) { box->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_box)
            return false;
        const bool escape =
            event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Cancel);
        if (escape || event->type() == QEvent::Close) {
            m_box->reject();
            return true;
        }
        return false;
    }

private:
    QMessageBox *m_box;
};
} // namespace

MsgAnswer QtMessageService::show(QWidget *parent, const QString &text, const QString &title, MsgIcon icon,
                                 MsgButtons buttons)
{
    if (modal::closing())
        return dismissal(buttons);
    auto *box = new QMessageBox(parent);
    box->setWindowTitle(title);
    box->setText(text);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    switch (icon) {
    case MsgIcon::None:
        box->setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Information:
        box->setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Question:
        box->setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Exclamation:
        box->setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Critical:
        box->setIcon(QMessageBox::Critical);
        break;
    }
    QPushButton *ok = nullptr;
    QPushButton *yes = nullptr;
    QPushButton *no = nullptr;
    QPushButton *cancel = nullptr;
    if (buttons == MsgButtons::Ok) {
        ok = box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box->setDefaultButton(ok);
        box->setEscapeButton(ok);
    } else {
        yes = box->addButton(QCoreApplication::translate("Messages", "はい(&Y)"), QMessageBox::YesRole);
        no = box->addButton(QCoreApplication::translate("Messages", "いいえ(&N)"), QMessageBox::NoRole);
        box->setDefaultButton(yes);
        if (buttons == MsgButtons::YesNoCancel) {
            cancel = box->addButton(QCoreApplication::translate("Messages", "キャンセル"), QMessageBox::RejectRole);
            box->setEscapeButton(cancel);
        } else {
            new DismissWithoutAnswer(box);
        }
    }
    int result = 0;
    const std::unique_ptr<QMessageBox> closed = modal::exec(box, result);
    if (!closed)
        return dismissal(buttons);
    const auto *clicked = closed->clickedButton();
    if (clicked == yes && yes)
        return MsgAnswer::Yes;
    if (clicked == no && no)
        return MsgAnswer::No;
    if (clicked == cancel && cancel)
        return MsgAnswer::Cancel;
    return dismissal(buttons);
}

std::optional<QString> QtMessageService::input(QWidget *parent, const QString &prompt, const QString &title,
                                               const QString &defaultAnswer)
{
    if (modal::closing())
        return std::nullopt;
    auto *box = new QInputDialog(parent);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->setWindowTitle(title);
    box->setLabelText(prompt);
    box->setTextValue(defaultAnswer);
    box->setOkButtonText(QStringLiteral("OK"));
    box->setCancelButtonText(QCoreApplication::translate("Messages", "キャンセル"));
    PasteLineEdit::guardFields(box, m_clipboard);
    int result = 0;
    const std::unique_ptr<QInputDialog> closed = modal::exec(box, result);
    if (!closed || result != QDialog::Accepted)
        return std::nullopt;
    return closed->textValue();
}
