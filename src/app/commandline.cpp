#include "commandline.h"

#include "app/mainrules.h"
#include "version.h"

namespace {
const QString helpName = QStringLiteral("help");
const QString versionName = QStringLiteral("version");
const QString resetName = QStringLiteral("reset");
const QString autostartName = QStringLiteral("autostart");

// The options the toolkit reads itself when the windows start (-platform, -display, -session from a
// session manager's restart command, ...): accepted here and left in the arguments for it.
struct ToolkitOption
{
    const char *name;
    bool takesValue;
};
constexpr ToolkitOption toolkitOptions[] = {
    {"platform", true},      {"platformpluginpath", true},
    {"platformtheme", true}, {"plugin", true},
    {"display", true},       {"qwindowgeometry", true},
    {"geometry", true},      {"qwindowtitle", true},
    {"title", true},         {"qwindowicon", true},
    {"icon", true},          {"style", true},
    {"stylesheet", true},    {"session", true},
    {"name", true},          {"reverse", false},
    {"widgetcount", false},  {"nograb", false},
    {"dograb", false},       {"sync", false},
};

bool takesValue(const QString &name)
{
    if (name == autostartName)
        return true;
    for (const ToolkitOption &option : toolkitOptions) {
        if (name == QLatin1String(option.name))
            return option.takesValue;
    }
    return false;
}

// The line that says what is wrong with a command line the parser refused: an unknown option, a value
// given to an option that takes none, or an option whose value is missing (only the last can lack one).
QString usageError(const QStringList &unknownNames, const QStringList &arguments)
{
    QString last;
    for (const QString &argument : arguments) {
        if (argument == QStringLiteral("--"))
            break;
        if (!argument.startsWith(QLatin1Char('-')) || argument == QStringLiteral("-")) {
            last.clear();
            continue;
        }
        const QString written = argument.section(QLatin1Char('='), 0, 0);
        QString name = written;
        while (name.startsWith(QLatin1Char('-')))
            name.remove(0, 1);
        if (unknownNames.contains(name))
            return QStringLiteral("不明なオプションです: %1").arg(written);
        if (argument.contains(QLatin1Char('=')) && !takesValue(name))
            return QStringLiteral("%1 は値を取りません").arg(written);
        last = takesValue(name) && !argument.contains(QLatin1Char('=')) ? written : QString();
    }
    return QStringLiteral("%1 には値が必要です").arg(last.isEmpty() ? QStringLiteral("--") + autostartName : last);
}
} // namespace

CommandLine::CommandLine()
{
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.setApplicationDescription(
        QStringLiteral("クリップボードの履歴を記録するバーを起動します。\n"
                       "オプションなしで起動すると、コピーした文字列を履歴に記録します。"));
    m_parser.addOption({{QStringLiteral("h"), helpName}, QStringLiteral("このヘルプを表示して終了します。")});
    m_parser.addOption({{QStringLiteral("v"), versionName}, QStringLiteral("バージョンを表示して終了します。")});
    m_parser.addOption(
        {resetName, QStringLiteral("設定ファイル form.ini、履歴ファイル temp.ifo、定型文ファイル templ.txt を"
                                   "削除してから起動します (/a と同じ)。")});
    m_parser.addOption({autostartName,
                        QStringLiteral("ログイン時の自動起動を on (設定) または off (解除) にして終了します。"),
                        QStringLiteral("on|off")});
    for (const ToolkitOption &option : toolkitOptions) {
        QCommandLineOption hidden(QString::fromLatin1(option.name));
        if (option.takesValue)
            hidden.setValueName(QStringLiteral("value"));
        hidden.setFlags(QCommandLineOption::HiddenFromHelp);
        m_parser.addOption(hidden);
    }
}

void CommandLine::parse(const QStringList &arguments)
{
    m_action = Action::Start;
    m_reset = false;
    m_error.clear();
    // The parser takes the program's name first.
    // The parser takes the program's name first.
    if (!m_parser.parse(QStringList{QStringLiteral("vornkip")} + arguments)) {
        m_action = Action::Usage;
        m_error = usageError(m_parser.unknownOptionNames(), arguments);
        return;
    }
    if (m_parser.isSet(helpName)) {
        m_action = Action::Help;
        return;
    }
    if (m_parser.isSet(versionName)) {
        m_action = Action::Version;
        return;
    }
    m_reset = m_parser.isSet(resetName) || mainrules::isResetSwitch(arguments);
    if (m_parser.isSet(autostartName)) {
        const QString value = m_parser.value(autostartName).toLower();
        if (value != QStringLiteral("on") && value != QStringLiteral("off")) {
            m_action = Action::Usage;
            m_error =
                QStringLiteral("--autostart には on か off を指定してください: %1").arg(m_parser.value(autostartName));
        } else if (m_parser.isSet(resetName)) {
            m_action = Action::Usage;
            m_error = QStringLiteral("--autostart と --reset は一緒に使えません");
        } else {
            m_action = Action::Autostart;
            m_autostartOn = value == QStringLiteral("on");
        }
    }
}

QString CommandLine::helpText() const
{
    return m_parser.helpText();
}

QString CommandLine::versionText()
{
    return QStringLiteral("vornkip " VORNKIP_VERSION);
}
