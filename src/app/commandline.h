// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/historysearch.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// The program's command line. Options ask for something other than the bar (help, version, the login
// entry, the history on the terminal) or change how it starts (--reset); any other argument is left to
// the start sequence, which knows only the reset switch "/a".
class CommandLine final
{
public:
    enum class Action
    {
        Start,      // start the bar
        Help,       // print helpText() and end
        Version,    // print versionText() and end
        Autostart,  // write or remove the login entry and end
        Popup,      // open the history popup: in the running copy, or start and open it
        Shortcut,   // add the desktop's key binding that opens the popup, or remove it, and end
        SyncFolder, // set the folder the history is shared through, or turn sharing off, and end
        List,       // print the newest listCount() entries and end
        Print,      // print the whole text of entry printNumber() and end
        Search,     // print the entries that contain searchText() and end
        Usage,      // a bad command line: print error() and end with status 2
    };

    CommandLine();

    // Reads the arguments that follow the program's name.
    void parse(const QStringList &arguments);

    Action action() const { return m_action; }
    // Whether the data files are deleted before the start: --reset, or the whole command line "/a".
    bool reset() const { return m_reset; }
    // For Action::Autostart: on (write the entry) or off (remove it).
    bool autostartOn() const { return m_autostartOn; }
    // For Action::Shortcut: install (add the binding) or remove it.
    bool shortcutInstall() const { return m_shortcutInstall; }
    // For Action::SyncFolder: the shared folder, an existing folder's absolute path; empty for off.
    QString syncFolder() const { return m_syncFolder; }
    // For Action::List: how many entries, newest first ("--list N" or "--list=N"; 20 without N).
    int listCount() const { return m_listCount; }
    // For Action::Print: the entry number, 1 to 999999.
    int printNumber() const { return m_printNumber; }
    // For Action::Search: the text to find and how (--case, --width and --kana each turn one default).
    QString searchText() const { return m_searchText; }
    historysearch::Options searchOptions() const { return m_searchOptions; }
    // For Action::Usage: one line naming what is wrong, in the language of the translator installed now.
    QString error() const;

    // Needs the application object, for the program's name.
    QString helpText() const;
    static QString versionText();

    static constexpr int defaultListCount = 20;

    // What is wrong with a refused command line, worded only when shown: the arguments are read before the
    // translator is installed.
    struct Refusal
    {
        const char *text = nullptr; // the untranslated line, with %1 (and %2) for the values
        QStringList values;
    };

private:
    void parseHistoryAction();

    QCommandLineParser m_parser;
    Action m_action = Action::Start;
    bool m_reset = false;
    bool m_autostartOn = false;
    bool m_shortcutInstall = false;
    int m_listCount = 0;
    int m_printNumber = 0;
    QString m_searchText;
    QString m_syncFolder;
    historysearch::Options m_searchOptions;
    Refusal m_refusal;
};
