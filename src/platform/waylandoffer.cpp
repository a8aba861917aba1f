#include "waylandcapturedetail.h"

#include "platform/clipboard.h"

#include <QImage>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

// The offers of the compositor read, in the order of their selection events, and the contents this
// program set served to their readers.

using namespace waylanddetail;

namespace {
using namespace std::chrono_literals;

// A transfer that makes no progress for this long has failed; every chunk that arrives restarts it,
// so a large content arrives whole from an owner that keeps writing.
constexpr Clock::duration kReadPatience = 500ms;
// A program reading what we serve gets longer between its reads; it holds up nothing but its own
// transfer.
constexpr Clock::duration kWritePatience = 3s;

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
    // The offer replaced goes as soon as no transfer of it is waiting for its second part.
    m_current = offer;
    m_jobs.push_back(std::make_unique<Job>());
    Job *job = m_jobs.back().get();
    job->offer = std::move(offer);
    startJob(job);
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
    t.deadline = Clock::now() + t.patience;
    m_transfers.push_back(std::move(t));
}

void WaylandCapture::Worker::onCancelled(Source *source)
{
    // Transfers already started keep their own copy of the bytes.
    m_sources.remove_if([source](const std::unique_ptr<Source> &s) { return s.get() == source; });
}

// Asks the offer's owner for its content as `mime`; `finished` gets it once the owner closed the
// pipe, or ok = false.
void WaylandCapture::Worker::read(Offer *offer, const QByteArray &mime, Clock::duration patience,
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

void WaylandCapture::Worker::startJob(Job *job)
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

void WaylandCapture::Worker::readText(Job *job)
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

void WaylandCapture::Worker::finish(Job *job)
{
    job->done = true;
    job->offer.reset();
    while (!m_jobs.empty() && m_jobs.front()->done) {
        deliver(m_jobs.front()->content);
        m_jobs.pop_front();
    }
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
    read(m_current.get(), mime, kReadPatience,
         [promise](bool ok, const QByteArray &bytes) { promise->set_value(ok ? QImage::fromData(bytes) : QImage()); });
}
