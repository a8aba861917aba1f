// SPDX-License-Identifier: GPL-3.0-or-later
#include "waylandcapturedetail.h"

#include "core/linebreaks.h"
#include "platform/clipboard.h"

#include <QImage>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

// The newest offer of the compositor read (a newer one gives up what is left of the older), and the
// contents this program set served to their readers.

using namespace waylanddetail;

namespace {
using namespace std::chrono_literals;

// A transfer that makes no progress for this long has failed; every chunk that arrives restarts it,
// so a large content arrives whole from an owner that keeps writing.
constexpr Clock::duration kReadPatience = 500ms;
// And one that is still going after this long, however steadily, has failed too.
constexpr Clock::duration kReadTotal = 10s;
// A program reading what we serve gets longer between its reads; it holds up nothing but its own
// transfer.
constexpr Clock::duration kWritePatience = 3s;
constexpr Clock::duration kWriteTotal = 60s;
// How long after the end of a text's pipe the compositor may still announce that its owner quit.
constexpr Clock::duration kSettle = 50ms;

const QByteArray kHint = QByteArrayLiteral("x-kde-passwordManagerHint");
// Offered beside the formats of every content we set, so that the offer the compositor then shows us
// is recognised as our own and not read back through a pipe from ourselves.
const QByteArray kMarkerPrefix = QByteArrayLiteral("application/x-vornkip-source;id=");

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

void WaylandCapture::Worker::onDataOffer(wl_proxy *proxy)
{
    auto offer = std::make_shared<Offer>(proxy);
    static const OfferListener listener{
        [](void *data, wl_proxy *, const char *mime) { static_cast<Offer *>(data)->mimes << QByteArray(mime); }};
    addListener(proxy, &listener, offer.get());
    m_announced[proxy] = std::move(offer);
}

void WaylandCapture::Worker::onSelection(wl_proxy *proxy)
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
    // A newer selection never waits behind an older one: what is still being read of that is given
    // up. Its reading starts once the events that arrived with it are dispatched (startNewest()).
    if (m_job)
        giveUp(!offer);
    m_current = offer;
    m_job = std::make_unique<Job>();
    m_job->offer = std::move(offer);
}

void WaylandCapture::Worker::onPrimarySelection(wl_proxy *proxy)
{
    // Only the regular selection is watched.
    if (proxy && m_announced.erase(proxy) == 0)
        destroyProxy(proxy, ZWLR_DATA_CONTROL_OFFER_V1_DESTROY);
}

void WaylandCapture::Worker::onSend(Source *source, const char *mime, int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    Transfer t;
    t.fd = fd;
    t.writing = true;
    t.data = bytesOf(source->formats, QByteArray(mime));
    t.patience = kWritePatience;
    t.giveUpAt = Clock::now() + kWriteTotal;
    t.deadline = std::min(Clock::now() + t.patience, t.giveUpAt);
    m_transfers.push_back(std::move(t));
}

void WaylandCapture::Worker::onCancelled(Source *source)
{
    // Transfers already started keep their own copy of the bytes.
    m_sources.remove_if([source](const std::unique_ptr<Source> &s) { return s.get() == source; });
}

// Asks the offer's owner for its content as `mime`; `finished` gets it once the owner closed the
// pipe, or why not. A transfer read for `job` goes when the job is given up, without a word.
void WaylandCapture::Worker::read(Offer *offer, const QByteArray &mime, const Job *job,
                                  std::function<void(End, QList<QByteArray> &)> finished)
{
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) < 0) {
        QList<QByteArray> none;
        finished(End::Failed, none);
        return;
    }
    // The request carries a duplicate of the descriptor; ours goes at once, so that the owner
    // closing its end is the end of the transfer.
    wl_proxy_marshal_flags(offer->proxy, ZWLR_DATA_CONTROL_OFFER_V1_RECEIVE, nullptr,
                           wl_proxy_get_version(offer->proxy), 0, mime.constData(), pipe[1]);
    ::close(pipe[1]);
    Transfer t;
    t.fd = pipe[0];
    t.patience = kReadPatience;
    t.giveUpAt = Clock::now() + kReadTotal;
    t.deadline = std::min(Clock::now() + t.patience, t.giveUpAt);
    t.job = job;
    t.finished = std::move(finished);
    m_transfers.push_back(std::move(t));
}

Source *WaylandCapture::Worker::ownSource(const QList<QByteArray> &mimes) const
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

