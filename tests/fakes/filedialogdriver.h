// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Answers the next real (non-native) file dialog the way a person would: picks a listed file or
// types a name, then presses OK. A message box the dialog raises on OK is recorded and answered
// (Yes where it asks, otherwise closed); a dialog still open after that is cancelled.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTimer>

class FileDialogDriver final : public QObject
{
public:
    enum class How
    {
        Pick, // select the file in the dialog's list
        Type  // type the name into the file name box
    };

    // `filter`: the file type to choose first (1-based), 0 to keep the dialog's.
    FileDialogDriver(How how, QString path, int filter = 0) : m_how(how), m_path(std::move(path)), m_filter(filter)
    {
        schedule();
    }

    bool answered() const { return m_answered; }
    bool finished() const { return m_finished; }
    QStringList boxes;       // texts of the message boxes the dialog raised
    QStringList filterNames; // the file types the dialog offered, as shown
    bool listed = false;     // the file to pick was in the dialog's list

private:
    void schedule()
    {
        QTimer::singleShot(10, this, [this] { step(); });
    }

    void step()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            boxes << box->text();
            schedule();
            if (QAbstractButton *yes = box->button(QMessageBox::Yes))
                yes->click();
            else
                box->reject();
            return;
        }
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog) {
            if (m_answered)
                m_finished = true;
            else
                schedule();
            return;
        }
        // The next step is queued first: OK may open a box with a loop of its own.
        schedule();
        if (m_answered) {
            dialog->reject();
            return;
        }
        const QFileInfo info(m_path);
        if (!m_started) {
            m_started = true;
            if (auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"))) {
                for (int i = 0; i < types->count(); ++i)
                    filterNames << types->itemText(i);
            }
            if (m_filter > 0)
                dialog->selectNameFilter(dialog->nameFilters().value(m_filter - 1));
            dialog->setDirectory(info.absolutePath());
        }
        if (m_how == How::Pick) {
            // A file is listed once the dialog has read its folder, and only if the filter shows it.
            auto *model = dialog->findChild<QFileSystemModel *>();
            auto *list = dialog->findChild<QListView *>(QStringLiteral("listView"));
            QModelIndex index;
            if (model && list) {
                const QModelIndex root = list->rootIndex();
                for (int row = 0; row < model->rowCount(root) && !index.isValid(); ++row) {
                    const QModelIndex shown = model->index(row, 0, root);
                    if (shown.data(QFileSystemModel::FilePathRole).toString() == info.absoluteFilePath())
                        index = shown;
                }
            }
            if (!index.isValid() && ++m_waits < 100)
                return;
            listed = index.isValid();
            if (listed)
                list->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        } else if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) {
            edit->setText(info.fileName());
        }
        m_answered = true;
        static_cast<QDialog *>(dialog)->accept(); // OK, as its button does
    }

    How m_how;
    QString m_path;
    int m_filter;
    bool m_started = false;
    int m_waits = 0;
    bool m_answered = false;
    bool m_finished = false;
};
