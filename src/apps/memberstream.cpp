#include "apps/memberstream.h"

#include "bridge/adboutput.h"

#include <QRandomGenerator>
#include <QtEndian>

namespace {

// unzip takes members as wildcard patterns; a backslash makes * ? [ and itself literal.
QString memberPattern(const QString &member)
{
    QString pattern;
    for (const QChar c : member) {
        if (c == u'*' || c == u'?' || c == u'[' || c == u'\\')
            pattern += u'\\';
        pattern += c;
    }
    return quoteDevicePath(pattern);
}

QString requestCommand(const MemberRequest &request, qsizetype index, const QString &marker)
{
    QString text = QStringLiteral("echo %1 %2;unzip -p %3").arg(marker).arg(index).arg(quoteDevicePath(request.apk));
    for (const QString &member : request.members)
        text += u' ' + memberPattern(member);
    // An error would mix with the bytes; a member that is missing simply sends nothing.
    return text + QStringLiteral(" 2>/dev/null;");
}

quint32 u32At(const QByteArray &data, qsizetype at)
{
    return qFromLittleEndian<quint32>(data.constData() + at);
}

quint32 bigU32At(const QByteArray &data, qsizetype at)
{
    return qFromBigEndian<quint32>(data.constData() + at);
}

// The length of a resource chunk (binary XML or a table) of `type` at `at`, or -1.
qsizetype chunkLength(const QByteArray &data, qsizetype at, quint16 type)
{
    if (at + 8 > data.size() || qFromLittleEndian<quint16>(data.constData() + at) != type)
        return -1;
    const qsizetype length = u32At(data, at + 4);
    return length >= 8 && at + length <= data.size() ? length : -1;
}

constexpr quint16 kXmlChunk = 0x0003;
constexpr quint16 kTableChunk = 0x0002;

// The length of the PNG (its chunks up to IEND) or WebP (its RIFF size) picture at `from`, or -1.
qsizetype pictureLength(const QByteArray &data, qsizetype from)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    const QByteArrayView rest = QByteArrayView(data).sliced(from);
    if (rest.startsWith("RIFF") && rest.size() >= 8) {
        const qsizetype length = qsizetype(u32At(data, from + 4)) + 8;
        return length <= rest.size() ? length : -1;
    }
    if (!rest.startsWith(signature))
        return -1;
    for (qsizetype at = 8; at + 12 <= rest.size();) {
        const qsizetype next = at + 12 + qsizetype(bigU32At(data, from + at));
        if (next > rest.size())
            return -1;
        if (rest.sliced(at + 4, 4) == "IEND")
            return next;
        at = next;
    }
    return -1;
}

} // namespace

QString newStreamMarker()
{
    return QStringLiteral("vb%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
}

QString memberStreamCommand(const QList<MemberRequest> &requests, const QString &marker)
{
    QString text;
    for (qsizetype i = 0; i < requests.size(); ++i)
        text += requestCommand(requests.at(i), i, marker);
    // The phone says it got to the end: adb's exit status says nothing about the phone's side here.
    return text + QStringLiteral("echo %1 end").arg(marker);
}

QList<std::optional<QByteArray>> splitMemberStream(const QByteArray &output, qsizetype requests,
                                                   const QString &marker)
{
    QList<std::optional<QByteArray>> results(requests);
    const QByteArray end = marker.toUtf8() + " end\n";
    // Without the end the stream was cut (the phone went away): the last request's bytes may stop short.
    const bool whole = output.endsWith(end);
    const QByteArray body = whole ? output.left(output.size() - end.size()) : output;
    const auto header = [&](qsizetype i) { return QByteArray(marker.toUtf8() + ' ' + QByteArray::number(i) + '\n'); };
    // Whatever the shell printed before the first header (a linker warning) is no member.
    qsizetype start = body.startsWith(header(0)) ? 0 : body.indexOf(QByteArray('\n' + header(0)));
    if (start > 0)
        ++start;
    qsizetype last = -1;
    for (qsizetype i = 0; i < requests && start >= 0; ++i) {
        const qsizetype begin = start + header(i).size();
        // The next header follows the last byte of this request's members.
        qsizetype next = i + 1 < requests ? body.indexOf(header(i + 1), begin) : body.size();
        if (next < 0)
            next = body.size();
        results[i] = body.mid(begin, next - begin);
        last = i;
        start = next < body.size() ? next : -1;
    }
    if (!whole && last >= 0)
        results[last].reset();
    return results;
}

ManifestAndTable splitManifestAndTable(const QByteArray &bytes)
{
    ManifestAndTable result;
    qsizetype at = 0;
    while (at < bytes.size()) {
        if (const qsizetype xml = chunkLength(bytes, at, kXmlChunk); xml > 0 && result.manifest.isEmpty()) {
            result.manifest = bytes.mid(at, xml);
            at += xml;
        } else if (const qsizetype table = chunkLength(bytes, at, kTableChunk); table > 0 && result.table.isEmpty()) {
            result.table = bytes.mid(at, table);
            at += table;
        } else if (const qsizetype picture = pictureLength(bytes, at); picture > 0 && result.picture.isEmpty()) {
            result.picture = bytes.mid(at, picture);
            at += picture;
        } else {
            return result;
        }
    }
    result.whole = !result.manifest.isEmpty();
    return result;
}

bool isWholeMember(const QByteArray &bytes)
{
    if (bytes.startsWith("\x89PNG") || bytes.startsWith("RIFF"))
        return pictureLength(bytes, 0) == bytes.size();
    if (bytes.startsWith(QByteArray("\x03\x00\x08\x00", 4)))
        return chunkLength(bytes, 0, kXmlChunk) == bytes.size();
    return !bytes.isEmpty();
}

QList<qsizetype> memberStreamGroups(const QList<MemberRequest> &requests, const QString &marker, qsizetype limit,
                                    int first, int most)
{
    QList<qsizetype> sizes;
    qsizetype count = 0;
    qsizetype length = 0;
    for (const MemberRequest &request : requests) {
        const qsizetype own = requestCommand(request, count, marker).size();
        const int room = sizes.isEmpty() ? first : most;
        if (count > 0 && (count >= room || length + own > limit)) {
            sizes << count;
            count = 0;
            length = 0;
        }
        ++count;
        length += own;
    }
    if (count > 0)
        sizes << count;
    return sizes;
}
