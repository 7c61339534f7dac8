#include "bridge/packageanswer.h"

#include "bridge/adbutils.h"

#include <QHash>

namespace {

const QString kSuccess = QStringLiteral("Success");
const QString kFailure = QStringLiteral("Failure");

bool isFailureLine(QStringView line)
{
    return line.startsWith(kFailure);
}

// The text after "adb: failed to install <path>: " when it is the package manager's failure, for one of the
// paths adb was given (the path itself may hold ": Failure [").
QString failureAfterPath(const QString &line, const QStringList &paths)
{
    static const QString prefixes[] = {QStringLiteral("adb: failed to install "),
                                       QStringLiteral("error: failed to install ")};
    for (const QString &prefix : prefixes) {
        if (!line.startsWith(prefix))
            continue;
        const QStringView rest = QStringView(line).mid(prefix.size());
        for (const QString &path : paths) {
            if (rest.startsWith(path) && rest.mid(path.size()).startsWith(u": ")) {
                const QStringView failure = rest.mid(path.size() + 2);
                if (isFailureLine(failure))
                    return failure.toString();
            }
        }
    }
    return QString();
}

// The code between "[" and the first ":" or "]": "Failure [INSTALL_FAILED_X: detail]" gives INSTALL_FAILED_X.
QString failureCode(const QString &failure)
{
    const qsizetype open = failure.indexOf(u'[');
    if (open < 0)
        return QString();
    qsizetype end = open + 1;
    while (end < failure.size() && failure.at(end) != u':' && failure.at(end) != u']')
        ++end;
    return failure.mid(open + 1, end - open - 1).trimmed();
}

// What adb said about itself when the phone gave no verdict: its last error line, without the prefix.
QString adbComplaint(const QStringList &lines)
{
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QString line = it->trimmed();
        if (line.isEmpty())
            continue;
        if (isAdbError(line)) {
            QString text = line;
            for (const QString &prefix : {QStringLiteral("adb: error: "), QStringLiteral("adb: "),
                                          QStringLiteral("error: ")}) {
                if (text.startsWith(prefix)) {
                    text = text.mid(prefix.size());
                    break;
                }
            }
            return text;
        }
    }
    return QString();
}

} // namespace

QString plainFailureReason(const QString &failure)
{
    static const QHash<QString, QString> reasons{
        {QStringLiteral("INSTALL_FAILED_VERSION_DOWNGRADE"), QStringLiteral("a newer version is installed")},
        {QStringLiteral("INSTALL_FAILED_ALREADY_EXISTS"), QStringLiteral("the application is installed already")},
        {QStringLiteral("INSTALL_FAILED_INSUFFICIENT_STORAGE"), QStringLiteral("the phone has not enough free space")},
        {QStringLiteral("INSTALL_FAILED_INVALID_APK"), QStringLiteral("the file is not a valid Android package")},
        {QStringLiteral("INSTALL_PARSE_FAILED_NOT_APK"), QStringLiteral("the file is not a valid Android package")},
        {QStringLiteral("INSTALL_FAILED_INVALID_URI"), QStringLiteral("the phone could not read the file")},
        {QStringLiteral("INSTALL_FAILED_UPDATE_INCOMPATIBLE"),
         QStringLiteral("the installed application is signed by someone else")},
        {QStringLiteral("INSTALL_PARSE_FAILED_INCONSISTENT_CERTIFICATES"),
         QStringLiteral("the installed application is signed by someone else")},
        {QStringLiteral("INSTALL_PARSE_FAILED_NO_CERTIFICATES"), QStringLiteral("the package is not signed")},
        {QStringLiteral("INSTALL_FAILED_OLDER_SDK"), QStringLiteral("the phone's Android is too old for it")},
        {QStringLiteral("INSTALL_FAILED_NO_MATCHING_ABIS"), QStringLiteral("it is not built for this phone's processor")},
        {QStringLiteral("INSTALL_FAILED_MISSING_SPLIT"), QStringLiteral("a part of the package is missing")},
        {QStringLiteral("INSTALL_FAILED_TEST_ONLY"), QStringLiteral("it is a test build")},
        {QStringLiteral("INSTALL_FAILED_USER_RESTRICTED"), QStringLiteral("the phone's user may not install")},
        {QStringLiteral("DELETE_FAILED_INTERNAL_ERROR"), QStringLiteral("the phone refused to remove it")},
        {QStringLiteral("DELETE_FAILED_DEVICE_POLICY_MANAGER"),
         QStringLiteral("it is a device administrator; turn that off first")},
    };
    const QString code = failureCode(failure);
    if (const auto it = reasons.constFind(code); it != reasons.cend())
        return *it;
    if (code.startsWith(QStringLiteral("not installed for")))
        return QStringLiteral("it is not installed");
    return code.isEmpty() ? QStringLiteral("the package manager refused") : code;
}

PackageAnswer judgePackageAnswer(const QString &output, std::optional<int> exitStatus, const QStringList &paths)
{
    PackageAnswer answer;
    const QStringList lines = splitLines(output);
    bool success = false;
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QString line = it->trimmed();
        if (line == kSuccess) {
            success = true;
            break;
        }
        answer.failure = isFailureLine(line) ? line : failureAfterPath(line, paths);
        if (!answer.failure.isEmpty())
            break;
    }
    answer.ok = success && exitStatus.value_or(0) == 0;
    if (answer.ok)
        return answer;
    if (!answer.failure.isEmpty())
        answer.reason = plainFailureReason(answer.failure);
    else if (const QString complaint = adbComplaint(lines); !complaint.isEmpty())
        answer.reason = complaint;
    else if (success)
        answer.reason = QStringLiteral("adb ended with status ") + QString::number(*exitStatus);
    else
        answer.reason = QStringLiteral("the package manager gave no answer");
    return answer;
}
