// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/fakes.h"
#include "platform/pastelineedit.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QTest>

class TestPasteLineEdit final : public QObject
{
    Q_OBJECT

private slots:
    void pastesTheCapturedText_data();
    void pastesTheCapturedText();
};

namespace {
enum class Way
{
    CtrlV,
    ShiftInsert,
    ContextMenu,
    MiddleClick
};

// The context menu's paste action, or null; the menu is closed again.
bool pasteFromMenu(PasteLineEdit &edit, bool *enabled)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), edit.mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(&edit, &event);
    auto *menu = edit.findChild<QMenu *>();
    if (!menu)
        return false;
    const QString caption = QCoreApplication::translate("QLineEdit", "&Paste");
    for (QAction *action : menu->actions()) {
        if (action->text().startsWith(caption)) {
            *enabled = action->isEnabled();
            action->trigger();
        }
    }
    menu->close();
    delete menu;
    return true;
}
} // namespace

void TestPasteLineEdit::pastesTheCapturedText_data()
{
    QTest::addColumn<int>("way");
    QTest::addColumn<bool>("hasText");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("expected");
    // The field holds "abcdef" with "cd" selected; a middle click pastes at its point instead. With no
    // text the keys still take the selection out, as Qt's paste does; the menu's paste is disabled.
    const QList<std::pair<const char *, Way>> ways{{"Ctrl+V", Way::CtrlV},
                                                   {"Shift+Insert", Way::ShiftInsert},
                                                   {"context menu", Way::ContextMenu},
                                                   {"middle click", Way::MiddleClick}};
    for (const auto &[name, way] : ways) {
        const QString pasted = way == Way::MiddleClick ? QStringLiteral("X\nYabcdef") : QStringLiteral("abX\nYef");
        QTest::addRow("%s", name) << int(way) << true << false << pasted;
        QTest::addRow("%s, no text", name)
            << int(way) << false << false << (way == Way::CtrlV || way == Way::ShiftInsert ? "abef" : "abcdef");
        QTest::addRow("%s, read-only", name) << int(way) << true << true << "abcdef";
    }
}

void TestPasteLineEdit::pastesTheCapturedText()
{
    QFETCH(int, way);
    QFETCH(bool, hasText);
    QFETCH(bool, readOnly);
    QFETCH(QString, expected);
    FakeClipboard clipboard;
    if (hasText)
        clipboard.content = {true, QStringLiteral("X\r\nY"), false, {}, false};
    // Qt's own paste would take this one.
    QGuiApplication::clipboard()->setText(QStringLiteral("toolkit's"));
    PasteLineEdit edit(&clipboard);
    edit.resize(200, 24);
    edit.setText(QStringLiteral("abcdef"));
    edit.setSelection(2, 2);
    edit.setReadOnly(readOnly);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    switch (Way(way)) {
    case Way::CtrlV:
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
        break;
    case Way::ShiftInsert:
        QTest::keyClick(&edit, Qt::Key_Insert, Qt::ShiftModifier);
        break;
    case Way::ContextMenu: {
        bool enabled = false;
        QVERIFY(pasteFromMenu(edit, &enabled));
        if (!readOnly)
            QCOMPARE(enabled, hasText);
        break;
    }
    case Way::MiddleClick:
        QTest::mouseClick(&edit, Qt::MiddleButton, {}, QPoint(1, edit.height() / 2));
        break;
    }
    QCOMPARE(edit.text(), expected);
}

QTEST_MAIN(TestPasteLineEdit)
#include "tst_pastelineedit.moc"
