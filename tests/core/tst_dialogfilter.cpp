// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/dialogfilter.h"

#include <QFile>
#include <QTest>
#include <QXmlStreamReader>

class TestDialogFilter final : public QObject
{
    Q_OBJECT

private slots:
    void filters_data();
    void filters();
    void selectedIndex_data();
    void selectedIndex();
    void defaultExtension_data();
    void defaultExtension();
    void englishKeepsThePatterns();
};

void TestDialogFilter::filters_data()
{
    QTest::addColumn<QString>("vb");
    QTest::addColumn<QStringList>("qt");
    QTest::newRow("two pairs, patterns already shown")
        << QStringLiteral("履歴ファイル(*.ifo)|*.ifo|テキストファイル(*.txt)|*.txt")
        << QStringList{QStringLiteral("履歴ファイル(*.ifo) (*.ifo)"),
                       QStringLiteral("テキストファイル(*.txt) (*.txt)")};
    QTest::newRow("all files: every name, with or without a dot")
        << QStringLiteral("テキストファイル（*.txt)|*.txt|全てのファイル(*.*)|*.*")
        << QStringList{QStringLiteral("テキストファイル（*.txt) (*.txt)"), QStringLiteral("全てのファイル(*.*) (*)")};
    QTest::newRow("several patterns") << QStringLiteral("ピクチャ(*.bmp;*.gif*.wmf)|*.bmp; *.gif;;*.wmf")
                                      << QStringList{QStringLiteral("ピクチャ(*.bmp;*.gif*.wmf) (*.bmp *.gif *.wmf)")};
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

void TestDialogFilter::selectedIndex_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<int>("index");
    QTest::newRow("whole filter") << "全てのファイル(*.*) (*)" << 2;
    QTest::newRow("description, as shown") << "全てのファイル(*.*)" << 2;
    QTest::newRow("first") << "テキストファイル（*.txt)" << 1;
    QTest::newRow("pattern alone") << "(*.txt)" << 0;
    QTest::newRow("unknown") << "Pictures" << 0;
    QTest::newRow("nothing") << "" << 0;
}

void TestDialogFilter::selectedIndex()
{
    QFETCH(QString, selected);
    QFETCH(int, index);
    const QStringList filters =
        dialogfilter::toQtFilters(QStringLiteral("テキストファイル（*.txt)|*.txt|全てのファイル(*.*)|*.*"));
    QCOMPARE(dialogfilter::filterIndexOf(filters, selected), index);
}

void TestDialogFilter::defaultExtension_data()
{
    using dialogfilter::DialogMode;
    QTest::addColumn<DialogMode>("mode");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("save, with its dot") << DialogMode::Save << QStringLiteral(".ifo") << QStringLiteral("ifo");
    QTest::newRow("save, without a dot") << DialogMode::Save << QStringLiteral("bmp") << QStringLiteral("bmp");
    QTest::newRow("save, none") << DialogMode::Save << QString() << QString();
    QTest::newRow("save, a dot alone") << DialogMode::Save << QStringLiteral(".") << QString();
    // An existing "README" picked under "all files" is the file to read, not "README.txt".
    QTest::newRow("open adds nothing") << DialogMode::Open << QStringLiteral(".txt") << QString();
    QTest::newRow("open, without a dot") << DialogMode::Open << QStringLiteral("bmp") << QString();
}

void TestDialogFilter::defaultExtension()
{
    QFETCH(dialogfilter::DialogMode, mode);
    QFETCH(QString, ext);
    QFETCH(QString, suffix);
    QCOMPARE(dialogfilter::defaultSuffix(mode, ext), suffix);
}

// A filter is data as well as text: its English must keep the patterns, pair for pair, so an English
// dialog offers the same files and a filter's place means the same kind of file.
void TestDialogFilter::englishKeepsThePatterns()
{
    QFile catalogue(QStringLiteral(VORNKIP_CATALOGUE));
    QVERIFY(catalogue.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&catalogue);
    const auto patterns = [](const QString &filter) {
        const QStringList parts = filter.split(QLatin1Char('|'));
        QStringList odd;
        for (qsizetype i = 1; i < parts.size(); i += 2)
            odd << parts[i];
        return odd;
    };
    QString source;
    int filters = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"source") {
            source = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.name() == u"translation" && source.contains(QStringLiteral("|*"))) {
            const QString english = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            QCOMPARE(patterns(english), patterns(source));
            ++filters;
        }
    }
    QVERIFY(!xml.hasError());
    QVERIFY(filters >= 4);
}

QTEST_GUILESS_MAIN(TestDialogFilter)
#include "tst_dialogfilter.moc"
