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
};

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

QTEST_MAIN(TestClipboard)
#include "tst_clipboard.moc"
