// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11capturedetail.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

// The requests to the clipboard's owner and their answers: windows and properties, refusals, INCR
// transfers, and answers that come after their request was given up.

using namespace x11detail;

namespace {
// Our own windows answer in the UI thread, which may be busy for a while; it cannot take the change
// before it is free again anyway, so their answers are waited for longer.
constexpr auto kOwnAnswerDeadline = std::chrono::seconds(10);
// A window whose requests were given up is kept this long: its owners may still answer.
constexpr auto kLateAnswerWindow = std::chrono::seconds(30);
// Any other is kept this long after its last answer: an owner may still be busy with the end of its
// transfer (xsel, finding the window gone after the last INCR piece, gives up the clipboard).
constexpr auto kFinishingWindow = std::chrono::seconds(5);
// At most this many such windows are kept; the oldest goes first.
constexpr std::size_t kMaxLeftovers = 256;
// A property is read in parts of this many 32-bit units (4 MB).
constexpr uint32_t kPieceLongs = 1u << 20;
// Larger texts are not read at all.
constexpr qsizetype kMaxTransferBytes = qsizetype(1) << 30;

struct FreeReply
{
    void operator()(void *p) const { std::free(p); }
};
} // namespace

xcb_window_t X11Capture::Worker::makeWindow()
{
    const xcb_window_t w = xcb_generate_id(c);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    return w;
}

// The window of a change or picture that is finished. Its owner may still be busy with it (and when one
// of its requests was given up, may still write into it): it is kept for a while, and whatever arrives
// there is thrown away.
void X11Capture::Worker::release(xcb_window_t w, bool answersMayCome)
{
    if (w == XCB_NONE)
        return;
    leftovers.push_back({w, Clock::now() + (answersMayCome ? kLateAnswerWindow : kFinishingWindow)});
    if (leftovers.size() > kMaxLeftovers) {
        xcb_destroy_window(c, leftovers.front().window);
        leftovers.pop_front();
    }
}

void X11Capture::Worker::ask(Request &r, xcb_window_t w, xcb_atom_t target, xcb_atom_t property, xcb_timestamp_t time,
                             xcb_window_t owner)
{
    r = Request();
    r.window = w;
    r.target = target;
    r.time = time;
    r.property = property;
    r.sequence = xcb_convert_selection(c, w, atomClipboard, target, property, time).sequence;
    r.state = Request::Waiting;
    if (ownIdMask != 0 && owner != XCB_NONE && (owner & ~ownIdMask) == ownIdBase)
        r.patience = kOwnAnswerDeadline;
    const Clock::time_point now = Clock::now();
    r.deadline = now + r.patience;
    r.limit = now + std::max<Clock::duration>(kTransferLimit, r.patience);
}

void X11Capture::Worker::askForContent(Change &change)
{
    change.window = makeWindow();
    ask(change.targets, change.window, atomTargets, propTargets, change.time, change.owner);
    ask(change.text, change.window, atomUtf8, propText, change.time, change.owner);
    ask(change.hint, change.window, atomHint, propHint, change.time, change.owner);
}

// No answer is waited for any more; the owner may still send one (its window is kept for it).
void X11Capture::Worker::giveUp(Request &r)
{
    if (!r.active())
        return;
    r.begun = r.begun || r.state == Request::Incr;
    r.givenUp = true;
    r.state = Request::Failed;
    r.pieces.clear();
    r.size = 0;
}

void X11Capture::Worker::refuse(Request &r)
{
    r.state = Request::Failed;
    r.refused = true;
    r.pieces.clear();
    r.size = 0;
}

// Reads the property of `r`'s window whole, in parts, appending them to `pieces`; with `remove`, the
// server deletes it once the last part is read.
X11Capture::Worker::Read X11Capture::Worker::readProperty(Request &r, xcb_atom_t property, bool remove,
                                                          QList<QByteArray> *pieces)
{
    uint32_t offset = 0;
    for (;;) {
        xcb_generic_error_t *error = nullptr;
        const std::unique_ptr<xcb_get_property_reply_t, FreeReply> reply(xcb_get_property_reply(
            c, xcb_get_property(c, remove, r.window, property, XCB_GET_PROPERTY_TYPE_ANY, offset, kPieceLongs),
            &error));
        if (!reply) {
            std::free(error);
            // Neither an error of the server nor a broken connection: there was no memory for the answer.
            return error || xcb_connection_has_error(c) ? Read::Failed : Read::OutOfMemory;
        }
        if (reply->type == XCB_NONE)
            return Read::Missing;
        r.type = reply->type;
        r.format = reply->format;
        const int length = xcb_get_property_value_length(reply.get());
        const uint32_t after = reply->bytes_after;
        if (r.size + length + qsizetype(after) > kMaxTransferBytes)
            return Read::TooLarge;
        if (length > 0) {
            try {
                pieces->append(QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())), length));
            } catch (const std::bad_alloc &) {
                return Read::OutOfMemory;
            }
            r.size += length;
        }
        if (after == 0 || length <= 0)
            return Read::Ok;
        offset += static_cast<uint32_t>(length) / 4;
    }
}

