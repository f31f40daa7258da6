#include "app/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "background/handover.h"
#include "platform/fakeplatform.h"
#include "platform/instanceguard.h"

#include <atomic>
#include <memory>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

// A process stand-in: a SingleInstance started on a thread of its own with
// its own event loop, as a running program would be. A start from the test's
// thread waits for its answer, so the two cannot share one thread.
class Instance : public QThread
{
public:
    explicit Instance(const QString &dir, QSemaphore *go = nullptr)
        : dir(dir)
        , go(go)
    { }
    ~Instance() override
    {
        quit();
        wait();
        // The thread has ended (a join a thread sanitizer cannot see).
        HandOver::received(this);
    }

    // Starts the thread and waits until its start() has returned.
    SingleInstance::Result launch()
    {
        start();
        started.acquire();
        return result;
    }

    // Atomic: the semaphore that orders it is inside Qt, where a thread
    // sanitizer cannot see it.
    std::atomic<SingleInstance::Result> result { SingleInstance::NoAnswer };
    std::atomic<int> shows { 0 };
    QSemaphore started;

protected:
    void run() override
    {
        SingleInstance instance(dir);
        QObject::connect(&instance, &SingleInstance::showRequested, [this] { ++shows; });
        if (go)
            go->acquire();
        result = instance.start();
        started.release();
        if (result == SingleInstance::Primary)
            exec();
        HandOver::sent(this);
    }

private:
    QString dir;
    QSemaphore *go;
};

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void nameIdentifiesDirectory_data();
    void nameIdentifiesDirectory();
    void nameIsShortAndPerUser();
    void secondStartShowsTheFirst();
    void otherDirectoryRunsAlongside();
    void startAfterTheFirstEndedIsPrimary();
    void leftoverSocketFileIsReplaced();
    void silentHolderIsNotJoined();
    void strayClientsShowNothing_data();
    void strayClientsShowNothing();
    void simultaneousStartsElectOne();
    void privateDirectory_data();
    void privateDirectory();
    void socketLivesInThePrivateFolder();
    void refusedFolderRunsUnguarded();
    void anotherUsersPeerIsNobody();
    void sameUsersPeerIsAsked();
    void systemKnowsItsOwnUser();
    void oldNameInTheTempFolderIsIgnored();
    void ownSocketIsRemovedAtQuit();

private:
    std::unique_ptr<QTemporaryDir> tmp;
    QString dirA;
    QString dirB;
};

void TestSingleInstance::init()
{
    tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp->isValid());
    dirA = tmp->filePath(QStringLiteral("a"));
    dirB = tmp->filePath(QStringLiteral("b"));
    QVERIFY(QDir().mkpath(dirA));
    QVERIFY(QDir().mkpath(dirB));
}

void TestSingleInstance::cleanup()
{
    InstanceGuard::setInstance(nullptr);
}

void TestSingleInstance::nameIdentifiesDirectory_data()
{
    QTest::addColumn<QString>("spelling");
    QTest::addColumn<bool>("same");
    QTest::newRow("itself") << QStringLiteral("a") << true;
    QTest::newRow("trailing slash") << QStringLiteral("a/") << true;
    QTest::newRow("dot dot") << QStringLiteral("b/../a") << true;
    QTest::newRow("dot") << QStringLiteral("./a/.") << true;
#ifdef Q_OS_UNIX
    QTest::newRow("through a link") << QStringLiteral("link-to-a") << true;
#endif
    QTest::newRow("sibling") << QStringLiteral("b") << false;
    QTest::newRow("parent") << QStringLiteral(".") << false;
    QTest::newRow("child") << QStringLiteral("a/list") << false;
}

void TestSingleInstance::nameIdentifiesDirectory()
{
    QFETCH(QString, spelling);
    QFETCH(bool, same);
    QVERIFY(QDir().mkpath(dirA + QStringLiteral("/list")));
#ifdef Q_OS_UNIX
    QVERIFY(QFile::link(dirA, tmp->filePath(QStringLiteral("link-to-a"))));
#endif
    const QString name = SingleInstance::serverName(dirA);
    const QString other = SingleInstance::serverName(tmp->path() + QLatin1Char('/') + spelling);
    QCOMPARE(other == name, same);
}

