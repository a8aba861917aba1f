// SPDX-License-Identifier: GPL-3.0-or-later
// Another program's window for the paste tests: a text field with the focus, of the WM_CLASS class
// given (pasteclient CLASS). Prints "ready WINDOW-ID" once shown, "key KEYS" for each key it gets
// ("Ctrl+V") and "changed NS" each time its text changes (NS: the monotonic clock in nanoseconds, for the
// popup benchmark); on a line "text" on its input it prints "text BASE64" of its text as UTF-8.
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {
void say(const QByteArray &line)
{
    std::fputs((line + '\n').constData(), stdout);
    std::fflush(stdout);
}

class KeyLog final : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            say("key " + QKeySequence(key->keyCombination()).toString().toUtf8());
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc > 1)
        QApplication::setApplicationName(QString::fromLocal8Bit(argv[1])); // the class part of WM_CLASS
    QPlainTextEdit edit;
    KeyLog log;
    edit.installEventFilter(&log);
    edit.resize(300, 200);
    edit.show();
    edit.activateWindow();
    QObject::connect(&edit, &QPlainTextEdit::textChanged, &app, [] {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        say("changed " + QByteArray::number(qint64(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count())));
    });
    QTimer::singleShot(0, &edit, [&edit] { say("ready " + QByteArray::number(edit.winId())); });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char line[64];
        if (!std::fgets(line, sizeof line, stdin)) {
            QApplication::quit();
            return;
        }
        if (QByteArray(line).trimmed() == "text")
            say("text " + edit.toPlainText().toUtf8().toBase64());
    });
    return QApplication::exec();
}
