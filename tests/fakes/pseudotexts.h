// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The pseudo catalogue, which shows every text of the program's catalogue as "[[text]]", and a reader
// of what a window shows: every text of it outside those brackets went past the catalogue, and stays
// Japanese on every desktop.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSet>
#include <QTabBar>
#include <QTextDocumentFragment>
#include <QTranslator>

#include <algorithm>

namespace pseudotexts {

// Installed on the application for as long as it lives.
class PseudoCatalogue final
{
public:
    PseudoCatalogue()
    {
        m_loaded = m_texts.load(QStringLiteral(VORNKIP_PSEUDO_QM)) && QCoreApplication::installTranslator(&m_texts);
    }
    ~PseudoCatalogue() { QCoreApplication::removeTranslator(&m_texts); }
    bool loaded() const { return m_loaded; }

private:
    QTranslator m_texts;
    bool m_loaded = false;
};

// What is left of a text outside its bracketed parts (a text may be put together from several, one
// inside another), once the texts shown as they are in every language (history entries) are taken out.
inline QString outsideBrackets(QString text, const QStringList &own)
{
    for (const QString &o : own)
        text.replace(o, QString());
    QString left;
    int depth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.mid(i, 2) == QLatin1String("[[")) {
            ++depth;
            ++i;
        } else if (depth > 0 && text.mid(i, 2) == QLatin1String("]]")) {
            --depth;
            ++i;
        } else if (depth == 0) {
            left += text[i];
        }
    }
    return left;
}

class Reader
{
public:
    explicit Reader(const QStringList &own) : m_own(own) {}

    // Every text `root` shows, its menus' and actions' too, that is not all from the catalogue, each as
    // "where: text".
    QStringList unwrapped(QWidget *root)
    {
        widget(root);
        for (QWidget *w : root->findChildren<QWidget *>())
            widget(w);
        for (QAction *a : root->findChildren<QAction *>())
            action(a);
        return m_found;
    }

    // A text shown elsewhere (a box's question): `where` names it.
    void check(const QString &where, const QString &text)
    {
        const QString left = outsideBrackets(text, m_own);
        if (std::any_of(left.cbegin(), left.cend(), [](QChar c) { return c.isLetter(); }))
            m_found << where + QStringLiteral(": ") + text;
    }
    QStringList found() const { return m_found; }

private:
    static QString name(const QObject *o)
    {
        return QString::fromLatin1(o->metaObject()->className()) + QLatin1Char(' ') + o->objectName();
    }

    void widget(QWidget *w)
    {
        if (m_seen.contains(w))
            return;
        m_seen.insert(w);
        const QString where = name(w);
        if (w->isWindow())
            check(where + QStringLiteral(" title"), w->windowTitle());
        check(where + QStringLiteral(" tooltip"), w->toolTip());
        check(where + QStringLiteral(" accessible name"), w->accessibleName());
        if (auto *label = qobject_cast<QLabel *>(w))
            check(where, Qt::mightBeRichText(label->text())
                             ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                             : label->text());
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            check(where, button->text());
        if (auto *box = qobject_cast<QGroupBox *>(w))
            check(where, box->title());
        if (auto *menu = qobject_cast<QMenu *>(w))
            check(where, menu->title());
        if (auto *field = qobject_cast<QLineEdit *>(w))
            check(where + QStringLiteral(" placeholder"), field->placeholderText());
        if (auto *editor = qobject_cast<QPlainTextEdit *>(w))
            check(where + QStringLiteral(" placeholder"), editor->placeholderText());
        if (auto *tabs = qobject_cast<QTabBar *>(w)) {
            for (int i = 0; i < tabs->count(); ++i) {
                check(where, tabs->tabText(i));
                check(where + QStringLiteral(" tooltip"), tabs->tabToolTip(i));
            }
        }
        if (auto *combo = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                check(where, combo->itemText(i));
        }
        for (QAction *a : w->actions())
            action(a);
    }

    void action(QAction *a)
    {
        if (m_seen.contains(a))
            return;
        m_seen.insert(a);
        // A menu shows the keys after a tab as they are.
        const QString where = name(a);
        check(where, a->text().section(QLatin1Char('\t'), 0, 0));
        check(where + QStringLiteral(" tooltip"), a->toolTip().section(QLatin1Char('\t'), 0, 0));
        if (QMenu *menu = a->menu()) {
            widget(menu);
            for (QWidget *w : menu->findChildren<QWidget *>())
                widget(w);
            for (QAction *sub : menu->findChildren<QAction *>())
                action(sub);
        }
    }

    QStringList m_own;
    QStringList m_found;
    QSet<const QObject *> m_seen;
};
} // namespace pseudotexts
