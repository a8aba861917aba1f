#include "filedialogs.h"

#include "core/dialogfilter.h"
#include "platform/modal.h"

#include <QFileDialog>
#include <QFontDialog>

namespace {
std::optional<FileDialogResult> run(QWidget *parent, const FileDialogSpec &request, bool save)
{
    if (modal::closing())
        return std::nullopt;
    QFileDialog dialog(parent);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save || !request.mustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    const QStringList filters = dialogfilter::toQtFilters(request.filter);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    QString suffix = request.defaultExtension;
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const qsizetype index = filters.indexOf(dialog.selectedNameFilter());
    return FileDialogResult{
        dialogfilter::withDefaultExtension(dialog.selectedFiles().front(), request.defaultExtension),
        index < 0 ? request.filterIndex : static_cast<int>(index) + 1};
}
} // namespace

std::optional<FileDialogResult> QtFileDialogs::open(QWidget *parent, const FileDialogSpec &request)
{
    return run(parent, request, false);
}

std::optional<FileDialogResult> QtFileDialogs::save(QWidget *parent, const FileDialogSpec &request)
{
    return run(parent, request, true);
}

std::optional<QFont> QtFileDialogs::font(QWidget *parent, const QFont &initial)
{
    if (modal::closing())
        return std::nullopt;
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return chosen;
}
