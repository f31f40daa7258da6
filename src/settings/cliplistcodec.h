#ifndef CLIPLISTCODEC_H
#define CLIPLISTCODEC_H

#include <QByteArray>
#include <QStringList>

// The byte layout of the clip list file (see "File formats" in the README).
//
// Plain layout: the entries, newest first, each followed by "<>", as UTF-8
// in a compressed block. It cannot hold an entry that contains "<>" or a
// NUL character, so a history with such an entry is written in the framed
// layout instead: a NUL byte, the magic "QLCL", a version byte, then each
// entry as its UTF-8 length (32-bit unsigned big-endian) and its bytes. A
// reader of the plain layout stops at the leading NUL and sees no entries,
// never pieces of entries.
class ClipListCodec
{
public:
    // The whole file for `history`: the plain layout whenever it can hold
    // every entry, the framed one otherwise.
    static QByteArray encode(const QStringList &history);

    // Appends the entries of the file `bytes` to `history`, oldest last,
    // leaving out blank entries and stopping once `histmax` entries were
    // taken (after the first entry, blank or not, when `histmax` is 0 or
    // less). False when the file is damaged; `history` is then unchanged.
    static bool decode(const QByteArray &bytes, int histmax, QStringList *history);

    // Whether the plain layout can hold `entry`.
    static bool fitsPlainLayout(const QString &entry);

private:
    static QByteArray plainPayload(const QStringList &history);
    static QByteArray framedPayload(const QStringList &history);
    static void decodePlain(const QByteArray &payload, int histmax, QStringList *history);
    static bool decodeFramed(const QByteArray &payload, int histmax, QStringList *history);
};

#endif  // CLIPLISTCODEC_H
