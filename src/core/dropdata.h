// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QMimeData;

// What a drop carries, read apart from the drag that brought it.
namespace dropdata {
// Whether `text` says nothing but the names of the dropped local `files`, as file managers offer
// it beside the file list: each non-blank line a path or a file URL of one of them (line breaks
// CR LF, LF or CR, blanks around a name ignored). False when no file was dropped.
bool textIsFileList(const QString &text, const QStringList &files);

// A copy of everything the drop offers (every format's bytes, the urls, the picture), to handle
// once the drag is over: the drag's own data goes away with it.
std::unique_ptr<QMimeData> copy(const QMimeData &data);
} // namespace dropdata
