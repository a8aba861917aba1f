// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmpopup.h"

#include "core/commanderror.h"
#include "display/appicon.h"
#include "history/historymodel.h"
#include "platform/capturechoice.h"
#include "platform/messages.h"
#include "platform/pastelineedit.h"
#include "platform/pastesender.h"
#include "popuprows.h"
#include "search/searchjob.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>

namespace {
const char *const windowTitleText = QT_TRANSLATE_NOOP("frmPopup", "履歴");
const char *const textPasteByHand = QT_TRANSLATE_NOOP("frmPopup", "Ctrl+V で貼り付けてください");
const char *const textSearching = QT_TRANSLATE_NOOP("frmPopup", "検索中…");
// How long the paste hint stays, in milliseconds.
constexpr int hintTime = 3000;

// Rows as wide as the list, whatever their text: a long line is elided, not scrolled to.
class RowDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return {0, QStyledItemDelegate::sizeHint(option, index).height()};
    }
};

QString countText(qint64 count, bool finished)
{
    const QString number = QLocale(QLocale::Japanese).toString(count);
    const int n = int(qMin<qint64>(count, std::numeric_limits<int>::max()));
    return finished ? QCoreApplication::translate("frmPopup", "%1 件", nullptr, n).arg(number)
                    : QCoreApplication::translate("frmPopup", "%1 件 (検索中…)", nullptr, n).arg(number);
}
} // namespace

frmPopup::frmPopup(const Platform &platform, HistoryModel &history, const historysearch::Options &options,
                   QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_platform(platform),
      m_history(history), m_options(options), m_filter(new PasteLineEdit(platform.clipboard, this)),
      m_allList(new QListView(this)), m_foundList(new QListView(this)), m_count(new QLabel(this)),
      m_allRows(new HistoryRows(history, this)), m_foundRows(new FoundRows(this)),
      m_hint(new QLabel(tr(textPasteByHand), this, Qt::ToolTip | Qt::FramelessWindowHint)),
      m_hintTimer(new QTimer(this)), m_job(std::make_unique<SearchJob>())
{
    setObjectName(QStringLiteral("frmPopup"));
    setWindowTitle(tr(windowTitleText));
    setAccessibleName(tr(windowTitleText));
    setWindowIcon(applicationIcon());
    m_filter->setObjectName(QStringLiteral("popupFilter"));
    m_allList->setObjectName(QStringLiteral("popupList"));
    m_foundList->setObjectName(QStringLiteral("popupFound"));
    m_count->setObjectName(QStringLiteral("popupCount"));
    m_hint->setObjectName(QStringLiteral("lateHint"));
    m_hint->setAttribute(Qt::WA_ShowWithoutActivating);
    m_hint->setMargin(6);
    m_openHint = new QLabel(tr(textPasteByHand), this);
    m_openHint->setObjectName(QStringLiteral("pasteHint"));
    m_openHint->hide();
    m_hintTimer->setSingleShot(true);
    m_hintTimer->setInterval(hintTime);
    connect(m_hintTimer, &QTimer::timeout, m_hint, &QWidget::hide);
    connect(m_hintTimer, &QTimer::timeout, m_openHint, &QWidget::hide);

    m_allList->setModel(m_allRows);
    m_foundList->setModel(m_foundRows);
    for (QListView *list : {m_allList, m_foundList}) {
        list->setUniformItemSizes(true);
        list->setItemDelegate(new RowDelegate(list));
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setTextElideMode(Qt::ElideRight);
        list->setWordWrap(false);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setFocusPolicy(Qt::NoFocus); // the keys go to the filter, which hands the moving keys on
        list->setAccessibleName(tr(windowTitleText));
        connect(list, &QListView::activated, this, [this](const QModelIndex &index) { pick(index.row()); });
    }
    m_foundList->hide();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    layout->addWidget(m_filter);
    layout->addWidget(m_allList, 1);
    layout->addWidget(m_foundList, 1);
    layout->addWidget(m_count);
    layout->addWidget(m_openHint);
    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * 64, metrics.height() * 22);

    connect(m_filter, &QLineEdit::textChanged, this, &frmPopup::startSearch);
    m_filter->installEventFilter(this);

    connect(m_job.get(), &SearchJob::found, this, [this](const QList<historysearch::Entry> &entries) {
        const bool wasEmpty = m_foundRows->rowCount() == 0;
        m_foundRows->append(entries);
        if (wasEmpty && m_foundRows->rowCount() > 0)
            m_foundList->setCurrentIndex(m_foundRows->index(0));
    });
    connect(m_job.get(), &SearchJob::counted, this, [this](qint64 count) {
        m_matches = count;
        showCount(count, false);
    });
    connect(m_job.get(), &SearchJob::failed, this, [this](const QString &problem) { m_problem = problem; });
    connect(m_job.get(), &SearchJob::finished, this, [this] {
        showCount(m_matches, true);
        if (!m_problem.isEmpty())
            m_count->setText(tr("%1　検索を続けられません: %2").arg(m_count->text(), m_problem));
    });
    // Each paste is reported once. One overtaken by a newer paste is reported as not sent, maybe while
    // the newer one is asked for: only the last report tells what the user got.
    connect(m_platform.paste, &PasteSender::pasted, this, [this](bool sent) {
        if (m_pasting > 0 && --m_pasting == 0 && !sent)
            tellPasteFailed(m_closedAt);
    });
}

