#pragma once

#include "lists/listitem.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QTemporaryDir;
class AdbClient;

// A batch writes each row first into a hidden folder beside its target and moves it into place only once it
// has arrived whole: a row that fails, is cancelled or is cut off by an unplugged phone leaves what it was to
// replace as it was, whatever its name, its length or its kind.

// On the PC: a hidden folder in the destination, removed with whatever is left in it.
class PcStage {
public:
    // Makes `folder` too when it is missing.
    explicit PcStage(const QString &folder);
    ~PcStage();

    bool isValid() const;
    QString errorString() const { return m_error; }
    QString path() const; // ends in "/"

    // Moves what arrived at `staged` to `target`: a file replaces the file or link there, a folder takes the
    // place of nothing or merges into the folder there. What could not be put in place, one line each.
    static QStringList commit(const QString &staged, const QString &target);

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_error;
};

// What one marked shell command of a row printed and how it ended.
struct MarkedResult {
    std::optional<int> status; // none when its marker never came (the phone gone)
    QStringList lines;         // what it printed before its marker
};

// Runs each row's shell text followed by its marker, as many in one shell as `limit` (bytes) allows, and
// reads each row's own status and output. Not stopped by a Cancel: files moved on the phone must be known.
QHash<int, MarkedResult> runMarked(const AdbClient &adb, qsizetype limit,
                                   const QList<std::pair<int, QString>> &commands);

// What the phone lists in `folder`, by entry name, asked also after a Cancel; nothing when it did not answer.
std::optional<QHash<QString, ListItem>> listedByName(const AdbClient &adb, const QString &folder, bool shortListing);

// On the phone: a hidden folder in the destination.
class PhoneStage {
public:
    PhoneStage(const AdbClient &adb, qsizetype limit);

    // Makes the folder in `folder` (ends in "/"); false, with the reason, when the phone refused.
    bool make(const QString &folder);
    // Takes on a stage made earlier (one the phone kept when it went away).
    bool adopt(const QString &path);
    bool isMade() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; } // ends in "/"
    QString errorString() const { return m_error; }

    // What it holds, by name, from one listing; none when it did not list (the phone gone).
    std::optional<QHash<QString, ListItem>> contents(bool shortListing) const;
    // Removes it with whatever is still in it; false when the phone did not confirm.
    bool remove();

    // The shell text that moves a staged file to its target, never into a folder there.
    static QString moveCommand(const QString &staged, const QString &target);
    // The shell text that merges a staged folder into the folder `target`, given the staged folder's own
    // folders and files (relative paths, parents first); its status is not 0 when any part stayed behind.
    static QStringList mergeCommands(const QString &staged, const QString &target, const QStringList &folders,
                                     const QStringList &files, qsizetype limit);

private:
    const AdbClient &m_adb;
    qsizetype m_limit;
    QString m_path;
    QString m_error;
};
