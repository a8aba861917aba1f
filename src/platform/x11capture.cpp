#include "x11capture.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QMimeData>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// How long an owner may take to answer a request, or to send the next piece of a large transfer.
constexpr auto kAnswerDeadline = std::chrono::milliseconds(500);
// Our own windows answer in the UI thread, which may be busy for a while; it cannot take the change
// before it is free again anyway, so their answers are waited for longer.
constexpr auto kOwnAnswerDeadline = std::chrono::seconds(10);
// How long start() waits for the content the clipboard holds already.
constexpr auto kInitialWait = std::chrono::milliseconds(600);
// A property whose request was given up is not used again for this long: its owner may still answer.
constexpr auto kLateAnswerWindow = std::chrono::seconds(30);
// A property is read in pieces of this many 32-bit units (4 MB).
constexpr uint32_t kPieceLongs = 1u << 20;
// Larger texts are not read at all.
constexpr qsizetype kMaxTransferBytes = qsizetype(1) << 30;
// The properties interned at start; more are made when a burst of changes needs them.
constexpr int kInitialProperties = 12;

// Whether request sequence number `a` comes before `b` (they wrap around).
bool sequenceBefore(uint32_t a, uint32_t b)
{
    return static_cast<int32_t>(a - b) < 0;
}

// One ConvertSelection and its answer.
struct Request
{
    enum State
    {
        Idle,    // not asked
        Waiting, // asked, no answer yet
        Incr,    // the answer comes in pieces
        Done,    // `data` is the answer
        Failed   // refused, not answered in time, or its owner went away
    };
    State state = Idle;
    bool refused = false;
    xcb_atom_t target = XCB_NONE;
    xcb_atom_t property = XCB_NONE;
    xcb_timestamp_t time = XCB_CURRENT_TIME;
    uint32_t sequence = 0;
    Clock::duration patience = kAnswerDeadline;
    Clock::time_point deadline;
    xcb_atom_t type = XCB_NONE;
    QByteArray data;

    bool active() const { return state == Waiting || state == Incr; }
};

// One change of the clipboard's owner. Its requests are sent together the moment the change is known.
struct Change
{
    bool initial = false;   // what the clipboard held at start: handed to start(), not emitted
    bool ownerNone = false; // the clipboard was emptied
    bool dropped = false;   // replaced before any of its requests reached its owner: nothing to deliver
    bool fallbackDecided = false;
    xcb_window_t owner = XCB_NONE;
    xcb_timestamp_t time = XCB_CURRENT_TIME;
    Request targets, text, hint;
};

// A request of the UI thread for the current owner's picture.
struct PictureJob
{
    std::promise<QImage> result;
    Request targets, image;
};

bool isTextTarget(const QByteArray &name)
{
    return name == "UTF8_STRING" || name == "STRING" || name == "TEXT" || name == "COMPOUND_TEXT" ||
           name.startsWith("text/plain") || name.startsWith("text/html") || name == "text/rtf" ||
           name == "application/rtf";
}
} // namespace

struct X11Capture::Worker
{
    explicit Worker(X11Capture *q) : q(q) {}
    ~Worker();

    bool connectToDisplay();
    void run();

    // Requests.
    void ask(Request &r, xcb_atom_t target, xcb_timestamp_t time, xcb_window_t owner = XCB_NONE);
    void askForContent(Change &change);
    void giveUp(Request &r);
    void refuse(Request &r);
    xcb_atom_t takeProperty();
    bool readProperty(xcb_atom_t property, xcb_atom_t *type, QByteArray *data);
    template <typename F>
    void forEachActive(F f);

    // Events.
    void handle(xcb_generic_event_t *event, bool laterChangeQueued);
    void ownerChanged(const xcb_xfixes_selection_notify_event_t *ev, uint32_t sequence, bool laterChangeQueued);
    void selectionNotify(const xcb_selection_notify_event_t *ev);
    void propertyNotify(const xcb_property_notify_event_t *ev);
    void abandonedAnswered(std::size_t index, xcb_atom_t property);

    // Progress.
    void takeUiRequests();
    void expire();
    void advance();
    void deliver();
    int nextTimeoutMs() const;
    QList<xcb_atom_t> targetsOf(const Request &targets);
    QByteArray atomName(xcb_atom_t atom);
    ClipboardContent contentOf(Change &change);

    X11Capture *q;
    xcb_connection_t *c = nullptr;
    xcb_window_t window = XCB_NONE;
    uint8_t xfixesFirstEvent = 0;
    // The windows our own toolkit makes have identifiers of its connection's range.
    uint32_t ownIdBase = 0;
    uint32_t ownIdMask = 0;
    int wakeFd = -1;
    std::thread thread;
    std::atomic<bool> stopping{false};

    // Shared with the UI thread.
    std::mutex mutex;
    std::vector<std::promise<QImage>> pictureAsks;
    std::promise<ClipboardContent> initialResult;

