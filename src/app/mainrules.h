// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Rules of the main window that need no widget.
namespace mainrules {
// The text a file drop puts on the clipboard: one path alone, or every path followed by CR LF.
QString dropText(const QStringList &paths);

// Whether the command line (the arguments after the program) is the reset switch "/a".
bool isResetSwitch(const QStringList &arguments);

// The languages the program's texts come in: the sources are Japanese, the catalogue gives English.
enum class Language
{
    Japanese,
    English
};

// The first of the user's languages (QLocale::uiLanguages(): LANGUAGE, then LC_ALL, LC_MESSAGES, LANG)
// that the program speaks. The C and POSIX locale keep the Japanese the program always had; a desktop
// in any other language gets English.
Language uiLanguage(const QStringList &uiLanguages);
} // namespace mainrules