void TestSingleInstance::nameIsShortAndPerUser()
{
    // A deep directory still gives a name that fits a local socket path.
    const QString deep = tmp->path() + QStringLiteral("/x").repeated(200);
    const QString name = SingleInstance::serverName(deep);
    QVERIFY(name.startsWith(QStringLiteral("quillet-")));
#ifdef Q_OS_UNIX
    QVERIFY(name.size() < 48);
    QVERIFY(name.startsWith(QStringLiteral("quillet-%1-").arg(::getuid())));
#else
    // The user's SID and the logon session: pipe names are shared by every
    // session of the machine.
    const QString tag = InstanceGuard::instance()->userTag();
    QVERIFY2(tag.startsWith(QStringLiteral("S-1-")), qPrintable(tag));
    QVERIFY(name.startsWith(QStringLiteral("quillet-") + tag + QLatin1Char('-')));
    QVERIFY(name.size() < 128);
#endif
}

void TestSingleInstance::secondStartShowsTheFirst()
{
    Instance first(dirA);
    QCOMPARE(first.launch(), SingleInstance::Primary);
    QCOMPARE(first.shows.load(), 0);

    for (int start = 1; start <= 2; ++start) {
        SingleInstance second(dirA);
        QCOMPARE(second.start(), SingleInstance::AlreadyRunning);
        QVERIFY(!second.isListening());
        QTRY_COMPARE(first.shows.load(), start);
    }
}

void TestSingleInstance::otherDirectoryRunsAlongside()
{
    Instance first(dirA);
    QCOMPARE(first.launch(), SingleInstance::Primary);
    SingleInstance other(dirB);
    QCOMPARE(other.start(), SingleInstance::Primary);
    QVERIFY(other.isListening());
    QCOMPARE(first.shows.load(), 0);
}

void TestSingleInstance::startAfterTheFirstEndedIsPrimary()
{
    {
        Instance first(dirA);
        QCOMPARE(first.launch(), SingleInstance::Primary);
    }
    SingleInstance next(dirA);
    QCOMPARE(next.start(), SingleInstance::Primary);
    QVERIFY(next.isListening());
}

void TestSingleInstance::leftoverSocketFileIsReplaced()
{
#ifdef Q_OS_UNIX
    // A program that was killed leaves its socket file behind; nobody
    // answers on it, and the next start must take its place.
    const QString path = SingleInstance::socketName(dirA);
    QVERIFY(!path.isEmpty());
    QFile leftover(path);
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    SingleInstance next(dirA);
    QCOMPARE(next.start(), SingleInstance::Primary);
    QVERIFY2(next.isListening(), qPrintable(next.errorString()));

    QLocalSocket probe;
    probe.connectToServer(next.name());
    QVERIFY(probe.waitForConnected(2000));
#else
    QSKIP("socket files are a Unix matter");
#endif
}

void TestSingleInstance::silentHolderIsNotJoined()
{
    // Something holds the directory's name but never answers (a hung
    // program): a later start must neither take over nor wait forever.
    QLocalServer hung;
    QVERIFY(hung.listen(SingleInstance::socketName(dirA)));
    SingleInstance next(dirA);
    next.setTimeout(300);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(next.start(), SingleInstance::NoAnswer);
    QVERIFY(!next.isListening());
    QVERIFY(clock.elapsed() < 3000);
}

void TestSingleInstance::strayClientsShowNothing_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("nothing") << QByteArray();
    QTest::newRow("another word") << QByteArrayLiteral("quit\n");
    QTest::newRow("no line end") << QByteArrayLiteral("show");
    QTest::newRow("overlong") << QByteArray(4096, 'x');
    QTest::newRow("show with more") << QByteArrayLiteral("show me\n");
}

void TestSingleInstance::strayClientsShowNothing()
{
    QFETCH(QByteArray, sent);
    Instance first(dirA);
    QCOMPARE(first.launch(), SingleInstance::Primary);

    QLocalSocket stray;
    stray.connectToServer(SingleInstance::socketName(dirA));
    QVERIFY(stray.waitForConnected(2000));
    if (!sent.isEmpty()) {
        stray.write(sent);
        QVERIFY(stray.waitForBytesWritten(2000));
    }
    stray.disconnectFromServer();
    if (stray.state() != QLocalSocket::UnconnectedState)
        stray.waitForDisconnected(2000);

    // A real start afterwards is still served, and only it shows the popup.
    SingleInstance second(dirA);
    QCOMPARE(second.start(), SingleInstance::AlreadyRunning);
    QTRY_COMPARE(first.shows.load(), 1);
    QTest::qWait(50);
    QCOMPARE(first.shows.load(), 1);
}

