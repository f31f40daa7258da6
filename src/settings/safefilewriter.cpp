#include "safefilewriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
qint64 &failBudget()
{
    static qint64 budget = -1;
    return budget;
}

// How many of `length` bytes the test seam lets through.
qint64 allowedBytes(qint64 length)
{
    qint64 &budget = failBudget();
    if (budget < 0)
        return length;
    const qint64 allowed = qMin(length, budget);
    budget -= allowed;
    return allowed;
}

// Gives back what allowedBytes() let through but was not written.
void refundBytes(qint64 length)
{
    if (failBudget() >= 0)
        failBudget() += length;
}

const char fullDisk[] = "No space left on device";

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

#ifdef Q_OS_WIN
QString systemError()
{
    return qt_error_string(int(GetLastError()));
}

std::wstring nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}
#else
QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

mode_t toMode(QFileDevice::Permissions permissions)
{
    static const struct
    {
        QFileDevice::Permission permission;
        mode_t bit;
    } bits[] = { { QFileDevice::ReadOwner, S_IRUSR }, { QFileDevice::WriteOwner, S_IWUSR },
        { QFileDevice::ExeOwner, S_IXUSR }, { QFileDevice::ReadGroup, S_IRGRP },
        { QFileDevice::WriteGroup, S_IWGRP }, { QFileDevice::ExeGroup, S_IXGRP },
        { QFileDevice::ReadOther, S_IROTH }, { QFileDevice::WriteOther, S_IWOTH },
        { QFileDevice::ExeOther, S_IXOTH } };
    mode_t mode = 0;
    for (const auto &entry : bits)
        if (permissions & entry.permission)
            mode |= entry.bit;
    return mode;
}

#endif

// Writes `content` into a new file at `path` and flushes it to the disk.
bool writeFlushed(
    const QString &path, const QByteArray &content, QFileDevice::Permissions permissions, QString *error)
{
#ifdef Q_OS_WIN
    Q_UNUSED(permissions);
    const std::wstring name = nativePath(path);
    HANDLE file
        = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        setError(error, systemError());
        return false;
    }
    const char *data = content.constData();
    qint64 left = content.size();
    bool ok = true;
    while (ok && left > 0) {
        const qint64 allowed = allowedBytes(qMin<qint64>(left, 1 << 20));
        DWORD written = 0;
        if (allowed == 0) {
            setError(error, QLatin1String(fullDisk));
            ok = false;
        } else if (!WriteFile(file, data, DWORD(allowed), &written, nullptr)) {
            refundBytes(allowed);
            setError(error, systemError());
            ok = false;
        } else {
            refundBytes(allowed - qint64(written));
            data += written;
            left -= written;
        }
    }
    if (ok && !FlushFileBuffers(file)) {
        setError(error, systemError());
        ok = false;
    }
    CloseHandle(file);
    return ok;
#else
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        setError(error, systemError());
        return false;
    }
    // The file may be left over from an earlier run with other permissions.
    bool ok = ::fchmod(fd, toMode(permissions)) == 0;
    if (!ok)
        setError(error, systemError());
    const char *data = content.constData();
    qint64 left = content.size();
    while (ok && left > 0) {
        const qint64 allowed = allowedBytes(qMin<qint64>(left, 1 << 20));
        if (allowed == 0) {
            setError(error, QLatin1String(fullDisk));
            ok = false;
            break;
        }
        const ssize_t written = ::write(fd, data, size_t(allowed));
        if (written < 0) {
            refundBytes(allowed);
            if (errno == EINTR)
                continue;
            setError(error, systemError());
            ok = false;
        } else {
            refundBytes(allowed - qint64(written));
            data += written;
            left -= written;
        }
    }
    if (ok && ::fsync(fd) != 0) {
        setError(error, systemError());
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        setError(error, systemError());
        ok = false;
    }
    return ok;
#endif
}
}  // namespace

bool SafeFileWriter::write(
    const QString &path, const QByteArray &content, QFileDevice::Permissions permissions, QString *error)
{
    if (!writeTemporary(path, content, permissions, error))
        return false;
    const QString temporary = temporaryPath(path);
    if (!replace(temporary, path, error)) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

bool SafeFileWriter::writeTemporary(
    const QString &path, const QByteArray &content, QFileDevice::Permissions permissions, QString *error)
{
    const QString temporary = temporaryPath(path);
    if (!writeFlushed(temporary, content, permissions, error)) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

bool SafeFileWriter::replace(const QString &from, const QString &to, QString *error)
{
#ifdef Q_OS_WIN
    const std::wstring source = nativePath(from);
    const std::wstring target = nativePath(to);
    if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        setError(error, systemError());
        return false;
    }
    return true;
#else
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        setError(error, systemError());
        return false;
    }
    // The new name is on disk only once its directory is: without this a
    // power cut right after the save could bring the old file back. The
    // rename has happened either way, so a failure here changes nothing.
    const QByteArray directory = QFile::encodeName(QFileInfo(to).absolutePath());
    const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
#endif
}

QString SafeFileWriter::temporaryPath(const QString &path)
{
    return path + QStringLiteral(".tmp");
}

QFileDevice::Permissions SafeFileWriter::privatePermissions()
{
    return QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;
}

void SafeFileWriter::setFailAfterBytes(qint64 bytes)
{
    failBudget() = bytes;
}
