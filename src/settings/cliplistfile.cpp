#include "cliplistfile.h"

#include "cliplistcodec.h"
#include "safefilewriter.h"

#include <QFile>
#include <QFileInfo>

ClipListFile::ClipListFile(const QString &prefix)
    : prefix(prefix)
{ }

QString ClipListFile::mainPath() const
{
    return prefix + QStringLiteral("cliplist.dat");
}

QString ClipListFile::backupPath() const
{
    return prefix + QStringLiteral("cliplist.dat.bak");
}

bool ClipListFile::hasContent(const QString &path)
{
    return QFileInfo(path).size() > 0;
}

bool ClipListFile::cannotBeOpened(const QString &path)
{
    QFile file(path);
    return file.exists() && !file.open(QIODevice::ReadOnly);
}

bool ClipListFile::read(const QString &path, int histmax, QStringList *history)
{
    QFile file(path);
    if (file.size() > maxFileSize || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    file.close();
    return ClipListCodec::decode(bytes, histmax, history);
}

void ClipListFile::load(int histmax, QStringList *history) const
{
    if (hasContent(mainPath()) && read(mainPath(), histmax, history))
        return;
    read(backupPath(), histmax, history);
}

bool ClipListFile::mainIsGood(const FileStamp *ownMain) const
{
    if (ownMain && ownMain->isValid() && *ownMain == FileStamp::of(mainPath()))
        return true;
    QStringList first;
    return hasContent(mainPath()) && read(mainPath(), 1, &first);
}

bool ClipListFile::save(const QStringList &history, bool purgeOlderCopies, QString *failedPath,
    QString *error, FileStamp *ownMain) const
{
    const FileStamp written = ownMain ? *ownMain : FileStamp();
    if (ownMain)
        *ownMain = FileStamp();  // until a save proves otherwise
    // A file the program may not read holds a history it never loaded:
    // writing over it or rotating over it would lose that history.
    const QString unreadable = cannotBeOpened(mainPath())       ? mainPath()
        : cannotBeOpened(backupPath()) && !mainIsGood(&written) ? backupPath()
                                                                : QString();
    if (!unreadable.isEmpty()) {
        *failedPath = unreadable;
        *error = QStringLiteral("the file cannot be read");
        return false;
    }
    if (history.isEmpty()) {
        if (!purgeOlderCopies) {
            if (ownMain)
                *ownMain = written;  // nothing was touched
            return true;
        }
        return removeAll(failedPath, error);
    }
    // Only a purging save killed half-way leaves this behind: a copy of a
    // history that may hold entries deleted since.
    QFile::remove(SafeFileWriter::temporaryPath(backupPath()));
    const QByteArray content = ClipListCodec::encode(history);
    const bool saved = purgeOlderCopies ? savePurging(content, failedPath, error)
                                        : saveRotating(content, &written, failedPath, error);
    if (saved && ownMain)
        *ownMain = FileStamp::of(mainPath());
    return saved;
}

bool ClipListFile::saveRotating(
    const QByteArray &content, const FileStamp *ownMain, QString *failedPath, QString *error) const
{
    const QString main = mainPath();
    const QString backup = backupPath();
    const QString temporary = SafeFileWriter::temporaryPath(main);
    if (!SafeFileWriter::writeTemporary(main, content, SafeFileWriter::privatePermissions(), error)) {
        *failedPath = main;
        return false;
    }
    // Only a main file that can be read becomes the backup: when it is
    // damaged, the backup holds what was loaded and must stay.
    if (mainIsGood(ownMain)) {
        QFile::setPermissions(main, SafeFileWriter::privatePermissions());
        if (!SafeFileWriter::replace(main, backup, error)) {
            QFile::remove(temporary);
            *failedPath = backup;
            return false;
        }
    }
    if (!SafeFileWriter::replace(temporary, main, error)) {
        QFile::remove(temporary);
        *failedPath = main;
        return false;
    }
    return true;
}

bool ClipListFile::savePurging(const QByteArray &content, QString *failedPath, QString *error) const
{
    const QString main = mainPath();
    const QString backup = backupPath();
    if (!SafeFileWriter::write(main, content, SafeFileWriter::privatePermissions(), error)) {
        *failedPath = main;
        return false;
    }
    if (QFileInfo::exists(backup)
        && !SafeFileWriter::write(backup, content, SafeFileWriter::privatePermissions(), error)) {
        // Main holds the whole new history: better no backup than one that
        // still holds what the user deleted.
        QFile::remove(backup);
        *failedPath = backup;
        return false;
    }
    return true;
}

bool ClipListFile::removeAll(QString *failedPath, QString *error) const
{
    // The user deleted the last entry: no file may keep any of it.
    const QString paths[] = { mainPath(), backupPath(), SafeFileWriter::temporaryPath(mainPath()),
        SafeFileWriter::temporaryPath(backupPath()) };
    for (const QString &path : paths) {
        QFile file(path);
        if (file.exists() && !file.remove()) {
            *failedPath = path;
            *error = file.errorString();
            return false;
        }
    }
    return true;
}
