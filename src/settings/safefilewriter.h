#ifndef SAFEFILEWRITER_H
#define SAFEFILEWRITER_H

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// Replaces files so that a crash, a kill or a full disk never leaves a torn
// file: the new content goes to "<path>.tmp" in the same directory, is
// flushed to the disk, and only then is moved over the old file in one step.
// Until that step the old file stays as it was.
class SafeFileWriter
{
public:
    // Writes `content` to `path` as described above, giving the new file
    // `permissions`. Returns false, with the old file untouched and no
    // temporary file left behind, when any step fails; `error` then says why.
    static bool write(const QString &path, const QByteArray &content, QFileDevice::Permissions permissions,
        QString *error = nullptr);
    // The first half of write(): writes and flushes temporaryPath(`path`)
    // only, leaving `path` alone. Removes the temporary file on failure.
    static bool writeTemporary(const QString &path, const QByteArray &content,
        QFileDevice::Permissions permissions, QString *error = nullptr);
    // Moves `from` over `to` in one step, replacing `to` if it exists.
    static bool replace(const QString &from, const QString &to, QString *error = nullptr);
    // The name of the temporary file write() uses for `path`.
    static QString temporaryPath(const QString &path);

    // Owner read and write only.
    static QFileDevice::Permissions privatePermissions();

    // Test seam: after `bytes` more bytes every write fails as on a full disk
    // (a negative value switches this off, the default).
    static void setFailAfterBytes(qint64 bytes);
};

#endif  // SAFEFILEWRITER_H
