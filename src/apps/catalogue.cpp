#include "apps/catalogue.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

bool isDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// Files of the older program may be in a Windows code page rather than UTF-8.
QString decode(const QByteArray &bytes)
{
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(data);
    return utf8.hasError() ? QString::fromLatin1(data) : text;
}

bool parseLine(const QString &line, CatalogueRecord &record)
{
    const qsizetype semicolon = line.indexOf(u';');
    if (semicolon <= 0)
        return false;
    QString head = line.left(semicolon);
    const qsizetype slash = head.indexOf(u'/');
    if (slash >= 0) {
        if (!isDigits(QStringView(head).mid(slash + 1)))
            return false;
        record.versionCode = head.mid(slash + 1);
        head.truncate(slash);
    }
    record.key = head;
    record.label = line.mid(semicolon + 1);
    return isValidCatalogueKey(record.key);
}

QString lineOf(const CatalogueRecord &record)
{
    const QString head = record.versionCode.isEmpty() ? record.key : record.key + u'/' + record.versionCode;
    return head + u';' + record.label;
}

} // namespace

QString catalogueKeyForPackage(const QString &package)
{
    return package + QStringLiteral(".apk");
}

bool isValidCatalogueKey(const QString &key)
{
    if (key.isEmpty() || key.contains(QStringLiteral("..")))
        return false;
    for (const QChar c : key) {
        if (c == u'/' || c == u'\\' || c == u';' || c == u':' || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

bool isStale(const CatalogueRecord &record, const QString &installedVersionCode)
{
    if (installedVersionCode.isEmpty())
        return false;
    return record.versionCode != installedVersionCode;
}

AppCatalogue::AppCatalogue(const QString &listFile, const QString &iconsDir)
    : m_listFile(listFile), m_iconsDir(iconsDir)
{
}

AppCatalogue AppCatalogue::forDataDir(const QString &dataDir)
{
    return AppCatalogue(dataDir + QStringLiteral("/list.a"), dataDir + QStringLiteral("/icons"));
}

bool AppCatalogue::load()
{
    m_records.clear();
    m_unreadable.clear();
    m_error.clear();
    m_loadFailed = false;
    QFile file(m_listFile);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(m_listFile), file.errorString());
        m_loadFailed = true;
        return false;
    }
    const QString text = decode(file.readAll());
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype to = from;
        while (to < text.size() && text.at(to) != u'\r' && text.at(to) != u'\n')
            ++to;
        const QString line = text.mid(from, to - from);
        from = to + 1;
        if (line.trimmed().isEmpty())
            continue;
        CatalogueRecord record;
        // A later record for a key was written later: it wins, in the earlier one's place.
        if (parseLine(line, record))
            put(record);
        else
            m_unreadable << line;
    }
    return true;
}

const CatalogueRecord *AppCatalogue::find(const QString &key) const
{
    for (const CatalogueRecord &record : m_records) {
        if (record.key == key)
            return &record;
    }
    return nullptr;
}

bool AppCatalogue::put(CatalogueRecord record)
{
    if (!isValidCatalogueKey(record.key) || (!record.versionCode.isEmpty() && !isDigits(record.versionCode)))
        return false;
    // A line break in a label would split the record.
    record.label.replace(u'\r', u' ').replace(u'\n', u' ');
    for (CatalogueRecord &existing : m_records) {
        if (existing.key == record.key) {
            existing = record;
            return true;
        }
    }
    m_records << record;
    return true;
}

bool AppCatalogue::save()
{
    if (m_loadFailed) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("Cannot read %1").arg(QDir::toNativeSeparators(m_listFile));
        return false;
    }
    QString text;
    for (const CatalogueRecord &record : m_records)
        text += lineOf(record) + QStringLiteral("\r\n");
    for (const QString &line : m_unreadable)
        text += line + QStringLiteral("\r\n");

    QSaveFile file(m_listFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        m_error = QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(m_listFile), file.errorString());
        return false;
    }
    m_error.clear();
    return true;
}

bool AppCatalogue::store(const CatalogueRecord &record)
{
    if (!isValidCatalogueKey(record.key)) {
        m_error = QStringLiteral("Not a catalogue key: %1").arg(record.key);
        return false;
    }
    return load() && put(record) && save();
}

QString AppCatalogue::iconPath(const QString &key) const
{
    if (!isValidCatalogueKey(key))
        return QString();
    return m_iconsDir + u'/' + key + QStringLiteral(".png");
}
