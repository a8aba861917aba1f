// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolbars.h"

#include <QCoreApplication>

#include <cstddef>

namespace toolbars {
Caption::operator QString() const
{
    return QCoreApplication::translate("Toolbars", source);
}

namespace {
struct RawButton
{
    const char *key;
    const char *tooltip;
    Style style;
};

struct RawItem
{
    const char *key;
    const char *caption; // "-" is a separator
    bool visible = true;
};

template <std::size_t N>
QList<Button> buttons(const RawButton (&raw)[N])
{
    QList<Button> out;
    for (const RawButton &b : raw)
        out.append({QString::fromLatin1(b.key), QCoreApplication::translate("Toolbars", b.tooltip), b.style});
    return out;
}

QString captionText(const char *context, const char *caption)
{
    return qstrcmp(caption, "-") == 0 ? QStringLiteral("-") : QCoreApplication::translate(context, caption);
}

template <std::size_t N>
QList<MenuItem> items(const RawItem (&raw)[N])
{
    QList<MenuItem> out;
    for (const RawItem &i : raw)
        out.append({QString::fromLatin1(i.key), captionText("Toolbars", i.caption), i.visible});
    return out;
}
} // namespace

QList<Button> toolbar1()
{
    static constexpr RawButton raw[] = {
        {"copy", QT_TRANSLATE_NOOP("Toolbars", "ボックスの文字をコピー"), Style::Plain},
        {"del_clip", QT_TRANSLATE_NOOP("Toolbars", "クリップボードをクリア"), Style::Plain},
        {"text", QT_TRANSLATE_NOOP("Toolbars", "テキスト詳細"), Style::Plain},
        {"bmp", QT_TRANSLATE_NOOP("Toolbars", "ピクチャ詳細"), Style::Plain},
        {"shell", QT_TRANSLATE_NOOP("Toolbars", "関連付けファイルを起動"), Style::DropDown},
        {"hides", QT_TRANSLATE_NOOP("Toolbars", "隠れる"), Style::DropDown},
        {"menu", QT_TRANSLATE_NOOP("Toolbars", "拡張メニュー"), Style::Plain},
    };
    return buttons(raw);
}

QList<Button> toolbar2()
{
    static constexpr RawButton raw[] = {
        {"con", QT_TRANSLATE_NOOP("Toolbars", "コンパネ"), Style::DropDown},
        {"disp", QT_TRANSLATE_NOOP("Toolbars", "設定してれば、画面セーバー"), Style::Plain},
        {"cd", QT_TRANSLATE_NOOP("Toolbars", "オープン・クローズ"), Style::Check},
        {"file", QT_TRANSLATE_NOOP("Toolbars", "履歴を保存"), Style::Plain},
        {"open", QT_TRANSLATE_NOOP("Toolbars", "ファイルを開く"), Style::DropDown},
        {"pro", QT_TRANSLATE_NOOP("Toolbars", "定型文モード"), Style::Check},
        {"del_list", QT_TRANSLATE_NOOP("Toolbars", "履歴を削除"), Style::Plain},
    };
    return buttons(raw);
}
QList<MenuItem> menu(const QString &buttonKey)
{
    const QString key = buttonKey.toLower();
    if (key == QStringLiteral("shell")) {
        QList<MenuItem> list;
        for (const websearch::Site &site : websearch::sites())
            list.append({site.key, captionText("WebSearch", site.caption), site.visible});
        return list;
    }
    if (key == QStringLiteral("hides")) {
        static constexpr RawItem raw[] = {
            {"hide", captionTopmostOn.source},
            {"texthide", captionTextShown.source},
            {"bar1", "-"},
            {"h8", QT_TRANSLATE_NOOP("Toolbars", "8進変換")},
            {"h10", QT_TRANSLATE_NOOP("Toolbars", "10進変換")},
            {"h16", QT_TRANSLATE_NOOP("Toolbars", "16進変換")},
            {"bar2", "-"},
            {"ucase", QT_TRANSLATE_NOOP("Toolbars", "小文字→大文字")},
            {"lcase", QT_TRANSLATE_NOOP("Toolbars", "大文字→小文字")},
        };
        return items(raw);
    }
    if (key == QStringLiteral("con")) {
        static constexpr RawItem raw[] = {
            {"sys", QT_TRANSLATE_NOOP("Toolbars", "システムプロパティ")},
            {"int", QT_TRANSLATE_NOOP("Toolbars", "インターネットオプション")},
            {"app", QT_TRANSLATE_NOOP("Toolbars", "アプリケーションの追加と削除")},
            {"disp", QT_TRANSLATE_NOOP("Toolbars", "画面のプロパティ")},
            {"mouse", QT_TRANSLATE_NOOP("Toolbars", "マウスのプロパティ")},
            {"sound", QT_TRANSLATE_NOOP("Toolbars", "サウンドのプロパティ")},
            {"bar1", "-"},
            {"mycom", QT_TRANSLATE_NOOP("Toolbars", "マイコン")},
            {"mynet", QT_TRANSLATE_NOOP("Toolbars", "マイネット")},
            {"dial", QT_TRANSLATE_NOOP("Toolbars", "ダイヤルアップ"), false},
            {"printer", QT_TRANSLATE_NOOP("Toolbars", "プリンタ"), false},
            {"trash", QT_TRANSLATE_NOOP("Toolbars", "ごみ箱"), false},
            {"desktop", QT_TRANSLATE_NOOP("Toolbars", "デスクトップ"), false},
            {"calc", QT_TRANSLATE_NOOP("Toolbars", "電卓")},
            {"note", QT_TRANSLATE_NOOP("Toolbars", "メモ帳")},
            {"paint", QT_TRANSLATE_NOOP("Toolbars", "ペイント")},
        };
        return items(raw);
    }
    if (key == QStringLiteral("open")) {
        static constexpr RawItem raw[] = {
            {"open_reki", QT_TRANSLATE_NOOP("Toolbars", "履歴ファイルを開く")},
            {"bar1", "-"},
            {"open_New", QT_TRANSLATE_NOOP("Toolbars", "定型文の新規作成")},
            {"open_pro", QT_TRANSLATE_NOOP("Toolbars", "定型文を開く")},
        };
        return items(raw);
    }
    return {};
}
} // namespace toolbars
