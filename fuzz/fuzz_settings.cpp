// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: any text as an INI profile (read, changed, written, read again), any bytes as
// form.ini read into the settings, written back and read again, and any text as the paths and any
// numbers as the places of settings that are written and read back: a path holding a line break is
// refused and never adds a line, everything else reads back as written (places held in range).

#include "fuzzcommon.h"

#include "core/codec.h"
#include "core/commanderror.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "settings/modini.h"
#include "settings/profile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace {
using Key = std::pair<QString, QString>;

const std::array<Key, 6> &keysRead()
{
    static const std::array<Key, 6> keys = {
        Key{QStringLiteral("Main"), QStringLiteral("PosX")},
        Key{QStringLiteral("Picture"), QStringLiteral("Width")},
        Key{QStringLiteral("Data"), QStringLiteral("FilePath0")},
        Key{QStringLiteral("data"), QStringLiteral(" title ")},
        Key{QStringLiteral("Data"), QStringLiteral("CodePage")},
        Key{QString(), QString()},
    };
    return keys;
}

bool hasLineBreak(QStringView text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

void checkProfile(const QString &text)
{
    Profile profile(text);
    for (const auto &[section, key] : keysRead()) {
        const auto value = profile.value(section, key);
        if (value)
            FUZZ_CHECK(!hasLineBreak(*value));
    }

    // The written text reads back as the same profile.
    const QString written = profile.text();
    const Profile again(written);
    FUZZ_CHECK(again.text() == written);
    for (const auto &[section, key] : keysRead())
        FUZZ_CHECK(again.value(section, key) == profile.value(section, key));

    // A value set is the value read, also after writing and reading the text.
    const std::array<std::pair<Key, QString>, 4> changes = {
        std::pair{Key{QStringLiteral("Data"), QStringLiteral("Title")}, QStringLiteral("7")},
        std::pair{Key{QStringLiteral("Main"), QStringLiteral("PosX")}, QStringLiteral("-12")},
        std::pair{Key{QStringLiteral("Fuzz"), QStringLiteral("Quoted")}, QStringLiteral("\" a b \"")},
        std::pair{Key{QStringLiteral("Data"), QStringLiteral("FilePath0")}, QStringLiteral("\"/tmp/x y.ifo\"")},
    };
    const auto expected = [](const QString &v) { return v.startsWith(u'"') ? v.mid(1, v.size() - 2) : v; };
    for (const auto &[where, value] : changes)
        profile.setValue(where.first, where.second, value);
    const Profile changed(profile.text());
    FUZZ_CHECK(changed.text() == profile.text());
    for (const auto &[where, value] : changes) {
        FUZZ_CHECK(profile.value(where.first, where.second) == expected(value));
        FUZZ_CHECK(changed.value(where.first, where.second) == expected(value));
    }
}

void checkIni(QByteArrayView bytes)
{
    static const QString folder = [] {
        const QString f = fuzz::tempFolder() + QStringLiteral("/data");
        QDir().mkpath(f);
        return f;
    }();
    fuzz::writeFile(datafolder::settingsFile(folder), bytes);
    const Settings settings = iniRead(folder);
    bool numeric = false;
    settings.title.toInt(&numeric);
    FUZZ_CHECK(numeric);
    FUZZ_CHECK(!settings.historyPath.isEmpty() && !settings.templatePath.isEmpty());

    // What is written reads back the same (in UTF-8; CP932 replaces what it cannot hold).
    iniWrite(folder, settings);
    const Settings again = iniRead(folder);
    if (settings.writePage == CodePage::Utf8)
        FUZZ_CHECK(again == settings);
}
// What a path reads back as: the file's previous value when it could not be written, the default
// when it is empty (an empty value means "not set").
QString pathReadBack(const QString &written, const QString &previous, const QString &fallback)
{
    if (hasLineBreak(written))
        return previous;
    return written.isEmpty() ? fallback : written;
}

void checkWrittenSettings(QByteArrayView bytes)
{
    static const QString folder = [] {
        const QString f = fuzz::tempFolder() + QStringLiteral("/written");
        QDir().mkpath(f);
        return f;
    }();
    const QByteArray defaults = codec::encode(defaultIniText(folder), codec::systemCodePage());
    fuzz::writeFile(datafolder::settingsFile(folder), defaults);
    const Settings before = iniRead(folder);

    // The first 64 bytes are sixteen places, the rest is text: two paths split at U+0001.
    std::array<qint32, 16> numbers{};
    std::memcpy(numbers.data(), bytes.data(), static_cast<size_t>(std::min<qsizetype>(bytes.size(), 64)));
    const QString text = fuzz::textOf(bytes.size() > 64 ? bytes.sliced(64) : QByteArrayView());
    const qsizetype cut = text.indexOf(u'\x01');
    Settings s = before;
    s.templatePath = cut < 0 ? text : text.left(cut);
    s.historyPath = cut < 0 ? QString() : text.mid(cut + 1);
    s.main = {numbers[0], numbers[1], 0, 0};
    s.picture = {numbers[2], numbers[3], numbers[4], numbers[5]};
    s.text = {numbers[6], numbers[7], numbers[8], numbers[9]};
    s.pro = {numbers[10], numbers[11], 0, 0};
    s.title = QString::number(numbers[12]);

    // Choosing such a path is refused exactly when it holds a line break.
    bool refused = false;
    try {
        checkSettingsPath(s.templatePath);
    } catch (const CommandError &e) {
        FUZZ_CHECK(e.number == 75);
        refused = true;
    }
    FUZZ_CHECK(refused == hasLineBreak(s.templatePath));

    iniWrite(folder, s);
    // Every key was replaced in place: not one line more or less, and no line break but CR LF.
    const QByteArray written = fileio::readWholeFile(datafolder::settingsFile(folder));
    FUZZ_CHECK(written.count("\r\n") == defaults.count("\r\n"));
    FUZZ_CHECK(written.count('\r') == written.count("\r\n") && written.count('\n') == written.count("\r\n"));

    const Settings again = iniRead(folder);
    const auto held = [](int v) { return std::clamp(v, -maxPlaceTwips, maxPlaceTwips); };
    const auto heldPlace = [&](const WindowPlace &p) {
        return WindowPlace{held(p.left), held(p.top), held(p.width), held(p.height)};
    };
    FUZZ_CHECK(again.main == heldPlace(s.main));
    FUZZ_CHECK(again.picture == heldPlace(s.picture));
    FUZZ_CHECK(again.text == heldPlace(s.text));
    FUZZ_CHECK(again.pro == heldPlace(s.pro));
    FUZZ_CHECK(again.title == s.title);
    // Paths come back whole where the code page can hold them (a lone surrogate cannot be encoded).
    if (!fuzz::hasLoneSurrogate(text) && s.writePage == CodePage::Utf8) {
        FUZZ_CHECK(again.templatePath == pathReadBack(s.templatePath, before.templatePath, before.templatePath));
        FUZZ_CHECK(again.historyPath == pathReadBack(s.historyPath, before.historyPath, before.historyPath));
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes = fuzz::bytesOf(data, size);
    fuzz::expectNoCommandError([&] {
        checkProfile(fuzz::textOf(bytes));
        checkIni(bytes);
        checkWrittenSettings(bytes);
    });
    return 0;
}
