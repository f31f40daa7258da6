#ifndef SINGLEINSTANCE_H
#define SINGLEINSTANCE_H

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// Keeps one running program per user and application directory. The first
// process listens on a local socket named after the user and the directory;
// a later start finds it there, asks it to show its popup and ends, so that
// there is never a second tray icon or a second writer of the same files.
//
// No other user can stand in for the running program: on Unix the socket and
// the lock live in a folder only the user can enter, and on every system an
// answer counts only from a process of the same user (InstanceGuard); one of
// another user counts as nobody running.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum Result {
        Primary,  // this process is the one; it now answers later starts
        AlreadyRunning,  // another process for the directory showed its popup
        NoAnswer  // another process holds the directory but did not answer
    };

    // `appDir` is the application directory whose files the process owns.
    explicit SingleInstance(const QString &appDir, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Asks a running process for the same directory to show its popup, or
    // becomes the one that answers. Blocks for at most a few timeouts.
    Result start();

    // The socket name for a directory and the current user: the same for
    // every spelling of the directory (links, "..", trailing slashes).
    static QString serverName(const QString &appDir);
    // What a start connects to and listens on: on Unix the socket's path in
    // the user's private folder (InstanceGuard::socketDirectory), on Windows
    // the pipe's name. Empty, with *error set, when there is no private
    // folder to be had.
    static QString socketName(const QString &appDir, QString *error = nullptr);

    QString name() const { return socketName_; }
    bool isListening() const;
    // How long start() waits for a running process to connect and answer.
    void setTimeout(int milliseconds) { timeout = milliseconds; }
    // Set when listening failed; the process then runs unguarded.
    QString errorString() const { return error; }

signals:
    // A later start asked this process to show its popup.
    void showRequested();

private:
    Result askRunning(bool *found);
    bool listen();
    void onNewConnection();
    void onRequest(QLocalSocket *socket);

    QString socketName_;
    QString lockName;
    QLocalServer *server = nullptr;
    int timeout = 3000;
    QString error;
};

#endif  // SINGLEINSTANCE_H
