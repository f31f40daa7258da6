#include "cliplistcodec.h"

#include "compressedblock.h"

namespace {
const char separator[] = "<>";
// NUL, "QLCL", version 1.
const char framedMagic[] = { '\0', 'Q', 'L', 'C', 'L', '\x01' };
const int framedMagicSize = int(sizeof(framedMagic));

bool isBlank(const QChar *text, int length)
{
    for (int i = 0; i < length; ++i) {
        if (!text[i].isSpace())
            return false;
    }
    return true;
}

// Walks the entries with the rule of the loader: blank entries are left out,
// and the walk stops once `histmax` entries are taken (checked after every
// entry, taken or not).
class EntryCollector
{
public:
    EntryCollector(int histmax, QStringList *history)
        : histmax(histmax)
        , history(history)
    { }
    // Returns false when the walk is over.
    bool offer(const QChar *text, int length)
    {
        if (!isBlank(text, length)) {
            history->append(QString(text, length));
            ++taken;
        }
        return taken < histmax;
    }

private:
    const int histmax;
    QStringList *history;
    int taken = 0;
};

quint32 readLength(const char *bytes)
{
    const uchar *b = reinterpret_cast<const uchar *>(bytes);
    return (quint32(b[0]) << 24) | (quint32(b[1]) << 16) | (quint32(b[2]) << 8) | quint32(b[3]);
}

void appendLength(QByteArray *bytes, quint32 length)
{
    const char b[4] = { char(length >> 24), char(length >> 16), char(length >> 8), char(length) };
    bytes->append(b, 4);
}
}  // namespace

bool ClipListCodec::fitsPlainLayout(const QString &entry)
{
    return !entry.contains(QLatin1String(separator)) && !entry.contains(QChar(0));
}

QByteArray ClipListCodec::encode(const QStringList &history)
{
    for (const QString &entry : history) {
        if (!fitsPlainLayout(entry))
            return CompressedBlock::pack(framedPayload(history));
    }
    return CompressedBlock::pack(plainPayload(history));
}

QByteArray ClipListCodec::plainPayload(const QStringList &history)
{
    QString text;
    for (const QString &entry : history) {
        text += entry;
        text += QLatin1String(separator);
    }
    return text.toUtf8();
}

QByteArray ClipListCodec::framedPayload(const QStringList &history)
{
    QByteArray payload(framedMagic, framedMagicSize);
    for (const QString &entry : history) {
        const QByteArray bytes = entry.toUtf8();
        appendLength(&payload, quint32(bytes.size()));
        payload += bytes;
    }
    return payload;
}

bool ClipListCodec::decode(const QByteArray &bytes, int histmax, QStringList *history)
{
    QByteArray payload;
    if (!CompressedBlock::unpack(bytes, &payload))
        return false;
    if (payload.startsWith(QByteArray::fromRawData(framedMagic, framedMagicSize)))
        return decodeFramed(payload, histmax, history);
    decodePlain(payload, histmax, history);
    return true;
}

void ClipListCodec::decodePlain(const QByteArray &payload, int histmax, QStringList *history)
{
    // The text ends at the first NUL byte.
    const int nul = payload.indexOf('\0');
    const QString text = QString::fromUtf8(payload.constData(), nul < 0 ? payload.size() : nul);

    EntryCollector collector(histmax, history);
    const QLatin1String mark(separator);
    int start = 0;
    for (;;) {
        const int end = text.indexOf(mark, start);
        const int length = (end < 0 ? text.size() : end) - start;
        if (!collector.offer(text.constData() + start, length) || end < 0)
            return;
        start = end + mark.size();
    }
}

bool ClipListCodec::decodeFramed(const QByteArray &payload, int histmax, QStringList *history)
{
    // Check the whole frame first, so that a damaged file adds nothing.
    int position = framedMagicSize;
    while (position < payload.size()) {
        if (payload.size() - position < 4)
            return false;
        const quint32 length = readLength(payload.constData() + position);
        position += 4;
        if (length > quint32(payload.size() - position))
            return false;
        position += int(length);
    }

    EntryCollector collector(histmax, history);
    position = framedMagicSize;
    while (position < payload.size()) {
        const int length = int(readLength(payload.constData() + position));
        position += 4;
        const QString entry = QString::fromUtf8(payload.constData() + position, length);
        position += length;
        if (!collector.offer(entry.constData(), entry.size()))
            break;
    }
    return true;
}
