// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include "app/mainrules.h"
#include "core/linebreaks.h"
#include "history/historyfile.h"
#include "history/historyformat.h"
#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <climits>

namespace {
const QString helpName = QStringLiteral("help");
const QString versionName = QStringLiteral("version");
const QString resetName = QStringLiteral("reset");
const QString autostartName = QStringLiteral("autostart");
const QString popupName = QStringLiteral("popup");
const QString shortcutName = QStringLiteral("shortcut");
const QString listName = QStringLiteral("list");
const QString printName = QStringLiteral("print");
const QString searchName = QStringLiteral("search");
const QString caseName = QStringLiteral("case");
const QString widthName = QStringLiteral("width");
const QString kanaName = QStringLiteral("kana");
const QString syncFolderName = QStringLiteral("sync-folder");

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
    if (name == autostartName || name == shortcutName || name == printName || name == searchName ||
        name == syncFolderName)
        return true;
    for (const ToolkitOption &option : toolkitOptions) {
        if (name == QLatin1String(option.name))
            return option.takesValue;
    }
    return false;
}

// The line that says what is wrong with a command line the parser refused: an unknown option, a value
// given to an option that takes none, or an option whose value is missing (only the last can lack one).
CommandLine::Refusal usageError(const QStringList &unknownNames, const QStringList &arguments)
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
            return {QT_TRANSLATE_NOOP("CommandLine", "不明なオプションです: %1"), {written}};
        if (argument.contains(QLatin1Char('=')) && !takesValue(name))
            return {QT_TRANSLATE_NOOP("CommandLine", "%1 は値を取りません"), {written}};
        last = takesValue(name) && !argument.contains(QLatin1Char('=')) ? written : QString();
    }
    return {QT_TRANSLATE_NOOP("CommandLine", "%1 には値が必要です"),
            {last.isEmpty() ? QStringLiteral("--") + autostartName : last}};
}

// "--list=N" (or "-list=N") as "--list N": the parser has no options with an optional value, so the
// count is the argument that follows the switch.
QStringList withListCountApart(const QStringList &arguments)
{
    QStringList split;
    bool options = true;
    for (const QString &argument : arguments) {
        if (argument == QStringLiteral("--"))
            options = false;
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (options && equals > 0 &&
            (argument.first(equals) == QStringLiteral("--") + listName ||
             argument.first(equals) == QStringLiteral("-") + listName)) {
            split << argument.first(equals) << argument.sliced(equals + 1);
        } else {
            split << argument;
        }
    }
    return split;
}

