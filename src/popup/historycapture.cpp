#include "historycapture.h"

#include <QClipboard>
#include <QMimeData>

bool HistoryCapture::capture(QStringList &history, const QClipboard *clipboard, int histmax)
{
    const QMimeData *data = clipboard->mimeData(QClipboard::Clipboard);
    if (data && (data->hasImage() || data->hasColor() || isSecret(data)))
        return false;
    const QString text = clipboard->text(QClipboard::Clipboard);
    if (text.trimmed().isEmpty())
        return false;
    history.insert(0, text);
    history.removeDuplicates();
    if (histmax < history.size())
        history.removeLast();
    return true;
}

bool HistoryCapture::isSecret(const QMimeData *data)
{
    Q_UNUSED(data);
    return false;
}
