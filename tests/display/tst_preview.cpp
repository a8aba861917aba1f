// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/preview.h"

#include <QTest>

class TestPreview final : public QObject
{
    Q_OBJECT

private slots:
    void pan_data();
    void pan();
};

void TestPreview::pan_data()
{
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("top");
    QTest::addColumn<float>("dx");
    QTest::addColumn<float>("dy");
    QTest::addColumn<float>("pictureWidth");
    QTest::addColumn<float>("pictureHeight");
    QTest::addColumn<float>("newLeft");
    QTest::addColumn<float>("newTop");
    // Frame 2745 x 1150 twips.
    QTest::newRow("large, dragged inside") << 0.f << 0.f << -300.f << -100.f << 6000.f << 3000.f << -300.f << -100.f;
    QTest::newRow("large, never uncovers top-left")
        << -100.f << -50.f << 500.f << 500.f << 6000.f << 3000.f << 0.f << 0.f;
    QTest::newRow("large, no gap at bottom-right")
        << -3000.f << -1500.f << -9000.f << -9000.f << 6000.f << 3000.f << -3255.f << -1850.f;
    QTest::newRow("small, ends at bottom-right") << 0.f << 0.f << -10.f << 40.f << 1000.f << 500.f << 1745.f << 650.f;
}

void TestPreview::pan()
{
    QFETCH(float, left);
    QFETCH(float, top);
    QFETCH(float, dx);
    QFETCH(float, dy);
    QFETCH(float, pictureWidth);
    QFETCH(float, pictureHeight);
    QFETCH(float, newLeft);
    QFETCH(float, newTop);
    const preview::Offset at = preview::pan({left, top}, dx, dy, 2745.f, 1150.f, pictureWidth, pictureHeight);
    QCOMPARE(at.left, newLeft);
    QCOMPARE(at.top, newTop);
}

QTEST_GUILESS_MAIN(TestPreview)
#include "tst_preview.moc"
