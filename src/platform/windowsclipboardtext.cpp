#include "windowsclipboardtext.h"

#include <array>
#include <cstring>

namespace {
using Format = WindowsClipboardFormats::Format;

// Where the text may come from, in the order Qt tries them.
enum Source { UnicodeText, Utf8Plain, Plain, Files, LinkW, Link, UriList, SourceCount };
using Offered = std::array<quint32, SourceCount>;

bool named(const Format &format, const char *name)
{
    // Windows tells registered names apart regardless of case.
    return format.id >= 0xC000 && format.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

Source sourceOf(const Format &format)
{
    if (format.id == WindowsClipboardFormats::UnicodeText)
        return UnicodeText;
    if (format.id == WindowsClipboardFormats::FileDrop)
        return Files;
    if (named(format, "text/plain;charset=utf-8"))
        return Utf8Plain;
    if (named(format, "text/plain"))
        return Plain;
    if (named(format, "UniformResourceLocatorW"))
        return LinkW;
    if (named(format, "UniformResourceLocator"))
        return Link;
    if (named(format, "text/uri-list"))
        return UriList;
    return SourceCount;
}

// The number of each source on offer; 0 where there is none.
Offered offered(const QVector<Format> &formats)
{
    Offered ids {};
    for (const Format &format : formats) {
        const Source source = sourceOf(format);
        if (source != SourceCount && ids[source] == 0)
            ids[source] = format.id;
    }
    return ids;
}

// Of the sources of addresses, Qt reads the first on offer only.
Source addressSource(const Offered &ids)
{
    for (Source source : { Files, LinkW, Link, UriList }) {
        if (ids[source] != 0)
            return source;
    }
    return SourceCount;
}

QString utf16UpToNul(const QByteArray &utf16)
{
    const auto *units = reinterpret_cast<const ushort *>(utf16.constData());
    const int count = utf16.size() / 2;
    int length = 0;
    while (length < count && units[length] != 0)
        ++length;
    return QString::fromUtf16(units, length);
}

QByteArray bytesUpToNul(const QByteArray &bytes)
{
    const int nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.left(nul);
}

// The NUL-ended names at the start of `names`, `unit` bytes a character,
// up to the first empty one (or the end of the data).
QList<QByteArray> nulEndedNames(const QByteArray &names, int unit)
{
    const int end = names.size() - names.size() % unit;
    const auto isNul = [&](int at) {
        for (int i = 0; i < unit; ++i) {
            if (names.at(at + i) != '\0')
                return false;
        }
        return true;
    };
    QList<QByteArray> result;
    int start = 0;
    while (start < end && !isNul(start)) {
        int stop = start;
        while (stop < end && !isNul(stop))
            stop += unit;
        result.append(names.mid(start, stop - start));
        start = stop + unit;
    }
    return result;
}

QList<QUrl> fileUrls(const QByteArray &dropFiles)
{
    QList<QUrl> urls;
    for (QString path : WindowsClipboardText::droppedFiles(dropFiles)) {
        // What QUrl does with Windows' separators on Windows only.
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        urls.append(QUrl::fromLocalFile(path));
    }
    return urls;
}

QList<QUrl> uriList(QByteArray bytes)
{
    if (bytes.endsWith('\0'))
        bytes.chop(1);
    QList<QUrl> urls;
    const QList<QByteArray> lines = bytes.split('\n');
    for (const QByteArray &line : lines) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            urls.append(QUrl::fromEncoded(trimmed));
    }
    return urls;
}
}  // namespace

QVector<quint32> WindowsClipboardText::sources(const QVector<Format> &formats)
{
    const Offered ids = offered(formats);
    if (ids[UnicodeText] != 0)
        return { ids[UnicodeText] };
    QVector<quint32> result;
    for (Source source : { Utf8Plain, Plain }) {
        if (ids[source] != 0)
            result.append(ids[source]);
    }
    const Source addresses = addressSource(ids);
    if (addresses != SourceCount)
        result.append(ids[addresses]);
    return result;
}

QString WindowsClipboardText::text(const QVector<Format> &formats, const QMap<quint32, QByteArray> &data)
{
    const Offered ids = offered(formats);
    if (ids[UnicodeText] != 0)
        return unicodeText(data.value(ids[UnicodeText]));
    for (Source source : { Utf8Plain, Plain }) {
        const QByteArray bytes = ids[source] != 0 ? data.value(ids[source]) : QByteArray();
        // NULs and all: Qt stops at none.
        if (!bytes.isEmpty())
            return QString::fromUtf8(bytes.constData(), bytes.size());
    }
    const Source addresses = addressSource(ids);
    const QByteArray bytes = addresses != SourceCount ? data.value(ids[addresses]) : QByteArray();
    switch (addresses) {
    case Files:
        return urlText(fileUrls(bytes));
    case LinkW:
        return urlText({ QUrl(utf16UpToNul(bytes)) });
    case Link:
        return urlText({ QUrl(QString::fromLocal8Bit(bytesUpToNul(bytes))) });
    case UriList:
        return urlText(uriList(bytes));
    default:
        return QString();
    }
}

QString WindowsClipboardText::unicodeText(const QByteArray &utf16)
{
    QString result = utf16UpToNul(utf16);
    result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return result;
}

QStringList WindowsClipboardText::droppedFiles(const QByteArray &dropFiles)
{
    // DROPFILES: the offset of the paths, a point, two flags; the second
    // tells UTF-16.
    constexpr int headerSize = 20;
    if (dropFiles.size() < headerSize)
        return {};
    quint32 offset = 0;
    quint32 wide = 0;
    std::memcpy(&offset, dropFiles.constData(), sizeof(offset));
    std::memcpy(&wide, dropFiles.constData() + 16, sizeof(wide));
    if (offset > quint32(dropFiles.size()))
        return {};
    QStringList paths;
    const QList<QByteArray> names = nulEndedNames(dropFiles.mid(int(offset)), wide ? 2 : 1);
    for (const QByteArray &name : names) {
        if (wide)
            paths.append(
                QString::fromUtf16(reinterpret_cast<const ushort *>(name.constData()), name.size() / 2));
        else
            paths.append(QString::fromLocal8Bit(name));
    }
    return paths;
}

QString WindowsClipboardText::urlText(const QList<QUrl> &urls)
{
    QString text;
    for (const QUrl &url : urls)
        text += url.toDisplayString() + QLatin1Char('\n');
    if (urls.size() == 1)
        text.chop(1);
    return text;
}
