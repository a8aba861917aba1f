// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/clipboard.h"

#include <QFont>
#include <QString>

#include <optional>

class Clipboard;
class QWidget;

// What a file dialog is set up with.
struct FileDialogSpec
{
    QString filter;               // "description|pattern|..."
    int filterIndex = 1;          // 1-based
    QString defaultExtension;     // ".ifo"; a save dialog adds it to a name typed without one
    QString fileName;             // proposed name
    bool overwritePrompt = false; // save: ask before replacing an existing file
    bool mustExist = true;        // open: only existing files
};

struct FileDialogResult
{
    QString path;
    int filterIndex = 1; // the filter selected when the dialog closed, 1-based
};

// Open, save and font dialogs. Nothing (std::nullopt) when the user cancels.
class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    virtual std::optional<FileDialogResult> open(QWidget *parent, const FileDialogSpec &request) = 0;
    virtual std::optional<FileDialogResult> save(QWidget *parent, const FileDialogSpec &request) = 0;
    virtual std::optional<QFont> font(QWidget *parent, const QFont &initial) = 0;
};

// Their edit fields paste from `clipboard`; nothing without one.
class QtFileDialogs final : public FileDialogs
{
public:
    QtFileDialogs() = default;
    explicit QtFileDialogs(Clipboard &clipboard) : m_clipboard(&clipboard) {}

    std::optional<FileDialogResult> open(QWidget *parent, const FileDialogSpec &request) override;
    std::optional<FileDialogResult> save(QWidget *parent, const FileDialogSpec &request) override;
    std::optional<QFont> font(QWidget *parent, const QFont &initial) override;

private:
    Clipboard *m_clipboard = &NoClipboard::shared();
};
