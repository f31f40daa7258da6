// The rewrite of the style sheet file quillet.qss on arbitrary bytes.

#include "fuzzsupport.h"

#include "app/darklook.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QString appDir = QStringLiteral("/opt/quillet dir");
    const QString sheet = DarkLook::styleSheet(bytes, appDir);

    // Latin-1 up to the first zero byte, every "url(" pointing into appDir.
    const int end = bytes.indexOf('\0');
    const QString text = QString::fromLatin1(end < 0 ? bytes : bytes.left(end));
    const int urls = text.count(QLatin1String("url("));
    FUZZ_CHECK(sheet.size() == text.size() + urls * (appDir.size() + 1));
    FUZZ_CHECK(!sheet.contains(QChar(0)));
    FUZZ_CHECK(sheet.count(QLatin1String("url(") + appDir + QLatin1Char('/')) >= urls);
    QString back = sheet;
    back.replace(QLatin1String("url(") + appDir + QLatin1Char('/'), QLatin1String("url("));
    FUZZ_CHECK(back == text);
    return 0;
}