// Whether the answer of `r` is of a kind it asked for: a list of atoms for TARGETS, a text of one of
// the text types for a text (never, say, atoms that happen to be offered under the text's name).
bool X11Capture::Worker::acceptable(const Request &r) const
{
    if (r.target == atomTargets)
        return r.format == 32;
    if (r.format != 8)
        return false;
    if (r.target == atomUtf8 || r.target == atomTextUtf8 || r.target == atomString)
        return r.type == atomUtf8 || r.type == atomTextUtf8 || r.type == atomString;
    return true;
}

void X11Capture::Worker::selectionNotify(const xcb_selection_notify_event_t *ev)
{
    if (ev->selection != atomClipboard)
        return;
    for (const Leftover &left : leftovers) {
        if (left.window == ev->requestor) {
            if (ev->property != XCB_NONE)
                xcb_delete_property(c, ev->requestor, ev->property); // also lets an INCR owner go on to its end
            return;
        }
    }
    Request *request = nullptr;
    if (ev->property == XCB_NONE) {
        // A refusal names no property: the oldest request of that window for that target it is.
        forEachActive([&](Request &r) {
            if (r.state == Request::Waiting && r.window == ev->requestor && r.target == ev->target &&
                (!request || sequenceBefore(r.sequence, request->sequence)))
                request = &r;
        });
        if (request)
            refuse(*request);
        return;
    }
    forEachActive([&](Request &r) {
        if (r.state == Request::Waiting && r.window == ev->requestor && r.property == ev->property)
            request = &r;
    });
    if (!request)
        return;
    QList<QByteArray> pieces;
    switch (readProperty(*request, ev->property, false, &pieces)) {
    case Read::Ok:
        break;
    case Read::Missing:
        refuse(*request);
        return;
    case Read::OutOfMemory:
        request->outOfMemory = true;
        [[fallthrough]];
    case Read::TooLarge:
        request->begun = true;
        [[fallthrough]];
    case Read::Failed:
        giveUp(*request);
        return;
    }
    if (request->type == atomIncr) {
        // The owner's lower bound of the size; deleting the property asks for the first piece.
        if (request->format == 32 && !pieces.isEmpty() && pieces.first().size() >= 4)
            std::memcpy(&request->announced, pieces.first().constData(), 4);
        request->size = 0;
        xcb_delete_property(c, ev->requestor, ev->property);
        request->state = Request::Incr;
        request->deadline = Clock::now() + request->patience;
        return;
    }
    if (!acceptable(*request)) {
        refuse(*request);
        return;
    }
    // The answer stays in its property until the window goes: deleting it would make an owner such as
    // xclip, busy with an INCR transfer to this window, send its next piece before the last was read.
    request->pieces = std::move(pieces);
    request->state = Request::Done;
}

void X11Capture::Worker::propertyNotify(const xcb_property_notify_event_t *ev)
{
    if (ev->state != XCB_PROPERTY_NEW_VALUE)
        return;
    for (const Leftover &left : leftovers) {
        if (left.window == ev->window) {
            xcb_delete_property(c, ev->window, ev->atom);
            return;
        }
    }
    Request *request = nullptr;
    forEachActive([&](Request &r) {
        if (r.state == Request::Incr && r.window == ev->window && r.property == ev->atom)
            request = &r;
    });
    if (!request)
        return;
    const qsizetype before = request->size;
    // Read and deleted at once: deleting asks the owner for the next piece.
    switch (readProperty(*request, ev->atom, true, &request->pieces)) {
    case Read::Ok:
        break;
    case Read::Missing:
        return; // a piece already read
    case Read::OutOfMemory:
        request->outOfMemory = true;
        [[fallthrough]];
    case Read::TooLarge:
    case Read::Failed:
        giveUp(*request);
        return;
    }
    if (!acceptable(*request)) {
        giveUp(*request);
        return;
    }
    if (request->size == before) {
        // The empty piece ends the transfer; one that ends short of the size announced lost a piece.
        if (request->size < qsizetype(request->announced))
            giveUp(*request);
        else
            request->state = Request::Done;
        return;
    }
    request->deadline = Clock::now() + request->patience;
}

void X11Capture::Worker::expire()
{
    const Clock::time_point now = Clock::now();
    forEachActive([&](Request &r) {
        if (r.deadline <= now || r.limit <= now) {
            r.timedOut = true;
            giveUp(r);
        }
    });
    for (auto it = leftovers.begin(); it != leftovers.end();) {
        if (it->until <= now) {
            xcb_destroy_window(c, it->window);
            it = leftovers.erase(it);
        } else {
            ++it;
        }
    }
}

QList<xcb_atom_t> X11Capture::Worker::targetsOf(const Request &targets)
{
    QList<xcb_atom_t> atoms;
    if (targets.state != Request::Done)
        return atoms;
    const QByteArray data = targets.data();
    if (data.size() % 4 != 0)
        return atoms;
    const qsizetype count = std::min<qsizetype>(data.size() / 4, 1024);
    atoms.resize(count);
    std::memcpy(atoms.data(), data.constData(), static_cast<size_t>(count) * 4);
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
