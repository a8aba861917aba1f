// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <atomic>
#include <functional>
#include <optional>

// Finding entries of a history file by their whole text. Read-only: the file is read in pieces from
// its end, newest entries first, and never changed; it may be appended to by the running bar meanwhile
// (what was appended after the search began is not searched).
namespace historysearch {
// How a query matches a text. Each is a check box of the search window and a flag of `--search`.
struct Options
{
    bool ignoreCase = true;  // Unicode simple case folding, full-width letters included
    bool ignoreWidth = true; // full- and half-width forms alike: ＡＢＣ = ABC, ｶﾞ = ガ
    bool ignoreKana = false; // hiragana and katakana alike: ひらがな = ヒラガナ
    bool operator==(const Options &) const = default;
};

// A place in a text, in the text's own characters (UTF-16 code units).
struct Span
{
    qsizetype start = -1;
    qsizetype length = 0;
    bool found() const { return start >= 0; }
};

// The first place `query` occurs in `text` under the options; not found for an empty query.
Span find(QStringView text, QStringView query, const Options &options);

// One entry of the file: its number, its whole text (line breaks as CR LF, as the list restores it),
// and how many entries of the file are newer (its row in the history list when it was found).
struct Entry
{
    int number = 0;
    QString text;
    qint64 newer = 0;
};

// What the search asks of its caller: each matching entry, newest first; return false to stop.
using Visit = std::function<bool(const Entry &entry)>;

// Searches the history file at `path`, newest entry first, calling `visit` for each entry whose text
// contains `query` (every entry when the query is empty). Lines are read as the history list reads
// them: a line begins with its six-digit number; a file whose first line does not is no history and
// has no entries; CP932 lines are decoded like the rest. `cancel` is checked often: once it is set
// the search returns false at once. Returns true when the whole file was searched (or `visit` stopped
// it). Throws CommandError when the file cannot be read.
bool search(const QString &path, QStringView query, const Options &options, const Visit &visit,
            const std::atomic<bool> *cancel = nullptr);

// The number of entries `search` would visit (every entry for an empty query), counted on two
// threads (on the caller's alone when no thread can be started); nothing when `cancel` was set first.
// Throws CommandError when the file cannot be read.
std::optional<qint64> count(const QString &path, QStringView query, const Options &options,
                            const std::atomic<bool> *cancel = nullptr);
} // namespace historysearch