    // The worker's own (and start()'s, before the thread runs).
    xcb_atom_t atomClipboard = XCB_NONE, atomTargets = XCB_NONE, atomUtf8 = XCB_NONE, atomString = XCB_NONE,
               atomIncr = XCB_NONE, atomHint = XCB_NONE, atomTextUtf8 = XCB_NONE, atomPng = XCB_NONE;
    std::vector<xcb_atom_t> freeProperties;
    int propertyCount = 0;
    // Requests given up while their owner might still answer into their property; each keeps its
    // property until the answer came or kLateAnswerWindow passed.
    std::vector<Request> abandoned;
    QHash<xcb_atom_t, QByteArray> atomNames;
    uint32_t ignoreBefore = 0;
    std::deque<std::unique_ptr<Change>> changes;
    std::vector<std::unique_ptr<PictureJob>> pictures;
    // The last change handed on.
    xcb_window_t lastOwner = XCB_NONE;
    xcb_timestamp_t lastTime = XCB_CURRENT_TIME;
    ClipboardContent lastContent;
};

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

void X11Capture::Worker::ask(Request &r, xcb_atom_t target, xcb_timestamp_t time, xcb_window_t owner)
{
    r = Request();
    r.target = target;
    r.time = time;
    r.property = takeProperty();
    r.sequence = xcb_convert_selection(c, window, atomClipboard, target, r.property, time).sequence;
    r.state = Request::Waiting;
    if (ownIdMask != 0 && owner != XCB_NONE && (owner & ~ownIdMask) == ownIdBase)
        r.patience = kOwnAnswerDeadline;
    r.deadline = Clock::now() + r.patience;
}

void X11Capture::Worker::askForContent(Change &change)
{
    ask(change.targets, atomTargets, change.time, change.owner);
    ask(change.text, atomUtf8, change.time, change.owner);
    ask(change.hint, atomHint, change.time, change.owner);
}

// No answer is waited for any more; the owner may still send one into the request's property.
void X11Capture::Worker::giveUp(Request &r)
{
    if (!r.active())
        return;
    Request late = r;
    late.data = QByteArray();
    late.deadline = Clock::now() + kLateAnswerWindow;
    abandoned.push_back(late);
    r.state = Request::Failed;
    r.data = QByteArray();
    r.property = XCB_NONE;
}

void X11Capture::Worker::refuse(Request &r)
{
    if (r.property != XCB_NONE)
        freeProperties.push_back(r.property);
    r.property = XCB_NONE;
    r.state = Request::Failed;
    r.refused = true;
    r.data = QByteArray();
}

xcb_atom_t X11Capture::Worker::takeProperty()
{
    if (freeProperties.empty()) {
        const QByteArray name = "VORNKIP_SELECTION_" + QByteArray::number(propertyCount++);
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.constData()), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
        std::free(reply);
        return atom;
    }
    const xcb_atom_t atom = freeProperties.back();
    freeProperties.pop_back();
    return atom;
}

bool X11Capture::Worker::readProperty(xcb_atom_t property, xcb_atom_t *type, QByteArray *data)
{
    data->clear();
    uint32_t offset = 0;
    for (;;) {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, offset, kPieceLongs), nullptr);
        if (!reply)
            return false;
        *type = reply->type;
        const int length = xcb_get_property_value_length(reply);
        const uint32_t after = reply->bytes_after;
        if (data->size() + length + qsizetype(after) > kMaxTransferBytes) {
            std::free(reply);
            return false;
        }
        data->append(static_cast<const char *>(xcb_get_property_value(reply)), length);
        std::free(reply);
        if (after == 0 || length <= 0)
            return true;
        offset += static_cast<uint32_t>(length) / 4;
    }
}

