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
} // namespace toolbars