frmPopup::~frmPopup() = default; // the job cancels and joins its search

void frmPopup::open()
{
    if (isVisible()) { // open already: the window to paste into is known
        raise();
        activateWindow();
        return;
    }
    m_platform.paste->rememberTarget();
    m_hint->hide();
    if (m_filter->text().isEmpty())
        startSearch(); // the first row selected, the count of a history that may have grown
    else
        m_filter->clear();
    placeOnScreen();
    show();
    raise();
    activateWindow();
    m_platform.paste->activate(windowHandle());
    m_filter->setFocus();
    if (m_pastes && !m_platform.paste->canPaste())
        tellPasteByHand();
}

void frmPopup::placeOnScreen()
{
    // A Wayland client cannot know the pointer outside its own windows, nor can an X11 one on a Wayland
    // desktop (XWayland sees the pointer only over X11 windows).
    const bool wayland = CaptureSession::current().wayland;
    std::optional<QPoint> pointer;
    QScreen *screen = nullptr;
    if (!wayland) {
        pointer = QCursor::pos();
        screen = QGuiApplication::screenAt(*pointer);
    }
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        move(popuprows::place(screen->availableGeometry(), size(), pointer));
}

void frmPopup::startSearch()
{
    const QString query = m_filter->text();
    m_foundRows->clear();
    if (query.isEmpty()) {
        m_job->cancel();
        m_foundList->hide();
        m_allList->show();
        showCount(m_history.rowCount(), true); // every entry, listed or not
        if (m_allRows->rowCount() > 0) {
            m_allList->setCurrentIndex(m_allRows->index(0, 0));
            m_allList->scrollToTop();
        }
        return;
    }
    m_allList->hide();
    m_foundList->show();
    m_matches = 0;
    m_problem.clear();
    m_count->setText(tr(textSearching));
    if (!m_job->start(m_history.file().path(), query, m_options, popuprows::listLimit))
        m_count->setText(errorDescription(ErrorNumber::OutOfMemory));
}

QListView *frmPopup::shownList() const
{
    return m_filter->text().isEmpty() ? m_allList : m_foundList;
}

void frmPopup::showCount(qint64 count, bool finished)
{
    m_count->setText(countText(count, finished));
}

void frmPopup::pick(int row)
{
    const bool all = shownList() == m_allList;
    if (row < 0 || row >= shownList()->model()->rowCount())
        return;
    historysearch::Entry entry;
    try {
        entry = all ? m_allRows->entry(row) : m_foundRows->entry(row);
    } catch (const CommandError &e) {
        m_platform.messages->showError(this, e);
        return;
    }
    m_closedAt = pos();
    close();
    if (!m_choose || !m_choose(entry) || !m_pastes)
        return; // nothing pasted: the clipboard holds what it held
    PasteSender &paste = *m_platform.paste;
    if (!paste.canPaste())
        return; // the user was told while the popup was open
    // Terminals paste the PRIMARY selection with Shift+Insert (xterm, and most others).
    const bool shiftInsert = popuprows::pastesWithShiftInsert(paste.targetClass(), m_shiftInsertClasses);
    if (shiftInsert)
        m_platform.clipboard->setSelection(entry.text);
    ++m_pasting;
    paste.paste(shiftInsert ? PasteKeys::ShiftInsert : PasteKeys::CtrlV);
}

void frmPopup::tellPasteByHand()
{
    if (m_hintTold)
        return;
    m_hintTold = true;
    m_openHint->show();
    m_hintTimer->start();
}

void frmPopup::tellPasteFailed(const QPoint &at)
{
    // A window of ours shown now on Wayland would be a window of its own that the compositor gives the
    // keyboard (KWin does), taking it from the window the user is to paste into.
    if (m_hintTold || QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return;
    m_hintTold = true;
    m_hint->adjustSize();
    m_hint->move(at);
    m_hint->show();
    m_hintTimer->start();
}

bool frmPopup::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_filter || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    const int picked = popuprows::pickedRow(key->key(), key->modifiers(), m_filter->text().isEmpty());
    if (picked >= 0) {
        pick(picked);
        return true;
    }
    switch (key->key()) {
    case Qt::Key_Escape:
        close();
        m_platform.paste->returnFocus();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        pick(shownList()->currentIndex().isValid() ? shownList()->currentIndex().row() : 0);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        QApplication::sendEvent(shownList(), event);
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void frmPopup::changeEvent(QEvent *event)
{
    // Another window took the focus: the popup is done with.
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow())
        close();
    QWidget::changeEvent(event);
}
