#include "base/bookmarks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

QStringList readBookmarkFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLocal8Bit(file.readAll());
    if (text.isEmpty())
        return {};
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(lineEnd);
    // The last line's own end leaves one empty piece behind; an empty bookmark before it stays.
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool writeBookmarkFile(const QString &fileName, const QStringList &items)
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes;
    for (const QString &item : items)
        bytes += item.toLocal8Bit() + "\r\n";
    file.write(bytes);
    return file.commit();
}

BookmarkLists::BookmarkLists(const QString &dataDir) : m_dataDir(dataDir) {}

QString BookmarkLists::fileName(Box box) const
{
    return m_dataDir + (box == Pc ? QStringLiteral("/bookmarks1.txt") : QStringLiteral("/bookmarks2.txt"));
}

void BookmarkLists::load()
{
    m_pc = readBookmarkFile(fileName(Pc));
    m_device = readBookmarkFile(fileName(Device1));
}

bool BookmarkLists::add(Box box, const QString &text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QString item = text;
    item.replace(lineBreak, QStringLiteral(" "));
    list(box).append(item);
    return writeBookmarkFile(fileName(box), list(box));
}

bool BookmarkLists::remove(Box box, const QString &text)
{
    QStringList &items = list(box);
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items.at(i).compare(text, Qt::CaseInsensitive) == 0) {
            items.removeAt(i);
            break;
        }
    }
    return writeBookmarkFile(fileName(box), items);
}
