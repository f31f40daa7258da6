// Settings::load() on an arbitrary quillet.ini, beside a clip list file of
// twenty entries, so that whatever histmax the file gives is applied; then a
// save and a second load.

#include "fuzzsupport.h"

#include "settings/appdir.h"
#include "settings/cliplistcodec.h"
#include "settings/settings.h"

#include <cstdint>

namespace {
QStringList twentyEntries()
{
    QStringList entries;
    for (int i = 0; i < 20; ++i)
        entries << QStringLiteral("entry %1").arg(i);
    return entries;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::startQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QStringList entries = twentyEntries();
    static const QByteArray clipList = ClipListCodec::encode(entries);
    static int run = 0;

    // QSettings keeps the files it read in a cache of its own: every run
    // reads from a directory of its own, so that the cache is never asked.
    const QString directory = fuzz::scratchDirectory() + QStringLiteral("/%1").arg(run++);
    FUZZ_CHECK(QDir().mkpath(directory));
    fuzz::writeFile(directory + QStringLiteral("/quillet.ini"),
        QByteArray(reinterpret_cast<const char *>(data), int(size)));
    fuzz::writeFile(directory + QStringLiteral("/cliplist.dat"), clipList);
    AppDir::setOverride(directory);

    Settings settings;
    settings.load();
    FUZZ_CHECK(settings.histmax <= 500);
    FUZZ_CHECK(settings.history == entries.mid(0, qMax(settings.histmax, 1)));
    // The file a save writes, with the lines held back put back in, loads
    // as safely. (Not always to the same record: QSettings escapes control
    // characters with backslashes, and such a value is held back next time.)
    settings.save();
    Settings again;
    again.load();
    FUZZ_CHECK(again.histmax <= 500);
    FUZZ_CHECK(again.history == entries.mid(0, again.history.size()));

    AppDir::setOverride(QString());
    FUZZ_CHECK(QDir(directory).removeRecursively());
    return 0;
}
