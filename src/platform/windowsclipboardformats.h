#ifndef WINDOWSCLIPBOARDFORMATS_H
#define WINDOWSCLIPBOARDFORMATS_H

#include "clipboardsnapshot.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

// Turns what the Windows clipboard offers (format numbers, the names of
// registered formats, raw data) into a ClipboardSnapshot that reads as Qt
// on Windows would show the same content: the format names Qt lists, its
// image and colour tests, and its text (WindowsClipboardText). The
// capture's checks were written against Qt's view, so the snapshot must
// keep to it. Plain data in, plain data out: no system call here.
class WindowsClipboardFormats
{
public:
    // One format on the clipboard: its number and, for a registered format
    // (0xC000 and above), its name; predefined formats have no name.
    struct Format
    {
        quint32 id = 0;
        QString name;
    };

    // Predefined format numbers of Windows.
    static constexpr quint32 Text = 1;  // CF_TEXT
    static constexpr quint32 Bitmap = 2;  // CF_BITMAP
    static constexpr quint32 OemText = 7;  // CF_OEMTEXT
    static constexpr quint32 Dib = 8;  // CF_DIB
    static constexpr quint32 UnicodeText = 13;  // CF_UNICODETEXT
    static constexpr quint32 FileDrop = 15;  // CF_HDROP
    static constexpr quint32 DibV5 = 17;  // CF_DIBV5

    // The names Qt lists for `format` (none, one or two).
    static QStringList qtNames(const Format &format);
    static bool isImage(const Format &format);
    static bool isColor(const Format &format);
    // Whether the data of `format` belongs in the snapshot's markerData.
    static bool isMarker(const Format &format);

    // The formats, of those offered, whose data the snapshot needs: the
    // markers, and the sources of the text unless an image or a colour is
    // there (that content stays out of the history whatever its text).
    static QVector<quint32> formatsToRead(const QVector<Format> &formats);

    // The snapshot of a clipboard that offers `formats` in this order, with
    // `data` the data of the formats to read by their number.
    static ClipboardSnapshot snapshot(const QVector<Format> &formats, const QMap<quint32, QByteArray> &data);
};

#endif  // WINDOWSCLIPBOARDFORMATS_H