void TestSingleInstance::simultaneousStartsElectOne()
{
    // Starts racing for one directory: exactly one becomes the program, the
    // others show its popup. Several rounds, since a lost race is a matter
    // of timing.
    for (int round = 0; round < 6; ++round) {
        const QString dir = tmp->filePath(QStringLiteral("race%1").arg(round));
        QVERIFY(QDir().mkpath(dir));
        QSemaphore go;
        std::vector<std::unique_ptr<Instance>> starts;
        for (int i = 0; i < 4; ++i) {
            starts.push_back(std::make_unique<Instance>(dir, &go));
            starts.back()->start();
        }
        go.release(4);
        int primaries = 0;
        int shown = 0;
        for (auto &start : starts) {
            start->started.acquire();
            primaries += start->result == SingleInstance::Primary;
            shown += start->result == SingleInstance::AlreadyRunning;
        }
        QCOMPARE(primaries, 1);
        QCOMPARE(shown, 3);
        for (auto &start : starts) {
            if (start->result == SingleInstance::Primary)
                QTRY_COMPARE(start->shows.load(), 3);
        }
    }
}

void TestSingleInstance::privateDirectory_data()
{
#ifndef Q_OS_UNIX
    QSKIP("Windows keeps no socket files");
#endif
    // The state of the fallback folder TEMP/quillet-UID and of
    // $XDG_RUNTIME_DIR, and which folder is taken: "runtime", "fallback"
    // or none ("refused").
    QTest::addColumn<QString>("fallback");
    QTest::addColumn<QString>("runtime");
    QTest::addColumn<QString>("taken");
    const auto row = [](const char *name, const char *fallback, const char *runtime, const char *taken) {
        QTest::newRow(name) << QString::fromLatin1(fallback) << QString::fromLatin1(runtime)
                            << QString::fromLatin1(taken);
    };
    row("missing: made with 0700", "missing", "unset", "fallback");
    row("exists with 0700", "0700", "unset", "fallback");
    row("mode 0755", "0755", "unset", "refused");
    row("mode 0777", "0777", "unset", "refused");
    row("mode 0750", "0750", "unset", "refused");
    row("another owner", "other owner", "unset", "refused");
    row("a link to a private folder", "symlink", "unset", "refused");
    row("a file", "file", "unset", "refused");
    row("runtime dir good", "missing", "0700", "runtime");
    row("runtime dir good, fallback bad", "0777", "0700", "runtime");
    row("runtime dir mode 0755", "missing", "0755", "fallback");
    row("runtime dir mode 0777", "missing", "0777", "fallback");
    row("runtime dir of another owner", "missing", "other owner", "fallback");
    row("runtime dir missing", "missing", "missing", "fallback");
    row("runtime dir a link", "missing", "symlink", "fallback");
    row("runtime dir relative", "missing", "relative", "fallback");
    row("runtime dir bad, fallback bad", "0755", "0755", "refused");
}

#ifdef Q_OS_UNIX
namespace {
// Puts a folder (or a file, or a link) in the state a row names.
bool prepare(const QString &path, const QString &state, const QString &linkTarget)
{
    const QByteArray native = QFile::encodeName(path);
    if (state == QLatin1String("missing") || state == QLatin1String("unset")
        || state == QLatin1String("relative"))
        return true;
    if (state == QLatin1String("symlink"))
        return QFile::link(linkTarget, path);
    if (state == QLatin1String("file")) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly);
    }
    if (::mkdir(native.constData(), 0700) != 0)
        return false;
    if (state == QLatin1String("other owner"))
        return ::chown(native.constData(), 65534, 65534) == 0;  // nobody
    return ::chmod(native.constData(), mode_t(state.toUInt(nullptr, 8))) == 0;
}
}  // namespace
#endif

