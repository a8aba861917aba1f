// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A command's failure: the runtime error number and its description. Raised inside a command and
// caught by the command's guard, which shows it in the error box (text = description, title = number)
// unless the command expects that number.
struct CommandError
{
    int number = 0;
    QString description;
};

namespace ErrorNumber {
inline constexpr int InvalidArgument = 5;
inline constexpr int Overflow = 6;
inline constexpr int OutOfMemory = 7;
inline constexpr int DivisionByZero = 11;
inline constexpr int TypeMismatch = 13;
inline constexpr int FileNotFound = 53;
inline constexpr int DiskFull = 61;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccess = 75;
inline constexpr int PathNotFound = 76;
inline constexpr int WindowStateResize = 384;
inline constexpr int FormatNotFound = 461;
inline constexpr int InvalidPicture = 481;
inline constexpr int Cancel = 32755;
} // namespace ErrorNumber

// The standard description of an error number (Japanese, as the runtime words it).
QString errorDescription(int number);

// A CommandError for a failed file operation on `path`, from the errno value `err`.
CommandError fileError(int err, const QString &path);

// A CommandError with the standard description of `number`.
CommandError commandError(int number);
