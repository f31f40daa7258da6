#include "filestamp.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include "platform/win32api.h"
#else
#include <sys/stat.h>
#endif

FileStamp FileStamp::of(const QString &path)
{
    FileStamp stamp;
#ifdef Q_OS_WIN
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    HANDLE handle = CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return stamp;
    BY_HANDLE_FILE_INFORMATION info {};
    if (GetFileInformationByHandle(handle, &info)) {
        stamp.device = info.dwVolumeSerialNumber;
        stamp.file = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        stamp.size = qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
        stamp.modified = qint64(
            (quint64(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime);
        stamp.valid = true;
    }
    CloseHandle(handle);
#else
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return stamp;
    stamp.device = quint64(info.st_dev);
    stamp.file = quint64(info.st_ino);
    stamp.size = qint64(info.st_size);
    stamp.modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.valid = true;
#endif
    return stamp;
}
