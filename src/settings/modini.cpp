// SPDX-License-Identifier: GPL-3.0-or-later
#include "modini.h"

#include "core/commanderror.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "settings/profile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>

namespace {
const QString sMain = QStringLiteral("Main");
const QString sPicture = QStringLiteral("Picture");
const QString sText = QStringLiteral("Text");
const QString sPro = QStringLiteral("Pro");
const QString sData = QStringLiteral("Data");
const QString sSearch = QStringLiteral("Search");
const QString kIgnoreCase = QStringLiteral("IgnoreCase");
const QString kIgnoreWidth = QStringLiteral("IgnoreWidth");
const QString kIgnoreKana = QStringLiteral("IgnoreKana");
const QString kPosX = QStringLiteral("PosX");
const QString kPosY = QStringLiteral("PosY");
const QString kWidth = QStringLiteral("Width");
const QString kHeight = QStringLiteral("Height");
const QString kFilePath0 = QStringLiteral("FilePath0");
const QString kFilePath1 = QStringLiteral("FilePath1");
const QString kTitle = QStringLiteral("Title");
const QString kCodePage = QStringLiteral("CodePage");
const QString sPopup = QStringLiteral("Popup");
const QString kShortcut = QStringLiteral("Shortcut");
const QString kShiftInsertClasses = QStringLiteral("ShiftInsertClasses");
const QString kPaste = QStringLiteral("Paste");
const QString sSync = QStringLiteral("Sync");
const QString kFolder = QStringLiteral("Folder");
const QChar classSeparator = QLatin1Char(';');

QString quoted(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

// A whole number of twips, held to ±maxPlaceTwips; anything else (missing, empty, not a number) gives
// `fallback`.
int readNumber(const Profile &p, const QString &section, const QString &key, int fallback)
{
    const auto text = p.value(section, key);
    if (!text)
        return fallback;
    bool ok = false;
    const double v = text->toDouble(&ok);
    if (!ok || std::isnan(v))
        return fallback;
    return static_cast<int>(std::lround(std::clamp(v, double(-maxPlaceTwips), double(maxPlaceTwips))));
}

QString readText(const Profile &p, const QString &section, const QString &key, const QString &fallback)
{
    const auto text = p.value(section, key);
    return text && !text->isEmpty() ? *text : fallback;
}

QString flagText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// 1 or 0; anything else gives `fallback`.
bool readFlag(const Profile &p, const QString &section, const QString &key, bool fallback)
{
    const int value = readNumber(p, section, key, -1);
    return value == 0 || value == 1 ? value == 1 : fallback;
}

// [Popup]: a key that is there but empty means none (no shortcut, no class); a missing key the default.
void readPopup(const Profile &p, PopupSettings &popup)
{
    if (const auto shortcut = p.value(sPopup, kShortcut))
        popup.shortcut = shortcut->trimmed();
    if (const auto classes = p.value(sPopup, kShiftInsertClasses)) {
        popup.shiftInsertClasses.clear();
        for (const QString &name : classes->split(classSeparator, Qt::SkipEmptyParts)) {
            if (!name.trimmed().isEmpty())
                popup.shiftInsertClasses << name.trimmed();
        }
    }
    popup.paste = readFlag(p, sPopup, kPaste, popup.paste);
}

void writePopup(Profile &p, const PopupSettings &popup)
{
    p.setValue(sPopup, kShortcut, popup.shortcut);
    p.setValue(sPopup, kShiftInsertClasses, popup.shiftInsertClasses.join(classSeparator));
    p.setValue(sPopup, kPaste, flagText(popup.paste));
}

void readPlace(const Profile &p, const QString &section, WindowPlace &place, bool withSize)
{
    place.left = readNumber(p, section, kPosX, place.left);
    place.top = readNumber(p, section, kPosY, place.top);
    if (withSize) {
        place.width = readNumber(p, section, kWidth, place.width);
        place.height = readNumber(p, section, kHeight, place.height);
    }
}

void writePlace(Profile &p, const QString &section, const WindowPlace &place, bool withSize)
{
    p.setValue(section, kPosX, QString::number(place.left));
    p.setValue(section, kPosY, QString::number(place.top));
    if (withSize) {
        p.setValue(section, kWidth, QString::number(place.width));
        p.setValue(section, kHeight, QString::number(place.height));
    }
}

Profile readProfile(const QString &folder)
{
    return Profile(codec::decode(fileio::readWholeFile(datafolder::settingsFile(folder))));
}
} // namespace

QStringList PopupSettings::defaultShiftInsertClasses()
{
    return {QStringLiteral("XTerm"),          QStringLiteral("URxvt"),          QStringLiteral("Alacritty"),
            QStringLiteral("kitty"),          QStringLiteral("foot"),           QStringLiteral("konsole"),
            QStringLiteral("Gnome-terminal"), QStringLiteral("Xfce4-terminal"), QStringLiteral("Terminator"),
            QStringLiteral("Tilix"),          QStringLiteral("st-256color"),    QStringLiteral("Lxterminal"),
            QStringLiteral("wezterm")};
}

Settings Settings::defaults(const QString &folder)
{
    Settings s;
    s.historyPath = datafolder::historyFile(folder);
    s.templatePath = datafolder::templateFile(folder);
    return s;
}

QString defaultIniText(const QString &folder)
{
    const QStringList lines = {
        QStringLiteral("[Main]"),
        QStringLiteral("PosX=0"),
        QStringLiteral("PosY=0"),
        QStringLiteral("[Picture]"),
        QStringLiteral("PosX=0"),
        QStringLiteral("PosY=0"),
        QStringLiteral("Width=3000"),
        QStringLiteral("Height=2000"),
        QStringLiteral("[Text]"),
        QStringLiteral("PosX=0"),
        QStringLiteral("PosY=0"),
        QStringLiteral("Width=3000"),
        QStringLiteral("Height=2000"),
        QStringLiteral("[Pro]"),
        QStringLiteral("PosX=0"),
        QStringLiteral("PosY=0"),
        QStringLiteral("[Data]"),
        kFilePath0 + QLatin1Char('=') + quoted(datafolder::historyFile(folder)),
        kFilePath1 + QLatin1Char('=') + quoted(datafolder::templateFile(folder)),
        QStringLiteral("Title=1"),
        QLatin1Char('[') + sPopup + QLatin1Char(']'),
        kShortcut + QLatin1Char('=') + PopupSettings().shortcut,
        kShiftInsertClasses + QLatin1Char('=') + PopupSettings::defaultShiftInsertClasses().join(classSeparator),
        kPaste + QStringLiteral("=1"),
        QLatin1Char('[') + sSync + QLatin1Char(']'),
        kFolder + QLatin1Char('='),
    };
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n\r\n");
}

void iniDefault(const QString &folder)
{
    const QString path = datafolder::settingsFile(folder);
    if (fileio::exists(path))
        return;
    fileio::writeFileAtomic(path, codec::encode(defaultIniText(folder), codec::systemCodePage()));
}

Settings iniRead(const QString &folder)
{
    iniDefault(folder);
    const Profile p = readProfile(folder);
    Settings s = Settings::defaults(folder);
    readPlace(p, sMain, s.main, false);
    readPlace(p, sPicture, s.picture, true);
    readPlace(p, sText, s.text, true);
    readPlace(p, sPro, s.pro, false);
    s.historyPath = readText(p, sData, kFilePath0, s.historyPath);
    s.templatePath = readText(p, sData, kFilePath1, s.templatePath);
    const QString title = readText(p, sData, kTitle, s.title);
    bool numeric = false;
    title.toInt(&numeric);
    s.title = numeric ? title : QStringLiteral("1");
    if (readNumber(p, sData, kCodePage, 0) == 932)
        s.writePage = CodePage::Cp932;
    s.search.ignoreCase = readFlag(p, sSearch, kIgnoreCase, s.search.ignoreCase);
    s.search.ignoreWidth = readFlag(p, sSearch, kIgnoreWidth, s.search.ignoreWidth);
    s.search.ignoreKana = readFlag(p, sSearch, kIgnoreKana, s.search.ignoreKana);
    readPopup(p, s.popup);
    s.sync.folder = p.value(sSync, kFolder).value_or(QString());
    return s;
}

void checkSettingsPath(const QString &path)
{
    if (Profile::hasLineBreak(path))
        throw fileError(EINVAL, path); // 75
}

void iniWrite(const QString &folder, const Settings &settings)
{
    const QString path = datafolder::settingsFile(folder);
    Profile p = fileio::exists(path) ? readProfile(folder) : Profile();
    writePlace(p, sMain, settings.main, false);
    writePlace(p, sPicture, settings.picture, true);
    writePlace(p, sText, settings.text, true);
    writePlace(p, sPro, settings.pro, false);
    p.setValue(sData, kFilePath0, quoted(settings.historyPath));
    p.setValue(sData, kFilePath1, quoted(settings.templatePath));
    p.setValue(sData, kTitle, settings.title);
    // The search window's section only once its check boxes are not the defaults, or it is there.
    const historysearch::Options defaults;
    const historysearch::Options &search = settings.search;
    if (p.hasSection(sSearch) || search.ignoreCase != defaults.ignoreCase ||
        search.ignoreWidth != defaults.ignoreWidth || search.ignoreKana != defaults.ignoreKana) {
        p.setValue(sSearch, kIgnoreCase, flagText(search.ignoreCase));
        p.setValue(sSearch, kIgnoreWidth, flagText(search.ignoreWidth));
        p.setValue(sSearch, kIgnoreKana, flagText(search.ignoreKana));
    }
    writePopup(p, settings.popup);
    fileio::writeFileAtomic(path, codec::encode(p.text(), settings.writePage));
}

void iniWriteSyncFolder(const QString &folder, const QString &sharedFolder)
{
    checkSettingsPath(sharedFolder);
    iniDefault(folder);
    Profile p = readProfile(folder);
    p.setValue(sSync, kFolder, sharedFolder.isEmpty() ? QString() : quoted(sharedFolder));
    // Kept in the code page the file was written in: [Data] CodePage says which. A folder whose name
    // that page cannot hold would be read back as another one: refused.
    const CodePage page = readNumber(p, sData, kCodePage, 0) == 932 ? CodePage::Cp932 : codec::systemCodePage();
    if (codec::decodeAs(codec::encode(sharedFolder, page), page) != sharedFolder)
        throw fileError(EILSEQ, sharedFolder);
    fileio::writeFileAtomic(datafolder::settingsFile(folder), codec::encode(p.text(), page));
}
