#include "x11capturedetail.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

// The requests to the clipboard's owner and their answers: properties, refusals, INCR transfers, and
// answers that come after their request was given up.

using namespace x11detail;

namespace {
// Our own windows answer in the UI thread, which may be busy for a while; it cannot take the change
// before it is free again anyway, so their answers are waited for longer.
constexpr auto kOwnAnswerDeadline = std::chrono::seconds(10);
// A property whose request was given up is not used again for this long: its owner may still answer.
constexpr auto kLateAnswerWindow = std::chrono::seconds(30);
// A property is read in pieces of this many 32-bit units (4 MB).
constexpr uint32_t kPieceLongs = 1u << 20;
// Larger texts are not read at all.
constexpr qsizetype kMaxTransferBytes = qsizetype(1) << 30;
} // namespace

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
