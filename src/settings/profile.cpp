// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile.h"

namespace {
// The section name of a header line "[name]", or nothing.
std::optional<QStringView> sectionName(QStringView line)
{
    line = line.trimmed();
    if (!line.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = line.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return line.mid(1, close - 1).trimmed();
}
} // namespace

Profile::Profile(const QString &text)
{
    if (text.isEmpty())
        return;
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start < n) {
        qsizetype end = start;
        while (end < n && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
            ++end;
        m_lines.append(text.mid(start, end - start));
        if (end >= n) {
            m_endsWithBreak = false;
            return;
        }
        start = end + 1;
        if (text[end] == QLatin1Char('\r') && start < n && text[start] == QLatin1Char('\n'))
            ++start;
    }
    m_endsWithBreak = true;
}

qsizetype Profile::findSection(QStringView section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionName(m_lines[i]);
        if (name && name->compare(section.trimmed(), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

qsizetype Profile::findKey(qsizetype header, QStringView key) const
{
    for (qsizetype i = header + 1; i < m_lines.size(); ++i) {
        if (sectionName(m_lines[i]))
            return -1;
        const qsizetype eq = m_lines[i].indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (QStringView(m_lines[i]).left(eq).trimmed().compare(key.trimmed(), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::optional<QString> Profile::value(QStringView section, QStringView key) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return std::nullopt;
    const qsizetype at = findKey(header, key);
    if (at < 0)
        return std::nullopt;
    const QString &line = m_lines[at];
    QStringView v = QStringView(line).mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    if (v.size() >= 2 && v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"')))
        v = v.mid(1, v.size() - 2);
    return v.toString();
}

bool Profile::hasLineBreak(QStringView text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

bool Profile::setValue(const QString &section, const QString &key, const QString &value)
{
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value))
        return false;
    const QString entry = key + QLatin1Char('=') + value;
    qsizetype header = findSection(section);
    if (header < 0) {
        if (!m_lines.isEmpty() && !m_endsWithBreak)
            m_endsWithBreak = true;
        // A new section goes after the last non-empty line.
        qsizetype at = m_lines.size();
        while (at > 0 && m_lines[at - 1].trimmed().isEmpty())
            --at;
        m_lines.insert(at, QLatin1Char('[') + section + QLatin1Char(']'));
        m_lines.insert(at + 1, entry);
        return true;
    }
    const qsizetype at = findKey(header, key);
    if (at >= 0) {
        m_lines[at] = entry;
        return true;
    }
    // A new key goes after the section's last non-empty line.
    qsizetype end = header + 1;
    while (end < m_lines.size() && !sectionName(m_lines[end]))
        ++end;
    while (end > header + 1 && m_lines[end - 1].trimmed().isEmpty())
        --end;
    m_lines.insert(end, entry);
    if (end == m_lines.size() - 1)
        m_endsWithBreak = true;
    return true;
}

QString Profile::text() const
{
    QString out;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        out += m_lines[i];
        if (i + 1 < m_lines.size() || m_endsWithBreak)
            out += QStringLiteral("\r\n");
    }
    return out;
}
