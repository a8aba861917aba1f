// SPDX-License-Identifier: GPL-3.0-or-later
// The text window with texts of megabytes: how long each command keeps the UI thread from answering.
//
// A timer on the UI thread ticks every 5 ms; the longest gap between two ticks while a command runs
// is the time the program could not answer its desktop. Floor in the same run: QPlainTextEdit's own
// setPlainText() of the same text, which is what a window that sets its text in one call blocks for.
#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/filedialogs.h"
#include "platform/globalshortcut.h"
#include "platform/messages.h"
#include "platform/pastesender.h"
#include "platform/platform.h"
#include "platform/singleinstance.h"
#include "platform/sysinfo.h"
#include "platform/tray.h"
#include "textwin/frmtext.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {
struct Stall
{
    qint64 wallMs = 0;  // the command, start to end
    qint64 worstMs = 0; // the longest the UI thread did not get to the timer
};

Stall measure(const std::function<void()> &command)
{
    QElapsedTimer sinceTick;
    qint64 worst = 0;
    QTimer ticks;
    ticks.setInterval(5);
    QObject::connect(&ticks, &QTimer::timeout, [&] { worst = std::max(worst, sinceTick.restart()); });
    QElapsedTimer wall;
    wall.start();
    sinceTick.start();
    ticks.start();
    command();
    worst = std::max(worst, sinceTick.elapsed()); // the stretch up to the command's end
    // Whatever the command left queued (repaints, the clipboard's news) is part of it too.
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    worst = std::max(worst, sinceTick.elapsed());
    return {wall.elapsed(), worst};
}

void print(const char *what, const Stall &s)
{
    std::printf("  %-44s %7lld ms   UI blocked at most %6lld ms\n", what, static_cast<long long>(s.wallMs),
                static_cast<long long>(s.worstMs));
    std::fflush(stdout);
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 5;
    const int pastes = argc > 2 ? std::atoi(argv[2]) : 5;

    // Lines of mixed ASCII and Japanese, as a log or a listing copied from another program.
    QString block;
    for (int n = 0; block.toUtf8().size() < megabytes * (1 << 20); ++n)
        block += QStringLiteral("%1 line of text 大きなテキストの行\r\n").arg(n, 7, 10, QLatin1Char('0'));
    std::printf("large text bench: %d pastes of %d MB (%lld characters, %lld lines each), platform %s\n", pastes,
                megabytes, static_cast<long long>(block.size()), static_cast<long long>(block.count(u'\n')),
                qPrintable(QGuiApplication::platformName()));

    QtMessageService messages;
    QtClipboard clipboard;
    NoTray tray;
    SoleInstance instance;
    QtFileDialogs dialogs(clipboard);
    LinuxDesktop desktop;
    LinuxSystemInfo system;
    NoGlobalShortcut shortcut;
    NoPaste paste;
    const Platform platform{messages, clipboard, tray, instance, dialogs, desktop, system, shortcut, paste};
    frmText window(platform, CodePage::Utf8);
    window.resize(800, 600);
    window.show();
    QApplication::processEvents();

    clipboard.setText(block);
    for (int i = 1; i <= pastes; ++i) {
        const QString what = QStringLiteral("paste %1 (editor then %2 MB)").arg(i).arg(i * megabytes);
        print(qPrintable(what), measure([&] {
                  window.setSelection(int(window.richText()->document()->characterCount()) - 1, 0);
                  window.edit_Paste_Click();
              }));
    }
    const QString whole = window.text();
    print("select all", measure([&] { window.edit_All_Click(); }));
    print("copy the selection", measure([&] { window.eidt_Erea_Click(); }));
    print("copy all", measure([&] { window.edit_Copy_Click(); }));
    print("whole text to upper case",
          measure([&] { window.convertWhole([](QStringView t) { return t.toString().toUpper(); }); }));
    print("selection of 100 characters to upper case", measure([&] {
              window.setSelection(1000, 100);
              window.convertSelection([](QStringView t) { return t.toString().toUpper(); });
          }));
    window.edit_All_Click();
    print("paste over everything", measure([&] { window.edit_Paste_Click(); }));
    print("set the whole text (opening, a file)", measure([&] { window.setText(whole); }));
    print("clear", measure([&] { window.edit_Clear_Click(); }));

    QPlainTextEdit plain;
    plain.resize(800, 600);
    plain.show();
    QApplication::processEvents();
    const QString lf = Clipboard::toDesktop(whole);
    print("floor: QPlainTextEdit::setPlainText, same text", measure([&] { plain.setPlainText(lf); }));
    return 0;
}
