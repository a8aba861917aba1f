// SPDX-License-Identifier: GPL-3.0-or-later
#include "titles.h"
#include "version.h"

#include <QCoreApplication>
#include <QDate>
#include <QStringList>
#include <QTime>

#include <algorithm>
#include <array>

namespace titles {
namespace {

struct Era
{
    int year;
    int month;
    int day;
    const char *name; // translated where shown: an English title spells the era in romaji
};

// The first day of each era on the Gregorian calendar (the day the era name took effect), oldest first.
// The era's year is the Gregorian year counted from the year the era began: that year is 1 (not 元),
// and the next year begins on 1 January.
constexpr std::array<Era, 5> eras{{
    {1868, 10, 23, QT_TRANSLATE_NOOP("Titles", "明治")},
    {1912, 7, 30, QT_TRANSLATE_NOOP("Titles", "大正")},
    {1926, 12, 25, QT_TRANSLATE_NOOP("Titles", "昭和")},
    {1989, 1, 8, QT_TRANSLATE_NOOP("Titles", "平成")},
    {2019, 5, 1, QT_TRANSLATE_NOOP("Titles", "令和")},
}};

// The era a day belongs to, or nullptr before Meiji.
const Era *eraOf(const QDate &date)
{
    for (auto it = eras.rbegin(); it != eras.rend(); ++it) {
        if (date >= QDate(it->year, it->month, it->day))
            return &*it;
    }
    return nullptr;
}

constexpr std::array<QStringView, 7> weekdays{u"日", u"月", u"火", u"水", u"木", u"金", u"土"};

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

// "#,##0": the nearest whole number of value / unit (a half away from zero), thousands grouped with commas.
QString groupedQuotient(quint64 value, quint64 unit)
{
    quint64 whole = value / unit;
    if (2 * (value % unit) >= unit)
        ++whole;
    const QString digits = QString::number(whole);
    QString out;
    out.reserve(digits.size() + digits.size() / 3);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += QLatin1Char(',');
        out += digits.at(i);
    }
    return out;
}

enum class Token
{
    Literal,
    EraInitial,
    EraName,
    EraYear,
    Year,
    Month,
    Month2,
    Day,
    Day2,
    Weekday,
    WeekdayLong,
    Hour,
    Second,
    AmPm
};

struct Piece
{
    Token token;
    QChar literal;
};

// The tokens in the order they are tried at each position: longer ones first where one is a prefix of another.
struct Spelling
{
    QStringView text;
    Token token;
};
constexpr std::array<Spelling, 13> spellings{{
    {u"ampm", Token::AmPm},
    {u"aaaa", Token::WeekdayLong},
    {u"aaa", Token::Weekday},
    {u"ggg", Token::EraName},
    {u"gg", Token::EraInitial},
    {u"e", Token::EraYear},
    {u"yyyy", Token::Year},
    {u"mm", Token::Month2},
    {u"m", Token::Month},
    {u"dd", Token::Day2},
    {u"d", Token::Day},
    {u"hh", Token::Hour},
    {u"ss", Token::Second},
}};

QList<Piece> tokenize(QStringView pattern)
{
    QList<Piece> pieces;
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QStringView rest = pattern.mid(i);
        bool matched = false;
        for (const Spelling &s : spellings) {
            if (rest.startsWith(s.text)) {
                pieces.append({s.token, QChar()});
                i += s.text.size();
                matched = true;
                break;
            }
        }
        if (!matched) {
            pieces.append({Token::Literal, pattern.at(i)});
            ++i;
        }
    }
    return pieces;
}

} // namespace

QString versionTitle()
{
    const QStringList parts = QStringLiteral(VORNKIP_VERSION).split(QLatin1Char('.'));
    return QCoreApplication::translate("Titles", "VornkipVer.%1.%2%3")
        .arg(parts.value(0, QStringLiteral("0")), parts.value(1, QStringLiteral("0")), parts.value(2));
}

