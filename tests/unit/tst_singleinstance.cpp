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

#include <atomic>
#include <memory>
#include <vector>

#ifdef Q_OS_UNIX
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
    QVERIFY(name.size() < 48);
    QVERIFY(name.startsWith(QStringLiteral("quillet-")));
#ifdef Q_OS_UNIX
    QVERIFY(name.startsWith(QStringLiteral("quillet-%1-").arg(::getuid())));
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
    const QString path = QDir::temp().filePath(SingleInstance::serverName(dirA));
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
    QVERIFY(hung.listen(SingleInstance::serverName(dirA)));
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
    stray.connectToServer(SingleInstance::serverName(dirA));
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

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
