// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The X11 capture's worker, shared by its source files (x11capture.cpp: the connection, the event loop
// and the changes; x11transfer.cpp: the requests and their answers). Nothing else includes it.

#include "x11capture.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace x11detail {
using Clock = std::chrono::steady_clock;

// How long an owner may take to answer a request, or to send the next piece of a large transfer.
constexpr auto kAnswerDeadline = std::chrono::milliseconds(500);
// How long a transfer may take in all, however steadily its pieces come.
constexpr auto kTransferLimit = std::chrono::seconds(30);

// Whether request sequence number `a` comes before `b` (they wrap around).
inline bool sequenceBefore(uint32_t a, uint32_t b)
{
    return static_cast<int32_t>(a - b) < 0;
}

// One ConvertSelection and its answer. Each change (and each picture read) asks through a window of
// its own, each of its requests into a property of its own: answers, late ones included, can never
// land in another request's property.
struct Request
{
    enum State
    {
        Idle,    // not asked
        Waiting, // asked, no answer yet
        Incr,    // the answer comes in pieces
        Done,    // `pieces` are the answer
        Failed   // refused, not answered in time, or its owner went away
    };
    State state = Idle;
    bool refused = false;     // the owner said no, or answered with a type not asked for
    bool givenUp = false;     // no longer waited for, though its owner might still answer
    bool begun = false;       // a part of the answer had arrived when it was given up
    bool outOfMemory = false; // its answer did not fit in the memory left
    bool timedOut = false;    // given up because its owner took too long
    xcb_window_t window = XCB_NONE;
    xcb_atom_t target = XCB_NONE;
    xcb_atom_t property = XCB_NONE;
    xcb_timestamp_t time = XCB_CURRENT_TIME;
    uint32_t sequence = 0;
    Clock::duration patience = kAnswerDeadline;
    Clock::time_point deadline; // of the next answer or piece
    Clock::time_point limit;    // of the whole transfer
    xcb_atom_t type = XCB_NONE;
    uint8_t format = 0;
    uint32_t announced = 0; // an INCR owner's lower bound of the size
    qsizetype size = 0;
    QList<QByteArray> pieces;

    bool active() const { return state == Waiting || state == Incr; }
    QByteArray data() const { return pieces.size() == 1 ? pieces.first() : pieces.join(); }
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
    xcb_window_t window = XCB_NONE; // the requestor of its requests
    Request targets, text, hint;
};

// A request of the UI thread for the current owner's picture.
struct PictureJob
{
    std::promise<QImage> result;
    xcb_window_t window = XCB_NONE;
    Request targets, image;
};

// The window of a finished change or picture. It is kept a while, so that an owner busy with the end
// of a transfer does not find it gone, and a late answer, or the rest of a transfer given up, lands
// somewhere and is thrown away (an owner such as xclip serves nobody else until its transfer ends);
// then it is destroyed.
struct Leftover
{
    xcb_window_t window = XCB_NONE;
    Clock::time_point until;
};
} // namespace x11detail

struct X11Capture::Worker
{
    using Request = x11detail::Request;
    using Change = x11detail::Change;
    using PictureJob = x11detail::PictureJob;

    explicit Worker(X11Capture *q) : q(q) {}
    ~Worker();

    bool connectToDisplay(bool first);
    void disconnect();
    bool reconnect();
    void run();

    // Requests.
    xcb_window_t makeWindow();
    void release(xcb_window_t window, bool answersMayCome);
    void ask(Request &r, xcb_window_t window, xcb_atom_t target, xcb_atom_t property, xcb_timestamp_t time,
             xcb_window_t owner = XCB_NONE);
    void askForContent(Change &change);
    void giveUp(Request &r);
    void refuse(Request &r);
    enum class Read
    {
        Ok,
        Missing,
        TooLarge,
        OutOfMemory,
        Failed
    };
    Read readProperty(Request &r, xcb_atom_t property, bool remove, QList<QByteArray> *pieces);
    bool acceptable(const Request &r) const;
    template <typename F>
    void forEachActive(F f);

    // Events.
    void handle(xcb_generic_event_t *event, bool laterChangeQueued);
    void ownerChanged(const xcb_xfixes_selection_notify_event_t *ev, uint32_t sequence, bool laterChangeQueued);
    void selectionNotify(const xcb_selection_notify_event_t *ev);
    void propertyNotify(const xcb_property_notify_event_t *ev);

    // Progress.
    void takeUiRequests();
    void expire();
    void advance();
    void deliver();
    void troubled(ClipboardTrouble what);
    int nextTimeoutMs() const;
    QList<xcb_atom_t> targetsOf(const Request &targets);
    QByteArray atomName(xcb_atom_t atom);
    ClipboardContent contentOf(Change &change, bool *notWhole);

    X11Capture *q;
    QByteArray displayName;
    xcb_connection_t *c = nullptr;
    xcb_window_t window = XCB_NONE;
    uint8_t xfixesFirstEvent = 0;
    xcb_window_t root = XCB_NONE;
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
    bool initialPending = true;

    // The worker's own (and start()'s, before the thread runs).
    xcb_atom_t atomClipboard = XCB_NONE, atomTargets = XCB_NONE, atomUtf8 = XCB_NONE, atomString = XCB_NONE,
               atomIncr = XCB_NONE, atomHint = XCB_NONE, atomTextUtf8 = XCB_NONE, atomPng = XCB_NONE,
               atomAtom = XCB_NONE;
    // The properties the answers are put in: one per kind of request, the same on every window.
    xcb_atom_t propTargets = XCB_NONE, propText = XCB_NONE, propHint = XCB_NONE, propOther = XCB_NONE;
    std::deque<x11detail::Leftover> leftovers;
    QHash<xcb_atom_t, QByteArray> atomNames;
    uint32_t ignoreBefore = 0;
    std::deque<std::unique_ptr<Change>> changes;
    std::vector<std::unique_ptr<PictureJob>> pictures;
    // The last change handed on.
    xcb_window_t lastOwner = XCB_NONE;
    xcb_timestamp_t lastTime = XCB_CURRENT_TIME;
    ClipboardContent lastContent;
};

// Every request still waiting for its answer, of the changes and of the pictures.
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
