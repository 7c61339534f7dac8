#include "apps/apkarchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <zip.h>

#include <memory>

namespace {

struct ArchiveCloser {
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString openErrorText(int code)
{
    zip_error_t zipError;
    zip_error_init_with_code(&zipError, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&zipError));
    zip_error_fini(&zipError);
    return text;
}

Archive openForReading(const QString &zipPath, QString *error)
{
    // libzip opens an empty file as an empty archive; for reading, that is no archive at all.
    const QFileInfo info(zipPath);
    if (!info.isFile()) {
        setError(error, zipPath + QStringLiteral(": no such file"));
        return nullptr;
    }
    if (info.size() == 0) {
        setError(error, zipPath + QStringLiteral(": the file is empty"));
        return nullptr;
    }
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(zipPath).constData(), ZIP_RDONLY, &code);
    if (!archive)
        setError(error, zipPath + QStringLiteral(": ") + openErrorText(code));
    return Archive(archive);
}

QString memberName(zip_t *archive, zip_uint64_t index)
{
    // ZIP_FL_ENC_GUESS hands back UTF-8 also for names stored in the old DOS code page.
    const char *name = zip_get_name(archive, index, ZIP_FL_ENC_GUESS);
    return name ? QString::fromUtf8(name) : QString();
}

// The exact member first, else the first whose path ends with `/iconPath`, so that "icon.png"
// never matches "myicon.png"; -1 when none.
zip_int64_t findIcon(zip_t *archive, const QString &iconPath)
{
    const zip_int64_t exact = zip_name_locate(archive, iconPath.toUtf8().constData(), ZIP_FL_ENC_GUESS);
    if (exact >= 0)
        return exact;
    const QString suffix = u'/' + iconPath;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (memberName(archive, zip_uint64_t(i)).endsWith(suffix))
            return i;
    }
    return -1;
}

bool copyMember(zip_t *archive, zip_int64_t index, const QString &target)
{
    zip_file_t *member = zip_fopen_index(archive, zip_uint64_t(index), 0);
    if (!member)
        return false;
    // A half-written icon would replace a good one; the file appears whole or not at all.
    QSaveFile out(target);
    bool ok = out.open(QIODevice::WriteOnly);
    char buffer[64 * 1024];
    while (ok) {
        const zip_int64_t n = zip_fread(member, buffer, sizeof buffer);
        if (n < 0)
            ok = false;
        else if (n == 0)
            break;
        else
            ok = out.write(buffer, n) == n;
    }
    zip_fclose(member);
    return ok && out.commit();
}

} // namespace

QStringList archiveMembers(const QString &zipPath, QString *error)
{
    const Archive archive = openForReading(zipPath, error);
    if (!archive)
        return {};
    QStringList names;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i)
        names << memberName(archive.get(), zip_uint64_t(i));
    return names;
}

QString extractApkIcon(const QString &apkPath, const QString &iconPath, const QString &folder)
{
    const QString fileName = iconPath.section(u'/', -1);
    if (fileName.isEmpty() || fileName == u'.' || fileName == QStringLiteral(".."))
        return QString();
    const Archive archive = openForReading(apkPath, nullptr);
    if (!archive)
        return QString();
    const zip_int64_t index = findIcon(archive.get(), iconPath);
    if (index < 0)
        return QString();
    const QString target = QDir(folder).filePath(fileName);
    return copyMember(archive.get(), index, target) ? target : QString();
}

bool extractMember(const QString &zipPath, const QString &member, const QString &target)
{
    const Archive archive = openForReading(zipPath, nullptr);
    if (!archive)
        return false;
    const zip_int64_t index = zip_name_locate(archive.get(), member.toUtf8().constData(), 0);
    return index >= 0 && copyMember(archive.get(), index, target);
}

bool writeArchive(const QString &zipPath, const QList<ArchiveEntry> &entries, QString *error)
{
    // libzip deletes an archive that ends up without members instead of writing one.
    if (entries.isEmpty()) {
        setError(error, zipPath + QStringLiteral(": no members to write"));
        return false;
    }
    for (const ArchiveEntry &entry : entries) {
        if (entry.name.isEmpty()) {
            setError(error, zipPath + QStringLiteral(": a member without a name"));
            return false;
        }
        if (!entry.sourceFile.isEmpty() && !QFileInfo(entry.sourceFile).isFile()) {
            setError(error, entry.sourceFile + QStringLiteral(": no such file"));
            return false;
        }
    }

    // ZIP_TRUNCATE leaves the old file alone until zip_close, which writes a temporary file beside
    // the target and renames it into place; zip_discard after a failure removes that file.
    int code = 0;
    Archive archive(zip_open(QFile::encodeName(zipPath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!archive) {
        setError(error, zipPath + QStringLiteral(": ") + openErrorText(code));
        return false;
    }
    for (const ArchiveEntry &entry : entries) {
        zip_source_t *source =
            entry.sourceFile.isEmpty()
                ? zip_source_buffer(archive.get(), entry.data.constData(), zip_uint64_t(entry.data.size()), 0)
                : zip_source_file(archive.get(), QFile::encodeName(entry.sourceFile).constData(), 0, -1);
        const zip_int64_t index =
            source ? zip_file_add(archive.get(), entry.name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (source)
                zip_source_free(source);
            setError(error, entry.name + QStringLiteral(": ") + QString::fromUtf8(zip_strerror(archive.get())));
            return false;
        }
        zip_set_file_compression(archive.get(), zip_uint64_t(index), ZIP_CM_STORE, 0);
    }
    if (zip_close(archive.get()) != 0) {
        setError(error, zipPath + QStringLiteral(": ") + QString::fromUtf8(zip_strerror(archive.get())));
        return false;
    }
    archive.release();
    return true;
}
