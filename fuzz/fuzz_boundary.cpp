// SPDX-License-Identifier: GPL-3.0-or-later
// The clipboard boundary: any text another program copies, as the history stores it. Every copy is
// exactly one entry, numbered after the last one (past 999999 too), and reads back as it came in with
// its line breaks as CR LF.

#include "fuzzcommon.h"

#include "core/codec.h"
#include "core/linebreaks.h"
#include "history/historyfile.h"
#include "history/historyformat.h"

namespace {
void run(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    static const QString path = fuzz::tempFolder() + QStringLiteral("/temp.ifo");
    // The first byte picks the code page and the number the history has reached (up to the wrap).
    const auto head = static_cast<unsigned char>(bytes[0]);
    const CodePage page = head & 1 ? CodePage::Cp932 : CodePage::Utf8;
    const int last = head & 2 ? historyformat::largestNumber - (head >> 2) % 4 : 1 + (head >> 2);
    const QString copied = fuzz::textOf(bytes.sliced(1));

    const QString text = linebreaks::fromDesktop(copied);
    // Inside the program every break is CR LF; outside, LF.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r')
            FUZZ_CHECK(i + 1 < text.size() && text[i + 1] == u'\n');
        if (text[i] == u'\n')
            FUZZ_CHECK(i > 0 && text[i - 1] == u'\r');
    }
    const QString outside = linebreaks::toDesktop(text);
    FUZZ_CHECK(!outside.contains(u'\r'));
    FUZZ_CHECK(linebreaks::fromDesktop(outside) == text);

    fuzz::writeFile(path, historyformat::encodeLine(last, u"before", page));
    HistoryFile history(path, page);
    history.setDurable(false);
    history.load();
    FUZZ_CHECK(history.lastNumber() == last);
    const int number = historyformat::nextNumber(last);
    FUZZ_CHECK(number == (last == historyformat::largestNumber ? 1 : last + 1));
    fuzz::append(history, number, text);
    FUZZ_CHECK(history.entryCount() == 2);
    FUZZ_CHECK(history.lastNumber() == number);

    HistoryFile again(path, page);
    again.load();
    FUZZ_CHECK(again.entryCount() == 2);
    FUZZ_CHECK(again.entryNumber(1) == number);
    FUZZ_CHECK(again.lastNumber() == number);
    FUZZ_CHECK(again.textForNumber(number) == again.entryText(1));
    const bool exact = page == CodePage::Utf8 && !fuzz::hasLoneSurrogate(text) &&
                       !text.contains(QStringLiteral("@1@2@3"), Qt::CaseInsensitive) && !text.startsWith(QChar(0xFEFF));
    if (exact)
        FUZZ_CHECK(again.entryText(1) == text);
    FUZZ_CHECK(again.itemText(1).size() <= historyformat::maxEntryLength);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::expectNoCommandError([&] { run(fuzz::bytesOf(data, size)); });
    return 0;
}
