// SPDX-License-Identifier: GPL-3.0-or-later
#include "waylandcapture.h"
#include "waylandcapturedetail.h"

#include <QMetaObject>

#include <algorithm>
#include <cstdio>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <string.h>
#include <sys/eventfd.h>
#include <unistd.h>

using namespace waylanddetail;

namespace {
using namespace std::chrono_literals;

// How long start() waits for the content the clipboard holds when it is called.
constexpr auto kInitialWait = 600ms;
// Larger transfers are refused rather than filling the memory.
constexpr qsizetype kMaxRead = qsizetype(512) * 1024 * 1024;
constexpr size_t kChunk = 64 * 1024;
constexpr qsizetype kPiece = 1024 * 1024;
// Connecting again after the connection was lost: the first waits double each time; after those
// failed, the user is told and it is tried now and then.
constexpr Clock::duration kRetryFirst = 100ms;
constexpr Clock::duration kRetryLater = 10s;

void log(const char *what)
{
    std::fprintf(stderr, "vornkip: %s\n", what);
}
} // namespace

WaylandCapture::Worker::Worker(WaylandCapture *owner) : m_owner(owner)
{
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

WaylandCapture::Worker::~Worker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    wake();
    if (m_thread.joinable())
        m_thread.join();
    if (m_wake >= 0)
        ::close(m_wake);
}

// Called by start(): connects on the worker thread and waits for the first content.
bool WaylandCapture::Worker::start(ClipboardContent *initial)
{
    // Kept, so that connecting again finds the same compositor whatever the environment holds then.
    m_displayName = qgetenv("WAYLAND_DISPLAY");
    if (m_wake < 0 || m_displayName.isEmpty())
        return false;
    m_thread = std::thread([this] { run(); });
    std::unique_lock lock(m_mutex);
    // Connecting is one round trip to the compositor, which answers every client promptly.
    m_cv.wait(lock, [this] { return m_phase != Phase::Connecting; });
    if (m_phase == Phase::Failed)
        return false;
    m_cv.wait_for(lock, kInitialWait, [this] { return m_haveInitial; });
    m_initialWanted = false; // from now on every content is a change
    if (m_haveInitial && initial)
        *initial = m_initial;
    return true;
}

void WaylandCapture::Worker::post(Request request)
{
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(std::move(request));
    }
    wake();
}

void WaylandCapture::Worker::onGlobal(uint32_t name, const char *interface, uint32_t version)
{
    if (!m_seatName && strcmp(interface, wl_seat_interface.name) == 0) {
        m_seatName = name;
    } else if (strcmp(interface, ext_data_control_manager_v1_interface.name) == 0) {
        m_extName = name;
    } else if (strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
        m_wlrName = name;
        m_wlrVersion = std::min<uint32_t>(version, 2);
    }
}

void WaylandCapture::Worker::onFinished()
{
    log("the compositor ended the clipboard watch (data-control device finished)");
    m_ending = true;
}

void WaylandCapture::Worker::wake()
{
    if (m_wake < 0)
        return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wake, &one, sizeof one);
}

void WaylandCapture::Worker::tell(ClipboardTrouble what)
{
    WaylandCapture *owner = m_owner;
    QMetaObject::invokeMethod(
        owner, [owner, what] { emit owner->trouble(what); }, Qt::QueuedConnection);
}

void WaylandCapture::Worker::run()
{
    // A reader that went away makes a write fail with EPIPE rather than end the program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    const bool connected = connectToCompositor();
    m_alive = connected;
    {
        std::lock_guard lock(m_mutex);
        m_phase = connected ? Phase::Running : Phase::Failed;
    }
    m_cv.notify_all();
    if (!connected)
        return disconnect();
    do {
        loop();
        m_alive = false;
        disconnect();
    } while (reconnect());
}

// After the connection was lost (the compositor closed it, or it ended the watch): connects again,
// waiting longer after each failure. False once the back-end is being destroyed; the user is told
// when the first attempts failed, and it goes on trying.
bool WaylandCapture::Worker::reconnect()
{
    constexpr int kToldAfter = 5;
    for (int attempt = 0;; ++attempt) {
        const Clock::duration delay = attempt < kToldAfter ? kRetryFirst * (1 << attempt) : kRetryLater;
        if (!waitUnlessStopped(delay))
            return false;
        if (connectToCompositor()) {
            log("connected to the Wayland compositor again");
            m_alive = true;
            return true;
        }
        disconnect();
        if (attempt + 1 == kToldAfter)
            tell(ClipboardTrouble::ConnectionLost);
    }
}

// Waits `delay`, answering what the windows ask meanwhile with nothing; false when told to stop.
bool WaylandCapture::Worker::waitUnlessStopped(Clock::duration delay)
{
    const auto until = Clock::now() + delay;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_requests.clear(); // a picture asked for is answered (with nothing) now, not at its deadline
        if (m_stop)
            return false;
        if (m_cv.wait_until(lock, until) == std::cv_status::timeout)
            return !m_stop;
    }
}

