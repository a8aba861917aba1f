// SPDX-License-Identifier: GPL-3.0-or-later
// A clipboard owner for the robustness test: another program that puts content on the desktop's
// clipboard and keeps it there, as a real application does, until it is killed or another program
// takes the clipboard over (then it exits).
//
//   clipowner --text TEXT [--secret]       a text (UTF-8 argument)
//   clipowner --hex HEX [--secret]         raw bytes offered as the text, whatever they are
//   clipowner --file PATH [--secret]       raw bytes from a file offered as the text
//   clipowner --kill-texts FROM --interval MS
//                                          robusttexts::killText(FROM), FROM+1, ... one every MS, forever
//   clipowner --burst COUNT --interval MS  robusttexts::burstText(1..COUNT), MS apart, then keeps the last
//
// With --secret the content also offers "x-kde-passwordManagerHint" = "secret", as password managers do.
// With --quit-when-asked it ends at once, without an answer, when a program asks for the text (as a
// program that quits or crashes in the middle of a transfer), after saying "quit I FORMAT".
// With --keep it goes on running after another program took the clipboard over, so that a transfer
// still in progress (a huge text) is not cut off.
// Each line on standard output tells what happened: "owner I" once content I is on the clipboard,
// "served I FORMAT BYTES" whenever a program asked for one of its formats, "burst-done MS" after the
// last copy of a burst, "lost" when another program took the clipboard over.
#include "robusttexts.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
void say(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Content that reports every request for one of its formats.
class LoggedMime final : public QMimeData
{
public:
    explicit LoggedMime(int index) : m_index(index) {}

    // Set by --quit-when-asked: the program ends, without an answer, when asked for the text.
    static inline bool quitWhenAsked = false;

protected:
    QVariant retrieveData(const QString &format, QMetaType type) const override
    {
        if (quitWhenAsked && format.startsWith(QLatin1String("text/"))) {
            say("quit " + QByteArray::number(m_index) + ' ' + format.toUtf8());
            std::_Exit(0);
        }
        QVariant v = QMimeData::retrieveData(format, type);
        say("served " + QByteArray::number(m_index) + ' ' + format.toUtf8() + ' ' +
            QByteArray::number(v.toByteArray().size()));
        return v;
    }

private:
    int m_index;
};

const QString hintFormat = QStringLiteral("x-kde-passwordManagerHint");

QMimeData *textContent(int index, const QByteArray &utf8, bool secret)
{
    auto *mime = new LoggedMime(index);
    mime->setText(QString::fromUtf8(utf8));
    if (secret)
        mime->setData(hintFormat, QByteArrayLiteral("secret"));
    return mime;
}

// Raw bytes as the text: the desktop's UTF8_STRING target and "text/plain;charset=utf-8" both
// carry them unchanged, valid UTF-8 or not.
QMimeData *rawContent(int index, const QByteArray &bytes, bool secret)
{
    auto *mime = new LoggedMime(index);
    mime->setData(QStringLiteral("text/plain"), bytes);
    mime->setData(QStringLiteral("text/plain;charset=utf-8"), bytes);
    if (secret)
        mime->setData(hintFormat, QByteArrayLiteral("secret"));
    return mime;
}

void own(QMimeData *mime, int index)
{
    QGuiApplication::clipboard()->setMimeData(mime, QClipboard::Clipboard);
    say("owner " + QByteArray::number(index));
}

int usage()
{
    std::fputs("usage: clipowner (--text TEXT | --hex HEX | --file PATH) [--secret]\n"
               "       clipowner --kill-texts FROM --interval MS\n"
               "       clipowner --burst COUNT --interval MS\n",
               stderr);
    return 2;
}
} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const auto value = [&](const char *name) -> QString {
        const qsizetype i = args.indexOf(QLatin1String(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
    };
    const bool secret = args.contains(QStringLiteral("--secret"));
    const bool keep = args.contains(QStringLiteral("--keep"));
    LoggedMime::quitWhenAsked = args.contains(QStringLiteral("--quit-when-asked"));
    const int interval = value("--interval").toInt();
    QClipboard *clipboard = QGuiApplication::clipboard();

    bool lostOnce = false;
    QObject::connect(clipboard, &QClipboard::dataChanged, &app, [&] {
        if (!clipboard->ownsClipboard() && !lostOnce) {
            lostOnce = true;
            say("lost");
            if (!keep)
                QCoreApplication::exit(0);
        }
    });

    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    int next = 0;
    int last = 0;
    QElapsedTimer clock;

    if (args.contains(QStringLiteral("--text"))) {
        own(textContent(0, value("--text").toUtf8(), secret), 0);
    } else if (args.contains(QStringLiteral("--hex"))) {
        own(rawContent(0, QByteArray::fromHex(value("--hex").toLatin1()), secret), 0);
    } else if (args.contains(QStringLiteral("--file"))) {
        QByteArray bytes;
        {
            QFile f(value("--file"));
            if (!f.open(QIODevice::ReadOnly))
                return usage();
            bytes = f.readAll();
        }
        own(rawContent(0, bytes, secret), 0);
    } else if (args.contains(QStringLiteral("--kill-texts")) && interval > 0) {
        next = value("--kill-texts").toInt();
        QObject::connect(&ticker, &QTimer::timeout, &app, [&] {
            own(textContent(next, robusttexts::killText(next), false), next);
            ++next;
        });
        ticker.start(interval);
    } else if (args.contains(QStringLiteral("--burst")) && interval > 0) {
        last = value("--burst").toInt();
        next = 1;
        // Each copy at its own moment from the start, so a late one does not delay the rest.
        QObject::connect(&ticker, &QTimer::timeout, &app, [&] {
            own(textContent(next, robusttexts::burstText(next), false), next);
            if (next == last) {
                say("burst-done " + QByteArray::number(clock.elapsed()));
                return;
            }
            ++next;
            ticker.start(static_cast<int>(std::max<qint64>(0, qint64(next - 1) * interval - clock.elapsed())));
        });
        ticker.setSingleShot(true);
        clock.start();
        ticker.start(0);
    } else {
        return usage();
    }
    return app.exec();
}
