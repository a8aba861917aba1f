#include "waylandcapture.h"

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <future>
#include <list>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <string.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A transfer that makes no progress for this long has failed; every chunk that arrives restarts it,
// so a large content arrives whole from an owner that keeps writing.
constexpr Clock::duration kReadPatience = 500ms;
// A program reading what we serve gets longer between its reads; it holds up nothing but its own
// transfer.
constexpr Clock::duration kWritePatience = 3s;
// How long start() waits for the content the clipboard holds when it is called.
constexpr auto kInitialWait = 600ms;
// Larger transfers are refused rather than filling the memory.
constexpr qsizetype kMaxRead = qsizetype(512) * 1024 * 1024;
constexpr size_t kChunk = 64 * 1024;

const QByteArray kHint = QByteArrayLiteral("x-kde-passwordManagerHint");
// Offered beside the formats of every content we set, so that the offer the compositor then shows us
// is recognised as our own and not read back through a pipe from ourselves.
const QByteArray kMarkerPrefix = QByteArrayLiteral("application/x-vornkip-source;id=");

// The two protocols have the same messages in the same order with the same arguments; only the
// interfaces' names differ. One set of calls serves both.
static_assert(EXT_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE == ZWLR_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE);
static_assert(EXT_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE == ZWLR_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE);
static_assert(EXT_DATA_CONTROL_MANAGER_V1_DESTROY == ZWLR_DATA_CONTROL_MANAGER_V1_DESTROY);
static_assert(EXT_DATA_CONTROL_DEVICE_V1_SET_SELECTION == ZWLR_DATA_CONTROL_DEVICE_V1_SET_SELECTION);
static_assert(EXT_DATA_CONTROL_DEVICE_V1_DESTROY == ZWLR_DATA_CONTROL_DEVICE_V1_DESTROY);
static_assert(EXT_DATA_CONTROL_SOURCE_V1_OFFER == ZWLR_DATA_CONTROL_SOURCE_V1_OFFER);
static_assert(EXT_DATA_CONTROL_SOURCE_V1_DESTROY == ZWLR_DATA_CONTROL_SOURCE_V1_DESTROY);
static_assert(EXT_DATA_CONTROL_OFFER_V1_RECEIVE == ZWLR_DATA_CONTROL_OFFER_V1_RECEIVE);
static_assert(EXT_DATA_CONTROL_OFFER_V1_DESTROY == ZWLR_DATA_CONTROL_OFFER_V1_DESTROY);

struct Interfaces
{
    const wl_interface *manager;
    const wl_interface *device;
    const wl_interface *source;
};
constexpr Interfaces kExt{&ext_data_control_manager_v1_interface, &ext_data_control_device_v1_interface,
                          &ext_data_control_source_v1_interface};
constexpr Interfaces kWlr{&zwlr_data_control_manager_v1_interface, &zwlr_data_control_device_v1_interface,
                          &zwlr_data_control_source_v1_interface};

void destroyProxy(wl_proxy *proxy, uint32_t opcode)
{
    wl_proxy_marshal_flags(proxy, opcode, nullptr, wl_proxy_get_version(proxy), WL_MARSHAL_FLAG_DESTROY);
}

// The listeners' layouts, event by event, as both protocols define them.
struct DeviceListener
{
    void (*dataOffer)(void *data, wl_proxy *device, wl_proxy *offer);
    void (*selection)(void *data, wl_proxy *device, wl_proxy *offer);
    void (*finished)(void *data, wl_proxy *device);
    void (*primarySelection)(void *data, wl_proxy *device, wl_proxy *offer);
};
struct SourceListener
{
    void (*send)(void *data, wl_proxy *source, const char *mimeType, int32_t fd);
    void (*cancelled)(void *data, wl_proxy *source);
};
struct OfferListener
{
    void (*offer)(void *data, wl_proxy *offer, const char *mimeType);
};

template <typename Listener>
void addListener(wl_proxy *proxy, const Listener *listener, void *data)
{
    wl_proxy_add_listener(proxy, reinterpret_cast<void (**)(void)>(const_cast<Listener *>(listener)), data);
}

