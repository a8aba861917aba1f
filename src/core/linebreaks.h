// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

// Line breaks at the program's boundaries. Inside the program a line break is CR LF; the desktop
// writes LF, and some programs a lone CR. Text coming in has every break as CR LF, so no lone CR
// ever reaches a history line (where it would end the line and start a forged entry).
namespace linebreaks {
// Every LF, CR LF and lone CR becomes CR LF.
QString fromDesktop(QStringView text);

// The bytes of a text as the desktop offers it (UTF-8, or Latin-1 for X11's STRING), in the pieces
// it arrived in, decoded with every break as CR LF (as fromDesktop). Each piece is released as soon as
// it is decoded, so a text of N bytes needs little more than its result at any moment. Empties
// `pieces`. Throws std::bad_alloc like any allocation.
enum class DesktopEncoding
{
    Utf8,
    Latin1
};
QString fromDesktopBytes(QList<QByteArray> &pieces, DesktopEncoding encoding = DesktopEncoding::Utf8);

// Every CR LF becomes LF.
QString toDesktop(QStringView text);
} // namespace linebreaks
