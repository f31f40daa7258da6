#include "windowsclipboardformats.h"

#include "windowsclipboardtext.h"

namespace {
const QString qtImage = QStringLiteral("application/x-qt-image");
const QString qtColor = QStringLiteral("application/x-color");
const QString plainText = QStringLiteral("text/plain");
const QString uriList = QStringLiteral("text/uri-list");

// Registered names that Qt takes for a MIME type and lists unchanged.
bool looksLikeMimeType(const QString &name)
{
    static const char *const mediaTypes[] = { "application/", "audio/", "example/", "image/", "message/",
        "model/", "multipart/", "text/", "video/" };
    for (const char *type : mediaTypes) {
        if (name.startsWith(QLatin1String(type)))
            return true;
    }
    return false;
}

// Registered names that Qt leaves to its own converters and does not list.
bool handledByQt(const QString &name)
{
    return name == QLatin1String("text/html") || name == plainText || name == uriList || name == qtImage;
}
}  // namespace

QStringList WindowsClipboardFormats::qtNames(const Format &format)
{
    switch (format.id) {
    case Text:
    case OemText:
    case UnicodeText:
        return { plainText };
    case Bitmap:
    case Dib:
    case DibV5:
        return { qtImage };
    case FileDrop:
        return { uriList };
    default:
        break;
    }
    const QString &name = format.name;
    // Other predefined formats (locale, metafiles, palettes...) are not shown.
    if (name.isEmpty())
        return {};
    if (name == QLatin1String("HTML Format"))
        return { QStringLiteral("text/html") };
    if (name == QLatin1String("UniformResourceLocator"))
        return { uriList };
    if (name == QLatin1String("UniformResourceLocatorW"))
        return { uriList, ClipboardSnapshot::windowsFormat(name) };
    if (name == QLatin1String("PNG"))
        return { ClipboardSnapshot::windowsFormat(name), qtImage };
    if (handledByQt(name))
        return {};
    if (name == qtColor)
        return { qtColor };
    if (looksLikeMimeType(name)) {
        if (name.startsWith(QLatin1String("image/")))
            return { name, qtImage };
        return { name };
    }
    return { ClipboardSnapshot::windowsFormat(name) };
}

bool WindowsClipboardFormats::isImage(const Format &format)
{
    // Any image, even of a kind this Qt has no reader for: an image copy
    // is kept out of the history whatever text comes with it.
    return qtNames(format).contains(qtImage) || format.name == qtImage;
}

bool WindowsClipboardFormats::isColor(const Format &format)
{
    return format.id >= 0xC000 && format.name == qtColor;
}

bool WindowsClipboardFormats::isMarker(const Format &format)
{
    return format.id >= 0xC000 && !format.name.isEmpty()
        && ClipboardSnapshot::markerNames().contains(format.name);
}

QVector<quint32> WindowsClipboardFormats::formatsToRead(const QVector<Format> &formats)
{
    QVector<quint32> ids;
    bool imageOrColor = false;
    for (const Format &format : formats) {
        imageOrColor = imageOrColor || isImage(format) || isColor(format);
        if (isMarker(format))
            ids.append(format.id);
    }
    if (!imageOrColor)
        ids += WindowsClipboardText::sources(formats);
    return ids;
}

ClipboardSnapshot WindowsClipboardFormats::snapshot(
    const QVector<Format> &formats, const QMap<quint32, QByteArray> &data)
{
    ClipboardSnapshot snapshot;
    for (const Format &format : formats) {
        const QStringList names = qtNames(format);
        for (const QString &name : names) {
            if (!snapshot.formats.contains(name))
                snapshot.formats.append(name);
        }
        snapshot.hasImage = snapshot.hasImage || isImage(format);
        snapshot.hasColor = snapshot.hasColor || isColor(format);
        if (isMarker(format) && data.contains(format.id))
            snapshot.markerData.insert(ClipboardSnapshot::windowsFormat(format.name), data.value(format.id));
    }
    snapshot.text = WindowsClipboardText::text(formats, data);
    return snapshot;
}
