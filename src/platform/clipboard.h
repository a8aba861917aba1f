// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/linebreaks.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

class QMimeData;

// What the clipboard holds at one moment, read once per change.
struct ClipboardContent
{
    bool hasText = false;  // plain text or rich text (whose plain-text alternative is `text`, maybe empty)
    QString text;          // line breaks as CR LF
    bool hasImage = false; // a picture is offered
    QImage image;          // read only when asked for
    bool secret = false;   // the source marked the content as a secret (a password manager's hint)
};

// Why a change of the clipboard was not recorded, or why watching stopped. Each is told to the user
// once: the program goes on recording the next changes.
enum class ClipboardTrouble
{
    NotWhole,      // a text could not be read whole (its owner stopped answering, went away, or it was too large)
    OutOfMemory,   // a text too large for the memory left
    ConnectionLost // the connection to the desktop's clipboard is lost and could not be made again
};

// The desktop's clipboard (the CLIPBOARD selection). Text crosses this boundary with CR LF line
// breaks inside the program and LF outside.
class Clipboard : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // What the clipboard holds; its picture only when `withPicture` (every request waits for the
    // owner of the clipboard, and a picture is large).
    virtual ClipboardContent read(bool withPicture) const = 0;
    ClipboardContent read() const { return read(true); }
    virtual void clear() = 0;
    virtual void setText(const QString &text) = 0;
    virtual void setImage(const QImage &image) = 0;
    // Makes a text the PRIMARY selection as well, which X11 terminals paste with Shift+Insert. The
    // selection is not watched: nothing is recorded for it.
    virtual void setSelection(const QString &text) = 0;

    // Line-break conversion at the boundary.
    static QString fromDesktop(const QString &text) { return linebreaks::fromDesktop(text); }
    static QString toDesktop(const QString &text) { return linebreaks::toDesktop(text); }

    // The local files a drag or a drop carries, in order (its file list).
    static QStringList localFiles(const QMimeData *data);

signals:
    // The clipboard's content changed (once per change).
    void changed();
    // A change was not recorded, or watching stopped (see ClipboardTrouble).
    void trouble(ClipboardTrouble what);
};

// The real clipboard, through QClipboard.
class QtClipboard final : public Clipboard
{
    Q_OBJECT

public:
    explicit QtClipboard(QObject *parent = nullptr);

    using Clipboard::read;
    ClipboardContent read(bool withPicture) const override;
    void clear() override;
    void setText(const QString &text) override;
    void setImage(const QImage &image) override;
    void setSelection(const QString &text) override;
};

// A clipboard that is always empty and takes nothing: what fields paste from in a service made
// without the program's clipboard.
class NoClipboard final : public Clipboard
{
public:
    using Clipboard::Clipboard;

    using Clipboard::read;
    ClipboardContent read(bool) const override { return {}; }
    void clear() override {}
    void setText(const QString &) override {}
    void setImage(const QImage &) override {}
    void setSelection(const QString &) override {}

    // The one every such service shares.
    static NoClipboard &shared();
};
