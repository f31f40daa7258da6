#include "clipboardsnapshot.h"

#include <QMimeData>

const QStringList &ClipboardSnapshot::markerNames()
{
    static const QStringList names { QStringLiteral("ExcludeClipboardContentFromMonitorProcessing"),
        QStringLiteral("Clipboard Viewer Ignore"), QStringLiteral("CanIncludeInClipboardHistory"),
        QStringLiteral("CanUploadToCloudClipboard"), QStringLiteral("x-kde-passwordManagerHint") };
    return names;
}

QString ClipboardSnapshot::windowsFormat(const QString &name)
{
    return QStringLiteral("application/x-qt-windows-mime;value=\"%1\"").arg(name);
}

bool ClipboardSnapshot::isMarkerFormat(const QString &format)
{
    for (const QString &name : markerNames()) {
        if (format == name || format == windowsFormat(name))
            return true;
    }
    return false;
}

ClipboardSnapshot ClipboardSnapshot::fromMimeData(const QMimeData *data)
{
    ClipboardSnapshot snapshot;
    if (!data)
        return snapshot;
    snapshot.formats = data->formats();
    snapshot.hasImage = data->hasImage();
    snapshot.hasColor = data->hasColor();
    snapshot.text = data->text();
    for (const QString &format : qAsConst(snapshot.formats)) {
        if (isMarkerFormat(format))
            snapshot.markerData.insert(format, data->data(format));
    }
    return snapshot;
}
