// Settings::WriteUtf8Bom on a file of arbitrary bytes.

#include "fuzzsupport.h"

#include "settings/settings.h"

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::startQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QString path = fuzz::scratchDirectory() + QStringLiteral("/quillet.ini");
    fuzz::writeFile(path, bytes);

    Settings::WriteUtf8Bom(path);

    const QByteArray written = fuzz::readFile(path);
    const QByteArray bom("\xef\xbb\xbf");
    if (written.isEmpty())
        return 0;
    FUZZ_CHECK(written.startsWith(bom));
    // Every LF stands after a CR.
    for (int i = written.indexOf('\n'); i >= 0; i = written.indexOf('\n', i + 1))
        FUZZ_CHECK(written.at(i - 1) == '\r');
    // Valid UTF-8 comes out byte for byte, with LF turned into CR LF (other
    // bytes are read as replacement characters), behind exactly one mark.
    const QByteArray body = bytes.startsWith(bom) ? bytes.mid(3) : bytes;
    if (QString::fromUtf8(body).toUtf8() == body)
        FUZZ_CHECK(written == bom + QByteArray(body).replace("\n", "\r\n"));
    return 0;
}