bool WaylandCapture::Worker::connectToCompositor()
{
    m_ending = false;
    m_display = wl_display_connect(m_displayName.constData());
    if (!m_display)
        return false;
    m_registry = wl_display_get_registry(m_display);
    static const wl_registry_listener registryListener{
        [](void *data, wl_registry *, uint32_t name, const char *interface, uint32_t version) {
            static_cast<Worker *>(data)->onGlobal(name, interface, version);
        },
        [](void *, wl_registry *, uint32_t) {}};
    wl_registry_add_listener(m_registry, &registryListener, this);
    if (wl_display_roundtrip(m_display) < 0 || !m_seatName || !(m_extName || m_wlrName))
        return false;
    m_seat = static_cast<wl_seat *>(wl_registry_bind(m_registry, m_seatName, &wl_seat_interface, 1));
    // The protocol of the standard (ext) where the compositor has it, else the wlroots one.
    m_interfaces = m_extName ? kExt : kWlr;
    m_manager = static_cast<wl_proxy *>(wl_registry_bind(m_registry, m_extName ? m_extName : m_wlrName,
                                                         m_interfaces.manager, m_extName ? 1 : m_wlrVersion));
    m_device = wl_proxy_marshal_flags(m_manager, ZWLR_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE, m_interfaces.device,
                                      wl_proxy_get_version(m_manager), 0, nullptr, m_seat);
    static const DeviceListener deviceListener{
        [](void *data, wl_proxy *, wl_proxy *offer) { static_cast<Worker *>(data)->onDataOffer(offer); },
        [](void *data, wl_proxy *, wl_proxy *offer) { static_cast<Worker *>(data)->onSelection(offer); },
        [](void *data, wl_proxy *) { static_cast<Worker *>(data)->onFinished(); },
        [](void *data, wl_proxy *, wl_proxy *offer) { static_cast<Worker *>(data)->onPrimarySelection(offer); }};
    addListener(m_device, &deviceListener, this);
    return wl_display_flush(m_display) >= 0 || errno == EAGAIN;
}

void WaylandCapture::Worker::disconnect()
{
    for (Transfer &t : m_transfers)
        ::close(t.fd);
    m_transfers.clear();
    if (m_job && m_job->confirm)
        wl_callback_destroy(m_job->confirm);
    m_job.reset();
    m_current.reset();
    m_announced.clear();
    m_sources.clear();
    if (m_device)
        destroyProxy(m_device, ZWLR_DATA_CONTROL_DEVICE_V1_DESTROY);
    if (m_manager)
        destroyProxy(m_manager, ZWLR_DATA_CONTROL_MANAGER_V1_DESTROY);
    if (m_seat)
        wl_proxy_destroy(reinterpret_cast<wl_proxy *>(m_seat));
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display) {
        wl_display_flush(m_display);
        wl_display_disconnect(m_display);
    }
    m_device = m_manager = nullptr;
    m_seat = nullptr;
    m_registry = nullptr;
    m_display = nullptr;
    m_seatName = m_extName = m_wlrName = 0;
    // A picture asked for meanwhile is answered (with nothing) now, not at its deadline.
    std::lock_guard lock(m_mutex);
    m_requests.clear();
}

// Until the back-end is destroyed (returns with m_stop) or the connection is lost (with m_ending).
void WaylandCapture::Worker::loop()
{
    const int displayFd = wl_display_get_fd(m_display);
    std::vector<pollfd> fds;
    for (;;) {
        while (wl_display_prepare_read(m_display) != 0) {
            if (wl_display_dispatch_pending(m_display) < 0)
                return lost();
        }
        if (m_ending) { // the device finished in the events just dispatched
            wl_display_cancel_read(m_display);
            return;
        }
        // Every event that arrived is dispatched: only the newest selection is read, and an offer
        // replaced meanwhile never gets a pipe.
        startNewest();
        bool flushed = true;
        if (wl_display_flush(m_display) < 0) {
            if (errno != EAGAIN) {
                wl_display_cancel_read(m_display);
                return lost();
            }
            flushed = false;
        }

        fds.clear();
        fds.push_back({displayFd, short(POLLIN | (flushed ? 0 : POLLOUT)), 0});
        fds.push_back({m_wake, POLLIN, 0});
        for (const Transfer &t : m_transfers)
            fds.push_back({t.fd, short(t.writing ? POLLOUT : POLLIN), 0});
        const bool confirming = m_job && m_job->ended && !m_job->confirm;
        auto first = confirming ? m_job->confirmAt : Clock::time_point::max();
        for (const Transfer &t : m_transfers)
            first = std::min(first, t.deadline);
        int timeout = -1;
        if (first != Clock::time_point::max()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(first - Clock::now()).count();
            timeout = int(std::clamp<long long>(left, 0, 60000));
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
            wl_display_cancel_read(m_display);
            return lost();
        }
        // Kept with each transfer: the events dispatched next may give transfers up.
        size_t i = 2;
        for (Transfer &t : m_transfers)
            t.revents = i < fds.size() ? fds[i++].revents : 0;
        if (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) {
            if (wl_display_read_events(m_display) < 0)
                return lost();
        } else {
            wl_display_cancel_read(m_display);
        }
        if (wl_display_dispatch_pending(m_display) < 0)
            return lost();

        if (fds[1].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] const ssize_t n = ::read(m_wake, &count, sizeof count);
        }
        std::vector<Request> requests;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
            requests.swap(m_requests);
        }
        for (Request &r : requests)
            handle(r);

        // Transfers started meanwhile are at the end, with nothing polled.
        for (auto t = m_transfers.begin(); t != m_transfers.end();)
            t = t->revents ? step(t) : std::next(t);
        const auto now = Clock::now();
        for (auto t = m_transfers.begin(); t != m_transfers.end();)
            t = t->deadline <= now ? end(t, false) : std::next(t);
        if (m_job && m_job->ended && !m_job->confirm && m_job->confirmAt <= now)
            confirm();
    }
}

