// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/capturechoice.h"
#include "platform/captureclipboard.h"
#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

class TestClipboard final : public QObject
{
    Q_OBJECT

private slots:
    void lineBreaks_data();
    void lineBreaks();
    void readsTextAndRichText();
    void passwordManagerHintIsASecret();
    void oneChangeSignalPerChange();
    void capturedChangesAreReadInOrder();
    void pictureIsReadOnceWhenAskedFor();
    void settingGoesThroughABackEndThatSets_data();
    void settingGoesThroughABackEndThatSets();
    void captureChoice_data();
    void captureChoice();
};

namespace {
// A back-end driven by the test: what it "captured" is emitted by capture(), what is set is kept.
class FakeBackend final : public CaptureBackend
{
public:
    explicit FakeBackend(bool sets, bool starts = true, const QString &name = QStringLiteral("fake"))
        : m_sets(sets), m_starts(starts), m_name(name)
    {}
    // One that starts finds its name on the clipboard.
    bool start(ClipboardContent *initial) override
    {
        if (m_starts)
            *initial = {true, m_name, false, {}};
        return m_starts;
    }
    QImage readPicture(int) override
    {
        ++pictureReads;
        return picture;
    }
    bool sets() const override { return m_sets; }
    void set(const QList<OfferedFormat> &formats) override { setCalls.append(formats); }
    QString name() const override { return m_name; }
    void capture(const ClipboardContent &c) { emit captured(c); }

    QImage picture;
    int pictureReads = 0;
    QList<QList<OfferedFormat>> setCalls;

private:
    bool m_sets;
    bool m_starts;
    QString m_name;
};

// What a back-end factory does when asked: makes nothing, or a back-end that starts or cannot.
enum class Made
{
    Null,
    Fails,
    Starts
};

ClipboardContent textContent(const QString &text)
{
    ClipboardContent c;
    c.hasText = true;
    c.text = text;
    return c;
}
} // namespace

void TestClipboard::lineBreaks_data()
{
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<QString>("program");
    QTest::newRow("LF") << "a\nb"
                        << "a\r\nb";
    QTest::newRow("CR LF stays") << "a\r\nb"
                                 << "a\r\nb";
    QTest::newRow("lone CR is a break") << "a\rb"
                                        << "a\r\nb";
    QTest::newRow("CR CR LF") << "a\r\r\nb"
                              << "a\r\n\r\nb";
    QTest::newRow("LF CR") << "a\n\rb"
                           << "a\r\n\r\nb";
    QTest::newRow("trailing lone CR") << "a\r"
                                      << "a\r\n";
    QTest::newRow("leading and trailing") << "\na\n"
                                          << "\r\na\r\n";
    QTest::newRow("empty") << ""
                           << "";
}

void TestClipboard::lineBreaks()
{
    QFETCH(QString, desktop);
    QFETCH(QString, program);
    QCOMPARE(Clipboard::fromDesktop(desktop), program);
    if (!desktop.contains(QLatin1Char('\r')))
        QCOMPARE(Clipboard::toDesktop(program), desktop);
}

