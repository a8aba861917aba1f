// SPDX-License-Identifier: GPL-3.0-or-later
#include "filedialogs.h"

#include "core/dialogfilter.h"
#include "platform/modal.h"
#include "platform/pastelineedit.h"

#include <QFileDialog>
#include <QFontDialog>

#include <memory>

namespace {
std::optional<FileDialogResult> run(QWidget *parent, Clipboard *clipboard, const FileDialogSpec &request,
                                    dialogfilter::DialogMode mode)
{
    if (modal::closing())
        return std::nullopt;
    const bool save = mode == dialogfilter::DialogMode::Save;
    // On the heap: a window deleted while the dialog runs takes its children with it.
    auto *dialog = new QFileDialog(parent);
    dialog->setWindowFlag(Qt::WindowStaysOnTopHint);
    PasteLineEdit::guardFields(dialog, clipboard);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save || !request.mustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = dialogfilter::toQtFilters(request.filter);
    dialog->setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog->selectNameFilter(filters[request.filterIndex - 1]);
    // The dialog adds the suffix itself, to a typed name only, before it asks about replacing a file.
    dialog->setDefaultSuffix(dialogfilter::defaultSuffix(mode, request.defaultExtension));
    if (!request.fileName.isEmpty())
        dialog->selectFile(request.fileName);
    int result = 0;
    const std::unique_ptr<QFileDialog> closed = modal::exec(dialog, result);
    if (!closed || result != QDialog::Accepted || closed->selectedFiles().isEmpty())
        return std::nullopt;
    const int index = dialogfilter::filterIndexOf(filters, closed->selectedNameFilter());
    return FileDialogResult{closed->selectedFiles().front(), index > 0 ? index : request.filterIndex};
}
} // namespace

std::optional<FileDialogResult> QtFileDialogs::open(QWidget *parent, const FileDialogSpec &request)
{
    return run(parent, m_clipboard, request, dialogfilter::DialogMode::Open);
}

std::optional<FileDialogResult> QtFileDialogs::save(QWidget *parent, const FileDialogSpec &request)
{
    return run(parent, m_clipboard, request, dialogfilter::DialogMode::Save);
}

std::optional<QFont> QtFileDialogs::font(QWidget *parent, const QFont &initial)
{
    if (modal::closing())
        return std::nullopt;
    auto *dialog = new QFontDialog(initial, parent);
    PasteLineEdit::guardFields(dialog, m_clipboard);
    int result = 0;
    const std::unique_ptr<QFontDialog> closed = modal::exec(dialog, result);
    if (!closed || result != QDialog::Accepted)
        return std::nullopt;
    return closed->selectedFont();
}