// Days before Meiji have no era: "gg" and "ggg" write nothing and "e" writes the Gregorian year.
// With "ampm" anywhere in the pattern the hours run 12, 01 .. 11 in the morning and 12, 01 .. 11 in
// the afternoon (0:30 is 午前 12:30, 12:05 is 午後 12:05). An invalid date-time gives an empty text.
QString formatDateTime(const QDateTime &when, QStringView pattern)
{
    if (!when.isValid())
        return {};
    const QDate date = when.date();
    const QTime time = when.time();
    const Era *era = eraOf(date);
    const QString eraName = era ? QCoreApplication::translate("Titles", era->name) : QString();
    const QList<Piece> pieces = tokenize(pattern);
    const bool twelveHour =
        std::any_of(pieces.cbegin(), pieces.cend(), [](const Piece &p) { return p.token == Token::AmPm; });

    QString out;
    bool afterHour = false; // "m"/"mm" following an hour field (literals between) are minutes
    for (const Piece &p : pieces) {
        const bool minutes = afterHour;
        if (p.token != Token::Literal)
            afterHour = p.token == Token::Hour;
        switch (p.token) {
        case Token::Literal:
            out += p.literal;
            break;
        case Token::EraInitial:
            if (era)
                out += eraName.first(1);
            break;
        case Token::EraName:
            if (era)
                out += eraName;
            break;
        case Token::EraYear:
            out += QString::number(era ? date.year() - era->year + 1 : date.year());
            break;
        case Token::Year:
            out += QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
            break;
        case Token::Month:
            out += QString::number(minutes ? time.minute() : date.month());
            break;
        case Token::Month2:
            out += twoDigits(minutes ? time.minute() : date.month());
            break;
        case Token::Day:
            out += QString::number(date.day());
            break;
        case Token::Day2:
            out += twoDigits(date.day());
            break;
        case Token::Weekday:
            out += weekdays[date.dayOfWeek() % 7];
            break;
        case Token::WeekdayLong:
            out += weekdays[date.dayOfWeek() % 7];
            out += u"曜日";
            break;
        case Token::Hour:
            out += twoDigits(twelveHour ? (time.hour() + 11) % 12 + 1 : time.hour());
            break;
        case Token::Second:
            out += twoDigits(time.second());
            break;
        case Token::AmPm:
            out += time.hour() < 12 ? QCoreApplication::translate("Titles", "午前")
                                    : QCoreApplication::translate("Titles", "午後");
            break;
        }
    }
    return out;
}

// The uptime is a 64-bit count, so it keeps counting past the 24.8 days where a signed 32-bit tick
// count would turn negative. A negative count cannot come from the system and shows as 0:00:00.
QString uptimeTitle(qint64 uptimeMs)
{
    const qint64 ms = std::max<qint64>(uptimeMs, 0);
    // Whole seconds, a half going to the even neighbour.
    qint64 s = ms / 1000;
    const qint64 rest = ms % 1000;
    if (rest > 500 || (rest == 500 && s % 2 == 1))
        ++s;
    return QCoreApplication::translate("Titles", "起動経過時間　%1:%2:%3")
        .arg(QString::number((s / 3600) % 24), twoDigits(static_cast<int>((s / 60) % 60)),
             twoDigits(static_cast<int>(s % 60)));
}

// Worked out in 64 bits, so machines with more than 2 GB show their real figures. Should the available
// memory ever be reported above the total, the memory in use shows as 0.
QString memoryTitle(quint64 totalBytes, quint64 availableBytes, bool megabytes)
{
    const quint64 used = totalBytes > availableBytes ? totalBytes - availableBytes : 0;
    const quint64 unit = megabytes ? 1048576 : 1024;
    return QCoreApplication::translate("Titles", "物理メモリ：%1/%2%3")
        .arg(groupedQuotient(used, unit), groupedQuotient(totalBytes, unit),
             megabytes ? QStringLiteral("MB") : QStringLiteral("KB"));
}

int intervalForMode(int mode)
{
    switch (mode) {
    case 1:
        return 0;
    case 2:
    case 4:
    case 5:
        return 500;
    case 3:
    case 6:
    case 7:
        return 2000;
    default:
        return -1;
    }
}

// The date and time patterns are translatable texts: a translation may reorder the fields and change
// the literals, but letters that spell a field (g, e, y, m, d, a, h, s) stay fields.
// The mode is compared as text: only "1" to "7" exactly (no blanks, no leading zeros) select a title.
std::optional<QString> titleFor(const QString &mode, const System &system)
{
    if (mode.size() != 1)
        return std::nullopt;
    switch (mode.at(0).unicode()) {
    case u'1':
        return versionTitle();
    case u'2':
        return formatDateTime(system.now, QCoreApplication::translate("Titles", "gge年m月d日(aaa) hh:mm"));
    case u'3':
        return formatDateTime(system.now, QCoreApplication::translate("Titles", "gge年mm月dd日(aaa)"));
    case u'4':
        return formatDateTime(system.now, QCoreApplication::translate("Titles", "ampm hh:mm:ss"));
    case u'5':
        return uptimeTitle(system.uptimeMs);
    case u'6':
        return memoryTitle(system.memTotal, system.memAvailable, false);
    case u'7':
        return memoryTitle(system.memTotal, system.memAvailable, true);
    default:
        return std::nullopt;
    }
}
} // namespace titles
