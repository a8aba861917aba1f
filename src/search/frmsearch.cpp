// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmsearch.h"

#include "core/commanderror.h"
#include "display/appicon.h"
#include "history/historyfile.h"
#include "history/historyformat.h"
#include "platform/clipboard.h"
#include "platform/messages.h"
#include "platform/pastelineedit.h"
#include "searchjob.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {
const char *const windowTitleText = QT_TRANSLATE_NOOP("frmSearch", "履歴検索");
const char *const captionIgnoreCase = QT_TRANSLATE_NOOP("frmSearch", "大文字と小文字を区別しない");
const char *const captionIgnoreWidth = QT_TRANSLATE_NOOP("frmSearch", "全角と半角を区別しない");
const char *const captionIgnoreKana = QT_TRANSLATE_NOOP("frmSearch", "ひらがなとカタカナを区別しない");
} // namespace

// The listed matches: the whole text of each, shown like the history list's items.
class SearchResults final : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        const historysearch::Entry &entry = m_entries[static_cast<size_t>(index.row())];
        if (role == Qt::DisplayRole)
            return historyformat::displayText(entry.text.left(historyformat::maxEntryLength));
        if (role == Qt::ToolTipRole)
            return historyformat::numberText(entry.number);
        return {};
    }
    void clear()
    {
        beginResetModel();
        m_entries.clear();
        endResetModel();
    }
    void append(const QList<historysearch::Entry> &batch, int limit)
    {
        const int room = limit - rowCount();
        const int taken = std::min(room, static_cast<int>(batch.size()));
        if (taken <= 0)
            return;
        beginInsertRows({}, rowCount(), rowCount() + taken - 1);
        m_entries.insert(m_entries.end(), batch.cbegin(), batch.cbegin() + taken);
        endInsertRows();
    }
    const historysearch::Entry &entry(int row) const { return m_entries[static_cast<size_t>(row)]; }

private:
    std::vector<historysearch::Entry> m_entries;
};

namespace {
// One line per match, the first match of the query marked.
class MatchDelegate final : public QStyledItemDelegate
{
public:
    MatchDelegate(const QString &query, const historysearch::Options &options, QObject *parent)
        : QStyledItemDelegate(parent), m_query(query), m_options(options)
    {}
    void setQuery(const QString &query, const historysearch::Options &options)
    {
        m_query = query;
        m_options = options;
    }
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QString text = item.text;
        item.text.clear();
        const QWidget *widget = option.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(2, 0, -2, 0);
        const historysearch::Span span = historysearch::find(text, m_query, m_options);
        const QFontMetrics metrics(item.font);
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        painter->setClipRect(area);
        painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        int x = area.left();
        const auto piece = [&](const QString &part, bool marked) {
            const int width = metrics.horizontalAdvance(part);
            if (marked)
                painter->fillRect(QRect(x, area.top() + 1, width, area.height() - 2), QColor(255, 225, 90));
            painter->setPen(marked ? QColor(Qt::black)
                                   : item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
            painter->drawText(QRect(x, area.top(), width + 1, area.height()), Qt::AlignVCenter | Qt::TextSingleLine,
                              part);
            x += width;
        };
        if (span.found()) {
            piece(text.left(span.start), false);
            piece(text.mid(span.start, span.length), true);
            piece(text.mid(span.start + span.length), false);
        } else {
            piece(text, false);
        }
        painter->restore();
    }

private:
    QString m_query;
    historysearch::Options m_options;
};
} // namespace

