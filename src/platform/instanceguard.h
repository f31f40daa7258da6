#ifndef INSTANCEGUARD_H
#define INSTANCEGUARD_H

#include <QString>
#include <QtGlobal>

#include <memory>

class QLocalSocket;
class QLockFile;

// What the single-instance guard (app/singleinstance.h) asks of the system:
// where its socket and lock may live, what names them for this user, and
// whether the process at the other end of a connection runs as this user.
// One object per process, like Platform; the unit tests install a fake that
// scripts the answers (Wine, for one, has a single user).
class InstanceGuard
{
public:
    virtual ~InstanceGuard();

    // The one guard object of the process: the system's own unless a test
    // installed another (ownership stays with the caller; nullptr returns to
    // the system's own).
    static InstanceGuard *instance();
    static void setInstance(InstanceGuard *guard);

    // Unix: the folder for the socket and the lock, one only this user can
    // enter (see privateDirectory below, with $XDG_RUNTIME_DIR and the
    // temporary folder). Windows: empty, as pipes and mutexes have no folder.
    // Empty with *error set when no such folder can be had.
    virtual QString socketDirectory(QString *error);
    // Names this user in the socket's, the pipe's and the lock's names: the
    // user id on Unix; on Windows the user's SID and the logon session
    // ("S-1-5-21-...-1001-2"), as pipe names are shared by every session.
    virtual QString userTag();
    // Whether the process at the other end of the connected `socket` runs as
    // this process's user: on Unix the peer's credentials (SO_PEERCRED), on
    // Windows the owner of the pipe server's process. False when that cannot
    // be told.
    virtual bool peerIsSameUser(QLocalSocket *socket);

#ifdef Q_OS_UNIX
    // The private folder: `runtimeDir` when it is set and isPrivate(), else
    // TEMPDIR/quillet-UID, made with mode 0700 when it is missing and refused
    // (empty, *error says why) when it is not private.
    static QString privateDirectory(const QString &runtimeDir, const QString &tempDir, QString *error);
    // Whether `dir` is a directory (not a symbolic link) owned by this
    // process's user with no access for the group or others (mode 0700).
    static bool isPrivate(const QString &dir, QString *why = nullptr);
#endif
};

// The lock a start holds while it looks for a running process and begins to
// listen: a lock file in the private folder on Unix, a mutex in the session's
// Local\ namespace on Windows. Released when destroyed.
class InstanceLock
{
public:
    enum State {
        Locked,  // this start holds it (also when its last holder died)
        Busy,  // another start held it for the whole timeout
        Unavailable  // it could not be made at all (errorString says why)
    };

    // `name` is the lock file's path on Unix and the mutex's name on Windows.
    explicit InstanceLock(const QString &name);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    State tryLock(int milliseconds);
    QString errorString() const { return error; }

private:
    QString name;
    QString error;
#ifdef Q_OS_WIN
    void *mutex = nullptr;
    bool owned = false;
#else
    std::unique_ptr<QLockFile> file;
#endif
};

#endif  // INSTANCEGUARD_H
