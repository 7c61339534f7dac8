#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// A plain INI text file: "[Section]" lines and "key=value" lines, texts stored as they are.
// Sections and keys match case-insensitively. Lines the program does not touch (comments,
// other programs' sections, anything malformed) are written back byte for byte.
class IniFile {
public:
    IniFile() = default;
    // A missing or unreadable file gives an empty one; the file name is kept for save().
    explicit IniFile(const QString &fileName);

    static IniFile fromBytes(const QByteArray &bytes);
    QByteArray toBytes() const;

    std::optional<QString> value(const QString &section, const QString &key) const;
    QString text(const QString &section, const QString &key, const QString &fallback = QString()) const;
    // Decimal only; a missing or malformed number gives the fallback.
    int integer(const QString &section, const QString &key, int fallback) const;
    // True for any non-zero number.
    bool boolean(const QString &section, const QString &key, bool fallback) const;

    // Replaces the first such key, or adds it at the end of its section (the section at the end
    // of the file). Line breaks in the value become blanks: they would start new keys.
    void setText(const QString &section, const QString &key, const QString &value);
    void setInteger(const QString &section, const QString &key, int value);
    void setBoolean(const QString &section, const QString &key, bool value);

    // Replaces the file in one step, creating its folder; false when it could not be written.
    bool save() const;
    bool saveAs(const QString &fileName) const;

    QString fileName() const { return m_fileName; }

private:
    struct Line {
        QByteArray raw;
        bool isSection = false;
        QString section;
        QString key; // set on key lines
        QString value;
    };
    static Line parse(const QByteArray &raw);
    // Index of the key line, or -1; *sectionEnd gets the index after the section's last
    // non-blank line (-1 when the section is missing).
    qsizetype find(const QString &section, const QString &key, qsizetype *sectionEnd = nullptr) const;

    QString m_fileName;
    QList<Line> m_lines;
    QByteArray m_newline;
};
