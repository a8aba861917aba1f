#include <QTest>

class TestTextConv final : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(TestTextConv)
#include "tst_textconv.moc"