bool isTextFormat(const QByteArray &mime)
{
    return mime.startsWith("text/plain") || mime == "UTF8_STRING" || mime == "STRING" || mime == "TEXT" ||
           mime.startsWith("text/html") || mime.startsWith("text/rtf") || mime.startsWith("application/rtf");
}

// The format the text is read as, best first; empty when there is none.
QByteArray textFormat(const QList<QByteArray> &mimes)
{
    for (const QByteArray &m : mimes) {
        if (m.compare("text/plain;charset=utf-8", Qt::CaseInsensitive) == 0)
            return m;
    }
    for (const char *wanted : {"text/plain", "UTF8_STRING", "TEXT", "STRING"}) {
        if (mimes.contains(wanted))
            return wanted;
    }
    return {};
}

QByteArray imageFormat(const QList<QByteArray> &mimes)
{
    if (mimes.contains("image/png"))
        return "image/png";
    const auto it =
        std::find_if(mimes.begin(), mimes.end(), [](const QByteArray &m) { return m.startsWith("image/"); });
    return it == mimes.end() ? QByteArray() : *it;
}

QString decodeText(const QByteArray &mime, const QByteArray &bytes)
{
    // STRING is Latin-1 by the X11 conventions XWayland bridges; everything else is UTF-8.
    return Clipboard::fromDesktop(mime == "STRING" ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes));
}

// What an offer with these formats holds, before anything is read.
ClipboardContent describe(const QList<QByteArray> &mimes)
{
    ClipboardContent c;
    c.hasText = std::any_of(mimes.begin(), mimes.end(), isTextFormat);
    c.hasImage = std::any_of(mimes.begin(), mimes.end(), [](const QByteArray &m) { return m.startsWith("image/"); });
    return c;
}

bool isSecretHint(const QByteArray &value)
{
    return value.trimmed() == "secret";
}

void log(const char *what)
{
    std::fprintf(stderr, "vornkip: %s\n", what);
}

// An offer of the compositor's, destroyed when nothing needs it any more.
struct Offer
{
    explicit Offer(wl_proxy *p) : proxy(p) {}
    ~Offer() { destroyProxy(proxy, ZWLR_DATA_CONTROL_OFFER_V1_DESTROY); }
    Offer(const Offer &) = delete;
    Offer &operator=(const Offer &) = delete;

    wl_proxy *proxy;
    QList<QByteArray> mimes;
};

// A content this program set, served until another client takes the selection over.
struct Source
{
    ~Source() { destroyProxy(proxy, ZWLR_DATA_CONTROL_SOURCE_V1_DESTROY); }

    WaylandCapture::Worker *worker = nullptr;
    wl_proxy *proxy = nullptr;
    QByteArray marker;
    QList<OfferedFormat> formats;
};

// A pipe being read from an offer's owner or written to a reader of ours.
struct Transfer
{
    int fd = -1;
    bool writing = false;
    QByteArray data;
    qsizetype written = 0;
    Clock::duration patience{};
    Clock::time_point deadline;
    std::function<void(bool ok, QByteArray data)> finished; // reads only
};

// One selection event, answered in the order of the events.
struct Job
{
    std::shared_ptr<Offer> offer;
    ClipboardContent content;
    bool done = false;
};

struct Request
{
    QList<OfferedFormat> formats;                  // a set()
    std::shared_ptr<std::promise<QImage>> picture; // or a readPicture()
};

ClipboardContent contentOf(const QList<OfferedFormat> &formats)
{
    QList<QByteArray> mimes;
    for (const OfferedFormat &f : formats)
        mimes << f.first;
    for (const OfferedFormat &f : formats) {
        if (f.first == kHint && isSecretHint(f.second)) {
            ClipboardContent secret;
            secret.secret = true;
            return secret;
        }
    }
    ClipboardContent c = describe(mimes);
    if (const QByteArray mime = textFormat(mimes); !mime.isEmpty()) {
        for (const OfferedFormat &f : formats) {
            if (f.first == mime) {
                c.text = decodeText(mime, f.second);
                break;
            }
        }
    }
    return c;
}

QByteArray bytesOf(const QList<OfferedFormat> &formats, const QByteArray &mime)
{
    for (const OfferedFormat &f : formats) {
        if (f.first == mime)
            return f.second;
    }
    return {};
}
} // namespace

