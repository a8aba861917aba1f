#include "popuprows.h"

#include "core/commanderror.h"
#include "history/historyformat.h"

#include <algorithm>

namespace popuprows {
QStringList defaultShiftInsertClasses()
{
    return {QStringLiteral("XTerm"),          QStringLiteral("URxvt"),          QStringLiteral("Alacritty"),
            QStringLiteral("kitty"),          QStringLiteral("foot"),           QStringLiteral("konsole"),
            QStringLiteral("Gnome-terminal"), QStringLiteral("Xfce4-terminal"), QStringLiteral("Terminator"),
            QStringLiteral("Tilix"),          QStringLiteral("st-256color"),    QStringLiteral("Lxterminal"),
            QStringLiteral("wezterm")};
}

bool pastesWithShiftInsert(const QString &windowClass, const QStringList &classes)
{
    return !windowClass.isEmpty() && classes.contains(windowClass, Qt::CaseInsensitive);
}

QString rowText(int number, const QString &text)
{
    return historyformat::numberText(number) + QStringLiteral("  ") +
           historyformat::displayText(text.left(historyformat::maxEntryLength));
}

QString toolTipText(const QString &text)
{
    QString shown = text.size() > toolTipLength ? text.left(toolTipLength) + QChar(0x2026) : text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Rich text that keeps spaces and line breaks, so that no text is taken for markup.
    return QStringLiteral("<div style=\"white-space:pre-wrap\">") + shown.toHtmlEscaped() + QStringLiteral("</div>");
}

QPoint place(const QRect &screen, const QSize &size, std::optional<QPoint> pointer)
{
    if (!pointer)
        return {screen.left() + (screen.width() - size.width()) / 2,
                screen.top() + (screen.height() - size.height()) / 2};
    // Left of and above the pointer when it does not fit right of and below it; never off the screen's
    // top left corner.
    const int x = std::max(screen.left(), std::min(pointer->x(), screen.left() + screen.width() - size.width()));
    const int y = std::max(screen.top(), std::min(pointer->y(), screen.top() + screen.height() - size.height()));
    return {x, y};
}

int pickedRow(int key, Qt::KeyboardModifiers modifiers, bool filterEmpty)
{
    if (key < Qt::Key_1 || key > Qt::Key_9)
        return -1;
    const Qt::KeyboardModifiers others = modifiers & ~(Qt::KeypadModifier | Qt::AltModifier);
    if (others != Qt::NoModifier)
        return -1;
    if (!filterEmpty && !(modifiers & Qt::AltModifier))
        return -1;
    return key - Qt::Key_1;
}
} // namespace popuprows

PopupRows::PopupRows(HistoryModel &history, QObject *parent) : QAbstractListModel(parent), m_history(history)
{
    // While every entry is shown, the rows follow the history's.
    connect(&history, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex &, int first, int last) {
                if (!m_filtered)
                    beginInsertRows({}, first, last);
            });
    connect(&history, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!m_filtered)
            endInsertRows();
    });
    connect(&history, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) {
                if (!m_filtered)
                    beginRemoveRows({}, first, last);
            });
    connect(&history, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (!m_filtered)
            endRemoveRows();
    });
    connect(&history, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        if (!m_filtered)
            beginResetModel();
    });
    connect(&history, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_filtered)
            endResetModel();
    });
}

int PopupRows::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_filtered ? static_cast<int>(m_found.size()) : m_history.rowCount();
}

QVariant PopupRows::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    if (m_filtered) {
        const historysearch::Entry &found = m_found[static_cast<size_t>(index.row())];
        return role == Qt::DisplayRole ? popuprows::rowText(found.number, found.text)
                                       : popuprows::toolTipText(found.text);
    }
    const QModelIndex item = m_history.index(index.row());
    if (role == Qt::DisplayRole)
        return popuprows::rowText(item.data(HistoryModel::NumberRole).toInt(), item.data(Qt::EditRole).toString());
    try {
        return popuprows::toolTipText(m_history.wholeText(index.row()));
    } catch (const CommandError &) {
        return popuprows::toolTipText(item.data(Qt::EditRole).toString()); // the file cannot be read now
    }
}

void PopupRows::showAll()
{
    beginResetModel();
    m_filtered = false;
    m_found.clear();
    endResetModel();
}

void PopupRows::showFound()
{
    beginResetModel();
    m_filtered = true;
    m_found.clear();
    endResetModel();
}

void PopupRows::append(const QList<historysearch::Entry> &batch)
{
    const int taken = std::min(popuprows::listLimit - rowCount(), static_cast<int>(batch.size()));
    if (!m_filtered || taken <= 0)
        return;
    beginInsertRows({}, rowCount(), rowCount() + taken - 1);
    m_found.insert(m_found.end(), batch.cbegin(), batch.cbegin() + taken);
    endInsertRows();
}

historysearch::Entry PopupRows::entry(int row) const
{
    if (m_filtered)
        return m_found[static_cast<size_t>(row)];
    return {m_history.entryNumber(row), m_history.wholeText(row), row};
}
