#ifndef FILESTAMP_H
#define FILESTAMP_H

#include <QString>
#include <QtGlobal>

// What identifies one version of a file on disk: the file itself (device and
// inode, or volume and file index on Windows), its size and its last
// modification time to the finest step the system keeps. A file replaced by
// a rename, rewritten or touched gets another stamp, so a stamp taken right
// after the program wrote a file proves later that the file is still the one
// it wrote.
struct FileStamp
{
    quint64 device = 0;
    quint64 file = 0;
    qint64 size = -1;
    qint64 modified = 0;  // nanoseconds (Linux) or 100 ns steps (Windows)
    bool valid = false;

    // The stamp of `path` now; an invalid one when it cannot be read.
    static FileStamp of(const QString &path);

    bool isValid() const { return valid; }
    bool operator==(const FileStamp &other) const
    {
        return valid && other.valid && device == other.device && file == other.file && size == other.size
            && modified == other.modified;
    }
    bool operator!=(const FileStamp &other) const { return !(*this == other); }
};

#endif  // FILESTAMP_H
