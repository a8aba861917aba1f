// SPDX-License-Identifier: GPL-3.0-or-later
#include "linebreaks.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>

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

bool isContinuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// Whether `bytes` end inside a UTF-8 sequence, one they do not complete.
bool endsInsideSequence(QByteArrayView bytes)
{
    for (qsizetype k = 1; k <= 3 && k <= bytes.size(); ++k) {
        const auto b = static_cast<unsigned char>(bytes[bytes.size() - k]);
        if ((b & 0xC0) == 0x80)
            continue; // a continuation byte: its lead is further back
        const qsizetype needed = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        return k < needed;
    }
    return false;
}

// Where a character of the whole text begins at the earliest in `bytes` (a part of it): at the first
// byte that is no continuation byte, and three bytes in at the latest (no sequence is longer than
// four). The bytes before it finish a character begun further back.
qsizetype firstCharacterStart(QByteArrayView bytes)
{
    qsizetype i = 0;
    while (i < 3 && i < bytes.size() && isContinuation(bytes[i]))
        ++i;
    return i;
}

// Writes `text` backwards, ending at `end`, with every break as CR LF; `beforeLf` carries whether the
// text after it began with an LF, so that a CR LF split between two slices is one break. Returns the
// start of what was written.
QChar *putFromDesktopBackwards(QChar *end, QStringView text, bool &beforeLf)
{
    for (qsizetype i = text.size(); i-- > 0;) {
        const QChar c = text[i];
        if (c == u'\n' || (c == u'\r' && !beforeLf)) {
            *--end = u'\n';
            *--end = u'\r';
        } else if (c != u'\r') {
            *--end = c; // (the CR of a CR LF is in the break its LF wrote)
        }
        beforeLf = c == u'\n';
    }
    return end;
}
} // namespace

QString fromDesktopBytes(QList<QByteArray> &pieces, DesktopEncoding encoding)
{
    // The result never needs more than one unit per byte and one more per break. It is allocated at
    // that bound, but its pages become resident only as they are written. The text is decoded from its
    // end, a slice at a time, and each slice's bytes are given back as soon as it is decoded (the piece
    // is shortened), so even a text that arrived in one piece needs little more than its result.
    qsizetype bound = 0;
    qsizetype remaining = 0;
    for (const QByteArray &piece : std::as_const(pieces)) {
        remaining += piece.size();
        bound +=
            piece.size() + std::count(piece.begin(), piece.end(), '\n') + std::count(piece.begin(), piece.end(), '\r');
    }
    QString out(bound, Qt::Uninitialized);
    QChar *const begin = out.data();
    QChar *start = begin + bound;
    bool beforeLf = false;
    const bool utf8 = encoding == DesktopEncoding::Utf8;
    // Each slice is decoded on its own from the first character that begins in it (the bytes before
    // go with the slice before it). Decoded alone, an incomplete character at its end would count as
    // cut by the end of the text: a byte that cannot continue it stands in for what follows, so it is
    // replaced as within the whole. A byte order mark is dropped at the start of the text only (as
    // QString::fromUtf8 drops it).
    QStringDecoder keepingMarks(QStringDecoder::Utf8,
                                QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QByteArray carry; // bytes that finish the last character of the slice before
    QByteArray chunk;
    QString decoded;
    bool last = true; // the slice ends the text
    for (qsizetype k = pieces.size(); k-- > 0;) {
        QByteArray &piece = pieces[k];
        while (!piece.isEmpty()) {
            const qsizetype from = std::max<qsizetype>(0, piece.size() - sliceBytes);
            chunk = QByteArrayView(piece).sliced(from).toByteArray() + carry;
            remaining -= piece.size() - from;
            piece.truncate(from);
            piece.squeeze();
            const bool first = remaining == 0;
            const qsizetype at = utf8 && !first ? firstCharacterStart(chunk) : 0;
            carry = chunk.first(at);
            QByteArrayView bytes = QByteArrayView(chunk).sliced(at);
            const bool stand = utf8 && !last && endsInsideSequence(bytes);
            if (stand)
                chunk.append('A');
            bytes = QByteArrayView(chunk).sliced(at);
            decoded = !utf8   ? QString::fromLatin1(bytes)
                      : first ? QString::fromUtf8(bytes)
                              : keepingMarks.decode(bytes);
            if (stand)
                decoded.chop(1);
            start = putFromDesktopBackwards(start, decoded, beforeLf);
            last = last && bytes.isEmpty();
        }
    }
    pieces.clear();
    if (!carry.isEmpty()) // the text begins with continuation bytes
        start = putFromDesktopBackwards(start, QString::fromUtf8(carry), beforeLf);
    const qsizetype size = begin + bound - start;
    if (size < bound) {
        std::memmove(static_cast<void *>(begin), start, static_cast<size_t>(size) * sizeof(QChar));
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
