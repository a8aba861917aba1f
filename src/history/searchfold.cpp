// SPDX-License-Identifier: GPL-3.0-or-later
#include "searchfold.h"

#include "core/textconv.h"

#include <array>
#include <memory>
#include <mutex>

namespace historysearch::detail {
Folding::Folding(const Options &options) : m_bmp(0x10000), m_case(options.ignoreCase), m_width(options.ignoreWidth)
{
    QString all(0x10000, Qt::Uninitialized);
    for (int c = 0; c < 0x10000; ++c)
        all[c] = QChar(static_cast<char16_t>(c));
    if (options.ignoreWidth) {
        const auto single = [](const QString &s, QChar otherwise) { return s.size() == 1 ? s[0] : otherwise; };
        for (char16_t c = 0xFF01; c <= 0xFF5E; ++c)
            all[c] = single(textConv::narrow(QString(QChar(c))), QChar(c));
        all[0x3000] = single(textConv::narrow(QString(QChar(0x3000))), QChar(0x3000));
        // One by one: a letter and its mark are composed below.
        for (char16_t c = halfKanaFirst; c <= halfSemiVoicedMark; ++c)
            all[c] = single(textConv::widen(QString(QChar(c))), QChar(c));
    }
    if (options.ignoreKana)
        all = textConv::toHiragana(all);
    for (int c = 0; c < 0x10000; ++c) {
        char32_t f = all[c].unicode();
        if (options.ignoreCase) {
            const char32_t folded = QChar::toCaseFolded(f);
            if (folded < 0x10000)
                f = folded;
        }
        m_bmp[static_cast<size_t>(c)] = static_cast<char16_t>(f);
    }
    if (options.ignoreWidth) {
        for (char16_t letter = halfKanaFirst; letter < halfVoicedMark; ++letter) {
            for (const char16_t mark : {halfVoicedMark, halfSemiVoicedMark}) {
                const QString wide = textConv::widen(QString(QChar(letter)) + QChar(mark));
                if (wide.size() == 1)
                    m_composed[letter - halfKanaFirst][mark - halfVoicedMark] = m_bmp[wide[0].unicode()];
            }
        }
    }
    if (options.ignoreCase) {
        for (char32_t c = 0x10000; c <= 0x10FFFF; ++c) {
            if (QChar::toCaseFolded(c) < 0x10000)
                m_intoBmp.push_back(c);
        }
    }
}

const Folding &foldingFor(const Options &options)
{
    static std::array<std::once_flag, 8> once;
    static std::array<std::unique_ptr<Folding>, 8> foldings;
    const size_t index = (options.ignoreCase ? 1 : 0) | (options.ignoreWidth ? 2 : 0) | (options.ignoreKana ? 4 : 0);
    std::call_once(once[index], [&] { foldings[index] = std::make_unique<Folding>(options); });
    return *foldings[index];
}

void appendFolded(QString &out, char32_t c)
{
    if (QChar::requiresSurrogates(c)) {
        out.append(QChar(QChar::highSurrogate(c)));
        out.append(QChar(QChar::lowSurrogate(c)));
    } else {
        out.append(QChar(static_cast<char16_t>(c)));
    }
}

QString foldText(QStringView text, const Folding &folding, std::vector<qsizetype> *from, std::vector<qsizetype> *to)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const char16_t c = text[i].unicode();
        qsizetype length = 1;
        char32_t folded;
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            folded = folding.fold(QChar::surrogateToUcs4(c, text[i + 1].unicode()));
            length = 2;
        } else if (const char16_t both = i + 1 < n ? folding.composed(c, text[i + 1].unicode()) : 0) {
            folded = both;
            length = 2;
        } else {
            folded = folding.fold(c);
        }
        const qsizetype before = out.size();
        appendFolded(out, folded);
        if (from) {
            for (qsizetype k = before; k < out.size(); ++k) {
                from->push_back(i);
                to->push_back(i + length);
            }
        }
        i += length;
    }
    return out;
}

bool splitsPair(QStringView s, qsizetype at)
{
    return at > 0 && at < s.size() && s[at].isLowSurrogate() && s[at - 1].isHighSurrogate();
}

bool hasLoneSurrogate(QStringView s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
        else if (s[i].isSurrogate())
            return true;
    }
    return false;
}
} // namespace historysearch::detail
