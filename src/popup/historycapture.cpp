#include "historycapture.h"

#include <QHash>
#include <QStringView>
#include <QVector>

namespace {
// What trimmed().isEmpty() says, without copying a text of megabytes.
bool isBlank(const QString &text)
{
    for (const QChar c : text) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

// Where the first UTF-16 surrogate of `text` is, or -1. Looked for in
// blocks whose test the compiler can do many characters at a time: a copy
// of megabytes must not keep the popup from answering.
int firstSurrogate(const QString &text)
{
    const auto *units = reinterpret_cast<const ushort *>(text.constData());
    const int length = text.size();
    constexpr int block = 64;
    int i = 0;
    for (; i + block <= length; i += block) {
        unsigned found = 0;
        for (int k = 0; k < block; ++k)
            found |= unsigned((units[i + k] & 0xF800) == 0xD800);
        if (found)
            break;
    }
    for (; i < length; ++i) {
        if ((units[i] & 0xF800) == 0xD800)
            return i;
    }
    return -1;
}

// A key that tells most different texts apart without reading them whole:
// their length and a few characters at each end.
quint64 cheapKey(const QString &text)
{
    constexpr int ends = 32;
    const QStringView view(text);
    const uint head = qHash(view.left(ends));
    const uint tail = qHash(view.right(ends));
    return (quint64(head ^ (tail * 31u)) << 32) ^ quint64(uint(text.size()));
}

// What QStringList::removeDuplicates does (the first copy stays), without
// hashing all of every entry: a history of megabytes is read only where
// two entries agree in length and at both ends.
void removeDuplicates(QStringList &list)
{
    QHash<quint64, QVector<int>> kept;  // key to positions in `unique`
    QStringList unique;
    unique.reserve(list.size());
    for (const QString &entry : qAsConst(list)) {
        QVector<int> &same = kept[cheapKey(entry)];
        bool copy = false;
        for (int at : qAsConst(same)) {
            if (unique.at(at) == entry) {
                copy = true;
                break;
            }
        }
        if (copy)
            continue;
        same.append(unique.size());
        unique.append(entry);
    }
    if (unique.size() != list.size())
        list = unique;
}

// `text` with every half of a surrogate pair that stands alone replaced by
// U+FFFD. The history is saved as UTF-8, which cannot hold such halves: the
// entry in memory must be the one that comes back from the disk.
QString withoutLoneSurrogates(const QString &text)
{
    const int first = firstSurrogate(text);
    if (first < 0)
        return text;
    QString result = text;
    const int length = text.size();
    for (int i = first; i < length; ++i) {
        const QChar c = text.at(i);
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < length && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        result[i] = QChar::ReplacementCharacter;
    }
    return result;
}
}  // namespace

bool HistoryCapture::capture(
    QStringList &history, const ClipboardSnapshot &clipboard, int histmax, bool *unique)
{
    if (clipboard.hasImage || clipboard.hasColor || isSecret(clipboard))
        return false;
    const QString &text = clipboard.text;
    if (isBlank(text))
        return false;
    history.insert(0, withoutLoneSurrogates(text));
    if (unique && *unique) {
        // Only the new text can have a copy; entries of another length are
        // told apart without reading them.
        const QString &head = history.first();
        for (int i = 1; i < history.size(); ++i) {
            if (history.at(i) == head) {
                history.removeAt(i);
                break;
            }
        }
    } else {
        removeDuplicates(history);
    }
    if (unique)
        *unique = true;
    if (histmax < history.size())
        history.removeLast();
    return true;
}

namespace {
// The format `name` of Windows, under its Qt name or its own.
QString presentWindowsFormat(const QStringList &formats, const char *name)
{
    const QString wrapped = ClipboardSnapshot::windowsFormat(QLatin1String(name));
    if (formats.contains(wrapped))
        return wrapped;
    if (formats.contains(QLatin1String(name)))
        return QLatin1String(name);
    return QString();
}

// A DWORD of 0, as Windows stores it.
bool holdsZero(const QByteArray &value)
{
    return value.size() >= 4 && value.startsWith(QByteArray(4, '\0'));
}
}  // namespace

bool HistoryCapture::isSecret(const ClipboardSnapshot &data)
{
    const QStringList &formats = data.formats;
    // Present at all: the content does not matter (one password manager
    // writes "1", another four zero bytes).
    for (const char *name : { "ExcludeClipboardContentFromMonitorProcessing", "Clipboard Viewer Ignore" }) {
        if (!presentWindowsFormat(formats, name).isEmpty())
            return true;
    }
    // Present and holding a 32-bit zero: "do not keep this in any history".
    for (const char *name : { "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard" }) {
        const QString format = presentWindowsFormat(formats, name);
        if (!format.isEmpty() && holdsZero(data.data(format)))
            return true;
    }
    const QString kdeHint = QStringLiteral("x-kde-passwordManagerHint");
    return formats.contains(kdeHint) && !data.data(kdeHint).isEmpty();
}