void WaylandCapture::Worker::startNewest()
{
    if (!m_job || m_job->started)
        return;
    m_job->started = true;
    if (!m_job->offer)
        return finish();
    const QList<QByteArray> &mimes = m_job->offer->mimes;
    if (const Source *own = ownSource(mimes)) {
        m_job->content = contentOf(own->formats);
        return finish();
    }
    if (!mimes.contains(kHint)) {
        m_job->content = describe(mimes);
        return readText();
    }
    // Until its hint is read as not "secret" (in time), a content offering one is a secret.
    m_job->content.secret = true;
    read(m_job->offer.get(), kHint, m_job.get(), [this](End end, QList<QByteArray> &value) {
        if (end != End::Closed || isSecretHint(value.join()))
            return finish();
        m_job->content = describe(m_job->offer->mimes);
        readText();
    });
}

void WaylandCapture::Worker::readText()
{
    const QByteArray mime = textFormat(m_job->offer->mimes);
    if (mime.isEmpty())
        return finish();
    m_job->readingText = true;
    read(m_job->offer.get(), mime, m_job.get(), [this, mime](End end, QList<QByteArray> &bytes) {
        if (end == End::Closed) {
            m_job->text = std::move(bytes);
            m_job->textMime = mime;
            m_job->ended = true;
            m_job->confirmAt = Clock::now() + kSettle;
            return;
        }
        // A text not read whole is no text.
        tell(end == End::OutOfMemory ? ClipboardTrouble::OutOfMemory : ClipboardTrouble::NotWhole);
        m_job->readingText = false;
        finish();
    });
}

// The end of the pipe is the end of the text only when the selection did not change before it. An
// owner that quits in the middle closes its pipe at once, and the compositor announces an empty
// selection a moment later: that moment is waited for (kSettle), then a round trip to the compositor
// brings any change it made before our asking.
void WaylandCapture::Worker::confirm()
{
    m_job->confirm = wl_display_sync(m_display);
    static const wl_callback_listener listener{
        [](void *data, wl_callback *callback, uint32_t) { static_cast<Worker *>(data)->onConfirmed(callback); }};
    wl_callback_add_listener(m_job->confirm, &listener, this);
}

void WaylandCapture::Worker::onConfirmed(wl_callback *callback)
{
    wl_callback_destroy(callback);
    if (m_job && m_job->confirm == callback) {
        m_job->confirm = nullptr;
        accept();
    }
}

// The text read is the selection's whole text.
void WaylandCapture::Worker::accept()
{
    if (m_job->confirm)
        wl_callback_destroy(m_job->confirm);
    m_job->confirm = nullptr;
    m_job->readingText = false;
    try {
        m_job->content.text =
            linebreaks::fromDesktopBytes(m_job->text, m_job->textMime == "STRING" ? linebreaks::DesktopEncoding::Latin1
                                                                                  : linebreaks::DesktopEncoding::Utf8);
    } catch (const std::bad_alloc &) {
        m_job->text.clear();
        m_job->content.text.clear();
        tell(ClipboardTrouble::OutOfMemory);
    }
    finish();
}

// The newest selection's reading ends here, as a newer one arrived (`emptied`: the selection became
// empty, as it does when its owner quits). A text whose pipe was still open is not known to be whole;
// one whose pipe ended before another offer replaced it is. A selection replaced before its reading
// started is not reported at all: nothing of it was read, and the newer one follows at once.
void WaylandCapture::Worker::giveUp(bool emptied)
{
    if (!m_job->started)
        return m_job.reset();
    const Job *job = m_job.get();
    for (auto t = m_transfers.begin(); t != m_transfers.end();) {
        if (t->job == job) {
            ::close(t->fd);
            t = m_transfers.erase(t);
        } else {
            ++t;
        }
    }
    if (m_job->ended && !emptied)
        return accept();
    if (m_job->confirm)
        wl_callback_destroy(m_job->confirm);
    m_job->confirm = nullptr;
    if (m_job->readingText)
        tell(ClipboardTrouble::NotWhole);
    m_job->text.clear();
    m_job->content.text.clear();
    finish();
}

void WaylandCapture::Worker::finish()
{
    const ClipboardContent content = m_job->content;
    m_job.reset();
    deliver(content);
}

void WaylandCapture::Worker::deliver(const ClipboardContent &content)
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

void WaylandCapture::Worker::handle(Request &r)
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
    wl_proxy_marshal_flags(m_device, ZWLR_DATA_CONTROL_DEVICE_V1_SET_SELECTION, nullptr, wl_proxy_get_version(m_device),
                           0, source->proxy);
    m_sources.push_back(std::move(source));
}

void WaylandCapture::Worker::readPicture(const std::shared_ptr<std::promise<QImage>> &promise)
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
    read(m_current.get(), mime, nullptr, [promise](End end, QList<QByteArray> &bytes) {
        QImage image;
        try {
            if (end == End::Closed)
                image = QImage::fromData(bytes.join());
        } catch (const std::bad_alloc &) {
            image = QImage();
        }
        promise->set_value(image);
    });
}
