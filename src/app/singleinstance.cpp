#include "singleinstance.h"

#include "platform/instanceguard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace {
// One request line a later start sends, and the running process's answer.
const QByteArray showRequest = QByteArrayLiteral("show\n");
const QByteArray shownAnswer = QByteArrayLiteral("shown");
// Longer lines are not requests of ours.
constexpr qint64 maxLine = 64;
}  // namespace

SingleInstance::SingleInstance(const QString &appDir, QObject *parent)
    : QObject(parent)
{
    socketName_ = socketName(appDir, &error);
#ifdef Q_OS_WIN
    // A mutex of the session's own namespace, named after user and directory.
    lockName = QStringLiteral("Local\\") + socketName_;
#else
    if (!socketName_.isEmpty())
        lockName = socketName_ + QStringLiteral(".lock");
#endif
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString &appDir)
{
    QString dir = QFileInfo(appDir).canonicalFilePath();
    if (dir.isEmpty())
        dir = QDir::cleanPath(QDir(appDir).absolutePath());
#ifdef Q_OS_WIN
    dir = dir.toLower();  // one directory, whatever the case it is spelt in
#endif
    const QByteArray hash
        = QCryptographicHash::hash(dir.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("quillet-") + InstanceGuard::instance()->userTag() + QLatin1Char('-')
        + QString::fromLatin1(hash);
}

QString SingleInstance::socketName(const QString &appDir, QString *error)
{
    QString why;
    const QString dir = InstanceGuard::instance()->socketDirectory(&why);
    if (dir.isEmpty() && !why.isEmpty()) {
        if (error)
            *error = why;
        return QString();
    }
    const QString name = serverName(appDir);
    return dir.isEmpty() ? name : dir + QLatin1Char('/') + name;
}

bool SingleInstance::isListening() const
{
    return server && server->isListening();
}

SingleInstance::Result SingleInstance::start()
{
    // Without a private folder for the socket nothing can be trusted: the
    // process runs unguarded, and errorString() says why.
    if (socketName_.isEmpty())
        return Primary;
    // Two processes starting at once must not both decide they are alone:
    // the look-up and the listen happen under a lock shared by all starts
    // for this directory. A lock left by a process that died is taken over.
    InstanceLock lock(lockName);
    const InstanceLock::State locked = lock.tryLock(2 * timeout);
    if (locked == InstanceLock::Unavailable)
        qWarning("quillet: %s; starting without the lock.", qPrintable(lock.errorString()));

    bool found = false;
    const Result running = askRunning(&found);
    if (found)
        return running;
    if (locked == InstanceLock::Busy) {
        // Another start holds the lock for long and nobody answers yet:
        // rather no program than two writers of the same files.
        error = QStringLiteral("another start for this directory is still in progress");
        return NoAnswer;
    }
    // When listening fails the process still runs, unguarded; errorString()
    // says why.
    listen();
    return Primary;
}

SingleInstance::Result SingleInstance::askRunning(bool *found)
{
    *found = false;
    QLocalSocket socket;
    socket.connectToServer(socketName_);
    if (!socket.waitForConnected(timeout)) {
        // Nobody listens (or a process that died left its socket behind).
        // A server that is there but too busy to accept still counts.
        if (socket.error() != QLocalSocket::SocketTimeoutError)
            return Primary;
        *found = true;
        return NoAnswer;
    }
    // Only a process of this user may answer for the directory: anything
    // else listening on the name (another user's program, or a listener
    // planted to keep quillet from starting) counts as nobody.
    if (!InstanceGuard::instance()->peerIsSameUser(&socket)) {
        socket.abort();
        qWarning("quillet: %s is held by a process of another user; it is ignored and this start is "
                 "the running instance.",
            qPrintable(QDir::toNativeSeparators(socketName_)));
        return Primary;
    }
    *found = true;
    socket.write(showRequest);
    socket.waitForBytesWritten(timeout);
    QElapsedTimer clock;
    clock.start();
    QByteArray answer;
    while (clock.elapsed() < timeout) {
        if (socket.canReadLine()) {
            answer = socket.readLine(maxLine).trimmed();
            break;
        }
        if (socket.state() != QLocalSocket::ConnectedState)
            break;
        socket.waitForReadyRead(int(qMax<qint64>(1, timeout - clock.elapsed())));
    }
    if (answer.isEmpty() && socket.canReadLine())
        answer = socket.readLine(maxLine).trimmed();
    socket.abort();
    return answer == shownAnswer ? AlreadyRunning : NoAnswer;
}

bool SingleInstance::listen()
{
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    if (server->listen(socketName_))
        return true;
    if (server->serverError() == QAbstractSocket::AddressInUseError) {
        // The socket file of a process that ended without closing it (or of
        // a process of another user). We hold the lock and nobody of ours
        // answered on it, so it is safe to replace. Our own socket file goes
        // when the server closes, at quit.
        QLocalServer::removeServer(socketName_);
        if (server->listen(socketName_))
            return true;
    }
    error = server->errorString();
    return false;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onRequest(socket); });
        // A client that says nothing is dropped after a while.
        QTimer::singleShot(timeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            onRequest(socket);
    }
}

void SingleInstance::onRequest(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > maxLine)
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(maxLine + 1);
    if (line == showRequest) {
        socket->write(shownAnswer + '\n');
        socket->flush();
        emit showRequested();
    }
    socket->disconnectFromServer();
}
