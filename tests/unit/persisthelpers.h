#ifndef PERSISTHELPERS_H
#define PERSISTHELPERS_H

// Small helpers shared by the tests of the settings and clip list files.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTextStream>

#include "settings/appdir.h"
#include "settings/settings.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace persist {

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The plain clip list file for `entries`, built independently of the program.
inline QByteArray plainFile(const QStringList &entries)
{
    QString text;
    for (const QString &entry : entries)
        text += entry + QStringLiteral("<>");
    return qCompress(text.toUtf8(), 1);
}

// What a reader of the plain layout makes of a file: the uncompressed text
// up to the first NUL byte.
inline QString plainText(const QByteArray &file)
{
    const QByteArray payload = qUncompress(file);
    const int nul = payload.indexOf('\0');
    return QString::fromUtf8(payload.left(nul < 0 ? payload.size() : nul));
}

// Names of the files in `directory`, sorted.
inline QStringList fileNames(const QString &directory)
{
    return QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

#ifdef Q_OS_UNIX
inline int mode(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

inline bool chmodPath(const QString &path, int mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

// Tests that need a file the program cannot read or a directory it cannot
// write run the program in a child process. Running as root, the child gives
// up its rights and becomes this user, and the test hands the files to it.
const uid_t unprivilegedId = 65534;

inline bool runningAsRoot()
{
    return ::geteuid() == 0;
}

// Gives `path` to the user the child runs as (nothing to do when not root).
inline bool handToChild(const QString &path)
{
    if (!runningAsRoot())
        return true;
    return ::chown(QFile::encodeName(path).constData(), unprivilegedId, unprivilegedId) == 0;
}

// Called first thing in a child process.
inline bool dropPrivileges()
{
    if (!runningAsRoot())
        return true;
    if (::setgid(unprivilegedId) != 0 || ::setuid(unprivilegedId) != 0)
        return false;
#ifdef Q_OS_LINUX
    // Changing the user makes the process undumpable, which keeps the leak
    // checker of sanitizer builds from inspecting it.
    ::prctl(PR_SET_DUMPABLE, 1);
#endif
    return true;
}

// The child of the tests without access, run without root's rights: loads
// from the directory in argv[3], takes two new entries with a save after
// each and prints the history held in memory.
inline int unprivilegedSaveChild(int argc, char **argv)
{
    if (argc < 4 || !dropPrivileges())
        return 2;
    QCoreApplication app(argc, argv);
    AppDir::setOverride(QString::fromLocal8Bit(argv[3]));
    Settings *s = Settings::instance();
    s->load();
    for (const char *entry : { "first", "second" }) {
        s->history.prepend(QLatin1String(entry));
        s->save();
    }
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    for (const QString &entry : s->history)
        out << entry << '\n';
    return 0;
}
#endif

// Runs this test program again with `arguments` (which start with the
// child's mode) and waits for it.
struct ChildResult
{
    int exitCode = -1;
    bool crashed = true;
    QByteArray out;
    QByteArray err;
};

inline ChildResult runChild(const QStringList &arguments, int timeoutMs = 30000)
{
    ChildResult result;
    QProcess child;
    child.start(
        QCoreApplication::applicationFilePath(), QStringList { QStringLiteral("--child") } + arguments);
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished();
        return result;
    }
    result.exitCode = child.exitCode();
    result.crashed = child.exitStatus() != QProcess::NormalExit;
    result.out = child.readAllStandardOutput();
    result.err = child.readAllStandardError();
    return result;
}

}  // namespace persist

#endif  // PERSISTHELPERS_H
