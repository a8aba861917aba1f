// The settings file: any text as an INI profile (read, changed, written, read again), and any bytes as
// form.ini read into the settings, written back and read again.

#include "fuzzcommon.h"

#include "core/commanderror.h"
#include "core/datafolder.h"
#include "settings/modini.h"
#include "settings/profile.h"

#include <array>
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
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes = fuzz::bytesOf(data, size);
    fuzz::expectNoCommandError([&] {
        checkProfile(fuzz::textOf(bytes));
        checkIni(bytes);
    });
    return 0;
}
