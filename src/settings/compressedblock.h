#ifndef COMPRESSEDBLOCK_H
#define COMPRESSEDBLOCK_H

#include <QByteArray>

// The compressed envelope of the clip list file: the length of the data,
// 32-bit unsigned big-endian, then a zlib stream of the data (what qCompress
// writes). Unpacking never trusts the length in the header: memory grows
// only with the data the stream really yields, and no more than maxPayload
// bytes are ever unpacked, so a damaged or hostile file cannot make the
// program allocate gigabytes.
class CompressedBlock
{
public:
    // The most data one block may unpack to.
    static constexpr qint64 maxPayload = qint64(512) << 20;

    // The envelope of `data` at compression level 1.
    static QByteArray pack(const QByteArray &data);
    // Unpacks `block` into `data`. False when the block is damaged, cut off
    // or unpacks to more than maxPayload bytes; `data` is then empty.
    static bool unpack(const QByteArray &block, QByteArray *data);
};

#endif  // COMPRESSEDBLOCK_H
