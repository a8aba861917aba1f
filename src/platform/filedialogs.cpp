#include "filedialogs.h"

#include "core/dialogfilter.h"

#include <QFileDialog>
#include <QFontDialog>

namespace {
std::optional<FileDialogResult> run(QWidget *parent, const FileDialogSpec &spec, bool save)
{
    QFileDialog dialog(parent);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save || !spec.mustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !spec.overwritePrompt);
    const QStringList filters = dialogfilter::toQtFilters(spec.filter);
    dialog.setNameFilters(filters);
    if (spec.filterIndex >= 1 && spec.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[spec.filterIndex - 1]);
    QString suffix = spec.defaultExtension;
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    if (!spec.fileName.isEmpty())
        dialog.selectFile(spec.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const qsizetype index = filters.indexOf(dialog.selectedNameFilter());
    return FileDialogResult{dialogfilter::withDefaultExtension(dialog.selectedFiles().front(), spec.defaultExtension),
                            index < 0 ? spec.filterIndex : static_cast<int>(index) + 1};
}
} // namespace

std::optional<FileDialogResult> QtFileDialogs::open(QWidget *parent, const FileDialogSpec &spec)
{
    return run(parent, spec, false);
}

std::optional<FileDialogResult> QtFileDialogs::save(QWidget *parent, const FileDialogSpec &spec)
{
    return run(parent, spec, true);
}

std::optional<QFont> QtFileDialogs::font(QWidget *parent, const QFont &initial)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return chosen;
}
