// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/codec.h"
#include "platform/platform.h"

#include <QMainWindow>

class QGroupBox;
class QLabel;
class QLineEdit;

// The template phrase editor: ten single-line slots written to and read from a template file.
class frmPro final : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int slotCount = 10;

    frmPro(const Platform &platform, CodePage writePage, QWidget *parent = nullptr);

    void file_Add_Click();
    void file_Open_Click();
    void file_Save_Click();
    void file_Quit_Click();

    // Empties every slot.
    void textInitialize();
    // Writes the ten slots to the editor file path.
    void saveFile();

    QLineEdit *text1(int index) const { return m_text1[index]; }
    QStringList phrases() const;
    const QString &editorFilePath() const { return m_editorFilePath; }

private:
    Platform m_platform;
    CodePage m_writePage;
    QString m_editorFilePath;
    QString m_dialogFileName = QStringLiteral("templ.txt"); // kept between uses of the dialog
    QGroupBox *m_frame1 = nullptr;
    QLineEdit *m_text1[slotCount] = {};
    QLabel *m_label1[slotCount] = {};
};
