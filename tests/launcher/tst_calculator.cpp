#include <QTest>

class TestCalculator final : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(TestCalculator)
#include "tst_calculator.moc"
