// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11capture.h"
#include "x11capturedetail.h"

#include "core/linebreaks.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>

using namespace x11detail;

namespace {
// How long start() waits for the content the clipboard holds already.
constexpr auto kInitialWait = std::chrono::milliseconds(600);
// After a lost connection: the first attempts to connect again, after 0.1, 0.2, 0.4 ... s; then one
// every 10 s.
constexpr int kQuickReconnects = 6;
constexpr int kFirstReconnectMs = 100;
constexpr int kSlowReconnectMs = 10000;
// The name of the window the capture watches through (xwininfo, xkill show it).
constexpr char kWindowName[] = "vornkip clipboard capture";

bool isTextTarget(const QByteArray &name)
{
    return name == "UTF8_STRING" || name == "STRING" || name == "TEXT" || name == "COMPOUND_TEXT" ||
           name.startsWith("text/plain") || name.startsWith("text/html") || name == "text/rtf" ||
           name == "application/rtf";
}
} // namespace

X11Capture::Worker::~Worker()
{
    if (thread.joinable()) {
        stopping = true;
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
        thread.join();
    }
    disconnect();
    if (wakeFd >= 0)
        ::close(wakeFd);
}

// Connects, and takes what the clipboard holds now as the first change: the content handed to start()
// when `first`, otherwise a change like any other (the clipboard may have changed while we were away).
bool X11Capture::Worker::connectToDisplay(bool first)
{
    int screenNumber = 0;
    c = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(c))
        return false;
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present)
        return false;
    xfixesFirstEvent = xfixes->first_event;
    xcb_xfixes_query_version_reply_t *version =
        xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr);
    if (!version)
        return false;
    std::free(version);

    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem <= 0)
        return false;
    root = screens.data->root;
    window = makeWindow();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(std::strlen(kWindowName)), kWindowName);

    // All atoms in one round trip. The properties answers are put in are the same few on every window.
    const QList<QByteArray> names{"CLIPBOARD",
                                  "TARGETS",
                                  "UTF8_STRING",
                                  "INCR",
                                  "x-kde-passwordManagerHint",
                                  "text/plain;charset=utf-8",
                                  "image/png",
                                  "VORNKIP_TARGETS",
                                  "VORNKIP_TEXT",
                                  "VORNKIP_HINT",
                                  "VORNKIP_OTHER"};
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const QByteArray &name : names)
        cookies.push_back(xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.constData()));
    std::vector<xcb_atom_t> atoms;
    for (xcb_intern_atom_cookie_t cookie : cookies) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookie, nullptr);
        atoms.push_back(reply ? reply->atom : XCB_NONE);
        std::free(reply);
    }
    if (std::count(atoms.begin(), atoms.end(), XCB_NONE) > 0)
        return false;
    atomClipboard = atoms[0];
    atomTargets = atoms[1];
    atomUtf8 = atoms[2];
    atomString = XCB_ATOM_STRING;
    atomIncr = atoms[3];
    atomHint = atoms[4];
    atomTextUtf8 = atoms[5];
    atomPng = atoms[6];
    propTargets = atoms[7];
    propText = atoms[8];
    propHint = atoms[9];
    propOther = atoms[10];
    atomNames.clear();

    xcb_xfixes_select_selection_input(c, window, atomClipboard,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    // Changes reported before the owner is asked for are already part of what it answers.
    const xcb_get_selection_owner_cookie_t ownerCookie = xcb_get_selection_owner(c, atomClipboard);
    ignoreBefore = ownerCookie.sequence;
    xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(c, ownerCookie, nullptr);
    if (!owner)
        return false;
    auto change = std::make_unique<Change>();
    change->initial = first;
    change->owner = owner->owner;
    change->ownerNone = owner->owner == XCB_NONE;
    std::free(owner);
    if (!change->ownerNone)
        askForContent(*change);
    changes.push_back(std::move(change));
    xcb_flush(c);
    return !xcb_connection_has_error(c);
}