template <typename F>
void X11Capture::Worker::forEachActive(F f)
{
    for (const auto &change : changes) {
        for (Request *r : {&change->targets, &change->text, &change->hint}) {
            if (r->active())
                f(*r);
        }
    }
    for (const auto &job : pictures) {
        for (Request *r : {&job->targets, &job->image}) {
            if (r->active())
                f(*r);
        }
    }
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

void X11Capture::Worker::selectionNotify(const xcb_selection_notify_event_t *ev)
{
    if (ev->requestor != window || ev->selection != atomClipboard)
        return;
    if (ev->property == XCB_NONE) {
        // A refusal names no property: the oldest request for the same target and time it is.
        Request *oldest = nullptr;
        forEachActive([&](Request &r) {
            if (r.state == Request::Waiting && r.target == ev->target && r.time == ev->time &&
                (!oldest || sequenceBefore(r.sequence, oldest->sequence)))
                oldest = &r;
        });
        std::size_t oldestAbandoned = abandoned.size();
        for (std::size_t i = 0; i < abandoned.size(); ++i) {
            const Request &r = abandoned[i];
            if (r.state == Request::Waiting && r.target == ev->target && r.time == ev->time &&
                (!oldest || sequenceBefore(r.sequence, oldest->sequence)) &&
                (oldestAbandoned == abandoned.size() ||
                 sequenceBefore(r.sequence, abandoned[oldestAbandoned].sequence)))
                oldestAbandoned = i;
        }
        if (oldestAbandoned < abandoned.size())
            abandonedAnswered(oldestAbandoned, XCB_NONE);
        else if (oldest)
            refuse(*oldest);
        return;
    }
    Request *request = nullptr;
    forEachActive([&](Request &r) {
        if (r.state == Request::Waiting && r.property == ev->property)
            request = &r;
    });
    if (!request) {
        for (std::size_t i = 0; i < abandoned.size(); ++i) {
            if (abandoned[i].state == Request::Waiting && abandoned[i].property == ev->property) {
                abandonedAnswered(i, ev->property);
                break;
            }
        }
        return;
    }
    xcb_atom_t type = XCB_NONE;
    QByteArray data;
    const bool read = readProperty(ev->property, &type, &data);
    if (!read) {
        giveUp(*request);
        return;
    }
    // Deleting the property also asks an INCR owner for the first piece.
    xcb_delete_property(c, window, ev->property);
    xcb_flush(c);
    if (type == atomIncr) {
        request->state = Request::Incr;
        request->deadline = Clock::now() + request->patience;
        return;
    }
    request->type = type;
    request->data = data;
    request->state = Request::Done;
    freeProperties.push_back(request->property);
    request->property = XCB_NONE;
}

// The late answer of a request given up: its property is free again once it holds no transfer.
void X11Capture::Worker::abandonedAnswered(std::size_t index, xcb_atom_t property)
{
    Request &r = abandoned[index];
    if (property != XCB_NONE) {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr);
        const bool incr = reply && reply->type == atomIncr;
        std::free(reply);
        if (incr) {
            // Left alone, the owner's transfer stalls and ends by itself; the property waits its time out.
            r.state = Request::Incr;
            return;
        }
        xcb_delete_property(c, window, property);
    }
    freeProperties.push_back(r.property);
    abandoned.erase(abandoned.begin() + static_cast<std::ptrdiff_t>(index));
}

void X11Capture::Worker::propertyNotify(const xcb_property_notify_event_t *ev)
{
    if (ev->window != window || ev->state != XCB_PROPERTY_NEW_VALUE)
        return;
    Request *request = nullptr;
    forEachActive([&](Request &r) {
        if (r.state == Request::Incr && r.property == ev->atom)
            request = &r;
    });
    if (!request)
        return;
    xcb_atom_t type = XCB_NONE;
    QByteArray piece;
    if (!readProperty(ev->atom, &type, &piece) || request->data.size() + piece.size() > kMaxTransferBytes) {
        giveUp(*request);
        return;
    }
    xcb_delete_property(c, window, ev->atom);
    xcb_flush(c);
    if (piece.isEmpty()) {
        request->type = type;
        request->state = Request::Done;
        freeProperties.push_back(request->property);
        request->property = XCB_NONE;
        return;
    }
    request->data += piece;
    request->deadline = Clock::now() + request->patience;
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

void X11Capture::Worker::expire()
{
    const Clock::time_point now = Clock::now();
    forEachActive([&](Request &r) {
        if (r.deadline <= now)
            giveUp(r);
    });
    for (std::size_t i = 0; i < abandoned.size();) {
        if (abandoned[i].deadline <= now) {
            xcb_delete_property(c, window, abandoned[i].property);
            freeProperties.push_back(abandoned[i].property);
            abandoned.erase(abandoned.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
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

QList<xcb_atom_t> X11Capture::Worker::targetsOf(const Request &targets)
{
    QList<xcb_atom_t> atoms;
    if (targets.state != Request::Done || targets.data.size() % 4 != 0)
        return atoms;
    const qsizetype count = std::min<qsizetype>(targets.data.size() / 4, 1024);
    atoms.resize(count);
    std::memcpy(atoms.data(), targets.data.constData(), static_cast<size_t>(count) * 4);
    // Names not known yet, asked for together.
    std::vector<std::pair<xcb_atom_t, xcb_get_atom_name_cookie_t>> asks;
    for (xcb_atom_t atom : atoms) {
        if (atom != XCB_NONE && !atomNames.contains(atom) &&
            std::none_of(asks.begin(), asks.end(), [&](const auto &a) { return a.first == atom; }))
            asks.emplace_back(atom, xcb_get_atom_name(c, atom));
    }
    for (const auto &[atom, cookie] : asks) {
        xcb_get_atom_name_reply_t *reply = xcb_get_atom_name_reply(c, cookie, nullptr);
        atomNames.insert(atom, reply ? QByteArray(xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply))
                                     : QByteArray());
        std::free(reply);
    }
    return atoms;
}

QByteArray X11Capture::Worker::atomName(xcb_atom_t atom)
{
    return atomNames.value(atom);
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
