#pragma once

#include <QString>
#include <QStringView>

// Line breaks at the program's boundaries. Inside the program a line break is CR LF; the desktop
// writes LF, and some programs a lone CR. Text coming in has every break as CR LF, so no lone CR
// ever reaches a history line (where it would end the line and start a forged entry).
namespace linebreaks {
// Every LF, CR LF and lone CR becomes CR LF.
QString fromDesktop(QStringView text);

// Every CR LF becomes LF.
QString toDesktop(QStringView text);
} // namespace linebreaks