// A whole number written in ASCII digits (leading zeros allowed, as entry numbers are written); values
// above `largest` come back as largest + 1. -1 for anything else.
qint64 wholeNumber(const QString &text, qint64 largest)
{
    if (text.isEmpty())
        return -1;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = std::min(value * 10 + (c.unicode() - '0'), largest + 1);
    }
    return value;
}
// The options with their descriptions in the user's language, for the parser and for --help.
void declareOptions(QCommandLineParser &parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine", "クリップボードの履歴を記録するバーを起動します。\n"
                       "オプションなしで起動すると、コピーした文字列を履歴に記録します。\n"
                       "--list、--print、--search の終了コードは grep と同じです: 0 は表示した、1 は該当なし、"
                       "2 は使い方の誤りか履歴ファイルを読めないとき。"));
    parser.addOption({{QStringLiteral("h"), helpName},
                      QCoreApplication::translate("CommandLine", "このヘルプを表示して終了します。")});
    parser.addOption({{QStringLiteral("v"), versionName},
                      QCoreApplication::translate("CommandLine", "バージョンを表示して終了します。")});
    parser.addOption(
        {resetName, QCoreApplication::translate(
                        "CommandLine", "設定ファイル form.ini、履歴ファイル temp.ifo、定型文ファイル templ.txt を"
                                       "削除してから起動します (/a と同じ)。")});
    parser.addOption({autostartName,
                      QCoreApplication::translate(
                          "CommandLine", "ログイン時の自動起動を on (設定) または off (解除) にして終了します。"),
                      QStringLiteral("on|off")});
    parser.addOption({popupName, QCoreApplication::translate(
                                     "CommandLine", "履歴のポップアップを開きます。起動中のバーがあればそこで開き、"
                                                    "なければバーを起動してから開きます。")});
    parser.addOption({shortcutName,
                      QCoreApplication::translate(
                          "CommandLine",
                          "履歴のポップアップを開くキー (form.ini の [Popup] Shortcut) をデスクトップの設定に install "
                          "(追加) または remove (削除) して終了します。GNOME ではキーボードショートカットに登録し、"
                          "sway と Hyprland では設定ファイルに書く行を表示します。"),
                      QStringLiteral("install|remove")});
    parser.addOption(
        {syncFolderName,
         QCoreApplication::translate(
             "CommandLine",
             "履歴をほかのマシンと共有するフォルダー (Syncthing などで同期しているフォルダー) を form.ini の "
             "[Sync] Folder に設定して終了します。off で共有をやめます。起動中のバーはすぐに従います。"),
         QStringLiteral("path|off")});
    for (const ToolkitOption &option : toolkitOptions) {
        QCommandLineOption hidden(QString::fromLatin1(option.name));
        if (option.takesValue)
            hidden.setValueName(QStringLiteral("value"));
        hidden.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(hidden);
    }
    parser.addOption(
        {listName, QCoreApplication::translate(
                       "CommandLine", "新しい履歴から N 件 (省略時は %1 件) を、1 件 1 行 (番号、タブ、1 行目) で"
                                      "表示して終了します。N は --list の次に書きます (--list 50 または "
                                      "--list=50)。")
                       .arg(CommandLine::defaultListCount)});
    parser.addOption({printName,
                      QCoreApplication::translate(
                          "CommandLine", "番号 number の履歴の全文を、改行を LF として末尾に改行を足さずに表示して"
                                         "終了します。番号が重なるときは新しいほうです。"),
                      QStringLiteral("number")});
    parser.addOption({searchName,
                      QCoreApplication::translate(
                          "CommandLine", "text を含む履歴をすべて、新しい順に --list と同じ形で表示して終了します。"
                                         "大文字と小文字、全角と半角は区別せず、ひらがなとカタカナは区別します。"),
                      QStringLiteral("text")});
    parser.addOption({caseName, QCoreApplication::translate("CommandLine", "--search で大文字と小文字を区別します。")});
    parser.addOption({widthName, QCoreApplication::translate("CommandLine", "--search で全角と半角を区別します。")});
    parser.addOption(
        {kanaName, QCoreApplication::translate("CommandLine", "--search でひらがなとカタカナを区別しません。")});
}

} // namespace

CommandLine::CommandLine()
{
    declareOptions(m_parser);
}

