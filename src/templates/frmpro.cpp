// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmpro.h"

#include "core/commanderror.h"
#include "core/fileio.h"
#include "display/appicon.h"
#include "platform/filedialogs.h"
#include "platform/guard.h"
#include "platform/messages.h"
#include "platform/pastelineedit.h"
#include "platform/widgettwips.h"
#include "templates/templatefile.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>

#include <cerrno>

namespace {
const char *const textNew = QT_TRANSLATE_NOOP("frmPro", "作成中の文章は失われます。よろしいですか？");
const char *const titleNew = QT_TRANSLATE_NOOP("frmPro", "新規確認");
const char *const textEmpty = QT_TRANSLATE_NOOP("frmPro", "定型文がありません。");
const char *const titleEmpty = QT_TRANSLATE_NOOP("frmPro", "空ファイル");

// Client area and controls, in twips.
constexpr int clientWidth = 5640;
constexpr int clientHeight = 3420;
} // namespace

frmPro::frmPro(const Platform &platform, CodePage writePage, QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_platform(platform), m_writePage(writePage)
{
    setObjectName(QStringLiteral("frmPro"));
    setWindowTitle(tr("定型文作成"));
    setWindowIcon(applicationIcon());
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setAttribute(Qt::WA_DeleteOnClose);

    QMenu *file = menuBar()->addMenu(tr("ファイル(&F)"));
    file->setObjectName(QStringLiteral("file"));
    const auto item = [&](const char *name, const QString &caption, void (frmPro::*slot)()) {
        QAction *a = file->addAction(caption);
        a->setObjectName(QLatin1StringView(name));
        connect(a, &QAction::triggered, this, slot);
    };
    item("file_Add", tr("新規作成(&A)"), &frmPro::file_Add_Click);
    item("file_Open", tr("ファイルを開く(&O)"), &frmPro::file_Open_Click);
    file->addSeparator()->setObjectName(QStringLiteral("file_Bar1"));
    item("file_Save", tr("名前を指定して保存(&S)"), &frmPro::file_Save_Click);
    file->addSeparator()->setObjectName(QStringLiteral("file_Bar2"));
    item("file_Quit", tr("閉じる(&Q)"), &frmPro::file_Quit_Click);

    auto *client = new QWidget(this);
    client->setFixedSize(twips::px(this, clientWidth), twips::px(this, clientHeight));
    setCentralWidget(client);
    m_frame1 = new QGroupBox(tr("定型文"), client);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setGeometry(0, twips::px(this, 30), twips::px(this, 5655), twips::px(this, 3405));
    // Tab order: the frame, the slots 1 to 10, then the labels.
    for (int i = 0; i < slotCount; ++i) {
        const int k = i + 1;
        m_text1[i] = new PasteLineEdit(m_platform.clipboard, m_frame1);
        m_text1[i]->setObjectName(QStringLiteral("Text1_%1").arg(i));
        m_text1[i]->setGeometry(twips::px(this, 300), twips::px(this, 300 * k), twips::px(this, 5235),
                                twips::px(this, 285));
    }
    for (int i = 0; i < slotCount; ++i) {
        const int k = i + 1;
        m_label1[i] = new QLabel(QStringLiteral("%1.").arg(k), m_frame1);
        m_label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        // The numbers reach up to the slots, so "10." is not cut in fonts wider than the designed one.
        const int left = k == 10 ? 60 : 120;
        m_label1[i]->setGeometry(twips::px(this, left), twips::px(this, 300 * k + 30), twips::px(this, 300 - 15 - left),
                                 twips::px(this, 180));
    }
    // Fixed size: the menu bar above a client area of the designed size.
    setFixedSize(client->width(), client->height() + menuBar()->sizeHint().height());
    textInitialize();
}

QStringList frmPro::phrases() const
{
    QStringList out;
    for (const QLineEdit *slot : m_text1)
        out << slot->text();
    return out;
}

void frmPro::textInitialize()
{
    for (QLineEdit *slot : m_text1)
        slot->setText(QString());
}

void frmPro::saveFile()
{
    templatefile::write(m_editorFilePath, phrases(), m_writePage);
}

void frmPro::file_Add_Click()
{
    if (m_platform.messages->show(this, tr(textNew), tr(titleNew), MsgIcon::Exclamation, MsgButtons::YesNo) ==
        MsgAnswer::Yes)
        textInitialize();
}

namespace {
FileDialogSpec templateDialog(const QString &fileName)
{
    FileDialogSpec request;
    request.filter = frmPro::tr("定型文ファイル(*.txt)|*.txt");
    request.defaultExtension = QStringLiteral(".txt");
    request.fileName = fileName;
    request.overwritePrompt = true;
    request.mustExist = false;
    return request;
}
} // namespace

void frmPro::file_Open_Click()
{
    guarded(*m_platform.messages, this,
            [&] {
                const auto chosen = m_platform.dialogs->open(this, templateDialog(m_dialogFileName));
                if (!chosen)
                    throw commandError(ErrorNumber::Cancel);
                m_dialogFileName = chosen->path;
                const QFileInfo info(chosen->path);
                if (!info.exists())
                    throw fileError(ENOENT, chosen->path);
                if (info.size() < 1) {
                    m_platform.messages->show(this, tr(textEmpty), tr(titleEmpty), MsgIcon::Information,
                                              MsgButtons::Ok);
                    return;
                }
                const QStringList lines = templatefile::read(chosen->path, slotCount);
                for (qsizetype k = 0; k < lines.size(); ++k)
                    m_text1[k]->setText(lines[k]);
            },
            {ErrorNumber::Cancel});
}

void frmPro::file_Save_Click()
{
    guarded(*m_platform.messages, this,
            [&] {
                const auto chosen = m_platform.dialogs->save(this, templateDialog(m_dialogFileName));
                if (!chosen)
                    throw commandError(ErrorNumber::Cancel);
                m_dialogFileName = chosen->path;
                m_editorFilePath = chosen->path;
                saveFile();
            },
            {ErrorNumber::Cancel});
}

void frmPro::file_Quit_Click()
{
    close();
}
