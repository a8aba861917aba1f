// SPDX-License-Identifier: GPL-3.0-or-later
#include "historylist.h"

#include "app/mainrules.h"
#include "history/historyfile.h"
#include "history/historyformat.h"
#include "history/historymodel.h"
#include "launcher/calculator.h"
#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/guard.h"
#include "platform/pastelineedit.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QProxyStyle>
#include <QStyledItemDelegate>

namespace {
// The popup is a plain list: the default style would measure every item first.
class ListPopupStyle final : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Every row is one line high, measured with the Japanese text it mostly shows.
class OneLineDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return {option.rect.width(), option.fontMetrics.boundingRect(QStringLiteral("あAg|")).height() + 4};
    }
};
} // namespace

HistoryList::HistoryList(const Platform &platform, HistoryFile &history, QWidget *parent)
    : QComboBox(parent), m_platform(platform), m_model(new HistoryModel(history, this))
{
    setObjectName(QStringLiteral("Combo1"));
    setEditable(true);
    setLineEdit(new PasteLineEdit(m_platform.clipboard, this));
    setInsertPolicy(QComboBox::NoInsert);
    setDuplicatesEnabled(true);
    setCompleter(nullptr);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(1);
    setMaxVisibleItems(20);
    auto *style = new ListPopupStyle;
    style->setParent(this);
    setStyle(style);
    auto *view = new QListView(this);
    view->setUniformItemSizes(true);
    view->setItemDelegate(new OneLineDelegate(view));
    view->setTextElideMode(Qt::ElideRight);
    setView(view);
    setModel(m_model);
    setAcceptDrops(true);
    lineEdit()->setAcceptDrops(true);
    installEventFilter(this);
    lineEdit()->installEventFilter(this);
    connect(this, &QComboBox::activated, this, &HistoryList::Combo1_Click);
}

QWidget *HistoryList::boxParent() const
{
    return window()->isVisible() ? window() : nullptr;
}

void HistoryList::reload(const QString &shown)
{
    setUpdatesEnabled(false);
    std::optional<CommandError> failed;
    try {
        m_model->file().ensureExists();
        m_model->reload();
    } catch (const CommandError &e) {
        failed = e;
    }
    setCurrentIndex(-1);
    setText(shown.left(historyformat::maxEntryLength));
    m_shownWhole = shown.size() > historyformat::maxEntryLength ? shown : QString();
    setUpdatesEnabled(true);
    if (failed)
        throw *failed;
}

HistoryModel::Shown HistoryList::shown() const
{
    HistoryModel::Shown shown{text(), currentIndex(), {}};
    // A row is shown while the field holds its text; typing over it shows the typed text instead.
    if (shown.row >= 0 && itemText(shown.row) != shown.text)
        shown.row = -1;
    if (shown.row < 0 && !m_shownWhole.isNull() && shown.text == m_shownWhole.left(historyformat::maxEntryLength))
        shown.whole = m_shownWhole;
    return shown;
}

void HistoryList::add(const QString &text)
{
    m_model->record(text, HistoryModel::Shown{});
}

bool HistoryList::record(const QString &text)
{
    const std::optional<QString> item = m_model->record(text, shown());
    if (!item)
        return false;
    m_shownWhole.clear();
    setCurrentIndex(0);
    setText(*item);
    setToolTip(*item);
    return true;
}

bool HistoryList::Combo1_Click(int index)
{
    if (index < 0)
        return false;
    QString text;
    try {
        text = m_model->wholeText(index);
    } catch (const CommandError &e) {
        m_platform.messages->showError(boxParent(), e);
        return false;
    }
    restore(text);
    return true;
}

void HistoryList::restore(const QString &text)
{
    m_platform.clipboard->clear();
    m_platform.clipboard->setText(text);
}

bool HistoryList::chooseEntry(const historysearch::Entry &entry)
{
    const QString item = entry.text.left(historyformat::maxEntryLength);
    for (qint64 r = std::max<qint64>(entry.newer, 0); r < count(); ++r) {
        const int index = static_cast<int>(r);
        if (m_model->entryNumber(index) == entry.number && itemText(index) == item) {
            setCurrentIndex(index);
            return Combo1_Click(index);
        }
    }
    restore(entry.text);
    return true;
}

void HistoryList::Combo1_KeyDown(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_F11)
        return;
    const QString text = this->text();
    const calculator::Decision decision = calculator::decide(text);
    if (decision.action == calculator::Action::Launch)
        m_platform.desktop->shellOpen(text);
    else if (decision.action == calculator::Action::Evaluate) // a division by zero or an overflow keeps the text
        guarded(*m_platform.messages, boxParent(), [&] { calValue(decision.mark); });
}

void HistoryList::calValue(QChar mark)
{
    const QString result = calculator::calValue(text(), mark);
    setText(result);
    lineEdit()->setCursorPosition(static_cast<int>(result.size()));
}

void HistoryList::convertText(const QString &key)
{
    setText(calculator::convert(key, text()));
}

bool HistoryList::fileDrop(QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (!Clipboard::localFiles(drag->mimeData()).isEmpty() && (drag->possibleActions() & Qt::CopyAction)) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList paths = Clipboard::localFiles(drop->mimeData());
        if (paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        m_platform.clipboard->setText(mainrules::dropText(paths));
        return true;
    }
    default:
        return false;
    }
}

bool HistoryList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this || watched == lineEdit()) {
        if (fileDrop(event))
            return true;
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_F11) {
                Combo1_KeyDown(key);
                return true;
            }
        }
    }
    return QComboBox::eventFilter(watched, event);
}
