// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/clipboard.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>

#include <utility>

// One format of a content put on the desktop's clipboard: its MIME type (or X11 target name) and
// its bytes.
using OfferedFormat = std::pair<QByteArray, QByteArray>;

// Watches the desktop's clipboard (the regular selection) with a connection of its own, read on a
// thread of its own, so that no owner of the clipboard (slow, hung, or replaced a moment later) can
// hold up the windows. The UI thread only receives contents that are completely read.
//
// What a back-end reads of each change: whether a text is offered (plain text, or rich text whose
// plain-text alternative may be missing) and the text as UTF-8, decoded and with CR LF line breaks
// (Clipboard::fromDesktop); whether the content is marked as a secret (the offer
// "x-kde-passwordManagerHint" holding "secret": then the text is never read and stays empty);
// whether a picture is offered (an image/* format). The picture itself is read only on request.
// A text that is not known to be whole (its owner did not answer within its deadline, trickled past
// the limit on a whole transfer, quit, or was replaced in the middle of the transfer) is never
// delivered in part: the change comes without its text, or not at all when a newer one replaced it
// before its reading began, and trouble() says why. A password hint that is offered but not read in
// time counts as secret.
class CaptureBackend : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Connects and starts watching. `initial` receives what the clipboard holds now (waiting for its
    // owner at most about half a second). False when this back-end cannot watch in this session
    // (nothing to connect to, the protocol or extension is missing); then it emits nothing.
    // Called once, in the UI thread.
    virtual bool start(ClipboardContent *initial) = 0;

    // The picture of the clipboard's current content, read now (waits at most `deadlineMs`); a null
    // image when there is none or its owner did not answer in time. Called in the UI thread.
    virtual QImage readPicture(int deadlineMs) = 0;

    // Whether contents are put on the clipboard through set(); otherwise the windows' toolkit
    // (QClipboard) does it and the back-end reads them back like any other change.
    virtual bool sets() const { return false; }

    // Makes `formats` the clipboard's content, owned by this program until another program takes
    // the clipboard over; an empty list empties the clipboard. Only when sets(). Returns at once:
    // requests for the content are served on the back-end's thread. The change is delivered by
    // captured() like any other.
    virtual void set(const QList<OfferedFormat> &formats) { Q_UNUSED(formats); }

    // A short name for messages and logs ("x11", "wayland data-control").
    virtual QString name() const = 0;

signals:
    // One change of the clipboard, completely read. Emitted in the thread the back-end lives in
    // (the UI thread), once per change, in the order of the changes.
    void captured(const ClipboardContent &content);
    // A change could not be delivered whole, or the connection is lost for good. Emitted in the UI
    // thread; may come once per change (the windows tell the user only once).
    void trouble(ClipboardTrouble what);
};