// Forgets the connection and everything under way on it.
void X11Capture::Worker::disconnect()
{
    if (!c)
        return;
    if (initialPending) {
        initialPending = false;
        initialResult.set_value(ClipboardContent());
    }
    changes.clear();
    for (auto &job : pictures)
        job->result.set_value(QImage());
    pictures.clear();
    leftovers.clear();
    if (!xcb_connection_has_error(c) && window != XCB_NONE)
        xcb_destroy_window(c, window);
    window = XCB_NONE;
    xcb_flush(c);
    xcb_disconnect(c);
    c = nullptr;
}

// After the connection was lost (the server closed it, or someone killed our client): connects again,
// waiting longer after each failure. The user is told once when the first attempts all failed; the
// attempts go on. False only when the worker is stopping.
bool X11Capture::Worker::reconnect()
{
    disconnect();
    bool told = false;
    for (int attempt = 0;; ++attempt) {
        const int waitMs = attempt < kQuickReconnects ? kFirstReconnectMs << attempt : kSlowReconnectMs;
        pollfd wake = {wakeFd, POLLIN, 0};
        if (::poll(&wake, 1, waitMs) > 0 || stopping)
            return false;
        if (connectToDisplay(false))
            return true;
        disconnect();
        if (attempt + 1 >= kQuickReconnects && !told) {
            told = true;
            troubled(ClipboardTrouble::ConnectionLost);
        }
    }
}

void X11Capture::Worker::troubled(ClipboardTrouble what)
{
    try {
        QMetaObject::invokeMethod(
            q, [q = q, what] { emit q->trouble(what); }, Qt::QueuedConnection);
    } catch (const std::bad_alloc &) {
    }
}

void X11Capture::Worker::run()
{
    std::vector<xcb_generic_event_t *> batch;
    while (!stopping) {
        if (xcb_connection_has_error(c)) {
            for (xcb_generic_event_t *event : batch)
                std::free(event);
            batch.clear();
            if (!reconnect())
                break;
        }
        try {
            // Everything that has arrived, so that a change already followed by another is known as such.
            while (xcb_generic_event_t *event = xcb_poll_for_event(c))
                batch.push_back(event);
            for (std::size_t i = 0; i < batch.size(); ++i) {
                bool laterChangeQueued = false;
                for (std::size_t j = i + 1; j < batch.size() && !laterChangeQueued; ++j)
                    laterChangeQueued =
                        (batch[j]->response_type & 0x7f) == xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY;
                handle(batch[i], laterChangeQueued);
                std::free(batch[i]);
                batch[i] = nullptr;
            }
            batch.clear();
            takeUiRequests();
            expire();
            advance();
            deliver();
        } catch (const std::bad_alloc &) {
            // Whatever was being read is lost; the changes go on (as far as memory allows).
            for (xcb_generic_event_t *event : batch)
                std::free(event);
            batch.clear();
            forEachActive([](Request &r) {
                r.outOfMemory = true;
                r.state = Request::Failed;
                r.givenUp = true;
                r.pieces.clear();
            });
            troubled(ClipboardTrouble::OutOfMemory);
            continue;
        }
        xcb_flush(c);
        if (xcb_connection_has_error(c))
            continue;
        // Reading replies may have queued events that the socket no longer signals.
        if (xcb_generic_event_t *event = xcb_poll_for_queued_event(c)) {
            batch.push_back(event);
            continue;
        }
        pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, nextTimeoutMs()) > 0 && (fds[1].revents & POLLIN)) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd, &count, sizeof count);
        }
    }
    // Events read just before the stop are not handled any more.
    for (xcb_generic_event_t *event : batch)
        std::free(event);
    // Nobody reads any more: whatever start() or readPicture() may still wait for ends now.
    for (auto &job : pictures)
        job->result.set_value(QImage());
    pictures.clear();
    std::lock_guard lock(mutex);
    for (auto &ask : pictureAsks)
        ask.set_value(QImage());
    pictureAsks.clear();
}

