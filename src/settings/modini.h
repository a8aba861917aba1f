// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/codec.h"
#include "history/historysearch.h"

#include <QString>
#include <QStringList>

// A window's place and size in twips.
struct WindowPlace
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WindowPlace &) const = default;
};

// [Popup]: the history popup opened from the keyboard.
struct PopupSettings
{
    QString shortcut = QStringLiteral("Ctrl+Alt+V"); // in QKeySequence's portable text; empty = none
    // Window classes that paste with Shift+Insert rather than Ctrl+V (terminals).
    QStringList shiftInsertClasses = defaultShiftInsertClasses();
    bool paste = true; // the chosen entry is pasted into the window that had the focus

    bool operator==(const PopupSettings &) const = default;
    static QStringList defaultShiftInsertClasses();
};

// [Sync]: the history shared between the user's machines through a folder a synchronisation program
// carries. Set only by the command line (vornkip --sync-folder), never written back by the windows, so a
// copy running with an older value cannot put it back when it ends.
struct SyncSettings
{
    QString folder; // empty: sharing is off

    bool operator==(const SyncSettings &) const = default;
};

// What form.ini keeps between runs. The windows apply it at start and hand it back at exit.
struct Settings
{
    WindowPlace main{0, 0, 0, 0}; // left and top only
    WindowPlace picture{0, 0, 3000, 2000};
    WindowPlace text{0, 0, 3000, 2000};
    WindowPlace pro{0, 0, 0, 0};                  // left and top only
    QString historyPath;                          // FilePath0
    QString templatePath;                         // FilePath1
    QString title = QStringLiteral("1");          // title mode 1..7, as text
    CodePage writePage = codec::systemCodePage(); // [Data] CodePage=932 selects CP932
    historysearch::Options search;                // [Search] the search window's check boxes
    PopupSettings popup;                          // [Popup]
    SyncSettings sync;                            // [Sync], read only: see iniWriteSyncFolder

    bool operator==(const Settings &) const = default;

    // The defaults for a data folder.
    static Settings defaults(const QString &folder);
};

// The default settings file of a data folder, each line ended by CR LF, one more empty line at the end.
QString defaultIniText(const QString &folder);

// Writes the default settings file when none exists (an existing file is never rewritten).
// Throws CommandError.
void iniDefault(const QString &folder);

// Creates the file when missing, then reads every key. A key that is missing or does not hold a
// number gives that key's default; a number beyond maxPlaceTwips either way reads as that limit;
// values are read whole. Throws CommandError when the file cannot
// be created or read.
Settings iniRead(const QString &folder);

// Writes every key but [Sync] into the existing file (keeping everything else in it) and replaces the file
// atomically. A value that cannot be written (a path holding a line break) leaves its key as it was.
// Throws CommandError.
void iniWrite(const QString &folder, const Settings &settings);

// Sets [Sync] Folder (empty: sharing off) and nothing else, keeping the rest of the file as it is; the
// file is made with the defaults first when there is none. Throws CommandError (error 75 for a path
// holding a line break).
void iniWriteSyncFolder(const QString &folder, const QString &sharedFolder);

// Positions and sizes read from the file are held to this many twips either way (about 17 m): far
// outside any screen, yet never near the limits of the pixel arithmetic.
inline constexpr int maxPlaceTwips = 1'000'000;

// A path the settings are to keep: form.ini cannot hold a line break in a value, so a path with a CR
// or LF is refused when it is chosen, with error 75 naming it.
void checkSettingsPath(const QString &path);
