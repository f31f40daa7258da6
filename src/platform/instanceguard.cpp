#include "instanceguard.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>

#ifdef Q_OS_WIN
#include "win32api.h"
#include <sddl.h>

#include <vector>
#else
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {
InstanceGuard *installedGuard = nullptr;

#ifdef Q_OS_WIN
// The TOKEN_USER of `token` (its user's SID); empty on failure.
std::vector<char> tokenUser(HANDLE token)
{
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<char> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        return {};
    return buffer;
}

std::vector<char> processUser(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    std::vector<char> user = tokenUser(token);
    CloseHandle(token);
    return user;
}

PSID sidOf(std::vector<char> &user)
{
    return user.empty() ? nullptr : reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid;
}

// This process's user, asked once.
std::vector<char> &ownUser()
{
    static std::vector<char> user = processUser(GetCurrentProcess());
    return user;
}

QString windowsError(DWORD code)
{
    return QStringLiteral("Windows error %1").arg(code);
}
#else
QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}
#endif
}  // namespace

InstanceGuard::~InstanceGuard() = default;

InstanceGuard *InstanceGuard::instance()
{
    if (!installedGuard) {
        static InstanceGuard systemGuard;
        return &systemGuard;
    }
    return installedGuard;
}

void InstanceGuard::setInstance(InstanceGuard *guard)
{
    installedGuard = guard;
}

#ifdef Q_OS_WIN

QString InstanceGuard::socketDirectory(QString *)
{
    return QString();
}

QString InstanceGuard::userTag()
{
    static const QString tag = [] {
        QString user;
        LPWSTR text = nullptr;
        PSID sid = sidOf(ownUser());
        if (sid && ConvertSidToStringSidW(sid, &text)) {
            user = QString::fromWCharArray(text);
            LocalFree(text);
        } else {
            // Not expected; the name still separates the users.
            user = qEnvironmentVariable("USERDOMAIN") + QLatin1Char('.') + qEnvironmentVariable("USERNAME");
        }
        DWORD session = 0;
        ProcessIdToSessionId(GetCurrentProcessId(), &session);
        return user + QLatin1Char('-') + QString::number(session);
    }();
    return tag;
}

bool InstanceGuard::peerIsSameUser(QLocalSocket *socket)
{
    const auto pipe = reinterpret_cast<HANDLE>(socket->socketDescriptor());
    ULONG serverId = 0;
    if (!pipe || pipe == INVALID_HANDLE_VALUE || !GetNamedPipeServerProcessId(pipe, &serverId))
        return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, serverId);
    if (!process)
        return false;
    std::vector<char> theirs = processUser(process);
    CloseHandle(process);
    PSID ours = sidOf(ownUser());
    PSID server = sidOf(theirs);
    return ours && server && EqualSid(ours, server);
}

InstanceLock::InstanceLock(const QString &name)
    : name(name)
{ }

InstanceLock::~InstanceLock()
{
    if (owned)
        ReleaseMutex(mutex);
    if (mutex)
        CloseHandle(mutex);
}

InstanceLock::State InstanceLock::tryLock(int milliseconds)
{
    if (!mutex) {
        mutex = CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t *>(name.utf16()));
        if (!mutex) {
            error = QStringLiteral("cannot open the mutex %1 (%2)").arg(name, windowsError(GetLastError()));
            return Unavailable;
        }
    }
    switch (WaitForSingleObject(mutex, DWORD(qMax(0, milliseconds)))) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its holder ended without releasing it
        owned = true;
        return Locked;
    case WAIT_TIMEOUT:
        return Busy;
    default:
        error = QStringLiteral("cannot wait for the mutex %1 (%2)").arg(name, windowsError(GetLastError()));
        return Unavailable;
    }
}

#else  // Unix

QString InstanceGuard::socketDirectory(QString *error)
{
    return privateDirectory(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(), error);
}

QString InstanceGuard::userTag()
{
    return QString::number(::getuid());
}

bool InstanceGuard::peerIsSameUser(QLocalSocket *socket)
{
    const qintptr fd = socket->socketDescriptor();
    if (fd < 0)
        return false;
#ifdef SO_PEERCRED
    struct ucred peer = {};
    socklen_t size = sizeof peer;
    if (::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || size != sizeof peer)
        return false;
    return peer.uid == ::geteuid();
#else
    uid_t uid = 0;
    gid_t gid = 0;
    if (::getpeereid(int(fd), &uid, &gid) != 0)
        return false;
    return uid == ::geteuid();
#endif
}

bool InstanceGuard::isPrivate(const QString &dir, QString *why)
{
    QString reason;
    struct stat status = {};
    if (::lstat(QFile::encodeName(dir).constData(), &status) != 0) {
        const int code = errno;
        reason = code == ENOENT ? QStringLiteral("does not exist") : systemError(code);
    } else if (S_ISLNK(status.st_mode))
        reason = QStringLiteral("is a symbolic link");
    else if (!S_ISDIR(status.st_mode))
        reason = QStringLiteral("is not a directory");
    else if (status.st_uid != ::geteuid())
        reason = QStringLiteral("belongs to user %1").arg(status.st_uid);
    else if ((status.st_mode & 0777) != 0700)
        reason = QStringLiteral("has mode %1, not 0700").arg(status.st_mode & 0777, 4, 8, QLatin1Char('0'));
    if (why)
        *why = reason;
    return reason.isEmpty();
}

QString InstanceGuard::privateDirectory(const QString &runtimeDir, const QString &tempDir, QString *error)
{
    if (!runtimeDir.isEmpty() && QDir::isAbsolutePath(runtimeDir) && isPrivate(runtimeDir))
        return QDir::cleanPath(runtimeDir);
    const QString dir = QDir::cleanPath(tempDir) + QStringLiteral("/quillet-") + QString::number(::getuid());
    // mkdir makes it private from the start (the umask can only take more
    // away); one that exists is checked without following a link.
    if (::mkdir(QFile::encodeName(dir).constData(), 0700) != 0) {
        const int code = errno;
        if (code != EEXIST) {
            if (error)
                *error = QStringLiteral("cannot make %1: %2").arg(dir, systemError(code));
            return QString();
        }
    }
    QString why;
    if (!isPrivate(dir, &why)) {
        if (error)
            *error = QStringLiteral("%1 %2, so it is not used").arg(dir, why);
        return QString();
    }
    return dir;
}

InstanceLock::InstanceLock(const QString &name)
    : name(name)
    , file(std::make_unique<QLockFile>(name))
{ }

InstanceLock::~InstanceLock() = default;

InstanceLock::State InstanceLock::tryLock(int milliseconds)
{
    if (file->tryLock(milliseconds))
        return Locked;
    if (file->error() == QLockFile::LockFailedError)
        return Busy;
    error = QStringLiteral("cannot make the lock file %1").arg(name);
    return Unavailable;
}

#endif
