// SPDX-License-Identifier: GPL-3.0-or-later
// The popup at a large history: opened with its first rows painted, a typed character until the first
// filtered rows are painted, and a pick until the entry is on the clipboard, beside the bar's own start
// (frmMain's start sequence: the history read and listed) in the same run. In process, with the test
// fakes for the desktop; offscreen unless DISPLAY names a server (then on it).
//   bench_popup        999,999 entries
//   bench_popup N      N entries
#include "app/frmmain.h"
#include "benchutil.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "fakes/fakes.h"
#include "historygen.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

namespace {
using benchutil::Clock;
using benchutil::msSince;
using benchutil::percentile;

QWidget *popupWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("frmPopup"))
            return w;
    }
    return nullptr;
}

void print(const char *what, const std::vector<double> &ms)
{
    std::printf("  %-44s median %8.1f ms   p90 %8.1f ms   (N=%zu)\n", what, percentile(ms, 0.5), percentile(ms, 0.9),
                ms.size());
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int entries = argc > 1 ? std::atoi(argv[1]) : 999999;
    constexpr int runs = 15;

    QTemporaryDir dir;
    fileio::writeFileAtomic(datafolder::historyFile(dir.path()), generateHistory(entries));
    std::printf("popup bench: %d entries, platform %s\n", entries, qPrintable(QGuiApplication::platformName()));

    Fakes fakes;
    std::vector<double> starts;
    std::unique_ptr<frmMain> bar;
    for (int i = 0; i < 3; ++i) {
        bar.reset();
        const auto start = Clock::now();
        bar = std::make_unique<frmMain>(fakes.platform(), dir.path(), false);
        bar->Form_Load();
        bar->showAtStart();
        bar->repaint();
        starts.push_back(msSince(start));
    }
    QTest::qWait(50); // the event loop has run: the popup opens at once

    std::vector<double> opens;
    std::vector<double> typed;
    std::vector<double> picks;
    const char *queries[] = {"a", "e", "会", "s", "t"};
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        bar->openPopup();
        QWidget *popup = popupWindow();
        auto *list = popup->findChild<QListView *>(QStringLiteral("popupList"));
        popup->repaint();
        opens.push_back(msSince(start));
        if (!popup->isVisible() || list->model()->rowCount() == 0)
            std::printf("  (the popup did not open with rows)\n");

        auto *filter = popup->findChild<QLineEdit *>(QStringLiteral("popupFilter"));
        auto *found = popup->findChild<QListView *>(QStringLiteral("popupFound"));
        start = Clock::now();
        {
            // Waits in an event loop of its own, woken by the first rows.
            QEventLoop wait;
            QObject::connect(found->model(), &QAbstractItemModel::rowsInserted, &wait, &QEventLoop::quit);
            QTimer::singleShot(5000, &wait, &QEventLoop::quit);
            filter->insert(QString::fromUtf8(queries[i % std::size(queries)])); // as a key typed: textChanged
            wait.exec();
        }
        if (found->model()->rowCount() == 0)
            std::printf("  (no rows found for %s)\n", queries[i % std::size(queries)]);
        found->repaint();
        typed.push_back(msSince(start));

        start = Clock::now();
        QTest::keyClick(filter, Qt::Key_Return);
        picks.push_back(msSince(start));
        if (popup->isVisible())
            popup->close();
        QTest::qWait(5);
    }
    print("bar start (read, list, show)", starts);
    print("popup opened, first rows painted", opens);
    std::printf("  %-44s %8.1f ms\n", "the first of them (the window made)", opens.front());
    print("typed character, first rows painted", typed);
    print("pick: entry on the clipboard", picks);
    std::printf("  pastes asked: %lld\n", static_cast<long long>(fakes.paste.pastes.size()));
    return 0;
}