class WaylandCapture::Worker
{
public:
    explicit Worker(WaylandCapture *owner) : m_owner(owner) { m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

    ~Worker()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        wake();
        if (m_thread.joinable())
            m_thread.join();
        if (m_wake >= 0)
            ::close(m_wake);
    }

    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    // Called by start(): connects on the worker thread and waits for the first content.
    bool start(ClipboardContent *initial)
    {
        if (m_wake < 0 || qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
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

    bool alive() const { return m_alive; }

    void post(Request request)
    {
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(std::move(request));
        }
        wake();
    }

    // Wayland callbacks (worker thread).
    void onGlobal(uint32_t name, const char *interface, uint32_t version)
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

    void onDataOffer(wl_proxy *proxy)
    {
        auto offer = std::make_shared<Offer>(proxy);
        static const OfferListener listener{
            [](void *data, wl_proxy *, const char *mime) { static_cast<Offer *>(data)->mimes << QByteArray(mime); }};
        addListener(proxy, &listener, offer.get());
        m_announced[proxy] = std::move(offer);
    }

    void onSelection(wl_proxy *proxy)
    {
        std::shared_ptr<Offer> offer;
        if (proxy) {
            if (const auto it = m_announced.find(proxy); it != m_announced.end()) {
                offer = std::move(it->second);
                m_announced.erase(it);
            } else {
                offer = std::make_shared<Offer>(proxy);
            }
        }
        // The offer replaced goes as soon as no transfer of it is waiting for its second part.
        m_current = offer;
        m_jobs.push_back(std::make_unique<Job>());
        Job *job = m_jobs.back().get();
        job->offer = std::move(offer);
        startJob(job);
    }

    void onPrimarySelection(wl_proxy *proxy)
    {
        // Only the regular selection is watched.
        if (proxy && m_announced.erase(proxy) == 0)
            destroyProxy(proxy, ZWLR_DATA_CONTROL_OFFER_V1_DESTROY);
    }

    void onFinished()
    {
        log("the compositor ended the clipboard watch (data-control device finished); changes are no longer seen");
        m_ending = true;
    }

    void onSend(Source *source, const char *mime, int fd)
    {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        Transfer t;
        t.fd = fd;
        t.writing = true;
        t.data = bytesOf(source->formats, QByteArray(mime));
        t.patience = kWritePatience;
        t.deadline = Clock::now() + t.patience;
        m_transfers.push_back(std::move(t));
    }

    void onCancelled(Source *source)
    {
        // Transfers already started keep their own copy of the bytes.
        m_sources.remove_if([source](const std::unique_ptr<Source> &s) { return s.get() == source; });
    }

private:
    enum class Phase
    {
        Connecting,
        Failed,
        Running
    };

    void wake()
    {
        if (m_wake < 0)
            return;
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wake, &one, sizeof one);
    }

