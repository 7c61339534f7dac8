#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Reading what adb and the phone print, and quoting paths for the phone's shell.

// Free space of one phone folder, in kibibytes; "0" where a value could not be read.
struct DiskFreeInfo {
    QString total = QStringLiteral("0");
    QString used = QStringLiteral("0");
    QString available = QStringLiteral("0");
};

// Quotes a phone path for the phone's sh: double quotes, with \ " $ and ` escaped inside.
QString quoteDevicePath(const QString &path);

// A host name or IP address adb can connect to: letters, digits, dots, hyphens and the colons of an IPv6
// address, nothing adb could take for an option.
bool isNetworkHost(const QString &host);

// How long a text is where adb and the system count it: in bytes of UTF-8.
inline qsizetype byteLength(const QString &text)
{
    return text.toUtf8().size();
}

// Removes leading and trailing blanks and control characters, line breaks included.
QString trimOutput(const QString &text);

// Splits output at CR LF, LF or CR; lines keep their blanks, a final line break gives no empty line.
QStringList splitLines(const QString &text);

// Reads the three values out of what "df <path>" printed (both the one-line and the column form).
DiskFreeInfo parseDiskFree(const QString &output, const QString &path);

// One line adb printed about itself, not what the phone's command printed: an error in any of the forms adb
// 29 to 37 use. adb 29 wrote "error: device offline", later clients "adb: device offline" (every error of
// theirs starts with "adb: "); sync failures read "adb: error: ..." in both; a command waiting for a phone
// prints "- waiting for device -". "adb: warning: ..." is no error.
bool isAdbError(QStringView line);

// Whether adb's output of a push or pull reports a failure on any of its lines, also in the unprefixed forms
// of clients before 29, or the runner could not start adb at all ("error"). Since adb 30 a file the phone
// refused is counted as pushed too, before or after the error line: a count never outweighs an error.
bool transferFailed(const QString &adbOutput);

// Whether "adb pull" wrote the whole file. adb prints its errors in several forms over the versions (the
// file's own path may hold any word); a file missing or shorter than `expectedSize` (bytes, when numeric)
// is a failure whatever it printed.
bool pulledWhole(const QString &adbOutput, const QString &localFile, const QString &expectedSize = QString());

// The longest text one "adb shell" may carry to a phone whose "adb features" printed `features`: an adbd
// without shell_v2 takes at most 4 KiB.
qsizetype shellTextLimit(const QString &features);

// The index of the path one line of a command about several paths is about: the line starts with
// "<path>: " (adb's report), holds " <path>: " or "failed for <path>, " (rm's complaints) or names the path
// in quotes (errors).
// -1 when it names none; the longest path that fits wins: "/a: b" names "/a: b", not "/a".
qsizetype namedPath(const QString &line, const QStringList &paths);

// The marker a row's shell text ends with: `echo "[velbrook-row:<row>:$?]"`.
QString rowMarkerCommand(int row);

// A line of a shell command's output that ends in such a marker: what the row printed before it on that
// line (a complaint without a final line break), the row and its exit status.
struct RowMarker {
    QString before;
    int row = 0;
    int status = 0;
};
std::optional<RowMarker> readRowMarker(const QString &line);
