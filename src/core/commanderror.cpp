// SPDX-License-Identifier: GPL-3.0-or-later
#include "commanderror.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

QString errorDescription(int number)
{
    switch (number) {
    case ErrorNumber::InvalidArgument:
        return QStringLiteral("プロシージャの呼び出し、または引数が不正です。");
    case ErrorNumber::Overflow:
        return QStringLiteral("オーバーフローしました。");
    case ErrorNumber::OutOfMemory:
        return QStringLiteral("メモリが不足しています。");
    case ErrorNumber::DivisionByZero:
        return QStringLiteral("0 で除算しました。");
    case ErrorNumber::TypeMismatch:
        return QStringLiteral("型が一致しません。");
    case ErrorNumber::FileNotFound:
        return QStringLiteral("ファイルが見つかりません。");
    case ErrorNumber::DiskFull:
        return QStringLiteral("ディスクの空き容量が不足しています。");
    case ErrorNumber::PermissionDenied:
        return QStringLiteral("書き込みできません。");
    case ErrorNumber::PathFileAccess:
        return QStringLiteral("パス名が無効です。");
    case ErrorNumber::PathNotFound:
        return QStringLiteral("パスが見つかりません。");
    case ErrorNumber::WindowStateResize:
        return QStringLiteral("最小化または最大化されたウィンドウのサイズは変更できません。");
    case ErrorNumber::FormatNotFound:
        return QStringLiteral("指定された形式が見つかりません。");
    case ErrorNumber::InvalidPicture:
        return QStringLiteral("ピクチャが不正です。");
    case ErrorNumber::Cancel:
        return QStringLiteral("キャンセルが選択されました。");
    default:
        return QStringLiteral("アプリケーション定義またはオブジェクト定義のエラーです。");
    }
}

CommandError commandError(int number)
{
    return {number, errorDescription(number)};
}

CommandError fileError(int err, const QString &path)
{
    int number = ErrorNumber::PathFileAccess;
    switch (err) {
    case ENOENT:
        // A missing folder on the way is "path not found", a missing file in an existing folder is not.
        number = path.isEmpty() || QFileInfo(path).absoluteDir().exists() ? ErrorNumber::FileNotFound
                                                                          : ErrorNumber::PathNotFound;
        break;
    case ENOTDIR:
        number = ErrorNumber::PathNotFound;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        number = ErrorNumber::PermissionDenied;
        break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        number = ErrorNumber::DiskFull;
        break;
    default:
        break;
    }
    QString text = errorDescription(number);
    if (!path.isEmpty())
        text += QLatin1Char('\n') + path;
    return {number, text};
}
