// SPDX-License-Identifier: GPL-3.0-or-later
// The history file: any bytes as temp.ifo, read, listed, looked up, appended to, read again, exported.

#include "fuzzcommon.h"

#include "core/codec.h"
#include "core/commanderror.h"
#include "core/fileio.h"
#include "history/historyfile.h"
#include "history/historyformat.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
// Entries looked at per input; a 4 KiB input holds at most a few hundred lines anyway.
constexpr qsizetype maxEntriesChecked = 300;

// Where the first line that is not a number cut short (one to five digits alone, left by a crash)
// begins.
qint64 afterCutNumbers(QByteArrayView bytes)
{
    qint64 at = 0;
    while (at < bytes.size()) {
        const historyformat::LineEnd line = historyformat::lineEndFrom(bytes.data(), at, bytes.size());
        if (!historyformat::isCutNumber(bytes.data() + at, line.end - at))
            break;
        at = line.next;
    }
    return at;
}

// Whether that line begins with six digits.
bool startsWithSixDigits(QByteArrayView bytes)
{
    const qint64 at = afterCutNumbers(bytes);
    if (bytes.size() - at < 6)
        return false;
    return std::all_of(bytes.begin() + at, bytes.begin() + at + 6, [](char c) { return c >= '0' && c <= '9'; });
}

// Whether `text` comes back from a history line as it went in, but for a lone CR, which comes back as
// CR LF: no literal marker, and no U+FEFF at the start (the UTF-8 decoder takes it for a byte order
// mark).
bool survivesHistoryLine(const QString &text)
{
    return !text.contains(QStringLiteral("@1@2@3"), Qt::CaseInsensitive) && !text.startsWith(QChar(0xFEFF));
}

QString loneCrAsBreak(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n'))
            text.insert(++i, u'\n');
    }
    return text;
}

void run(QByteArrayView bytes)
{
    static const QString path = fuzz::tempFolder() + QStringLiteral("/temp.ifo");
    static const QString exportPath = fuzz::tempFolder() + QStringLiteral("/export.txt");
    fuzz::writeFile(path, bytes);

    const CodePage page = bytes.size() % 2 ? CodePage::Cp932 : CodePage::Utf8;
    HistoryFile history(path, page);
    history.setDurable(false);
    history.load();

    const qsizetype count = history.entryCount();
    FUZZ_CHECK(count >= 0);
    FUZZ_CHECK(history.isHistory() == (count > 0));
    FUZZ_CHECK(history.isHistory() == startsWithSixDigits(bytes));
    FUZZ_CHECK(history.lastNumber() == (count > 0 ? history.entryNumber(count - 1) : 0));

    // With UTF-8 throughout, the list item is the start of the whole text.
    const bool allUtf8 = codec::systemCodePage() == CodePage::Utf8 && codec::isValidUtf8(bytes);
    for (qsizetype i = 0; i < std::min(count, maxEntriesChecked); ++i) {
        const int number = history.entryNumber(i);
        FUZZ_CHECK(number >= 0 && number <= historyformat::largestNumber);
        const QString item = history.itemText(i);
        const QString whole = history.entryText(i);
        FUZZ_CHECK(item.size() <= historyformat::maxEntryLength);
        if (allUtf8)
            FUZZ_CHECK(item == whole.left(historyformat::maxEntryLength));
        bool reindexed = true;
        FUZZ_CHECK(history.restoreText(i, &reindexed) == whole);
        FUZZ_CHECK(!reindexed);
    }
    if (count > 0)
        FUZZ_CHECK(history.textForNumber(history.entryNumber(0)) == history.entryText(0));
    for (const int number : {-1, 0, 1, history.lastNumber(), historyformat::largestNumber, 1000000})
        (void)history.textForNumber(number);

    history.exportText(exportPath);
    const QByteArray exported = fileio::readWholeFile(exportPath);
    FUZZ_CHECK(exported.endsWith("\r\n"));
    if (page == CodePage::Utf8)
        FUZZ_CHECK(codec::isValidUtf8(exported));

    // Append one entry made of the input's last bytes.
    const QString text = QString::fromUtf8(bytes.last(std::min<qsizetype>(bytes.size(), 48)));
    const bool wasHistory = history.isHistory();
    // Nothing but numbers cut short counts as an empty file: the entry appended makes it a history.
    const bool wasEmpty = afterCutNumbers(bytes) == bytes.size();
    const int number = historyformat::nextNumber(history.lastNumber());
    FUZZ_CHECK(!fuzz::append(history, number, text));
    const qsizetype appendedCount = history.entryCount();
    // One entry, whatever its text holds: numbering goes on from it.
    FUZZ_CHECK(appendedCount == count + 1);
    FUZZ_CHECK(history.lastNumber() == number);
    FUZZ_CHECK(history.entryNumber(count) == number);
    const QString appended = history.entryText(count);
    if (page == CodePage::Utf8 && survivesHistoryLine(text))
        FUZZ_CHECK(appended == loneCrAsBreak(text));
    bool reindexed = true;
    FUZZ_CHECK(history.restoreText(count, &reindexed) == appended);
    FUZZ_CHECK(!reindexed);

    // Read again from the file: the index built while appending must be the one a load builds.
    std::vector<int> numbers;
    for (qsizetype i = 0; i < appendedCount; ++i)
        numbers.push_back(history.entryNumber(i));
    history.load();
    if (wasHistory || wasEmpty) {
        FUZZ_CHECK(history.entryCount() == appendedCount);
        for (qsizetype i = 0; i < appendedCount; ++i)
            FUZZ_CHECK(history.entryNumber(i) == numbers[static_cast<size_t>(i)]);
        FUZZ_CHECK(history.entryText(count) == appended);
        // The same number to go on from as the append left.
        FUZZ_CHECK(history.lastNumber() == numbers.back());
    } else {
        FUZZ_CHECK(history.entryCount() == 0);
    }
    history.exportText(exportPath);

    // Another program writes the file behind the index (the input's first bytes): the next append
    // notices, and the list is what a fresh load of the file lists.
    const QByteArrayView behind = bytes.first(std::min<qsizetype>(bytes.size(), 32));
    if (behind.isEmpty())
        return;
    {
        std::FILE *f = std::fopen(QFile::encodeName(path).constData(), "ab");
        FUZZ_CHECK(f && std::fwrite(behind.data(), 1, static_cast<size_t>(behind.size()), f) ==
                            static_cast<size_t>(behind.size()));
        std::fclose(f);
    }
    const int after = historyformat::nextNumber(history.lastNumber());
    FUZZ_CHECK(fuzz::append(history, after, u"after"));
    HistoryFile fresh(path, page);
    fresh.load();
    if (fresh.isHistory()) {
        FUZZ_CHECK(fresh.lastNumber() == after);
        FUZZ_CHECK(history.entryCount() == fresh.entryCount());
        FUZZ_CHECK(history.lastNumber() == fresh.lastNumber());
        for (qsizetype i = 0; i < std::min(fresh.entryCount(), maxEntriesChecked); ++i)
            FUZZ_CHECK(history.entryNumber(i) == fresh.entryNumber(i));
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::expectNoCommandError([&] { run(fuzz::bytesOf(data, size)); });
    return 0;
}
