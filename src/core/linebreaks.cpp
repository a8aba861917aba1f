#include "linebreaks.h"

#include <QStringDecoder>

#include <algorithm>

// Both run over texts of megabytes on every copy and paste: one pass each, straight into a buffer
// of the final size or more (QString::replace moves the rest of the text once per batch of matches).
namespace linebreaks {
QString fromDesktop(QStringView text)
{
    const qsizetype n = text.size();
    const qsizetype breaks = text.count(QLatin1Char('\r')) + text.count(QLatin1Char('\n'));
    QString out(n + breaks, Qt::Uninitialized);
    QChar *o = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            *o++ = u'\r';
            *o++ = u'\n';
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
        } else {
            *o++ = c;
        }
    }
    out.truncate(o - out.constData());
    return out;
}

namespace {
// Bytes decoded at a time: the decoded slice stays small beside the result.
constexpr qsizetype sliceBytes = 1 << 20;

// How many bytes at the end of `bytes` begin a UTF-8 sequence that the bytes do not complete.
qsizetype cutSequenceLength(QByteArrayView bytes)
{
    for (qsizetype k = 1; k <= 3 && k <= bytes.size(); ++k) {
        const auto b = static_cast<unsigned char>(bytes[bytes.size() - k]);
        if ((b & 0xC0) == 0x80)
            continue; // a continuation byte: its lead is further back
        if (b < 0xC0)
            return 0;
        const qsizetype needed = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
        return k < needed ? k : 0;
    }
    return 0;
}

// Writes `text` at `out` with every break as CR LF; `afterCr` carries a CR that ended the text before,
// so that a CR LF split between two slices is one break. Returns the end of what was written.
QChar *putFromDesktop(QChar *out, QStringView text, bool &afterCr)
{
    for (const QChar c : text) {
        if (c == u'\n' && afterCr) {
            afterCr = false;
            continue; // the LF of a CR LF already written
        }
        afterCr = c == u'\r';
        if (c == u'\r' || c == u'\n') {
            *out++ = u'\r';
            *out++ = u'\n';
        } else {
            *out++ = c;
        }
    }
    return out;
}
} // namespace

QString fromDesktopBytes(QList<QByteArray> &pieces, DesktopEncoding encoding)
{
    // The result never needs more than one unit per byte and one more per break. It is allocated at
    // that bound, but its pages become resident only as they are written, while each piece is released
    // once decoded: the resident total stays near the size of the result.
    qsizetype bound = 0;
    for (const QByteArray &piece : std::as_const(pieces))
        bound +=
            piece.size() + std::count(piece.begin(), piece.end(), '\n') + std::count(piece.begin(), piece.end(), '\r');
    QString out(bound, Qt::Uninitialized);
    QChar *const begin = out.data();
    QChar *o = begin;
    bool afterCr = false;
    // Each slice is decoded on its own, ending before a character it cuts (that character's bytes go
    // on with the next slice), so the whole decodes exactly as the joined bytes would, the replacement
    // of an incomplete character at the very end included.
    const bool utf8 = encoding == DesktopEncoding::Utf8;
    // A byte order mark is dropped at the start of the text only (as QString::fromUtf8 drops it).
    QStringDecoder later(QStringDecoder::Utf8,
                         QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    bool started = false;
    const auto decode = [&](QByteArrayView bytes) {
        const QString text = !utf8     ? QString::fromLatin1(bytes)
                             : started ? later.decode(bytes)
                                       : QString::fromUtf8(bytes);
        started = started || !bytes.isEmpty();
        return text;
    };
    QByteArray slice;
    QString decoded;
    for (QByteArray &piece : pieces) {
        for (qsizetype at = 0; at < piece.size(); at += sliceBytes) {
            slice += QByteArrayView(piece).sliced(at, qMin(sliceBytes, piece.size() - at));
            const qsizetype keep = utf8 ? cutSequenceLength(slice) : 0;
            const QByteArrayView whole = QByteArrayView(slice).first(slice.size() - keep);
            decoded = decode(whole);
            o = putFromDesktop(o, decoded, afterCr);
            slice.remove(0, slice.size() - keep);
        }
        piece = QByteArray();
    }
    pieces.clear();
    if (!slice.isEmpty())
        o = putFromDesktop(o, decode(slice), afterCr);
    const qsizetype size = o - begin;
    if (size < bound) {
        out.truncate(size);
        out.squeeze();
    }
    return out;
}

QString toDesktop(QStringView text)
{
    const qsizetype n = text.size();
    QString out(n, Qt::Uninitialized);
    QChar *o = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            continue; // the LF that follows is the break
        *o++ = text[i];
    }
    out.truncate(o - out.constData());
    return out;
}
} // namespace linebreaks
