// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// An INI text with the semantics of the private-profile functions: section and key names compared
// without case, blanks around names and values ignored, enclosing double quotes removed on read;
// a written key is replaced in place and everything else in the text (other keys, comments, order)
// is kept; a missing section or key is added.
class Profile final
{
public:
    Profile() = default;
    explicit Profile(const QString &text);

    std::optional<QString> value(QStringView section, QStringView key) const;
    bool hasSection(QStringView section) const { return findSection(section) >= 0; }
    // Sets the key; false, and nothing changed, when the section, key or value holds a CR or LF (the
    // text has no way to write one: it would end the line and could start another key or section).
    bool setValue(const QString &section, const QString &key, const QString &value);

    static bool hasLineBreak(QStringView text);

    // The text, each line ended by CR LF (a last line without an end in the source stays without).
    QString text() const;

private:
    // Index of the section's header line, or -1.
    qsizetype findSection(QStringView section) const;
    // Index of the key's line inside the section starting after `header`, or -1.
    qsizetype findKey(qsizetype header, QStringView key) const;

    QStringList m_lines;
    bool m_endsWithBreak = true;
};
