#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Many APKs' members in one `adb exec-out` call: for every APK the phone writes a header line and then the
// members' bytes. Every adb call costs its start-up and every program the phone starts costs too, so a phone with
// hundreds of packages is read in a few calls with one unzip per APK. The members need no listing: a binary XML
// file, a resource table, a PNG and a WebP picture each say how long they are.

// One APK and the members wanted of it.
struct MemberRequest {
    QString apk;
    QStringList members;
};

// A new random marker for one call's header lines: no member's bytes will hold it by chance.
QString newStreamMarker();

// The shell text for `requests`, in the order given.
QString memberStreamCommand(const QList<MemberRequest> &requests, const QString &marker);

// The bytes that came for each request; nothing for requests the stream did not reach.
QList<std::optional<QByteArray>> splitMemberStream(const QByteArray &output, qsizetype requests,
                                                   const QString &marker);

// The bytes of one APK's AndroidManifest.xml and resources.arsc, and of at most one picture asked for with them, as
// unzip writes them (in the archive's order).
struct ManifestAndTable {
    bool whole = false; // a manifest, and every byte accounted for
    QByteArray manifest;
    QByteArray table;   // empty for an APK without resources
    QByteArray picture; // a PNG or WebP picture, whole
};
ManifestAndTable splitManifestAndTable(const QByteArray &bytes);

// A file of a kind that says its own length (binary XML, PNG, WebP) is there whole; other kinds are taken as
// they came.
bool isWholeMember(const QByteArray &bytes);

// Consecutive groups of `requests` whose commands stay within `limit` characters: the first holds at most `first`
// requests (so that the first rows come soon), the others at most `most`.
QList<qsizetype> memberStreamGroups(const QList<MemberRequest> &requests, const QString &marker, qsizetype limit,
                                    int first, int most);
