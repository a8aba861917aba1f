// A window of another program, on whatever platform Qt is told to use (QT_QPA_PLATFORM=wayland in the
// Wayland tests): it takes the focus when it is shown and holds it. Its Wayland app_id is
// "vornkip-test-window". Ends on SIGTERM like any program.
#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("vornkip-test-window"));
    QLabel label(QStringLiteral("another program"));
    label.setWindowTitle(QStringLiteral("another program"));
    label.resize(320, 120);
    label.show();
    return app.exec();
}