frmSearch::frmSearch(const Platform &platform, std::function<QString()> historyPath, historysearch::Options &options,
                     QWidget *parent)
    : QWidget(parent, Qt::Window), m_platform(platform), m_historyPath(std::move(historyPath)), m_options(options),
      m_text(new PasteLineEdit(platform.clipboard, this)), m_ignoreCase(new QCheckBox(tr(captionIgnoreCase), this)),
      m_ignoreWidth(new QCheckBox(tr(captionIgnoreWidth), this)),
      m_ignoreKana(new QCheckBox(tr(captionIgnoreKana), this)), m_list(new QListView(this)), m_count(new QLabel(this)),
      m_results(new SearchResults(this)), m_job(std::make_unique<SearchJob>())
{
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(tr(windowTitleText));
    setWindowIcon(applicationIcon());
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_text->setObjectName(QStringLiteral("searchText"));
    m_ignoreCase->setObjectName(QStringLiteral("ignoreCase"));
    m_ignoreWidth->setObjectName(QStringLiteral("ignoreWidth"));
    m_ignoreKana->setObjectName(QStringLiteral("ignoreKana"));
    m_list->setObjectName(QStringLiteral("searchResults"));
    m_count->setObjectName(QStringLiteral("searchCount"));
    m_ignoreCase->setChecked(m_options.ignoreCase);
    m_ignoreWidth->setChecked(m_options.ignoreWidth);
    m_ignoreKana->setChecked(m_options.ignoreKana);
    m_list->setModel(m_results);
    m_list->setUniformItemSizes(true);
    m_list->setItemDelegate(new MatchDelegate(QString(), m_options, m_list));
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAccessibleName(tr(windowTitleText));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    auto *boxes = new QHBoxLayout;
    for (QCheckBox *box : {m_ignoreCase, m_ignoreWidth, m_ignoreKana})
        boxes->addWidget(box);
    boxes->addStretch();
    layout->addLayout(boxes);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_count);
    resize(560, 380);

    connect(m_text, &QLineEdit::textChanged, this, &frmSearch::startSearch);
    for (QCheckBox *box : {m_ignoreCase, m_ignoreWidth, m_ignoreKana}) {
        connect(box, &QCheckBox::toggled, this, [this] {
            m_options.ignoreCase = m_ignoreCase->isChecked();
            m_options.ignoreWidth = m_ignoreWidth->isChecked();
            m_options.ignoreKana = m_ignoreKana->isChecked();
            startSearch();
        });
    }
    connect(m_list, &QListView::activated, this, [this](const QModelIndex &index) { restore(index.row()); });
    m_text->installEventFilter(this);

    connect(m_job.get(), &SearchJob::found, this, &frmSearch::showFound);
    connect(m_job.get(), &SearchJob::counted, this, [this](qint64 count) {
        m_found = count;
        showCount(count, false);
    });
    connect(m_job.get(), &SearchJob::failed, this, [this](const QString &problem) { m_problem = problem; });
    connect(m_job.get(), &SearchJob::finished, this, [this] {
        showCount(m_found, true);
        if (!m_problem.isEmpty())
            tellProblem(m_problem);
        emit searchFinished(m_found);
    });
}

frmSearch::~frmSearch() = default; // the job cancels and joins its search

void frmSearch::startSearch()
{
    m_results->clear();
    const QString query = m_text->text();
    static_cast<MatchDelegate *>(m_list->itemDelegate())->setQuery(query, m_options);
    if (query.isEmpty()) {
        m_job->cancel();
        m_count->clear();
        return;
    }
    m_count->setText(tr("検索中…"));
    m_found = 0;
    m_problem.clear();
    if (!m_job->start(m_historyPath(), query, m_options, listLimit)) {
        showCount(0, true);
        tellProblem(errorDescription(ErrorNumber::OutOfMemory));
    }
}

void frmSearch::showFound(const QList<historysearch::Entry> &entries)
{
    const bool wasEmpty = m_results->rowCount() == 0;
    m_results->append(entries, listLimit);
    if (wasEmpty && m_results->rowCount() > 0)
        m_list->setCurrentIndex(m_results->index(0));
}

void frmSearch::showCount(qint64 count, bool finished)
{
    const QString number = QLocale(QLocale::Japanese).toString(count);
    const int n = int(qMin<qint64>(count, std::numeric_limits<int>::max()));
    QString text = finished ? tr("%1 件", nullptr, n).arg(number) : tr("%1 件 (検索中…)", nullptr, n).arg(number);
    if (count > listLimit)
        text += tr("　新しい %1 件を表示").arg(QLocale(QLocale::Japanese).toString(listLimit));
    m_count->setText(text);
}

void frmSearch::tellProblem(const QString &problem)
{
    m_count->setText(tr("%1　検索を続けられません: %2").arg(m_count->text(), problem));
}

void frmSearch::open()
{
    show();
    raise();
    activateWindow();
    m_text->setFocus();
    m_text->selectAll();
    startSearch(); // the history may have grown since
}

void frmSearch::restore(int row)
{
    if (row < 0 || row >= m_results->rowCount())
        return;
    const historysearch::Entry entry = m_results->entry(row);
    close();
    emit entryChosen(entry);
}

bool frmSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            restore(m_list->currentIndex().isValid() ? m_list->currentIndex().row() : 0);
            return true;
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_PageDown:
        case Qt::Key_PageUp:
            QApplication::sendEvent(m_list, event);
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmSearch::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && m_list->currentIndex().isValid()) {
        restore(m_list->currentIndex().row());
        return;
    }
    QWidget::keyPressEvent(event);
}