void TestSingleInstance::privateDirectory()
{
#ifdef Q_OS_UNIX
    QFETCH(QString, fallback);
    QFETCH(QString, runtime);
    QFETCH(QString, taken);
    if ((fallback == QLatin1String("other owner") || runtime == QLatin1String("other owner"))
        && ::geteuid() != 0)
        QSKIP("only root can give a folder to another user");

    const QString base = tmp->filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(base));
    const QString fallbackDir = base + QStringLiteral("/quillet-%1").arg(::getuid());
    const QString linkTarget = tmp->filePath(QStringLiteral("private"));
    QVERIFY(QDir().mkpath(linkTarget));
    QVERIFY(QFile::setPermissions(
        linkTarget, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QVERIFY(prepare(fallbackDir, fallback, linkTarget));
    QString runtimeDir;
    struct RestoreCurrent
    {
        QString dir = QDir::currentPath();
        ~RestoreCurrent() { QDir::setCurrent(dir); }
    } restore;
    if (runtime == QLatin1String("relative")) {
        runtimeDir = QStringLiteral("run");
        QVERIFY(QDir::setCurrent(tmp->path()));
        QVERIFY(::mkdir("run", 0700) == 0);
    } else if (runtime != QLatin1String("unset")) {
        runtimeDir = tmp->filePath(QStringLiteral("run"));
        QVERIFY(prepare(runtimeDir, runtime, linkTarget));
    }

    QString error;
    const QString dir = InstanceGuard::privateDirectory(runtimeDir, base, &error);
    if (taken == QLatin1String("refused")) {
        QVERIFY2(dir.isEmpty(), qPrintable(dir));
        QVERIFY(error.contains(fallbackDir));
        // A refused folder is left as it was: neither made private nor
        // written into (nor the folder a link points to).
        const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        QVERIFY(QDir(linkTarget).entryList(all).isEmpty());
        struct stat status = {};
        QCOMPARE(::lstat(QFile::encodeName(fallbackDir).constData(), &status), 0);
        bool octal = false;
        const uint mode = fallback.toUInt(&octal, 8);
        if (octal) {
            QCOMPARE(uint(status.st_mode & 0777), mode);
            QVERIFY(QDir(fallbackDir).entryList(all).isEmpty());
        }
        return;
    }
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(dir, taken == QLatin1String("runtime") ? runtimeDir : fallbackDir);
    struct stat status = {};
    QCOMPARE(::lstat(QFile::encodeName(dir).constData(), &status), 0);
    QVERIFY(S_ISDIR(status.st_mode));
    QCOMPARE(status.st_uid, ::geteuid());
    QCOMPARE(int(status.st_mode & 0777), 0700);
    QVERIFY(InstanceGuard::isPrivate(dir));
    if (taken == QLatin1String("runtime"))
        QCOMPARE(QFileInfo::exists(fallbackDir), fallback != QLatin1String("missing"));
#endif
}

void TestSingleInstance::socketLivesInThePrivateFolder()
{
#ifdef Q_OS_UNIX
    // The real system's folder: $XDG_RUNTIME_DIR or TEMP/quillet-UID.
    QString error;
    const QString dir = InstanceGuard::instance()->socketDirectory(&error);
    QVERIFY2(!dir.isEmpty(), qPrintable(error));
    QVERIFY(InstanceGuard::isPrivate(dir));
    SingleInstance first(dirA);
    QCOMPARE(first.name(), dir + QLatin1Char('/') + SingleInstance::serverName(dirA));
    QCOMPARE(first.start(), SingleInstance::Primary);
    QVERIFY(first.isListening());
    QVERIFY(QFileInfo::exists(first.name()));
    // The lock of the start is gone once it has started.
    QVERIFY(!QFileInfo::exists(first.name() + QStringLiteral(".lock")));
#else
    SingleInstance first(dirA);
    QCOMPARE(first.name(), SingleInstance::serverName(dirA));
    QCOMPARE(first.start(), SingleInstance::Primary);
    QVERIFY(first.isListening());
#endif
}

void TestSingleInstance::refusedFolderRunsUnguarded()
{
    // A folder that is not private is not used: the program runs, alone
    // or not, and says why it cannot watch.
    FakeInstanceGuard guard;
    guard.refusal = QStringLiteral("/tmp/quillet-1000 belongs to user 1001, so it is not used");
    InstanceGuard::setInstance(&guard);
    SingleInstance first(dirA);
    QVERIFY(first.name().isEmpty());
    QCOMPARE(first.start(), SingleInstance::Primary);
    QVERIFY(!first.isListening());
    QCOMPARE(first.errorString(), guard.refusal);
    QCOMPARE(guard.peerChecks.load(), 0);
}

void TestSingleInstance::anotherUsersPeerIsNobody()
{
    // A process of another user listens on the name and would answer
    // "shown": the start must not believe it, must send it nothing, and
    // becomes the running instance, saying so once.
    FakeInstanceGuard guard;
    InstanceGuard::setInstance(&guard);
    Instance other(dirA);
    QCOMPARE(other.launch(), SingleInstance::Primary);

    guard.samePeer = false;
    QTest::ignoreMessage(
        QtWarningMsg, QRegularExpression(QStringLiteral("held by a process of another user")));
    SingleInstance next(dirA);
    QCOMPARE(next.start(), SingleInstance::Primary);
    QVERIFY(guard.peerChecks.load() >= 1);
    QTest::qWait(100);
    QCOMPARE(other.shows.load(), 0);
#ifdef Q_OS_UNIX
    // The name is ours now: a later start of this user reaches this one.
    QVERIFY2(next.isListening(), qPrintable(next.errorString()));
    QSignalSpy shown(&next, &SingleInstance::showRequested);
    guard.samePeer = true;
    QLocalSocket probe;
    probe.connectToServer(next.name());
    QVERIFY(probe.waitForConnected(2000));
    probe.write("show\n");
    QTRY_COMPARE(shown.count(), 1);
#endif
}

void TestSingleInstance::sameUsersPeerIsAsked()
{
    // The hand-over goes through the same check and goes on when it says yes.
    FakeInstanceGuard guard;
    InstanceGuard::setInstance(&guard);
    Instance first(dirA);
    QCOMPARE(first.launch(), SingleInstance::Primary);
    SingleInstance second(dirA);
    QCOMPARE(second.start(), SingleInstance::AlreadyRunning);
    QCOMPARE(guard.peerChecks.load(), 1);
    QTRY_COMPARE(first.shows.load(), 1);
}

void TestSingleInstance::systemKnowsItsOwnUser()
{
    // The system's own check: a server of this user is this user's (on
    // Windows through the server's process and its token), and a socket
    // that is not connected belongs to nobody.
    Instance first(dirA);
    QCOMPARE(first.launch(), SingleInstance::Primary);
    QLocalSocket socket;
    QVERIFY(!InstanceGuard::instance()->peerIsSameUser(&socket));
    socket.connectToServer(SingleInstance::socketName(dirA));
    QVERIFY(socket.waitForConnected(2000));
    QVERIFY(InstanceGuard::instance()->peerIsSameUser(&socket));
    socket.abort();
    QVERIFY(!InstanceGuard::instance()->peerIsSameUser(&socket));
}

void TestSingleInstance::oldNameInTheTempFolderIsIgnored()
{
#ifdef Q_OS_UNIX
    // The name earlier versions used in the shared temporary folder, where
    // any user could listen: an answer there counts for nothing.
    QLocalServer squatter;
    const QString old = QDir::temp().filePath(SingleInstance::serverName(dirA));
    QLocalServer::removeServer(old);
    QVERIFY(squatter.listen(old));
    connect(&squatter, &QLocalServer::newConnection, &squatter, [&squatter] {
        while (QLocalSocket *client = squatter.nextPendingConnection())
            client->write("shown\n");
    });
    SingleInstance next(dirA);
    QCOMPARE(next.start(), SingleInstance::Primary);
    QVERIFY(next.isListening());
    QVERIFY(next.name() != old);
#else
    QSKIP("socket files are a Unix matter");
#endif
}

void TestSingleInstance::ownSocketIsRemovedAtQuit()
{
#ifdef Q_OS_UNIX
    QString path;
    {
        SingleInstance first(dirA);
        QCOMPARE(first.start(), SingleInstance::Primary);
        path = first.name();
        QVERIFY(QFileInfo::exists(path));
    }
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(!QFileInfo::exists(path + QStringLiteral(".lock")));
#else
    QSKIP("socket files are a Unix matter");
#endif
}

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
