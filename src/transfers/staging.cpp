#include "transfers/staging.h"

#include "bridge/adbutils.h"
#include "bridge/listingparser.h"
#include "platform/localfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <system_error>

namespace {

const QString kStagePrefix = QStringLiteral(".velbrook-");

bool isRealFolder(const QFileInfo &info)
{
    return info.isDir() && !info.isSymLink();
}

} // namespace

PcStage::PcStage(const QString &folder)
{
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("Cannot make ") + folder;
        return;
    }
    m_dir = std::make_unique<QTemporaryDir>(QDir(folder).filePath(kStagePrefix + QStringLiteral("XXXXXX")));
    if (!m_dir->isValid())
        m_error = m_dir->errorString();
}

PcStage::~PcStage() = default;

bool PcStage::isValid() const
{
    return m_dir && m_dir->isValid();
}

QString PcStage::path() const
{
    return m_dir ? m_dir->path() + u'/' : QString();
}

QStringList PcStage::commit(const QString &staged, const QString &target)
{
    const QFileInfo from(staged);
    const QFileInfo to(target);
    if (!to.exists() && !to.isSymLink()) {
        const QString error = platform::renameReplacing(staged, target);
        return error.isEmpty() ? QStringList() : QStringList{target + QStringLiteral(": ") + error};
    }
    if (!isRealFolder(from)) {
        if (isRealFolder(to))
            return {target + QStringLiteral(" is a folder: not replaced by a file")};
        const QString error = platform::renameReplacing(staged, target);
        return error.isEmpty() ? QStringList() : QStringList{target + QStringLiteral(": ") + error};
    }
    // A folder merges into the folder there (through a link to one, as adb would write).
    if (!to.isDir())
        return {target + QStringLiteral(" is not a folder: not replaced by one")};
    QStringList problems;
    const QDir dir(staged);
    for (const QString &name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        problems += commit(dir.filePath(name), QDir(target).filePath(name));
    if (problems.isEmpty())
        QDir().rmdir(staged);
    return problems;
}

QHash<int, MarkedResult> runMarked(const AdbClient &adb, qsizetype limit,
                                   const QList<std::pair<int, QString>> &commands)
{
    AdbClient whole(adb);
    whole.setCancelToken(nullptr);
    QHash<int, MarkedResult> results;
    QString text;
    auto flush = [&] {
        if (text.isEmpty())
            return;
        QStringList said;
        for (const QString &line : splitLines(whole.runShell(QStringLiteral("exec 2>&1; ") + text))) {
            const std::optional<RowMarker> marker = readRowMarker(line);
            if (!marker) {
                said << line;
                continue;
            }
            if (!trimOutput(marker->before).isEmpty())
                said << marker->before;
            // A row of several pieces stayed behind when any of them did.
            MarkedResult &result = results[marker->row];
            result.status = std::max(result.status.value_or(0), marker->status);
            for (const QString &line : std::as_const(said)) {
                if (!trimOutput(line).isEmpty())
                    result.lines << trimOutput(line);
            }
            said.clear();
        }
        text.clear();
    };
    for (const auto &[k, command] : commands) {
        const QString marked = command + QStringLiteral("; ") + rowMarkerCommand(k);
        if (!text.isEmpty() && byteLength(text) + byteLength(marked) + 20 > limit)
            flush();
        text += (text.isEmpty() ? QString() : QStringLiteral("; ")) + marked;
    }
    flush();
    return results;
}

PhoneStage::PhoneStage(const AdbClient &adb, qsizetype limit) : m_adb(adb), m_limit(limit) {}

bool PhoneStage::make(const QString &folder)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString path =
            folder + kStagePrefix + QString::number(QRandomGenerator::global()->generate64() & 0xffffffffffULL, 36);
        const MarkedResult made =
            runMarked(m_adb, m_limit, {{1, QStringLiteral("mkdir ") + quoteDevicePath(path)}}).value(1);
        if (made.status == 0) {
            m_path = path + u'/';
            return true;
        }
        m_error = made.status ? made.lines.join(u' ') : QStringLiteral("the phone did not answer");
        // Only a name taken by chance is worth another try.
        if (!m_error.contains(QStringLiteral("exists")))
            break;
    }
    return false;
}

bool PhoneStage::adopt(const QString &path)
{
    if (!AdbClient::baseName(path).startsWith(kStagePrefix))
        return false;
    m_path = path.endsWith(u'/') ? path : path + u'/';
    return true;
}

std::optional<QHash<QString, ListItem>> listedByName(const AdbClient &adb, const QString &folder, bool shortListing)
{
    AdbClient probe(adb);
    probe.setCancelToken(nullptr);
    const DeviceListing listing = listDeviceFolder(probe, folder, shortListing, DeviceSort::Name);
    if (!listing.ok)
        return std::nullopt;
    QHash<QString, ListItem> entries;
    for (const ListItem &row : listing.rows)
        entries.insert(entryName(row), row);
    return entries;
}

std::optional<QHash<QString, ListItem>> PhoneStage::contents(bool shortListing) const
{
    return listedByName(m_adb, m_path, shortListing);
}

bool PhoneStage::remove()
{
    if (m_path.isEmpty())
        return true;
    // adbd drops the part of a push that broke off by itself, maybe while this runs: a second try follows.
    const QString stage = quoteDevicePath(m_path.chopped(1));
    const QString text = QStringLiteral("rm -r ") + stage + QStringLiteral(" 2>/dev/null; [ -e ") + stage +
                         QStringLiteral(" ] && sleep 1 && rm -r ") + stage + QStringLiteral("; [ ! -e ") + stage +
                         QStringLiteral(" ]");
    const bool removed = runMarked(m_adb, m_limit, {{1, text}}).value(1).status == 0;
    if (removed)
        m_path.clear();
    return removed;
}

QString PhoneStage::moveCommand(const QString &staged, const QString &target)
{
    const QString to = quoteDevicePath(target);
    return QStringLiteral("[ ! -d ") + to + QStringLiteral(" ] && mv ") + quoteDevicePath(staged) + u' ' + to;
}

QStringList PhoneStage::mergeCommands(const QString &staged, const QString &target, const QStringList &folders,
                                      const QStringList &files, qsizetype limit)
{
    const QString from = staged.endsWith(u'/') ? staged : staged + u'/';
    const QString to = target.endsWith(u'/') ? target : target + u'/';
    QStringList steps;
    for (const QString &folder : folders) {
        const QString made = quoteDevicePath(to + folder);
        steps << QStringLiteral("{ [ -d ") + made + QStringLiteral(" ] || mkdir ") + made + QStringLiteral("; }");
    }
    for (const QString &file : files)
        steps << QStringLiteral("{ ") + moveCommand(from + file, to + file) + QStringLiteral("; }");
    QStringList pieces;
    QString piece;
    for (const QString &step : std::as_const(steps)) {
        const QString next = step + QStringLiteral(" || s=1; ");
        if (!piece.isEmpty() && byteLength(piece) + byteLength(next) + 40 > limit) {
            pieces << QStringLiteral("s=0; ") + piece + QStringLiteral("[ $s = 0 ]");
            piece.clear();
        }
        piece += next;
    }
    pieces << QStringLiteral("s=0; ") + piece + QStringLiteral("[ $s = 0 ]");
    return pieces;
}