void X11Capture::Worker::handle(xcb_generic_event_t *event, bool laterChangeQueued)
{
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_SELECTION_NOTIFY)
        selectionNotify(reinterpret_cast<xcb_selection_notify_event_t *>(event));
    else if (type == XCB_PROPERTY_NOTIFY)
        propertyNotify(reinterpret_cast<xcb_property_notify_event_t *>(event));
    else if (type == xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY)
        ownerChanged(reinterpret_cast<xcb_xfixes_selection_notify_event_t *>(event), event->full_sequence,
                     laterChangeQueued);
}

// `sequence` is the last of our requests the server had processed when the owner changed: requests
// after it went to the new owner (or a later one), requests up to it to the old one.
void X11Capture::Worker::ownerChanged(const xcb_xfixes_selection_notify_event_t *ev, uint32_t sequence,
                                      bool laterChangeQueued)
{
    if (ev->selection != atomClipboard || sequenceBefore(sequence, ignoreBefore))
        return;
    // The owner that went away (its window destroyed, its program ended) is the one of the latest change.
    const bool ownerGone = ev->subtype != XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER;
    const xcb_window_t lostOwner = ownerGone && !changes.empty() ? changes.back()->owner : XCB_NONE;
    for (const auto &change : changes) {
        if (change->dropped || change->ownerNone)
            continue;
        bool reachedItsOwner = false;
        bool wentAstray = false;
        for (Request *r : {&change->targets, &change->text, &change->hint}) {
            if (r->state == Request::Idle)
                continue;
            if (sequenceBefore(sequence, r->sequence)) {
                wentAstray = true;
                giveUp(*r);
            } else {
                reachedItsOwner = true;
                if (ownerGone && change->owner == lostOwner)
                    giveUp(*r); // an owner that is gone answers nothing more, and no part of a text is kept
            }
        }
        // A request sent from now on would reach the new owner.
        change->fallbackDecided = true;
        if (wentAstray && !reachedItsOwner)
            change->dropped = true;
    }
    // A picture being read belonged to the content that has just been replaced.
    for (const auto &job : pictures) {
        giveUp(job->targets);
        giveUp(job->image);
    }

    auto change = std::make_unique<Change>();
    change->owner = ev->owner;
    change->time = ev->selection_timestamp;
    change->ownerNone = ev->owner == XCB_NONE;
    if (!change->ownerNone) {
        if (laterChangeQueued) {
            // Already replaced: its owner will not be asked before the next one takes over.
            change->dropped = true;
        } else {
            askForContent(*change);
            xcb_flush(c);
        }
    }
    changes.push_back(std::move(change));
}

void X11Capture::Worker::takeUiRequests()
{
    std::vector<std::promise<QImage>> asks;
    {
        std::lock_guard lock(mutex);
        asks.swap(pictureAsks);
    }
    for (auto &promise : asks) {
        auto job = std::make_unique<PictureJob>();
        job->result = std::move(promise);
        job->window = makeWindow();
        ask(job->targets, job->window, atomTargets, propTargets, XCB_CURRENT_TIME);
        pictures.push_back(std::move(job));
    }
}

// The requests that depend on earlier answers: the text in another format, the picture.
void X11Capture::Worker::advance()
{
    // A newer change never waits behind an older transfer: the older content is not read whole.
    for (std::size_t i = 0; i + 1 < changes.size(); ++i) {
        for (Request *r : {&changes[i]->targets, &changes[i]->text, &changes[i]->hint}) {
            if (r->state == Request::Incr)
                giveUp(*r);
        }
    }
    if (!changes.empty()) {
        Change &last = *changes.back();
        if (!last.fallbackDecided && !last.dropped && !last.ownerNone && !last.targets.active()) {
            if (last.text.state == Request::Failed && last.text.refused) {
                last.fallbackDecided = true;
                const QList<xcb_atom_t> offered = targetsOf(last.targets);
                if (offered.contains(atomTextUtf8))
                    ask(last.text, last.window, atomTextUtf8, propOther, last.time, last.owner);
                else if (offered.contains(atomString))
                    ask(last.text, last.window, atomString, propOther, last.time, last.owner);
            } else if (!last.text.active()) {
                last.fallbackDecided = true;
            }
        }
    }
    for (auto it = pictures.begin(); it != pictures.end();) {
        PictureJob &job = **it;
        bool finished = false;
        QImage image;
        if (job.targets.state == Request::Failed) {
            finished = true;
        } else if (job.targets.state == Request::Done && job.image.state == Request::Idle) {
            const QList<xcb_atom_t> offered = targetsOf(job.targets);
            xcb_atom_t format = offered.contains(atomPng) ? atomPng : XCB_NONE;
            for (qsizetype i = 0; i < offered.size() && format == XCB_NONE; ++i) {
                if (atomName(offered[i]).startsWith("image/"))
                    format = offered[i];
            }
            if (format == XCB_NONE)
                finished = true;
            else
                ask(job.image, job.window, format, propOther, XCB_CURRENT_TIME);
        } else if (job.image.state == Request::Done) {
            image = QImage::fromData(job.image.data());
            finished = true;
        } else if (job.image.state == Request::Failed) {
            finished = true;
        }
        if (finished) {
            job.result.set_value(image);
            release(job.window, job.targets.givenUp || job.image.givenUp);
            it = pictures.erase(it);
        } else {
            ++it;
        }
    }
}

