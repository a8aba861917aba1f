// SPDX-License-Identifier: GPL-3.0-or-later
#include "commanderror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>

QString errorDescription(int number)
{
    switch (number) {
    case ErrorNumber::InvalidArgument:
        return QCoreApplication::translate("CommandError", "プロシージャの呼び出し、または引数が不正です。");
    case ErrorNumber::Overflow:
        return QCoreApplication::translate("CommandError", "オーバーフローしました。");
    case ErrorNumber::OutOfMemory:
        return QCoreApplication::translate("CommandError", "メモリが不足しています。");
    case ErrorNumber::DivisionByZero:
        return QCoreApplication::translate("CommandError", "0 で除算しました。");
    case ErrorNumber::TypeMismatch:
        return QCoreApplication::translate("CommandError", "型が一致しません。");
    case ErrorNumber::FileNotFound:
        return QCoreApplication::translate("CommandError", "ファイルが見つかりません。");
    case ErrorNumber::DiskFull:
        return QCoreApplication::translate("CommandError", "ディスクの空き容量が不足しています。");
    case ErrorNumber::PermissionDenied:
        return QCoreApplication::translate("CommandError", "書き込みできません。");
    case ErrorNumber::PathFileAccess:
        return QCoreApplication::translate("CommandError", "パス名が無効です。");
    case ErrorNumber::PathNotFound:
        return QCoreApplication::translate("CommandError", "パスが見つかりません。");
    case ErrorNumber::WindowStateResize:
        return QCoreApplication::translate("CommandError",
                                           "最小化または最大化されたウィンドウのサイズは変更できません。");
    case ErrorNumber::FormatNotFound:
        return QCoreApplication::translate("CommandError", "指定された形式が見つかりません。");
    case ErrorNumber::InvalidPicture:
        return QCoreApplication::translate("CommandError", "ピクチャが不正です。");
    case ErrorNumber::Cancel:
        return QCoreApplication::translate("CommandError", "キャンセルが選択されました。");
    default:
        return QCoreApplication::translate("CommandError", "アプリケーション定義またはオブジェクト定義のエラーです。");
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
