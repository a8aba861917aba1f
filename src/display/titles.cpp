#include "titles.h"

#include <QStringList>

namespace titles {
QString versionTitle()
{
    const QStringList parts = QStringLiteral(VORNKIP_VERSION).split(QLatin1Char('.'));
    return QStringLiteral("VornkipVer.%1.%2%3")
        .arg(parts.value(0, QStringLiteral("0")), parts.value(1, QStringLiteral("0")), parts.value(2));
}
} // namespace titles
