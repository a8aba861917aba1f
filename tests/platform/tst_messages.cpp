// SPDX-License-Identifier: GPL-3.0-or-later
// The real message boxes: which answer each way of closing them gives.
#include "platform/messages.h"
#include "platform/modal.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestMessages final : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void noBoxOnceTheProgramEnds();
};

namespace {
// Closes the next modal box the way `how` says, from inside its event loop.
void closeNextBox(const QString &how)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, how] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        if (how == QStringLiteral("escape")) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else if (how == QStringLiteral("close box")) {
            box->close();
        } else if (how == QStringLiteral("enter")) {
            QTest::keyClick(box, Qt::Key_Return);
        } else {
            for (QAbstractButton *b : box->buttons()) {
                if (b->text() == how)
                    b->click();
            }
        }
    });
    poll->start(10);
}
} // namespace

void TestMessages::answers_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("answer");
    const int yesNo = int(MsgButtons::YesNo);
    QTest::newRow("yes/no: yes") << yesNo << "はい(&Y)" << int(MsgAnswer::Yes);
    QTest::newRow("yes/no: no") << yesNo << "いいえ(&N)" << int(MsgAnswer::No);
    QTest::newRow("yes/no: enter takes the default, yes") << yesNo << "enter" << int(MsgAnswer::Yes);
    // Neither answer: never taken for No, which deletes or discards.
    QTest::newRow("yes/no: escape") << yesNo << "escape" << int(MsgAnswer::Dismissed);
    QTest::newRow("yes/no: close box") << yesNo << "close box" << int(MsgAnswer::Dismissed);
    const int yesNoCancel = int(MsgButtons::YesNoCancel);
    QTest::newRow("yes/no/cancel: no") << yesNoCancel << "いいえ(&N)" << int(MsgAnswer::No);
    QTest::newRow("yes/no/cancel: escape") << yesNoCancel << "escape" << int(MsgAnswer::Cancel);
    QTest::newRow("ok: escape") << int(MsgButtons::Ok) << "escape" << int(MsgAnswer::Ok);
}

void TestMessages::answers()
{
    QFETCH(int, buttons);
    QFETCH(QString, how);
    QFETCH(int, answer);
    QtMessageService messages;
    closeNextBox(how);
    const MsgAnswer got = messages.show(nullptr, QStringLiteral("本文"), QStringLiteral("ID:Q0001"), MsgIcon::Question,
                                        static_cast<MsgButtons>(buttons));
    QCOMPARE(int(got), answer);
}

void TestMessages::noBoxOnceTheProgramEnds()
{
    QtMessageService messages;
    modal::closeAll();
    QVERIFY(modal::closing());
    // Answered at once as dismissed, without a box (nothing would close it).
    QCOMPARE(messages.show(nullptr, QStringLiteral("本文"), QStringLiteral("t"), MsgIcon::Question, MsgButtons::YesNo),
             MsgAnswer::Dismissed);
    QCOMPARE(messages.input(nullptr, QStringLiteral("p"), QStringLiteral("t"), QStringLiteral("x")), std::nullopt);
    modal::reset();
}

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
