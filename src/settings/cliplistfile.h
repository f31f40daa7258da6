#ifndef CLIPLISTFILE_H
#define CLIPLISTFILE_H

#include "filestamp.h"

#include <QStringList>

// The clip list file cliplist.dat and its one-generation backup
// cliplist.dat.bak in one directory.
//
// Saving never leaves a torn or half-written file: the new history is
// written to a temporary file and flushed before the old main file becomes
// the backup and the new one takes its place. At every moment main holds
// the new or the previous history, or main is absent and the backup holds
// the previous one, which is what the load then reads.
class ClipListFile
{
public:
    // `prefix` is the directory followed by "/".
    explicit ClipListFile(const QString &prefix);

    QString mainPath() const;
    QString backupPath() const;

    // Appends the saved history to `history` (at most `histmax` entries).
    // Reads the backup when main is missing, empty or damaged.
    void load(int histmax, QStringList *history) const;

    // Writes `history` as main; the previous main becomes the backup. An
    // empty history touches nothing, except after a deletion
    // (`purgeOlderCopies`): then both files go. A damaged main is replaced
    // without becoming the backup, so the backup (which then held what the
    // program had loaded) is kept. With `purgeOlderCopies` the backup, when
    // there is one, receives the new history as well, so that no copy of a
    // deleted entry remains. Returns false when something could not be
    // written, naming the path in `failedPath` and the reason in `error`;
    // the files then hold what they held before. Nothing is written while
    // main, or the backup when it is the copy the load reads, exists but
    // cannot be opened (a file the user may not read, a directory).
    //
    // Before main becomes the backup it is checked to decode, unless
    // `ownMain` holds the stamp of the main file this program wrote last and
    // main still has it: then main is known to be good without reading it.
    // After the save `ownMain` holds the stamp of the new main (invalid
    // after a failure, or when there is no main).
    bool save(const QStringList &history, bool purgeOlderCopies, QString *failedPath, QString *error,
        FileStamp *ownMain = nullptr) const;

    // Files above this size are taken as damaged without being read.
    static constexpr qint64 maxFileSize = qint64(512) << 20;

private:
    // Reads `path`; false when it is missing, unreadable or damaged.
    static bool read(const QString &path, int histmax, QStringList *history);
    static bool hasContent(const QString &path);
    // Whether `path` exists but cannot be opened for reading.
    static bool cannotBeOpened(const QString &path);
    // Whether main holds a history the load can read: proved by its stamp
    // when it is the file written last, else by decoding it.
    bool mainIsGood(const FileStamp *ownMain) const;
    bool saveRotating(
        const QByteArray &content, const FileStamp *ownMain, QString *failedPath, QString *error) const;
    bool savePurging(const QByteArray &content, QString *failedPath, QString *error) const;
    bool removeAll(QString *failedPath, QString *error) const;

    const QString prefix;
};

#endif  // CLIPLISTFILE_H