    void run()
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
        if (connected) {
            loop();
            m_alive = false;
            // A picture asked for meanwhile is answered (with nothing) now, not at its deadline.
            std::lock_guard lock(m_mutex);
            m_requests.clear();
        }
        disconnect();
    }

    bool connectToCompositor()
    {
        m_display = wl_display_connect(nullptr);
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

    void disconnect()
    {
        for (Transfer &t : m_transfers)
            ::close(t.fd);
        m_transfers.clear();
        m_jobs.clear();
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
    }

    void loop()
    {
        const int displayFd = wl_display_get_fd(m_display);
        std::vector<pollfd> fds;
        while (!m_ending) {
            while (wl_display_prepare_read(m_display) != 0) {
                if (wl_display_dispatch_pending(m_display) < 0)
                    return lost();
            }
            if (m_ending) { // the device finished in the events just dispatched
                wl_display_cancel_read(m_display);
                return;
            }
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
            int timeout = -1;
            if (!m_transfers.empty()) {
                const auto first =
                    std::min_element(m_transfers.begin(), m_transfers.end(), [](const Transfer &a, const Transfer &b) {
                        return a.deadline < b.deadline;
                    })->deadline;
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(first - Clock::now()).count();
                timeout = int(std::clamp<long long>(left, 0, 60000));
            }
            if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
                wl_display_cancel_read(m_display);
                return lost();
            }
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

            // Transfers started meanwhile are at the end and were not polled.
            auto it = m_transfers.begin();
            for (size_t i = 2; i < fds.size() && it != m_transfers.end(); ++i) {
                if (fds[i].revents)
                    it = step(it);
                else
                    ++it;
            }
            const auto now = Clock::now();
            for (auto t = m_transfers.begin(); t != m_transfers.end();)
                t = t->deadline <= now ? end(t, false) : std::next(t);
        }
    }

    void lost()
    {
        if (!m_ending)
            log("the connection to the Wayland compositor was lost; clipboard changes are no longer seen");
        m_ending = true;
    }

    // Moves a transfer on as far as its pipe allows; the next one.
    std::list<Transfer>::iterator step(std::list<Transfer>::iterator t)
    {
        if (t->writing) {
            while (t->written < t->data.size()) {
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
                t->deadline = Clock::now() + t->patience;
            }
            return end(t, true);
        }
        char buffer[kChunk];
        for (;;) {
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
            if (t->data.size() + r > kMaxRead)
                return end(t, false);
            t->data.append(buffer, r);
            t->deadline = Clock::now() + t->patience;
        }
    }

    std::list<Transfer>::iterator end(std::list<Transfer>::iterator t, bool ok)
    {
        ::close(t->fd);
        auto finished = std::move(t->finished);
        QByteArray data = std::move(t->data);
        const auto next = m_transfers.erase(t);
        if (finished)
            finished(ok, ok ? std::move(data) : QByteArray());
        return next;
    }

    // Asks the offer's owner for its content as `mime`; `finished` gets it once the owner closed the
    // pipe, or ok = false.
    void read(Offer *offer, const QByteArray &mime, Clock::duration patience,
              std::function<void(bool, QByteArray)> finished)
    {
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) < 0) {
            finished(false, {});
            return;
        }
        // The request carries a duplicate of the descriptor; ours goes at once, so that the owner
        // closing its end is the end of the transfer.
        wl_proxy_marshal_flags(offer->proxy, ZWLR_DATA_CONTROL_OFFER_V1_RECEIVE, nullptr,
                               wl_proxy_get_version(offer->proxy), 0, mime.constData(), pipe[1]);
        ::close(pipe[1]);
        Transfer t;
        t.fd = pipe[0];
        t.patience = patience;
        t.deadline = Clock::now() + patience;
        t.finished = std::move(finished);
        m_transfers.push_back(std::move(t));
    }

    Source *ownSource(const QList<QByteArray> &mimes) const
    {
        for (const QByteArray &m : mimes) {
            if (!m.startsWith(kMarkerPrefix))
                continue;
            for (const auto &s : m_sources) {
                if (s->marker == m)
                    return s.get();
            }
        }
        return nullptr;
    }

    void startJob(Job *job)
    {
        if (!job->offer)
            return finish(job);
        const QList<QByteArray> &mimes = job->offer->mimes;
        if (const Source *own = ownSource(mimes)) {
            job->content = contentOf(own->formats);
            return finish(job);
        }
        job->content = describe(mimes);
        if (mimes.contains(kHint)) {
            read(job->offer.get(), kHint, kReadPatience, [this, job](bool ok, const QByteArray &value) {
                // A hint that cannot be read may still be a password manager's: the text is not read.
                if (!ok || isSecretHint(value)) {
                    job->content = {};
                    job->content.secret = true;
                    return finish(job);
                }
                readText(job);
            });
            return;
        }
        readText(job);
    }

    void readText(Job *job)
    {
        const QByteArray mime = textFormat(job->offer->mimes);
        if (mime.isEmpty())
            return finish(job);
        read(job->offer.get(), mime, kReadPatience, [this, job, mime](bool ok, const QByteArray &bytes) {
            // A text not read whole is no text.
            if (ok)
                job->content.text = decodeText(mime, bytes);
            finish(job);
        });
    }

    void finish(Job *job)
    {
        job->done = true;
        job->offer.reset();
        while (!m_jobs.empty() && m_jobs.front()->done) {
            deliver(m_jobs.front()->content);
            m_jobs.pop_front();
        }
    }

    void deliver(const ClipboardContent &content)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_initialWanted && !m_haveInitial) {
                m_initial = content;
                m_haveInitial = true;
                m_cv.notify_all();
                return;
            }
        }
        WaylandCapture *owner = m_owner;
        QMetaObject::invokeMethod(
            owner, [owner, content] { emit owner->captured(content); }, Qt::QueuedConnection);
    }

    void handle(Request &r)
    {
        if (r.picture)
            return readPicture(r.picture);
        if (r.formats.isEmpty()) {
            wl_proxy_marshal_flags(m_device, ZWLR_DATA_CONTROL_DEVICE_V1_SET_SELECTION, nullptr,
                                   wl_proxy_get_version(m_device), 0, nullptr);
            return;
        }
        auto source = std::make_unique<Source>();
        source->proxy = wl_proxy_marshal_flags(m_manager, ZWLR_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE,
                                               m_interfaces.source, wl_proxy_get_version(m_manager), 0, nullptr);
        source->marker = kMarkerPrefix + QByteArray::number(::getpid()) + '-' + QByteArray::number(++m_sourceCount);
        source->formats = std::move(r.formats);
        static const SourceListener listener{[](void *data, wl_proxy *, const char *mime, int32_t fd) {
                                                 Source *s = static_cast<Source *>(data);
                                                 s->worker->onSend(s, mime, fd);
                                             },
                                             [](void *data, wl_proxy *) {
                                                 Source *s = static_cast<Source *>(data);
                                                 s->worker->onCancelled(s);
                                             }};
        source->worker = this;
        addListener(source->proxy, &listener, source.get());
        for (const OfferedFormat &f : source->formats) {
            wl_proxy_marshal_flags(source->proxy, ZWLR_DATA_CONTROL_SOURCE_V1_OFFER, nullptr,
                                   wl_proxy_get_version(source->proxy), 0, f.first.constData());
        }
        wl_proxy_marshal_flags(source->proxy, ZWLR_DATA_CONTROL_SOURCE_V1_OFFER, nullptr,
                               wl_proxy_get_version(source->proxy), 0, source->marker.constData());
        wl_proxy_marshal_flags(m_device, ZWLR_DATA_CONTROL_DEVICE_V1_SET_SELECTION, nullptr,
                               wl_proxy_get_version(m_device), 0, source->proxy);
        m_sources.push_back(std::move(source));
    }

    void readPicture(const std::shared_ptr<std::promise<QImage>> &promise)
    {
        if (!m_current)
            return promise->set_value({});
        if (const Source *own = ownSource(m_current->mimes)) {
            QList<QByteArray> mimes;
            for (const OfferedFormat &f : own->formats)
                mimes << f.first;
            const QByteArray mime = imageFormat(mimes);
            return promise->set_value(mime.isEmpty() ? QImage() : QImage::fromData(bytesOf(own->formats, mime)));
        }
        const QByteArray mime = imageFormat(m_current->mimes);
        if (mime.isEmpty())
            return promise->set_value({});
        read(m_current.get(), mime, kReadPatience, [promise](bool ok, const QByteArray &bytes) {
            promise->set_value(ok ? QImage::fromData(bytes) : QImage());
        });
    }

    WaylandCapture *m_owner;
    std::thread m_thread;
    int m_wake = -1;

    // Shared with the UI thread.
    std::mutex m_mutex;
    std::condition_variable m_cv;
    Phase m_phase = Phase::Connecting;
    bool m_stop = false;
    bool m_initialWanted = true;
    bool m_haveInitial = false;
    ClipboardContent m_initial;
    std::vector<Request> m_requests;
    std::atomic<bool> m_alive{false};

    // The worker thread's alone.
    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_seat *m_seat = nullptr;
    wl_proxy *m_manager = nullptr;
    wl_proxy *m_device = nullptr;
    Interfaces m_interfaces = kWlr;
    uint32_t m_seatName = 0, m_extName = 0, m_wlrName = 0, m_wlrVersion = 1;
    bool m_ending = false;
    std::map<wl_proxy *, std::shared_ptr<Offer>> m_announced;
    std::shared_ptr<Offer> m_current;
    std::deque<std::unique_ptr<Job>> m_jobs;
    std::list<Transfer> m_transfers;
    std::list<std::unique_ptr<Source>> m_sources;
    quint64 m_sourceCount = 0;
};

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
