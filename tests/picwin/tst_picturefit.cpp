// SPDX-License-Identifier: GPL-3.0-or-later
#include "picwin/picturefit.h"

#include <QLineF>
#include <QTest>

#include <algorithm>
#include <tuple>

class TestPictureFit final : public QObject
{
    Q_OBJECT

private slots:
    void fit_data();
    void fit();
    void selection_data();
    void selection();
    void dragLinesDrawTheSameOutlineBothWays();
};

void TestPictureFit::fit_data()
{
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::addColumn<float>("innerWidth");
    QTest::addColumn<float>("innerHeight");
    QTest::addColumn<float>("newWidth");
    QTest::addColumn<float>("newHeight");
    QTest::newRow("wider than the display: snaps back") << 9000.f << 3000.f << 4605.f << 3135.f << 4805.f << 3000.f;
    QTest::newRow("narrower than the minimum") << 1500.f << 3000.f << 4605.f << 3135.f << 2220.f << 3000.f;
    QTest::newRow("inner height 100, window 1500: 840 then 1000")
        << 3000.f << 1500.f << 4605.f << 100.f << 3000.f << 1000.f;
    QTest::newRow("fits already") << 4000.f << 3000.f << 4605.f << 3135.f << 4000.f << 3000.f;
    QTest::newRow("small picture window stays at minimum") << 2220.f << 1000.f << 100.f << 100.f << 2220.f << 1000.f;
}

void TestPictureFit::fit()
{
    QFETCH(float, width);
    QFETCH(float, height);
    QFETCH(float, innerWidth);
    QFETCH(float, innerHeight);
    QFETCH(float, newWidth);
    QFETCH(float, newHeight);
    const picturefit::Size s = picturefit::frmFit({width, height}, {innerWidth, innerHeight});
    QCOMPARE(s.width, newWidth);
    QCOMPARE(s.height, newHeight);
}

void TestPictureFit::selection_data()
{
    QTest::addColumn<float>("x0");
    QTest::addColumn<float>("y0");
    QTest::addColumn<float>("x1");
    QTest::addColumn<float>("y1");
    QTest::addColumn<QRect>("pixels"); // of a 300 x 200 picture at 15 twips per pixel
    QTest::newRow("dragged up-left") << 3000.f << 2000.f << 600.f << 300.f << QRect(40, 20, 160, 113);
    QTest::newRow("1500 x 900 from the corner") << 0.f << 0.f << 1500.f << 900.f << QRect(0, 0, 100, 60);
    QTest::newRow("reaching outside is cut") << 3000.f << 2250.f << 6000.f << 9000.f << QRect(200, 150, 100, 50);
    QTest::newRow("starting at negative coordinates") << -300.f << -150.f << 150.f << 150.f << QRect(0, 0, 10, 10);
    QTest::newRow("empty width") << 600.f << 300.f << 600.f << 900.f << QRect();
    QTest::newRow("wholly outside") << 6000.f << 6000.f << 7500.f << 7500.f << QRect();
}

void TestPictureFit::selection()
{
    QFETCH(float, x0);
    QFETCH(float, y0);
    QFETCH(float, x1);
    QFETCH(float, y1);
    QFETCH(QRect, pixels);
    const picturefit::Selection s = picturefit::normalised({x0, y0, x1, y1});
    QVERIFY(s.x0 <= s.x1 && s.y0 <= s.y1);
    QCOMPARE(picturefit::pictureRect(s, QSize(300, 200), 15.f), pixels);
}

void TestPictureFit::dragLinesDrawTheSameOutlineBothWays()
{
    const auto outline = [](const std::array<picturefit::Line, 4> &lines) {
        QList<QLineF> edges;
        for (const auto &l : lines) {
            QLineF e(l.x1, l.y1, l.x2, l.y2);
            if (e.p1().x() > e.p2().x() || e.p1().y() > e.p2().y())
                e = QLineF(e.p2(), e.p1());
            edges << e;
        }
        std::sort(edges.begin(), edges.end(), [](const QLineF &a, const QLineF &b) {
            return std::tie(a.p1().rx(), a.p1().ry(), a.p2().rx(), a.p2().ry()) <
                   std::tie(b.p1().rx(), b.p1().ry(), b.p2().rx(), b.p2().ry());
        });
        return edges;
    };
    QCOMPARE(outline(picturefit::dragLines(600, 300, 3000, 2000)),
             outline(picturefit::dragLines(3000, 2000, 600, 300)));
    const auto lines = picturefit::dragLines(10, 20, 30, 40);
    QCOMPARE(lines[0].x1, 10.f); // the first end points stay at the mouse-down point
    QCOMPARE(lines[1].y1, 20.f);
}

QTEST_GUILESS_MAIN(TestPictureFit)
#include "tst_picturefit.moc"
