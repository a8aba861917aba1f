#include <QTest>

class TestTitles final : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(TestTitles)
#include "tst_titles.moc"
