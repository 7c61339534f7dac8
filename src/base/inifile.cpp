#include "base/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

QByteArray nativeNewline()
{
#ifdef Q_OS_WIN
    return QByteArrayLiteral("\r\n");
#else
    return QByteArrayLiteral("\n");
#endif
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString oneLine(QString value)
{
    value.replace(QLatin1String("\r\n"), QLatin1String(" "));
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

} // namespace

IniFile::IniFile(const QString &fileName)
{
    QFile file(fileName);
    if (!fileName.isEmpty() && file.open(QIODevice::ReadOnly))
        *this = fromBytes(file.readAll());
    m_fileName = fileName;
}

IniFile IniFile::fromBytes(const QByteArray &bytes)
{
    IniFile ini;
    QByteArray data = bytes;
    if (data.startsWith(kBom))
        data.remove(0, kBom.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char c = data.at(i);
        if (c != '\n' && c != '\r')
            continue;
        if (ini.m_newline.isEmpty())
            ini.m_newline = (c == '\r' && i + 1 < data.size() && data.at(i + 1) == '\n') ? QByteArrayLiteral("\r\n")
                                                                                         : QByteArrayLiteral("\n");
        ini.m_lines.append(parse(data.mid(start, i - start)));
        if (c == '\r' && i + 1 < data.size() && data.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < data.size())
        ini.m_lines.append(parse(data.mid(start)));
    return ini;
}

QByteArray IniFile::toBytes() const
{
    const QByteArray newline = m_newline.isEmpty() ? nativeNewline() : m_newline;
    QByteArray out;
    for (const Line &line : m_lines)
        out += line.raw + newline;
    return out;
}

IniFile::Line IniFile::parse(const QByteArray &raw)
{
    Line line;
    line.raw = raw;
    const QString text = QString::fromUtf8(raw).trimmed();
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close > 0) {
            line.isSection = true;
            line.section = text.mid(1, close - 1).trimmed();
        }
        return line;
    }
    if (text.startsWith(u';') || text.startsWith(u'#'))
        return line;
    const qsizetype equals = text.indexOf(u'=');
    if (equals > 0) {
        line.key = text.left(equals).trimmed();
        line.value = text.mid(equals + 1).trimmed();
    }
    return line;
}

qsizetype IniFile::find(const QString &section, const QString &key, qsizetype *sectionEnd) const
{
    if (sectionEnd)
        *sectionEnd = -1;
    bool inside = false;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines.at(i);
        if (line.isSection) {
            // Like the system's own reader, only the first section of a name counts.
            if (inside)
                return -1;
            inside = sameName(line.section, section);
            if (inside && sectionEnd)
                *sectionEnd = i + 1;
            continue;
        }
        if (!inside)
            continue;
        if (sectionEnd && !line.raw.trimmed().isEmpty())
            *sectionEnd = i + 1;
        if (!line.key.isEmpty() && sameName(line.key, key))
            return i;
    }
    return -1;
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const qsizetype index = find(section, key);
    if (index < 0)
        return std::nullopt;
    return m_lines.at(index).value;
}

QString IniFile::text(const QString &section, const QString &key, const QString &fallback) const
{
    return value(section, key).value_or(fallback);
}

int IniFile::integer(const QString &section, const QString &key, int fallback) const
{
    const std::optional<QString> found = value(section, key);
    if (!found)
        return fallback;
    bool ok = false;
    const int number = found->toInt(&ok, 10);
    return ok ? number : fallback;
}

bool IniFile::boolean(const QString &section, const QString &key, bool fallback) const
{
    return integer(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::setText(const QString &section, const QString &key, const QString &value)
{
    const Line line = parse((key + u'=' + oneLine(value)).toUtf8());
    qsizetype sectionEnd = -1;
    const qsizetype index = find(section, key, &sectionEnd);
    if (index >= 0) {
        m_lines[index] = line;
        return;
    }
    if (sectionEnd >= 0) {
        m_lines.insert(sectionEnd, line);
        return;
    }
    if (!m_lines.isEmpty() && !m_lines.last().raw.trimmed().isEmpty())
        m_lines.append(parse(QByteArray()));
    m_lines.append(parse((u'[' + section + u']').toUtf8()));
    m_lines.append(line);
}

void IniFile::setInteger(const QString &section, const QString &key, int value)
{
    setText(section, key, QString::number(value));
}

void IniFile::setBoolean(const QString &section, const QString &key, bool value)
{
    setText(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::save() const
{
    return saveAs(m_fileName);
}

bool IniFile::saveAs(const QString &fileName) const
{
    if (fileName.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    // Written to a side file and renamed over the old one: a crash never leaves half a file.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(toBytes());
    return file.commit();
}
