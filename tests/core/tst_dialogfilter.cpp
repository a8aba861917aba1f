#include "core/dialogfilter.h"

#include <QTest>

class TestDialogFilter final : public QObject
{
    Q_OBJECT

private slots:
    void filters_data();
    void filters();
    void defaultExtension_data();
    void defaultExtension();
};

void TestDialogFilter::filters_data()
{
    QTest::addColumn<QString>("vb");
    QTest::addColumn<QStringList>("qt");
    QTest::newRow("two pairs, patterns already shown")
        << QStringLiteral("履歴ファイル(*.ifo)|*.ifo|テキストファイル(*.txt)|*.txt")
        << QStringList{QStringLiteral("履歴ファイル(*.ifo)"), QStringLiteral("テキストファイル(*.txt)")};
    QTest::newRow("pattern added") << QStringLiteral("Pictures|*.bmp;*.png")
                                   << QStringList{QStringLiteral("Pictures (*.bmp *.png)")};
    QTest::newRow("dangling description ignored")
        << QStringLiteral("A|*.a|B") << QStringList{QStringLiteral("A (*.a)")};
    QTest::newRow("empty") << QString() << QStringList{};
}

void TestDialogFilter::filters()
{
    QFETCH(QString, vb);
    QFETCH(QStringList, qt);
    QCOMPARE(dialogfilter::toQtFilters(vb), qt);
}

void TestDialogFilter::defaultExtension_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<QString>("result");
    QTest::newRow("added") << QStringLiteral("/t/save") << QStringLiteral(".ifo") << QStringLiteral("/t/save.ifo");
    QTest::newRow("kept") << QStringLiteral("/t/save.txt") << QStringLiteral(".ifo") << QStringLiteral("/t/save.txt");
    QTest::newRow("dot in folder only") << QStringLiteral("/t.d/save") << QStringLiteral("bmp")
                                        << QStringLiteral("/t.d/save.bmp");
    QTest::newRow("no default") << QStringLiteral("/t/save") << QString() << QStringLiteral("/t/save");
}

void TestDialogFilter::defaultExtension()
{
    QFETCH(QString, path);
    QFETCH(QString, ext);
    QFETCH(QString, result);
    QCOMPARE(dialogfilter::withDefaultExtension(path, ext), result);
}

QTEST_GUILESS_MAIN(TestDialogFilter)
#include "tst_dialogfilter.moc"