void TestClipboard::readsTextAndRichText()
{
    QtClipboard clipboard;
    clipboard.setText(QStringLiteral("x\r\ny"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("x\ny"));
    ClipboardContent c = clipboard.read();
    QVERIFY(c.hasText);
    QCOMPARE(c.text, QStringLiteral("x\r\ny"));
    auto *html = new QMimeData;
    html->setHtml(QStringLiteral("<b>bold</b>"));
    QGuiApplication::clipboard()->setMimeData(html);
    c = clipboard.read();
    QVERIFY(c.hasText); // rich text counts as text, its plain alternative empty here
    QCOMPARE(c.text, QString());
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(Qt::red);
    clipboard.setImage(picture);
    c = clipboard.read();
    QVERIFY(!c.hasText);
    QVERIFY(c.hasImage);
    QCOMPARE(c.image.size(), QSize(3, 2));
}

void TestClipboard::passwordManagerHintIsASecret()
{
    QtClipboard clipboard;
    auto *mime = new QMimeData;
    mime->setText(QStringLiteral("hunter2"));
    mime->setData(QStringLiteral("x-kde-passwordManagerHint"), "secret");
    QGuiApplication::clipboard()->setMimeData(mime);
    const ClipboardContent c = clipboard.read();
    QVERIFY(c.secret);
    QVERIFY(c.text.isEmpty());
    auto *other = new QMimeData;
    other->setText(QStringLiteral("plain"));
    other->setData(QStringLiteral("x-kde-passwordManagerHint"), "public");
    QGuiApplication::clipboard()->setMimeData(other);
    QVERIFY(!clipboard.read().secret);
}

void TestClipboard::oneChangeSignalPerChange()
{
    QtClipboard clipboard;
    QSignalSpy changed(&clipboard, &Clipboard::changed);
    clipboard.setText(QStringLiteral("one"));
    clipboard.setText(QStringLiteral("two"));
    QTRY_COMPARE(changed.count(), 2);
}

void TestClipboard::capturedChangesAreReadInOrder()
{
    auto owned = std::make_unique<FakeBackend>(false);
    FakeBackend *backend = owned.get();
    CaptureClipboard clipboard(std::move(owned), textContent(QStringLiteral("at start")));
    QCOMPARE(clipboard.read(false).text, QStringLiteral("at start"));
    // Each change is read by whoever hears of it, before the next one replaces it.
    QStringList heard;
    connect(&clipboard, &Clipboard::changed, this, [&] { heard << clipboard.read(false).text; });
    for (const QString &text : {QStringLiteral("one"), QStringLiteral("two\r\nlines"), QString()})
        backend->capture(textContent(text));
    QCOMPARE(heard, (QStringList{"one", "two\r\nlines", ""}));
    QCOMPARE(backend->pictureReads, 0);
}

void TestClipboard::pictureIsReadOnceWhenAskedFor()
{
    auto owned = std::make_unique<FakeBackend>(false);
    FakeBackend *backend = owned.get();
    backend->picture = QImage(4, 3, QImage::Format_RGB32);
    CaptureClipboard clipboard(std::move(owned), ClipboardContent());
    ClipboardContent offered;
    offered.hasImage = true;
    backend->capture(offered);
    QVERIFY(clipboard.read(false).image.isNull());
    QCOMPARE(backend->pictureReads, 0);
    QCOMPARE(clipboard.read(true).image.size(), QSize(4, 3));
    QCOMPARE(clipboard.read(true).image.size(), QSize(4, 3));
    QCOMPARE(backend->pictureReads, 1);
    // A picture that did not come in time is not asked for again until the next change.
    backend->picture = QImage();
    backend->capture(offered);
    QVERIFY(clipboard.read(true).image.isNull());
    QVERIFY(clipboard.read(true).hasImage);
    QCOMPARE(backend->pictureReads, 2);
    backend->capture(textContent(QStringLiteral("text only")));
    QVERIFY(clipboard.read(true).image.isNull());
    QCOMPARE(backend->pictureReads, 2);
}

void TestClipboard::settingGoesThroughABackEndThatSets_data()
{
    QTest::addColumn<bool>("sets");
    QTest::newRow("back-end sets (Wayland data-control)") << true;
    QTest::newRow("toolkit sets (X11)") << false;
}

void TestClipboard::settingGoesThroughABackEndThatSets()
{
    QFETCH(bool, sets);
    auto owned = std::make_unique<FakeBackend>(sets);
    FakeBackend *backend = owned.get();
    CaptureClipboard clipboard(std::move(owned), ClipboardContent());
    QGuiApplication::clipboard()->clear();
    clipboard.setText(QStringLiteral("a\r\n日本"));
    clipboard.clear();
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    clipboard.setImage(picture);
    if (!sets) {
        QVERIFY(backend->setCalls.isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(2, 2));
        return;
    }
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
    QCOMPARE(backend->setCalls.size(), 3);
    const QList<OfferedFormat> text = backend->setCalls[0];
    QVERIFY(!text.isEmpty());
    QCOMPARE(text.first().first, QByteArray("text/plain;charset=utf-8"));
    for (const OfferedFormat &format : text)
        QCOMPARE(format.second, QStringLiteral("a\n日本").toUtf8()); // the desktop's line breaks
    QVERIFY(backend->setCalls[1].isEmpty());                         // emptied
    QCOMPARE(backend->setCalls[2].size(), 1);
    QCOMPARE(backend->setCalls[2].first().first, QByteArray("image/png"));
    QCOMPARE(QImage::fromData(backend->setCalls[2].first().second).size(), QSize(2, 2));
}

void TestClipboard::captureChoice_data()
{
    QTest::addColumn<bool>("wayland"); // WAYLAND_DISPLAY set
    QTest::addColumn<bool>("x11");     // DISPLAY set
    QTest::addColumn<Made>("waylandMade");
    QTest::addColumn<Made>("x11Made");
    QTest::addColumn<QStringList>("asked"); // the factories called, in order
    QTest::addColumn<QString>("chosen");    // the back-end returned; empty for none
    QTest::addColumn<bool>("problem");      // the user is told copies elsewhere cannot be seen

    const QStringList both{"wayland", "x11"};
    QTest::newRow("Wayland first") << true << true << Made::Starts << Made::Starts << QStringList{"wayland"}
                                   << "wayland" << false;
    QTest::newRow("only Wayland") << true << false << Made::Starts << Made::Starts << QStringList{"wayland"}
                                  << "wayland" << false;
    QTest::newRow("no data-control: XWayland") << true << true << Made::Fails << Made::Starts << both << "x11" << false;
    QTest::newRow("no Wayland back-end made: XWayland")
        << true << true << Made::Null << Made::Starts << both << "x11" << false;
    QTest::newRow("only X11") << false << true << Made::Starts << Made::Starts << QStringList{"x11"} << "x11" << false;
    QTest::newRow("X11 cannot watch") << false << true << Made::Starts << Made::Fails << QStringList{"x11"} << ""
                                      << false;
    QTest::newRow("no X11 back-end made")
        << false << true << Made::Starts << Made::Null << QStringList{"x11"} << "" << false;
    QTest::newRow("neither starts") << true << true << Made::Fails << Made::Fails << both << "" << false;
    QTest::newRow("Wayland without data-control, no X display")
        << true << false << Made::Fails << Made::Starts << QStringList{"wayland"} << "" << true;
    QTest::newRow("Wayland made nothing, no X display")
        << true << false << Made::Null << Made::Starts << QStringList{"wayland"} << "" << true;
    QTest::newRow("no display") << false << false << Made::Starts << Made::Starts << QStringList() << "" << false;
}

void TestClipboard::captureChoice()
{
    QFETCH(bool, wayland);
    QFETCH(bool, x11);
    QFETCH(Made, waylandMade);
    QFETCH(Made, x11Made);
    QFETCH(QStringList, asked);
    QFETCH(QString, chosen);
    QFETCH(bool, problem);

    QStringList calls;
    const auto factory = [&calls](const QString &name, Made made) -> CaptureFactory {
        return [&calls, name, made]() -> std::unique_ptr<CaptureBackend> {
            calls << name;
            if (made == Made::Null)
                return nullptr;
            return std::make_unique<FakeBackend>(false, made == Made::Starts, name);
        };
    };
    ClipboardContent initial = textContent("left from before");
    QString told;
    const std::unique_ptr<CaptureBackend> backend =
        startCaptureBackend({wayland, x11}, factory("wayland", waylandMade), factory("x11", x11Made), &initial, &told);
    QCOMPARE(calls, asked);
    QCOMPARE(backend ? backend->name() : QString(), chosen);
    QCOMPARE(initial.text, chosen); // what the chosen one found, or nothing
    QCOMPARE(initial.hasText, !chosen.isEmpty());
    QCOMPARE(!told.isEmpty(), problem);
    if (problem)
        QVERIFY(!told.contains(QLatin1Char('\n')));
}

QTEST_MAIN(TestClipboard)
#include "tst_clipboard.moc"
