#ifndef WINDOWSCLIPBOARDTEXT_H
#define WINDOWSCLIPBOARDTEXT_H

#include "windowsclipboardformats.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVector>

// The text Qt on Windows gives for a clipboard content (QClipboard::text()),
// made from the raw data of the formats it takes it from. The history has
// always been filled with that text, so a reader that bypasses Qt must come
// to the same one. In Qt's order:
// - CF_UNICODETEXT whenever it is offered (Windows makes it from CF_TEXT and
//   CF_OEMTEXT as well), up to its first NUL, CR LF turned into LF;
// - otherwise a registered "text/plain;charset=utf-8", then "text/plain",
//   taken as UTF-8 exactly as it is; empty data counts as none;
// - otherwise addresses, each as QUrl shows it (toDisplayString), one a
//   line, a single one without a line end: the files of a file copy
//   (CF_HDROP); else a link (UniformResourceLocatorW, then
//   UniformResourceLocator); else a registered "text/uri-list". Only the
//   first of these on offer counts, even when it holds nothing.
// Plain data in, plain data out: no system call here.
class WindowsClipboardText
{
public:
    using Format = WindowsClipboardFormats::Format;

    // The formats, of those offered, whose data the text is made of.
    static QVector<quint32> sources(const QVector<Format> &formats);
    // The text of a clipboard that offers `formats`, with `data` the data
    // of its sources by format number.
    static QString text(const QVector<Format> &formats, const QMap<quint32, QByteArray> &data);

    // The text of CF_UNICODETEXT data (UTF-16 as Windows stores it).
    static QString unicodeText(const QByteArray &utf16);
    // The paths in CF_HDROP data (a DROPFILES header, then the paths, each
    // ended by a NUL, in UTF-16 or in the ANSI code page).
    static QStringList droppedFiles(const QByteArray &dropFiles);
    // Addresses as one text.
    static QString urlText(const QList<QUrl> &urls);
};

#endif  // WINDOWSCLIPBOARDTEXT_H