void CommandLine::parse(const QStringList &given)
{
    m_action = Action::Start;
    m_reset = false;
    m_autostartOn = false;
    m_shortcutInstall = false;
    m_listCount = 0;
    m_printNumber = 0;
    m_searchText.clear();
    m_syncFolder.clear();
    m_searchOptions = {};
    m_refusal = {};
    const QStringList arguments = withListCountApart(given);
    // The parser takes the program's name first.
    if (!m_parser.parse(QStringList{QStringLiteral("vornkip")} + arguments)) {
        m_action = Action::Usage;
        m_refusal = usageError(m_parser.unknownOptionNames(), arguments);
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
    // One thing at a time.
    QStringList asked;
    for (const QString &name :
         {listName, printName, searchName, autostartName, shortcutName, syncFolderName, popupName, resetName}) {
        if (m_parser.isSet(name))
            asked << QStringLiteral("--") + name;
    }
    if (asked.size() > 1) {
        m_action = Action::Usage;
        m_refusal = {QT_TRANSLATE_NOOP("CommandLine", "%1 と %2 は一緒に使えません"), {asked.at(0), asked.at(1)}};
        return;
    }
    for (const QString &name : {caseName, widthName, kanaName}) {
        if (m_parser.isSet(name) && !m_parser.isSet(searchName)) {
            m_action = Action::Usage;
            m_refusal = {QT_TRANSLATE_NOOP("CommandLine", "--%1 は --search と一緒に使います"), {name}};
            return;
        }
    }
    if (m_parser.isSet(listName) || m_parser.isSet(printName) || m_parser.isSet(searchName)) {
        parseHistoryAction();
        return;
    }
    m_reset = m_parser.isSet(resetName) || mainrules::isResetSwitch(arguments);
    if (m_parser.isSet(autostartName)) {
        const QString value = m_parser.value(autostartName).toLower();
        if (value != QStringLiteral("on") && value != QStringLiteral("off")) {
            m_action = Action::Usage;
            m_refusal = {QT_TRANSLATE_NOOP("CommandLine", "--autostart には on か off を指定してください: %1"),
                         {m_parser.value(autostartName)}};
        } else {
            m_action = Action::Autostart;
            m_autostartOn = value == QStringLiteral("on");
        }
    } else if (m_parser.isSet(shortcutName)) {
        const QString value = m_parser.value(shortcutName).toLower();
        if (value != QStringLiteral("install") && value != QStringLiteral("remove")) {
            m_action = Action::Usage;
            m_refusal = {QT_TRANSLATE_NOOP("CommandLine", "--shortcut には install か remove を指定してください: %1"),
                         {m_parser.value(shortcutName)}};
        } else {
            m_action = Action::Shortcut;
            m_shortcutInstall = value == QStringLiteral("install");
        }
    } else if (m_parser.isSet(syncFolderName)) {
        const QString value = m_parser.value(syncFolderName);
        const QFileInfo folder(value);
        if (value.compare(QStringLiteral("off"), Qt::CaseInsensitive) == 0) {
            m_action = Action::SyncFolder;
        } else if (!value.isEmpty() && folder.isDir()) {
            m_action = Action::SyncFolder;
            m_syncFolder = QDir::cleanPath(folder.absoluteFilePath());
        } else {
            m_action = Action::Usage;
            m_refusal = {
                QT_TRANSLATE_NOOP("CommandLine", "--sync-folder にはあるフォルダーか off を指定してください: %1"),
                {value}};
        }
    } else if (m_parser.isSet(popupName)) {
        m_action = Action::Popup;
    }
}

// --list [N], --print NUMBER, --search TEXT: the only action on the command line. Only --list takes an
// argument besides its options (N); a stray word elsewhere is most likely a search text that lost its
// quotes, so it is refused rather than ignored.
void CommandLine::parseHistoryAction()
{
    const auto refuse = [this](const char *text, const QStringList &values) {
        m_action = Action::Usage;
        m_refusal = {text, values};
    };
    QStringList rest = m_parser.positionalArguments();
    for (const QString &name : {listName, printName, searchName}) {
        if (m_parser.optionNames().count(name) > 1)
            return refuse(QT_TRANSLATE_NOOP("CommandLine", "--%1 は一度だけ指定できます"), {name});
    }
    if (m_parser.isSet(listName)) {
        m_listCount = defaultListCount;
        if (!rest.isEmpty()) {
            const QString written = rest.takeFirst();
            const qint64 count = wholeNumber(written, INT_MAX);
            if (count < 1)
                return refuse(QT_TRANSLATE_NOOP("CommandLine", "--list の件数は 1 以上の整数で指定してください: %1"),
                              {written});
            m_listCount = static_cast<int>(std::min<qint64>(count, INT_MAX));
        }
    }
    if (!rest.isEmpty())
        return refuse(QT_TRANSLATE_NOOP("CommandLine", "余分な引数です: %1"), {rest.first()});
    if (m_parser.isSet(listName)) {
        m_action = Action::List;
    } else if (m_parser.isSet(printName)) {
        const QString written = m_parser.value(printName);
        const qint64 number = wholeNumber(written, historyformat::largestNumber);
        if (number < 1 || number > historyformat::largestNumber)
            return refuse(
                QT_TRANSLATE_NOOP("CommandLine", "--print の番号は 1 から %1 までの整数で指定してください: %2"),
                {QString::number(historyformat::largestNumber), written});
        m_action = Action::Print;
        m_printNumber = static_cast<int>(number);
    } else {
        m_action = Action::Search;
        // A line break typed in a terminal is LF; in the history it is CR LF.
        m_searchText = linebreaks::fromDesktop(m_parser.value(searchName));
        m_searchOptions.ignoreCase = !m_parser.isSet(caseName);
        m_searchOptions.ignoreWidth = !m_parser.isSet(widthName);
        m_searchOptions.ignoreKana = m_parser.isSet(kanaName);
    }
}

QString CommandLine::helpText() const
{
    // Described again now: the parser was made before the translator was installed.
    QCommandLineParser described;
    declareOptions(described);
    return described.helpText();
}

QString CommandLine::error() const
{
    if (!m_refusal.text)
        return {};
    const QString text = QCoreApplication::translate("CommandLine", m_refusal.text);
    const QStringList &values = m_refusal.values;
    return values.size() > 1 ? text.arg(values.at(0), values.at(1)) : values.isEmpty() ? text : text.arg(values.at(0));
}

QString CommandLine::versionText()
{
    return QStringLiteral("vornkip " VORNKIP_VERSION);
}
