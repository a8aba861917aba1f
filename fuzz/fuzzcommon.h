// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers shared by the fuzz targets: turning the input into text, a check that stops the run with a
// message, and one private temporary folder per process.

#include "core/commanderror.h"
#include "history/historyfile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

// Stops the run (libFuzzer saves the input) when an invariant does not hold. Not assert(): the fuzz
// build is RelWithDebInfo, where NDEBUG is set.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);                         \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

namespace fuzz {
inline QByteArrayView bytesOf(const uint8_t *data, size_t size)
{
    return QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// The bytes as UTF-16 code units, two bytes each (little-endian, an odd last byte dropped), so that
// lone surrogates and every other unit value reach the code under test.
inline QString rawUtf16(QByteArrayView bytes)
{
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto lo = static_cast<unsigned char>(bytes[2 * i]);
        const auto hi = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = QChar(static_cast<char16_t>(lo | (hi << 8)));
    }
    return text;
}

// Text from the input: after a UTF-16LE byte order mark (FF FE) the rest as raw UTF-16 units, otherwise
// the whole input as UTF-8. Seeds stay readable text, and the fuzzer finds the mark quickly.
inline QString textOf(QByteArrayView bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return rawUtf16(bytes.sliced(2));
    return QString::fromUtf8(bytes);
}

inline bool hasLoneSurrogate(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (text[i].isSurrogate())
            return true;
    }
    return false;
}

// A private folder for the files a target writes, made once per process and removed at exit. On
// /dev/shm when it is there, so the per-input writes (and their flushes) stay in memory.
inline const QString &tempFolder()
{
    static const QString folder = [] {
        const char *base = std::getenv("VORNKIP_FUZZ_TMP");
        std::string pattern = base && *base ? base : (QDir(QStringLiteral("/dev/shm")).exists() ? "/dev/shm" : "/tmp");
        pattern += "/vornkip-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        static std::string made = pattern;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(made, ignored);
        });
        return QString::fromStdString(pattern);
    }();
    return folder;
}

// Replaces the file's content with `bytes` (same path every time: no new file per input).
inline void writeFile(const QString &path, QByteArrayView bytes)
{
    const QByteArray name = QFile::encodeName(path);
    std::FILE *f = std::fopen(name.constData(), "wb");
    if (!f) {
        std::perror(name.constData());
        std::abort();
    }
    if (!bytes.isEmpty() &&
        std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), f) != static_cast<size_t>(bytes.size())) {
        std::perror(name.constData());
        std::abort();
    }
    std::fclose(f);
}

// Runs one input through a target's checks; a CommandError the code under test should not raise
// stops the run like a failed check.
template <typename Fn>
void expectNoCommandError(Fn &&checks)
{
    try {
        checks();
    } catch (const CommandError &e) {
        std::fprintf(stderr, "unexpected CommandError %d: %s\n", e.number, qPrintable(e.description));
        std::abort();
    }
}

// Appends one entry as the list model does: the line is written, then the index committed. True when
// the file had been changed behind the index.
inline bool append(HistoryFile &history, int number, QStringView text)
{
    const HistoryFile::Written written = history.write(number, text);
    history.commit(written);
    return written.changedBehind;
}
} // namespace fuzz
