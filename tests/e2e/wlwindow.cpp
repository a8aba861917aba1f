// SPDX-License-Identifier: GPL-3.0-or-later
// A window of another program, on whatever platform Qt is told to use (QT_QPA_PLATFORM=wayland in the
// Wayland tests): it takes the focus when it is shown and holds it. Its Wayland app_id is
// "vornkip-test-window". Ends on SIGTERM like any program.
//
// With --field it is a multi-line text field that pastes as any program's does (Ctrl+V, Shift+Insert,
// through the system clipboard): it prints "focus" once it has the keyboard focus, and after every
// change "text <the field's text, base64>", one line each.
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("vornkip-test-window"));
    QLabel label(QStringLiteral("another program"));
    QPlainTextEdit field;
    QWidget *window = &label;
    if (app.arguments().contains(QStringLiteral("--field"))) {
        window = &field;
        QObject::connect(&app, &QApplication::focusChanged, [&](QWidget *, QWidget *now) {
            if (now == &field) {
                std::puts("focus");
                std::fflush(stdout);
            }
        });
        QObject::connect(&field, &QPlainTextEdit::textChanged, [&] {
            std::printf("text %s\n", field.toPlainText().toUtf8().toBase64().constData());
            std::fflush(stdout);
        });
    }
    window->setWindowTitle(QStringLiteral("another program"));
    window->resize(320, 120);
    window->show();
    return app.exec();
}
