// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolbars.h"

namespace toolbars {
const QList<Button> &toolbar1()
{
    static const QList<Button> buttons = {
        {QStringLiteral("copy"), QStringLiteral("ボックスの文字をコピー"), Style::Plain},
        {QStringLiteral("del_clip"), QStringLiteral("クリップボードをクリア"), Style::Plain},
        {QStringLiteral("text"), QStringLiteral("テキスト詳細"), Style::Plain},
        {QStringLiteral("bmp"), QStringLiteral("ピクチャ詳細"), Style::Plain},
        {QStringLiteral("shell"), QStringLiteral("関連付けファイルを起動"), Style::DropDown},
        {QStringLiteral("hides"), QStringLiteral("隠れる"), Style::DropDown},
        {QStringLiteral("menu"), QStringLiteral("拡張メニュー"), Style::Plain},
    };
    return buttons;
}

const QList<Button> &toolbar2()
{
    static const QList<Button> buttons = {
        {QStringLiteral("con"), QStringLiteral("コンパネ"), Style::DropDown},
        {QStringLiteral("disp"), QStringLiteral("設定してれば、画面セーバー"), Style::Plain},
        {QStringLiteral("cd"), QStringLiteral("オープン・クローズ"), Style::Check},
        {QStringLiteral("file"), QStringLiteral("履歴を保存"), Style::Plain},
        {QStringLiteral("open"), QStringLiteral("ファイルを開く"), Style::DropDown},
        {QStringLiteral("pro"), QStringLiteral("定型文モード"), Style::Check},
        {QStringLiteral("del_list"), QStringLiteral("履歴を削除"), Style::Plain},
    };
    return buttons;
}
QList<MenuItem> menu(const QString &buttonKey)
{
    const QString key = buttonKey.toLower();
    if (key == QStringLiteral("shell")) {
        QList<MenuItem> items;
        for (const websearch::Site &site : websearch::sites())
            items.append({site.key, site.caption, site.visible});
        return items;
    }
    if (key == QStringLiteral("hides")) {
        return {
            {QStringLiteral("hide"), captionTopmostOn},
            {QStringLiteral("texthide"), captionTextShown},
            {QStringLiteral("bar1"), QStringLiteral("-")},
            {QStringLiteral("h8"), QStringLiteral("8進変換")},
            {QStringLiteral("h10"), QStringLiteral("10進変換")},
            {QStringLiteral("h16"), QStringLiteral("16進変換")},
            {QStringLiteral("bar2"), QStringLiteral("-")},
            {QStringLiteral("ucase"), QStringLiteral("小文字→大文字")},
            {QStringLiteral("lcase"), QStringLiteral("大文字→小文字")},
        };
    }
    if (key == QStringLiteral("con")) {
        return {
            {QStringLiteral("sys"), QStringLiteral("システムプロパティ")},
            {QStringLiteral("int"), QStringLiteral("インターネットオプション")},
            {QStringLiteral("app"), QStringLiteral("アプリケーションの追加と削除")},
            {QStringLiteral("disp"), QStringLiteral("画面のプロパティ")},
            {QStringLiteral("mouse"), QStringLiteral("マウスのプロパティ")},
            {QStringLiteral("sound"), QStringLiteral("サウンドのプロパティ")},
            {QStringLiteral("bar1"), QStringLiteral("-")},
            {QStringLiteral("mycom"), QStringLiteral("マイコン")},
            {QStringLiteral("mynet"), QStringLiteral("マイネット")},
            {QStringLiteral("dial"), QStringLiteral("ダイヤルアップ"), false},
            {QStringLiteral("printer"), QStringLiteral("プリンタ"), false},
            {QStringLiteral("trash"), QStringLiteral("ごみ箱"), false},
            {QStringLiteral("desktop"), QStringLiteral("デスクトップ"), false},
            {QStringLiteral("calc"), QStringLiteral("電卓")},
            {QStringLiteral("note"), QStringLiteral("メモ帳")},
            {QStringLiteral("paint"), QStringLiteral("ペイント")},
        };
    }
    if (key == QStringLiteral("open")) {
        return {
            {QStringLiteral("open_reki"), QStringLiteral("履歴ファイルを開く")},
            {QStringLiteral("bar1"), QStringLiteral("-")},
            {QStringLiteral("open_New"), QStringLiteral("定型文の新規作成")},
            {QStringLiteral("open_pro"), QStringLiteral("定型文を開く")},
        };
    }
    return {};
}
} // namespace toolbars
