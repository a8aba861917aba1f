#include "frmpopup.h"

#include "core/commanderror.h"
#include "display/appicon.h"
#include "history/historymodel.h"
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
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString windowTitleText = QStringLiteral("履歴");
const QString textPasteByHand = QStringLiteral("Ctrl+V で貼り付けてください");
const QString textSearching = QStringLiteral("検索中…");
const QString textCannotGoOn = QStringLiteral("　検索を続けられません: ");
// How long the paste hint stays, in milliseconds.
constexpr int hintTime = 3000;

QString countText(qint64 count, bool finished)
{
    const QString number = QLocale(QLocale::Japanese).toString(count);
    return finished ? QStringLiteral("%1 件").arg(number) : QStringLiteral("%1 件 (検索中…)").arg(number);
}
} // namespace

frmPopup::frmPopup(const Platform &platform, HistoryModel &history, const historysearch::Options &options,
                   QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_platform(platform),
      m_history(history), m_options(options), m_shiftInsertClasses(popuprows::defaultShiftInsertClasses()),
      m_filter(new PasteLineEdit(platform.clipboard, this)), m_list(new QListView(this)), m_count(new QLabel(this)),
      m_rows(new PopupRows(history, this)),
      m_hint(new QLabel(textPasteByHand, this, Qt::ToolTip | Qt::FramelessWindowHint)), m_hintTimer(new QTimer(this)),
      m_job(std::make_unique<SearchJob>())
{
    setObjectName(QStringLiteral("frmPopup"));
    setWindowTitle(windowTitleText);
    setAccessibleName(windowTitleText);
    setWindowIcon(applicationIcon());
    m_filter->setObjectName(QStringLiteral("popupFilter"));
    m_list->setObjectName(QStringLiteral("popupList"));
    m_count->setObjectName(QStringLiteral("popupCount"));
    m_hint->setObjectName(QStringLiteral("pasteHint"));
    m_hint->setAttribute(Qt::WA_ShowWithoutActivating);
    m_hint->setMargin(6);
    m_hintTimer->setSingleShot(true);
    m_hintTimer->setInterval(hintTime);
    connect(m_hintTimer, &QTimer::timeout, m_hint, &QWidget::hide);

    m_list->setModel(m_rows);
    m_list->setUniformItemSizes(true);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->setWordWrap(false);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFocusPolicy(Qt::NoFocus); // the keys go to the filter, which hands the moving keys on
    m_list->setAccessibleName(windowTitleText);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    layout->addWidget(m_filter);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_count);
    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * 64, metrics.height() * 22);

    connect(m_filter, &QLineEdit::textChanged, this, &frmPopup::startSearch);
    connect(m_list, &QListView::activated, this, [this](const QModelIndex &index) { pick(index.row()); });
    m_filter->installEventFilter(this);

    connect(m_job.get(), &SearchJob::found, this, [this](const QList<historysearch::Entry> &entries) {
        const bool wasEmpty = m_rows->rowCount() == 0;
        m_rows->append(entries);
        if (wasEmpty && m_rows->rowCount() > 0)
            m_list->setCurrentIndex(m_rows->index(0));
    });
    connect(m_job.get(), &SearchJob::counted, this, [this](qint64 count) {
        m_found = count;
        showCount(count, false);
    });
    connect(m_job.get(), &SearchJob::failed, this, [this](const QString &problem) { m_problem = problem; });
    connect(m_job.get(), &SearchJob::finished, this, [this] {
        showCount(m_found, true);
        if (!m_problem.isEmpty())
            m_count->setText(m_count->text() + textCannotGoOn + m_problem);
    });
    connect(m_platform.paste, &PasteSender::pasted, this, [this](bool sent) {
        if (m_pasting && !sent)
            tellPasteByHand(m_closedAt);
        m_pasting = false;
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
        startSearch(); // the history may have been reloaded
    else
        m_filter->clear();
    placeOnScreen();
    show();
    raise();
    activateWindow();
    m_filter->setFocus();
}

void frmPopup::placeOnScreen()
{
    // A Wayland client cannot know the pointer outside its own windows.
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
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
    if (query.isEmpty()) {
        m_job->cancel();
        m_rows->showAll();
        showCount(m_rows->rowCount(), true);
    } else {
        m_rows->showFound();
        m_found = 0;
        m_problem.clear();
        m_count->setText(textSearching);
        if (!m_job->start(m_history.file().path(), query, m_options, popuprows::listLimit))
            m_count->setText(errorDescription(ErrorNumber::OutOfMemory));
    }
    if (m_rows->rowCount() > 0)
        m_list->setCurrentIndex(m_rows->index(0));
}

void frmPopup::showCount(qint64 count, bool finished)
{
    m_count->setText(countText(count, finished));
}

void frmPopup::pick(int row)
{
    if (row < 0 || row >= m_rows->rowCount())
        return;
    historysearch::Entry entry;
    try {
        entry = m_rows->entry(row);
    } catch (const CommandError &e) {
        m_platform.messages->showError(this, e);
        return;
    }
    m_closedAt = pos();
    close();
    emit entryChosen(entry);
    PasteSender &paste = *m_platform.paste;
    if (!paste.canPaste()) {
        tellPasteByHand(m_closedAt);
        return;
    }
    m_pasting = true;
    paste.paste(popuprows::pastesWithShiftInsert(paste.targetClass(), m_shiftInsertClasses) ? PasteKeys::ShiftInsert
                                                                                            : PasteKeys::CtrlV);
}

void frmPopup::tellPasteByHand(const QPoint &at)
{
    if (m_hintTold)
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
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        pick(m_list->currentIndex().isValid() ? m_list->currentIndex().row() : 0);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        QApplication::sendEvent(m_list, event);
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
