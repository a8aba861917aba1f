#include "filedialogs.h"

#include "core/dialogfilter.h"

#include <QFileDialog>
#include <QFontDialog>
#include <QPointer>

#include <memory>

namespace {
std::optional<FileDialogResult> run(QWidget *parent, const FileDialogSpec &request, dialogfilter::DialogMode mode)
{
    const bool save = mode == dialogfilter::DialogMode::Save;
    // On the heap and watched: a window closed while the dialog runs takes its children with it.
    QPointer<QFileDialog> dialog = new QFileDialog(parent);
    dialog->setWindowFlag(Qt::WindowStaysOnTopHint);
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
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!dialog)
        return std::nullopt;
    const std::unique_ptr<QFileDialog> owned(dialog.data());
    if (!accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    const int index = dialogfilter::filterIndexOf(filters, dialog->selectedNameFilter());
    return FileDialogResult{dialog->selectedFiles().front(), index > 0 ? index : request.filterIndex};
}
} // namespace

std::optional<FileDialogResult> QtFileDialogs::open(QWidget *parent, const FileDialogSpec &request)
{
    return run(parent, request, dialogfilter::DialogMode::Open);
}

std::optional<FileDialogResult> QtFileDialogs::save(QWidget *parent, const FileDialogSpec &request)
{
    return run(parent, request, dialogfilter::DialogMode::Save);
}

std::optional<QFont> QtFileDialogs::font(QWidget *parent, const QFont &initial)
{
    QPointer<QFontDialog> dialog = new QFontDialog(initial, parent);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!dialog)
        return std::nullopt;
    const std::unique_ptr<QFontDialog> owned(dialog.data());
    if (!accepted)
        return std::nullopt;
    return dialog->selectedFont();
}
