#include "historycapture.h"

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

// `text` with every half of a surrogate pair that stands alone replaced by
// U+FFFD. The history is saved as UTF-8, which cannot hold such halves: the
// entry in memory must be the one that comes back from the disk.
QString withoutLoneSurrogates(const QString &text)
{
    QString result = text;
    const int length = text.size();
    for (int i = 0; i < length; ++i) {
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
        history.removeDuplicates();
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
