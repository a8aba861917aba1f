// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Text in files: the system code page (the locale's character set: UTF-8 on current systems,
// CP932 where the locale is Shift_JIS). Reading falls back to CP932 for bytes that are not valid in
// the system code page, so files written on Windows open unchanged. Writing uses the configured page;
// characters CP932 cannot represent are written as '?'.
enum class CodePage
{
    Utf8,
    Cp932,
};

namespace codec {
// The code page of the current locale (LC_CTYPE). Anything that is neither Shift_JIS nor UTF-8
// (the C locale's ASCII among them) is treated as UTF-8, so no text is lost to '?'.
CodePage systemCodePage();

// Whether `bytes` is well-formed UTF-8. With `allowCutTail`, an incomplete sequence at the very end
// (a prefix cut mid-character) still counts as valid.
bool isValidUtf8(QByteArrayView bytes, bool allowCutTail = false);

// Decodes bytes in the given page. Invalid sequences never vanish: each invalid byte becomes
// U+FFFD and decoding goes on. With `cutTail`, an incomplete character at the end is dropped
// (the bytes are a prefix of a longer text).
QString decodeAs(QByteArrayView bytes, CodePage page, bool cutTail = false);

// Decodes file bytes: the system page when they are valid in it, otherwise CP932.
QString decode(QByteArrayView bytes, bool cutTail = false);

// Encodes in the given page.
QByteArray encode(QStringView text, CodePage page);
} // namespace codec
