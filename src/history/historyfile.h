// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/codec.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <vector>

// A history file (temp.ifo and saved *.ifo files; the format is in historyformat.h).
//
// The file is read once into an index of the lines that carry an entry number (byte offset, length,
// number); texts are decoded only when asked for. A file is a history file only when its first line
// begins with six digits (lines before it that hold only a number cut short, left by a crash inside a
// write, do not count); otherwise nothing it holds is listed, but entries appended to it during this
// run are. Lines that do not begin with six digits are never listed and never matched.
class HistoryFile final
{
public:
    explicit HistoryFile(QString path = {}, CodePage writePage = codec::systemCodePage());

    const QString &path() const { return m_path; }
    void setPath(const QString &path);
    void setWritePage(CodePage page) { m_writePage = page; }
    // Whether each append is flushed to the disk before it counts as recorded (on by default).
    void setDurable(bool durable) { m_durable = durable; }

    // Creates the file empty when it is missing.
    void ensureExists() const;

    // Reads and indexes the file; a missing file reads as empty. Throws CommandError (then the index
    // holds nothing: see loadFailed()), or std::bad_alloc for an index larger than the memory there is
    // (then nothing is appended until a load succeeds).
    void load();

    // Whether the last load failed with a CommandError: there is no last number to go on from, so the
    // file must be read again before an entry is numbered.
    bool loadFailed() const { return m_loadFailed; }

    // Whether the file's first line (numbers cut short before it aside) began with six digits when it
    // was loaded.
    bool isHistory() const { return m_isHistory; }

    // Entries shown in the list, oldest first (the list shows them newest first).
    qsizetype entryCount() const { return static_cast<qsizetype>(m_lines.size()) - m_listedFrom; }
    int entryNumber(qsizetype entry) const { return line(entry).number; }

    // The list item of an entry: its text with markers turned into CR LF, cut to 200 characters.
    QString itemText(qsizetype entry) const;

    // The whole text of an entry, markers turned into CR LF.
    QString entryText(qsizetype entry) const;

    // The whole text of an entry while the file is as it was indexed; nothing once it changed behind the
    // index (to be read again first). Never changes the index: a view may ask at any moment. With
    // `maxLength`, only the text's first characters are read and returned, at most that many.
    std::optional<QString> indexedEntryText(qsizetype entry, qsizetype maxLength = -1) const;

    // The text of the first line whose number is `number`; when no line has it, the text of the last
    // line; an empty text for an empty file. Reads the file as it is on disk now.
    QString textForNumber(int number) const;

    // The text to restore for the chosen entry. When the file was changed behind the index, the index
    // is rebuilt and the entry is looked up by its number; `reindexed` tells the caller so.
    QString restoreText(qsizetype entry, bool *reindexed = nullptr);

    // The last listed entry number (0 for none): the number the next entry continues from.
    int lastNumber() const { return m_lastNumber; }

    // What identifies the file's state on disk, to notice changes made behind the index.
    struct FileStamp
    {
        qint64 size = -1;
        qint64 mtimeNs = 0;
        quint64 inode = 0;
        bool operator==(const FileStamp &) const = default;
    };

    // Appending one entry (fileWrite), in two steps for a list model that must announce its new rows
    // before the index changes. write() puts one line in the file, opened for appending (a text of
    // megabytes is encoded and written a slice at a time; a failure at any point cuts the file back to
    // what it was), and changes nothing in memory; a last line left without its line end (a torn
    // write) is closed first, so the new entry never merges into it. commit() updates the index.
    // Between them, `newEntries` tells how many entries commit() adds to the list, and `changedBehind`
    // whether the file had been changed behind the index (commit() then reads it again).
    struct Written
    {
        qint64 lineStart = 0;
        qint64 length = 0; // bytes of the line with its line end, without a closing line end put before it
        int number = 0;
        qsizetype newEntries = 0;
        bool changedBehind = false;
        FileStamp stamp; // the file after the write
    };
    Written write(int number, QStringView text) const;
    void commit(const Written &written);

    // Saving: a byte copy of the file, or a text export (each line followed by CR LF, markers
    // turned into CR LF, one more CR LF at the end).
    void saveCopy(const QString &to) const;
    void exportText(const QString &to) const;

private:
    struct Line
    {
        qint64 offset;
        qint32 length; // bytes, without the line end; lines longer than 2 GiB are cut in the index
        qint32 number;
    };

    const Line &line(qsizetype entry) const { return m_lines[static_cast<size_t>(m_listedFrom + entry)]; }
    QByteArray readLineText(const Line &l, qint64 maxBytes) const;
    // The first `maxLength` characters of an entry's text (all of a shorter one), markers turned into CR LF.
    QString entryStart(qsizetype entry, qsizetype maxLength) const;
    // textForNumber over the index as it is, whether or not the file changed since.
    QString indexedTextForNumber(int number) const;
    // One read of the file into the index; false when the file was cut while it was read.
    bool readIndex();
    void addLine(qint64 offset, qint64 length, int number);
    FileStamp currentStamp() const;

    QString m_path;
    CodePage m_writePage;
    std::vector<Line> m_lines;         // lines that begin with six digits, in file order
    std::vector<qint32> m_firstLineOf; // entry number -> index into m_lines, -1 when none
    Line m_lastLine{0, -1, -1};        // the file's last line, numbered or not; length -1 for an empty file
    qint64 m_listedFrom = 0;
    int m_lastNumber = 0;
    bool m_isHistory = false;
    bool m_beforeFirstLine = true; // no line yet but numbers cut short: the next line decides m_isHistory
    bool m_durable = true;
    bool m_outOfMemory = false; // the last load ran out of memory
    bool m_loadFailed = false;  // the last load failed with a CommandError
    FileStamp m_stamp;
};