// Hands on the changes that are completely read, oldest first; a change still being read holds back
// the ones after it.
void X11Capture::Worker::deliver()
{
    while (!changes.empty()) {
        Change &head = *changes.front();
        const bool complete =
            head.dropped || head.ownerNone ||
            (!head.targets.active() && !head.text.active() && !head.hint.active() && head.fallbackDecided);
        if (!complete)
            break;
        std::unique_ptr<Change> change = std::move(changes.front());
        changes.pop_front();
        release(change->window, change->targets.givenUp || change->text.givenUp || change->hint.givenUp);
        if (change->dropped) {
            // What the clipboard held at start is then what replaced it.
            if (change->initial && !changes.empty()) {
                changes.front()->initial = true;
            } else if (change->initial) {
                initialPending = false;
                initialResult.set_value(ClipboardContent());
            }
            continue;
        }
        ClipboardTrouble trouble = ClipboardTrouble::NotWhole;
        bool troubled = false;
        ClipboardContent content;
        try {
            content = contentOf(*change, &troubled);
            if (change->text.outOfMemory)
                trouble = ClipboardTrouble::OutOfMemory;
        } catch (const std::bad_alloc &) {
            content = ClipboardContent();
            content.hasText = true;
            troubled = true;
            trouble = ClipboardTrouble::OutOfMemory;
        }
        // A text not read whole is delivered as no text at all, and said once per change.
        if (troubled && !change->initial)
            this->troubled(trouble);
        // An owner that refuses what it offered, once another content has followed, no longer holds it
        // (Qt refuses requests older than its newest content): the change was replaced before it was read.
        if (!changes.empty() && !change->initial &&
            (change->targets.refused ||
             (change->text.refused && targetsOf(change->targets).contains(change->text.target))))
            continue;
        // The same owner window under the same time stamp, answering with the same content: a request
        // meant for the content before was answered with this one (Qt does so while its clock stands).
        const bool repeated = change->owner == lastOwner && change->time == lastTime &&
                              content.hasText == lastContent.hasText && content.text == lastContent.text &&
                              content.secret == lastContent.secret && content.hasImage == lastContent.hasImage;
        lastOwner = change->owner;
        lastTime = change->time;
        lastContent = content;
        if (repeated && !change->initial && !change->ownerNone)
            continue;
        if (change->initial) {
            initialPending = false;
            initialResult.set_value(std::move(content));
            continue;
        }
        QMetaObject::invokeMethod(
            q, [q = q, content = std::move(content)] { emit q->captured(content); }, Qt::QueuedConnection);
    }
}

int X11Capture::Worker::nextTimeoutMs() const
{
    std::optional<Clock::time_point> next;
    const auto consider = [&](Clock::time_point t) {
        if (!next || t < *next)
            next = t;
    };
    const auto considerRequest = [&](const Request &r) {
        if (r.active())
            consider(std::min(r.deadline, r.limit));
    };
    for (const auto &change : changes) {
        considerRequest(change->targets);
        considerRequest(change->text);
        considerRequest(change->hint);
    }
    for (const auto &job : pictures) {
        considerRequest(job->targets);
        considerRequest(job->image);
    }
    for (const Leftover &left : leftovers)
        consider(left.until);
    if (!next)
        return -1;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(wait, 0, 60000));
}

