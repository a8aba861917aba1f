#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// The program's command line. Options ask for something other than the bar (help, version, the login
// entry) or change how it starts (--reset); any other argument is left to the start sequence, which
// knows only the reset switch "/a".
class CommandLine final
{
public:
    enum class Action
    {
        Start,     // start the bar
        Help,      // print helpText() and end
        Version,   // print versionText() and end
        Autostart, // write or remove the login entry and end
        Usage,     // a bad command line: print error() and end with status 2
    };

    CommandLine();

    // Reads the arguments that follow the program's name.
    void parse(const QStringList &arguments);

    Action action() const { return m_action; }
    // Whether the data files are deleted before the start: --reset, or the whole command line "/a".
    bool reset() const { return m_reset; }
    // For Action::Autostart: on (write the entry) or off (remove it).
    bool autostartOn() const { return m_autostartOn; }
    // For Action::Usage: one line naming what is wrong.
    QString error() const { return m_error; }

    // Needs the application object, for the program's name.
    QString helpText() const;
    static QString versionText();

private:
    QCommandLineParser m_parser;
    Action m_action = Action::Start;
    bool m_reset = false;
    bool m_autostartOn = false;
    QString m_error;
};
