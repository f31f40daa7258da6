#include "compressedblock.h"

#include <zlib.h>

namespace {
// Deflate cannot expand data by more than this factor (plus a little).
const qint64 maxRatio = 1032;
const int chunkSize = 64 * 1024;
}  // namespace

QByteArray CompressedBlock::pack(const QByteArray &data)
{
    return qCompress(data, 1);
}

bool CompressedBlock::unpack(const QByteArray &block, QByteArray *data)
{
    data->clear();
    if (block.size() < 4)
        return false;
    const uchar *header = reinterpret_cast<const uchar *>(block.constData());
    const quint32 claimed = (quint32(header[0]) << 24) | (quint32(header[1]) << 16)
        | (quint32(header[2]) << 8) | quint32(header[3]);
    if (block.size() == 4)
        return claimed == 0;  // what qCompress makes of no data

    // The header is only a hint: never reserve more than the stream can
    // possibly yield.
    const qint64 streamSize = block.size() - 4;
    data->reserve(int(qMin(qMin<qint64>(claimed, streamSize * maxRatio + 1024), maxPayload)));

    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(block.constData() + 4));
    stream.avail_in = uInt(streamSize);

    char scratch[chunkSize];
    qint64 total = 0;
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef *>(scratch);
        stream.avail_out = chunkSize;
        result = ::inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END)
            break;
        const qint64 produced = chunkSize - stream.avail_out;
        total += produced;
        if (total > maxPayload) {
            result = Z_MEM_ERROR;
            break;
        }
        data->append(scratch, int(produced));
        if (result == Z_OK && produced == 0 && stream.avail_in == 0) {
            result = Z_BUF_ERROR;  // the stream is cut off
            break;
        }
    }
    inflateEnd(&stream);
    if (result != Z_STREAM_END) {
        data->clear();
        data->squeeze();
        return false;
    }
    return true;
}
