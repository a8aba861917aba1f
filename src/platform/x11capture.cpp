#include "x11capture.h"
#include "x11capturedetail.h"

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
#include <optional>

using namespace x11detail;

namespace {
// How long start() waits for the content the clipboard holds already.
constexpr auto kInitialWait = std::chrono::milliseconds(600);
// The properties interned at start; more are made when a burst of changes needs them.
constexpr int kInitialProperties = 12;

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
    if (c) {
        if (window != XCB_NONE)
            xcb_destroy_window(c, window);
        xcb_flush(c);
        xcb_disconnect(c);
    }
    if (wakeFd >= 0)
        ::close(wakeFd);
}

bool X11Capture::Worker::connectToDisplay()
{
    int screenNumber = 0;
    c = xcb_connect(nullptr, &screenNumber);
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
    window = xcb_generate_id(c);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screens.data->root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);

    // All atoms in one round trip.
    QList<QByteArray> names{"CLIPBOARD",
                            "TARGETS",
                            "UTF8_STRING",
                            "STRING",
                            "INCR",
                            "x-kde-passwordManagerHint",
                            "text/plain;charset=utf-8",
                            "image/png"};
    for (int i = 0; i < kInitialProperties; ++i)
        names << "VORNKIP_SELECTION_" + QByteArray::number(propertyCount++);
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
    atomString = atoms[3];
    atomIncr = atoms[4];
    atomHint = atoms[5];
    atomTextUtf8 = atoms[6];
    atomPng = atoms[7];
    freeProperties.assign(atoms.rbegin(), atoms.rend() - 8);

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
    change->initial = true;
    change->owner = owner->owner;
    change->ownerNone = owner->owner == XCB_NONE;
    std::free(owner);
    if (!change->ownerNone)
        askForContent(*change);
    changes.push_back(std::move(change));
    xcb_flush(c);

    wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return wakeFd >= 0 && !xcb_connection_has_error(c);
}

void X11Capture::Worker::run()
{
    std::vector<xcb_generic_event_t *> batch;
    while (!stopping) {
        // Everything that has arrived, so that a change already followed by another is known as such.
        while (xcb_generic_event_t *event = xcb_poll_for_event(c))
            batch.push_back(event);
        for (std::size_t i = 0; i < batch.size(); ++i) {
            bool laterChangeQueued = false;
            for (std::size_t j = i + 1; j < batch.size() && !laterChangeQueued; ++j)
                laterChangeQueued = (batch[j]->response_type & 0x7f) == xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY;
            handle(batch[i], laterChangeQueued);
            std::free(batch[i]);
        }
        batch.clear();
        takeUiRequests();
        expire();
        advance();
        deliver();
        xcb_flush(c);
        if (xcb_connection_has_error(c))
            break;
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
        ask(job->targets, atomTargets, XCB_CURRENT_TIME);
        pictures.push_back(std::move(job));
    }
}

// The requests that depend on earlier answers: the text in another format, the picture.
void X11Capture::Worker::advance()
{
    if (!changes.empty()) {
        Change &last = *changes.back();
        if (!last.fallbackDecided && !last.dropped && !last.ownerNone && !last.targets.active()) {
            if (last.text.state == Request::Failed && last.text.refused) {
                last.fallbackDecided = true;
                const QList<xcb_atom_t> offered = targetsOf(last.targets);
                if (offered.contains(atomTextUtf8))
                    ask(last.text, atomTextUtf8, last.time, last.owner);
                else if (offered.contains(atomString))
                    ask(last.text, atomString, last.time, last.owner);
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
                ask(job.image, format, XCB_CURRENT_TIME);
        } else if (job.image.state == Request::Done) {
            image = QImage::fromData(job.image.data);
            finished = true;
        } else if (job.image.state == Request::Failed) {
            finished = true;
        }
        if (finished) {
            job.result.set_value(image);
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
        if (change->dropped) {
            // What the clipboard held at start is then what replaced it.
            if (change->initial && !changes.empty())
                changes.front()->initial = true;
            else if (change->initial)
                initialResult.set_value(ClipboardContent());
            continue;
        }
        ClipboardContent content = contentOf(*change);
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
    const auto consider = [&](const Request &r) {
        if (r.active() && (!next || r.deadline < *next))
            next = r.deadline;
    };
    for (const auto &change : changes) {
        consider(change->targets);
        consider(change->text);
        consider(change->hint);
    }
    for (const auto &job : pictures) {
        consider(job->targets);
        consider(job->image);
    }
    for (const Request &r : abandoned) {
        if (!next || r.deadline < *next)
            next = r.deadline;
    }
    if (!next)
        return -1;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(wait, 0, 60000));
}

ClipboardContent X11Capture::Worker::contentOf(Change &change)
{
    ClipboardContent content;
    if (change.ownerNone)
        return content;
    for (xcb_atom_t atom : targetsOf(change.targets)) {
        const QByteArray name = atomName(atom);
        content.hasText = content.hasText || isTextTarget(name);
        content.hasImage = content.hasImage || name.startsWith("image/");
    }
    if (change.hint.state == Request::Done && change.hint.data.trimmed() == "secret") {
        content.secret = true;
        return content;
    }
    // An owner may answer any request with its one content (xclip does): a text only where one is offered.
    if (change.text.state == Request::Done && (change.targets.state != Request::Done || content.hasText)) {
        content.hasText = true;
        const QString text = change.text.target == atomString ? QString::fromLatin1(change.text.data)
                                                              : QString::fromUtf8(change.text.data);
        content.text = Clipboard::fromDesktop(text);
    }
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
    if (!m_worker->connectToDisplay()) {
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