// What the change holds. `notWhole`: a text was offered, or had begun to arrive, and could not be
// read whole (it is then not delivered at all).
ClipboardContent X11Capture::Worker::contentOf(Change &change, bool *notWhole)
{
    *notWhole = false;
    ClipboardContent content;
    if (change.ownerNone)
        return content;
    const QList<xcb_atom_t> offered = targetsOf(change.targets);
    for (xcb_atom_t atom : offered) {
        const QByteArray name = atomName(atom);
        content.hasText = content.hasText || isTextTarget(name);
        content.hasImage = content.hasImage || name.startsWith("image/");
    }
    // A password manager's hint that was offered but not read (late, refused, cut off) may well have
    // said "secret": so may one not known to be offered, when the owner answered the text but not the
    // list of what it offers.
    const Request &hint = change.hint;
    const bool textRead = change.text.state == Request::Done;
    if (hint.state == Request::Done
            ? hint.data().trimmed() == "secret"
            : offered.contains(atomHint) || (change.targets.state != Request::Done && textRead && !hint.refused)) {
        content.secret = true;
        return content;
    }
    // An owner may answer any request with its one content (xclip does): a text only where one is offered.
    if (textRead && (change.targets.state != Request::Done || content.hasText)) {
        content.hasText = true;
        content.text = linebreaks::fromDesktopBytes(change.text.pieces, change.text.type == atomString
                                                                            ? linebreaks::DesktopEncoding::Latin1
                                                                            : linebreaks::DesktopEncoding::Utf8);
        return content;
    }
    const Request &text = change.text;
    *notWhole = text.outOfMemory || text.begun || (text.timedOut && content.hasText);
    return content;
}

X11Capture::X11Capture(QObject *parent) : CaptureBackend(parent), m_worker(std::make_unique<Worker>(this)) {}

X11Capture::~X11Capture() = default;

bool X11Capture::start(ClipboardContent *initial)
{
    if (m_worker->thread.joinable())
        return false;
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        if (auto *x11 = app->nativeInterface<QNativeInterface::QX11Application>()) {
            const xcb_setup_t *setup = xcb_get_setup(x11->connection());
            m_worker->ownIdBase = setup->resource_id_base;
            m_worker->ownIdMask = setup->resource_id_mask;
        }
    }
    m_worker->displayName = qgetenv("DISPLAY"); // connections made again go to the same display
    m_worker->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_worker->wakeFd < 0 || !m_worker->connectToDisplay(true)) {
        m_worker = std::make_unique<Worker>(this);
        return false;
    }
    std::future<ClipboardContent> first = m_worker->initialResult.get_future();
    m_worker->thread = std::thread([worker = m_worker.get()] { worker->run(); });
    ClipboardContent content;
    if (first.wait_for(kInitialWait) == std::future_status::ready)
        content = first.get();
    if (initial)
        *initial = content;
    return true;
}

QImage X11Capture::readPicture(int deadlineMs)
{
    if (!m_worker->thread.joinable())
        return {};
    // A content our own windows put there is answered by this thread, which would be waiting.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) &&
        QGuiApplication::clipboard()->ownsClipboard()) {
        const QMimeData *mime = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
        return mime && mime->hasImage() ? qvariant_cast<QImage>(mime->imageData()) : QImage();
    }
    std::promise<QImage> promise;
    std::future<QImage> picture = promise.get_future();
    {
        std::lock_guard lock(m_worker->mutex);
        m_worker->pictureAsks.push_back(std::move(promise));
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_worker->wakeFd, &one, sizeof one);
    if (picture.wait_for(std::chrono::milliseconds(std::max(0, deadlineMs))) != std::future_status::ready)
        return {};
    return picture.get();
}

std::unique_ptr<CaptureBackend> makeX11Capture()
{
    return std::make_unique<X11Capture>();
}
