#ifndef WINDOWSCLIPBOARDDATA_H
#define WINDOWSCLIPBOARDDATA_H

// Clipboard contents of Windows as plain data, shared by the tests of the
// Windows clipboard reader.

#include "platform/windowsclipboardformats.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstring>

namespace windowsdata {

// "13 | 49189:HTML Format | 16": format numbers in the order the clipboard
// offers them, registered ones with their names.
inline QVector<WindowsClipboardFormats::Format> parseFormats(const QString &list)
{
    QVector<WindowsClipboardFormats::Format> formats;
    const QStringList tokens = list.split(QStringLiteral(" | "), Qt::SkipEmptyParts);
    for (const QString &token : tokens) {
        WindowsClipboardFormats::Format format;
        const int colon = token.indexOf(QLatin1Char(':'));
        format.id = token.left(colon).toUInt();
        if (colon >= 0)
            format.name = token.mid(colon + 1);
        formats.append(format);
    }
    return formats;
}

// UTF-16 as Windows stores it, without a terminating NUL.
inline QByteArray utf16(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

// CF_HDROP data: a DROPFILES header, then the paths, each ended by a NUL,
// and one more NUL; in UTF-16 when `wide`, else in the ANSI code page.
inline QByteArray fileDrop(const QStringList &paths, bool wide = true)
{
    const int nul = wide ? 2 : 1;
    QByteArray names;
    for (const QString &path : paths)
        names += (wide ? utf16(path) : path.toLocal8Bit()) + QByteArray(nul, '\0');
    names += QByteArray(nul, '\0');
    QByteArray header(20, '\0');
    const quint32 fields[] = { 20, 0, 0, 0, wide ? 1u : 0u };
    std::memcpy(header.data(), fields, sizeof(fields));
    return header + names;
}

}  // namespace windowsdata

#endif  // WINDOWSCLIPBOARDDATA_H
