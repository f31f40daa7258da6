#ifndef CLIPBOARDSNAPSHOT_H
#define CLIPBOARDSNAPSHOT_H

#include "background/handover.h"

#include <QByteArray>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <QStringList>

class QMimeData;

// What the clipboard held at one moment, read off the GUI thread and handed
// to it as a value: the text, the names of the formats on offer (as the
// system names them; Windows' registered formats as Qt spells them), whether
// an image or a colour is among them, and the data of the few small formats
// with which programs ask clipboard watchers to keep a content out of any
// history.
struct ClipboardSnapshot
{
    QString text;
    QStringList formats;
    bool hasImage = false;
    bool hasColor = false;
    // The data of each marker format on offer, by its name in `formats`.
    QMap<QString, QByteArray> markerData;
    // Last of the data: see HandOverMark.
    HandOverMark<ClipboardSnapshot> handOver;

    bool hasFormat(const QString &format) const { return formats.contains(format); }
    QByteArray data(const QString &format) const { return markerData.value(format); }

    // The format names (without Qt's Windows wrapping) whose data a reader
    // fetches into markerData.
    static const QStringList &markerNames();
    // Whether `format` names one of them, bare or as Qt wraps a Windows
    // format ("application/x-qt-windows-mime;value=\"NAME\"").
    static bool isMarkerFormat(const QString &format);
    // A format name of Windows as Qt spells it.
    static QString windowsFormat(const QString &name);

    // The snapshot of data that is already in this process (Qt's own
    // clipboard, or a test's).
    static ClipboardSnapshot fromMimeData(const QMimeData *data);
};

Q_DECLARE_METATYPE(ClipboardSnapshot)

#endif  // CLIPBOARDSNAPSHOT_H
