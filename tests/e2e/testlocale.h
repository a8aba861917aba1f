// SPDX-License-Identifier: GPL-3.0-or-later
// The locale of the programs the tests start. The program speaks the language the desktop asks for,
// and the tests compare its texts: they choose that language themselves instead of taking whatever
// the machine that runs them has set. Header-only; needs Qt Core alone.
#pragma once

#include <QProcessEnvironment>
#include <QStringList>

namespace testlocale {
// The locale the tests run in unless they choose another: the program's own texts (Japanese) and
// UTF-8 for every tool (xdotool matches Japanese window titles through it).
inline const QString kDefault = QStringLiteral("C.UTF-8");

// Makes `env` ask for `lang` alone: LANG set, and LANGUAGE and every LC_ variable, each of which
// would come before it, removed.
inline void pin(QProcessEnvironment &env, const QString &lang = kDefault)
{
    for (const QString &name : env.keys()) {
        if (name == QLatin1String("LANGUAGE") || name.startsWith(QLatin1String("LC_")))
            env.remove(name);
    }
    env.insert(QStringLiteral("LANG"), lang);
}
} // namespace testlocale
