// The clip list decoder on arbitrary files, and on arbitrary payloads of
// both layouts (plain and framed) inside a valid compressed block.
//
// Input: one control byte, then the data. The low two bits of the control
// byte choose what the data is (0, 3: the whole file; 1: the uncompressed
// payload; 2: the framed payload after its magic), the upper six choose
// histmax.

#include "fuzzsupport.h"

#include "settings/cliplistcodec.h"
#include "settings/compressedblock.h"

#include <QStringList>

#include <cstdint>

namespace {
const QByteArray framedMagic("\0QLCL\x01", 6);

int histmaxFor(int code)
{
    switch (code) {
    case 0:
        return 0;
    case 1:
        return -1;
    case 63:
        return 500;
    default:
        return code;
    }
}

bool isBlank(const QString &entry)
{
    return entry.trimmed().isEmpty();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int mode = data[0] & 3;
    const int histmax = histmaxFor(data[0] >> 2);
    const QByteArray rest(reinterpret_cast<const char *>(data) + 1, int(size - 1));

    QByteArray file;
    switch (mode) {
    case 1: {
        file = CompressedBlock::pack(rest);
        QByteArray unpacked;
        FUZZ_CHECK(CompressedBlock::unpack(file, &unpacked));
        FUZZ_CHECK(unpacked == rest);
        break;
    }
    case 2:
        file = CompressedBlock::pack(framedMagic + rest);
        break;
    default:
        file = rest;
        break;
    }

    const QString sentinel = QStringLiteral("already there");
    QStringList history { sentinel };
    const bool ok = ClipListCodec::decode(file, histmax, &history);
    FUZZ_CHECK(history.first() == sentinel);
    if (mode == 1 && !rest.startsWith(framedMagic))
        FUZZ_CHECK(ok);  // every plain payload decodes
    if (!ok) {
        FUZZ_CHECK(history.size() == 1);
        return 0;
    }
    const QStringList taken = history.mid(1);
    FUZZ_CHECK(taken.size() <= qMax(histmax, 1));
    for (const QString &entry : taken)
        FUZZ_CHECK(!isBlank(entry));

    // What was read is written and read back unchanged.
    QStringList again;
    FUZZ_CHECK(ClipListCodec::decode(ClipListCodec::encode(taken), 1 << 30, &again));
    FUZZ_CHECK(again == taken);
    return 0;
}
