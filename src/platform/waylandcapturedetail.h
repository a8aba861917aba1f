// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Wayland capture's worker, shared by its source files (waylandcapture.cpp: the connection and
// the event loop; waylandoffer.cpp: the offers read and the contents served). Nothing else includes it.

#include "waylandcapture.h"

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <QByteArray>
#include <QList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <future>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace waylanddetail {
using Clock = std::chrono::steady_clock;

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

inline void destroyProxy(wl_proxy *proxy, uint32_t opcode)
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

// The newest selection, while it is read. Only one is ever read: a newer selection gives it up.
struct Job
{
    std::shared_ptr<Offer> offer;
    ClipboardContent content;
    bool started = false;
    bool readingText = false; // asked for the text: giving the job up leaves a text not read whole
    bool ended = false;       // the text's pipe ended; it is confirmed at `confirmAt`
    QList<QByteArray> text;
    QByteArray textMime;
    Clock::time_point confirmAt;
    wl_callback *confirm = nullptr;
};

// How a transfer ended.
enum class End
{
    Closed,     // the other end closed the pipe
    Failed,     // no progress in time, too long in all, too large, or the pipe broke
    OutOfMemory // what was read did not fit in the memory left
};

// A pipe being read from an offer's owner or written to a reader of ours.
struct Transfer
{
    int fd = -1;
    bool writing = false;
    QByteArray data; // written
    qsizetype written = 0;
    QList<QByteArray> pieces; // read, a piece of a megabyte or so at a time
    qsizetype size = 0;
    Clock::duration patience{};
    Clock::time_point deadline; // the next progress is due by then, and all of it by `giveUpAt`
    Clock::time_point giveUpAt;
    short revents = 0;                                      // what the last poll found
    const Job *job = nullptr;                               // the selection read for, given up with it
    std::function<void(End, QList<QByteArray> &)> finished; // reads only
};

struct Request
{
    QList<OfferedFormat> formats;                  // a set()
    std::shared_ptr<std::promise<QImage>> picture; // or a readPicture()
};
} // namespace waylanddetail

class WaylandCapture::Worker
{
public:
    using Clock = waylanddetail::Clock;
    using Interfaces = waylanddetail::Interfaces;
    using Offer = waylanddetail::Offer;
    using Source = waylanddetail::Source;
    using Transfer = waylanddetail::Transfer;
    using Job = waylanddetail::Job;
    using End = waylanddetail::End;
    using Request = waylanddetail::Request;

    explicit Worker(WaylandCapture *owner);
    ~Worker();

    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    bool start(ClipboardContent *initial);
    bool alive() const { return m_alive; }
    void post(Request request);

    // Wayland callbacks (worker thread).
    void onGlobal(uint32_t name, const char *interface, uint32_t version);
    void onDataOffer(wl_proxy *proxy);
    void onSelection(wl_proxy *proxy);
    void onPrimarySelection(wl_proxy *proxy);
    void onFinished();
    void onSend(Source *source, const char *mime, int fd);
    void onCancelled(Source *source);
    void onConfirmed(wl_callback *callback);

private:
    enum class Phase
    {
        Connecting,
        Failed,
        Running
    };

    // The connection and the event loop.
    void wake();
    void run();
    bool connectToCompositor();
    void disconnect();
    bool reconnect();
    bool waitUnlessStopped(Clock::duration delay);
    void loop();
    void lost();
    void tell(ClipboardTrouble what);
    std::list<Transfer>::iterator step(std::list<Transfer>::iterator t);
    std::list<Transfer>::iterator end(std::list<Transfer>::iterator t, bool ok, End failure = End::Failed);

    // The offers read, in the order of their events, and the contents served.
    void read(Offer *offer, const QByteArray &mime, const Job *job,
              std::function<void(End, QList<QByteArray> &)> finished);
    Source *ownSource(const QList<QByteArray> &mimes) const;
    void startNewest();
    void readText();
    void confirm();
    void accept();
    void giveUp(bool emptied);
    void finish();
    void deliver(const ClipboardContent &content);
    void handle(Request &r);
    void readPicture(const std::shared_ptr<std::promise<QImage>> &promise);

    WaylandCapture *m_owner;
    std::thread m_thread;
    int m_wake = -1;
    QByteArray m_displayName;

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
    Interfaces m_interfaces = waylanddetail::kWlr;
    uint32_t m_seatName = 0, m_extName = 0, m_wlrName = 0, m_wlrVersion = 1;
    bool m_ending = false;
    std::map<wl_proxy *, std::shared_ptr<Offer>> m_announced;
    std::shared_ptr<Offer> m_current;
    std::unique_ptr<Job> m_job;
    std::list<Transfer> m_transfers;
    std::list<std::unique_ptr<Source>> m_sources;
    quint64 m_sourceCount = 0;
};
