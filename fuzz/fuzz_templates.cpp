// SPDX-License-Identifier: GPL-3.0-or-later
// The template phrase file: any text split into phrases, written and read again; any bytes as a file.

#include "fuzzcommon.h"

#include "core/codec.h"
#include "core/commanderror.h"
#include "core/fileio.h"
#include "templates/templatefile.h"

namespace {
void run(QByteArrayView bytes)
{
    static const QString path = fuzz::tempFolder() + QStringLiteral("/templ.txt");
    static const QString written = fuzz::tempFolder() + QStringLiteral("/written.txt");

    const QString text = fuzz::textOf(bytes);
    const QStringList lines = templatefile::splitLines(text);
    for (const QString &line : lines)
        FUZZ_CHECK(!line.contains(u'\r') && !line.contains(u'\n'));
    FUZZ_CHECK(lines.size() <= text.size());
    for (const int most : {0, 1, 3, templatefile::editorSlots})
        FUZZ_CHECK(templatefile::splitLines(text, most) == lines.mid(0, most));

    // Phrases written in UTF-8 read back as they were. Lone surrogates cannot be written, and a
    // U+FEFF at the very start is taken for a byte order mark.
    templatefile::write(written, lines, CodePage::Utf8);
    const QStringList readBack = templatefile::read(written);
    if (!fuzz::hasLoneSurrogate(text) && !(!lines.isEmpty() && lines.front().startsWith(QChar(0xFEFF))))
        FUZZ_CHECK(readBack == lines);
    FUZZ_CHECK(templatefile::encode(lines, CodePage::Utf8) == fileio::readWholeFile(written));

    const QByteArray cp932 = templatefile::encode(lines, CodePage::Cp932);
    qsizetype units = 0;
    for (const QString &line : lines)
        units += line.size() + 2;
    FUZZ_CHECK(cp932.size() <= 2 * units);
    FUZZ_CHECK(templatefile::splitLines(codec::decodeAs(cp932, CodePage::Cp932)).size() == lines.size());

    // The input bytes as a template file.
    fuzz::writeFile(path, bytes);
    const QStringList fromFile = templatefile::read(path);
    FUZZ_CHECK(fromFile == templatefile::splitLines(codec::decode(bytes)));
    FUZZ_CHECK(templatefile::read(path, templatefile::editorSlots) == fromFile.mid(0, templatefile::editorSlots));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::expectNoCommandError([&] { run(fuzz::bytesOf(data, size)); });
    return 0;
}