void WaylandCapture::Worker::lost()
{
    const int error = wl_display_get_error(m_display);
    std::fprintf(stderr, "vornkip: the connection to the Wayland compositor was lost (%s); connecting again\n",
                 strerror(error ? error : errno));
    m_ending = true;
}

// Moves a transfer on as far as its pipe allows, up to a piece at a time (a large transfer keeps
// the events waiting no longer than that); the next one.
std::list<Transfer>::iterator WaylandCapture::Worker::step(std::list<Transfer>::iterator t)
{
    t->revents = 0;
    qsizetype moved = 0;
    if (t->writing) {
        while (t->written < t->data.size()) {
            if (moved >= kPiece)
                return std::next(t);
            const size_t n = std::min<size_t>(size_t(t->data.size() - t->written), kChunk);
            const ssize_t w = ::write(t->fd, t->data.constData() + t->written, n);
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                if (errno == EAGAIN)
                    return std::next(t);
                if (errno == EPIPE) {
                    // Take the signal the failed write left pending for this thread.
                    sigset_t pipe;
                    sigemptyset(&pipe);
                    sigaddset(&pipe, SIGPIPE);
                    const timespec zero{0, 0};
                    sigtimedwait(&pipe, nullptr, &zero);
                }
                return end(t, false);
            }
            t->written += w;
            moved += w;
            t->deadline = std::min(Clock::now() + t->patience, t->giveUpAt);
        }
        return end(t, true);
    }
    char buffer[kChunk];
    for (; moved < kPiece; moved += kChunk) {
        const ssize_t r = ::read(t->fd, buffer, sizeof buffer);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN)
                return std::next(t);
            return end(t, false);
        }
        if (r == 0)
            return end(t, true);
        if (t->size + r > kMaxRead)
            return end(t, false);
        try {
            // In pieces: a large text is never moved to a larger buffer, and each piece is let go as
            // soon as it is decoded.
            if (t->pieces.isEmpty() || t->pieces.last().size() >= kPiece) {
                t->pieces.emplace_back();
                t->pieces.last().reserve(t->pieces.size() == 1 ? qsizetype(kChunk) : kPiece + qsizetype(kChunk));
            }
            t->pieces.last().append(buffer, r);
        } catch (const std::bad_alloc &) {
            return end(t, false, End::OutOfMemory);
        }
        t->size += r;
        t->deadline = std::min(Clock::now() + t->patience, t->giveUpAt);
    }
    return std::next(t);
}

std::list<Transfer>::iterator WaylandCapture::Worker::end(std::list<Transfer>::iterator t, bool ok, End failure)
{
    ::close(t->fd);
    auto finished = std::move(t->finished);
    QList<QByteArray> pieces = std::move(t->pieces);
    const auto next = m_transfers.erase(t);
    if (!ok)
        pieces.clear();
    if (finished)
        finished(ok ? End::Closed : failure, pieces);
    return next;
}

WaylandCapture::WaylandCapture(QObject *parent) : CaptureBackend(parent), m_worker(std::make_unique<Worker>(this)) {}

WaylandCapture::~WaylandCapture() = default;

bool WaylandCapture::start(ClipboardContent *initial)
{
    return m_worker->start(initial);
}

QImage WaylandCapture::readPicture(int deadlineMs)
{
    if (!m_worker->alive())
        return {};
    auto promise = std::make_shared<std::promise<QImage>>();
    std::future<QImage> future = promise->get_future();
    m_worker->post({{}, promise});
    if (future.wait_for(std::chrono::milliseconds(std::max(deadlineMs, 0))) != std::future_status::ready)
        return {};
    try {
        return future.get();
    } catch (const std::future_error &) {
        return {}; // the watch ended before the request was served
    }
}

void WaylandCapture::set(const QList<OfferedFormat> &formats)
{
    if (m_worker->alive())
        m_worker->post({formats, nullptr});
}

QString WaylandCapture::name() const
{
    return QStringLiteral("wayland data-control");
}

std::unique_ptr<CaptureBackend> makeWaylandCapture()
{
    return std::make_unique<WaylandCapture>();
}
