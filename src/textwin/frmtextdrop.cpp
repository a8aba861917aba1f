// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmtext.h"

#include "core/commanderror.h"
#include "core/dropdata.h"
#include "core/fileio.h"
#include "platform/clipboard.h"
#include "platform/guard.h"
#include "platform/messages.h"
#include "textwin/filelines.h"
#include "textwin/pasteedit.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeData>
#include <QTextCursor>
#include <QTimer>

#include <cerrno>

// What is dropped onto the editor: a text, added to the one shown, or files, whose text is added.

namespace {
const char *const textAdd = QT_TRANSLATE_NOOP("frmText", "表示されている文章に追加しますか？");
const char *const titleAdd = QT_TRANSLATE_NOOP("frmText", "新規確認");

// Clipboard formats a drop is asked for.
constexpr int formatText = 1;
constexpr int formatRichText = -16639;

// Not QMimeData::hasText(): that counts a file list as text too, and dropped files are read instead.
bool offersPlainText(const QMimeData *data)
{
    for (const QString &f : data->formats()) {
        if (f.startsWith(QStringLiteral("text/plain")))
            return true;
    }
    return false;
}

bool offersRichText(const QMimeData *data)
{
    for (const QString &f : data->formats()) {
        if (f.startsWith(QStringLiteral("text/rtf")) || f.startsWith(QStringLiteral("application/rtf")) ||
            f.startsWith(QStringLiteral("text/html")))
            return true;
    }
    return false;
}
} // namespace

void frmText::nullCheck()
{
    if (!text().isEmpty())
        setText(text() + QStringLiteral("\r\n"));
}

bool frmText::cfType(const QMimeData *data, int format)
{
    const bool offered = format == formatText ? offersPlainText(data) : offersRichText(data);
    if (!offered)
        return false;
    nullCheck();
    setText(text() + Clipboard::fromDesktop(data->text()));
    return true;
}

void frmText::richText_OLEDragDrop(const QMimeData *data)
{
    guarded(*m_platform.messages, this,
            [&] {
                if (!text().isEmpty() &&
                    m_platform.messages->show(this, tr(textAdd), tr(titleAdd), MsgIcon::Information,
                                              MsgButtons::YesNo) == MsgAnswer::No)
                    setText(QString());
                // File managers offer the dropped files' names as text beside the files: such a
                // drop is the files'.
                const QStringList files = Clipboard::localFiles(data);
                const bool namesOnly = offersPlainText(data) && dropdata::textIsFileList(data->text(), files);
                if (!namesOnly && (cfType(data, formatText) || cfType(data, formatRichText)))
                    return;
                if (files.isEmpty())
                    throw commandError(ErrorNumber::FormatNotFound);
                const bool several = files.size() > 1;
                if (several)
                    QApplication::setOverrideCursor(Qt::WaitCursor);
                struct RestoreCursor
                {
                    bool active;
                    ~RestoreCursor()
                    {
                        if (active)
                            QApplication::restoreOverrideCursor();
                    }
                } restore{several};
                // One file: the line break first; several: with the block, once every file was read.
                if (!several)
                    nullCheck();
                QString block;
                for (const QString &path : files) {
                    if (!QFileInfo::exists(path))
                        throw fileError(ENOENT, path);
                    const QByteArray bytes = fileio::readWholeFile(path);
                    if (!bytes.isEmpty())
                        block += textConv::fileLines(codec::decode(bytes));
                }
                if (several)
                    nullCheck();
                if (!block.isEmpty()) {
                    setText(text() + block);
                    QTextCursor c = m_richText->textCursor();
                    c.movePosition(QTextCursor::End);
                    m_richText->setTextCursor(c);
                }
            },
            {ErrorNumber::FormatNotFound});
}

// A drop is added once the editor is not laying out a large text: the drop builds on the text.
void frmText::dropWhenIdle(std::shared_ptr<QMimeData> dropped)
{
    QTimer::singleShot(m_richText->isBuilding() ? 50 : 0, this, [this, dropped] {
        if (m_richText->isBuilding())
            dropWhenIdle(dropped);
        else
            richText_OLEDragDrop(dropped.get());
    });
}
