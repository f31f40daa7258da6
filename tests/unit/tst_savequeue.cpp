// Saves in the background: what reaches the disk after bursts, purges,
// failures and a quit while a save runs.
#include "persisthelpers.h"

#include "background/savequeue.h"
#include "settings/cliplistcodec.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using namespace persist;

namespace {
QStringList loadHistory(const QString &directory)
{
    Settings loaded;
    AppDir::setOverride(directory);
    loaded.load();
    AppDir::setOverride(QString());
    return loaded.history;
}

QStringList decode(const QByteArray &file)
{
    QStringList entries;
    if (!ClipListCodec::decode(file, 500, &entries))
        return { QStringLiteral("<damaged>") };
    return entries;
}

// A settings record with `history`, as the popup hands it over.
Settings withHistory(const QStringList &history)
{
    Settings settings;
    settings.size = QSize(700, 500);
    settings.history = history;
    return settings;
}

// `count` entries of `bytes` characters, the newest named `head`.
QStringList bigHistory(const QString &head, int count, int bytes)
{
    QStringList history { head };
    for (int i = 1; i < count; ++i)
        history << QStringLiteral("%1 %2").arg(i).arg(QString(bytes, QLatin1Char('a' + i % 26)));
    return history;
}
}  // namespace

class TstSaveQueue : public QObject
{
    Q_OBJECT

private slots:
    void savesOffTheCallingThread();
    void burstLeavesNewestOnDisk();
    void overtakenPurgeStillPurges();
    void damagedMainNeverBecomesBackup();
    void failureNamesTheFile();
    void finishKeepsSaveInFlight();
    void finishKeepsWaitingSave();
    void saveAfterFinishRunsAtOnce();
};

void TstSaveQueue::savesOffTheCallingThread()
{
    // The caller gets control back before anything is written.
    QTemporaryDir dir;
    SaveQueue queue;
    QSignalSpy finished(&queue, &SaveQueue::finished);
    const quint64 sequence = queue.save(withHistory({ "a", "b" }), dir.path(), false);
    QVERIFY(!queue.isIdle());
    QVERIFY(finished.isEmpty());
    QTRY_VERIFY(queue.isIdle());
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(0).value<quint64>(), sequence);
    QVERIFY(finished.first().at(1).value<SaveOutcome>().ok);
    QCOMPARE(loadHistory(dir.path()), (QStringList { "a", "b" }));
    QVERIFY(QFile::exists(dir.filePath("quillet.ini")));
}

void TstSaveQueue::burstLeavesNewestOnDisk()
{
    // While one save runs, each new request replaces the waiting one: far
    // fewer saves than requests, and the last one is the newest history.
    QTemporaryDir dir;
    SaveQueue queue;
    QSignalSpy finished(&queue, &SaveQueue::finished);
    QStringList history = bigHistory(QStringLiteral("start"), 50, 20000);
    quint64 last = 0;
    for (int i = 0; i < 200; ++i) {
        history.prepend(QStringLiteral("burst %1").arg(i));
        history.removeLast();
        last = queue.save(withHistory(history), dir.path(), false);
    }
    QTRY_VERIFY_WITH_TIMEOUT(queue.isIdle(), 30000);
    QVERIFY2(finished.size() <= 3, qPrintable(QString::number(finished.size())));
    QCOMPARE(finished.last().at(0).value<quint64>(), last);
    QCOMPARE(loadHistory(dir.path()), history);
    // The backup holds a history that was asked for before the last one.
    const QStringList backup = decode(readBytes(dir.filePath("cliplist.dat.bak")));
    QVERIFY(backup.size() == history.size());
    QVERIFY(backup != history);
}

void TstSaveQueue::overtakenPurgeStillPurges()
{
    QTemporaryDir dir;
    const QString secret = QStringLiteral("hunter2");
    QStringList history = bigHistory(QStringLiteral("newest"), 50, 20000);
    history.insert(1, secret);
    {
        // The secret in main and in the backup.
        SaveQueue queue;
        queue.save(withHistory(history), dir.path(), false);
        queue.save(withHistory(QStringList { "x" } + history), dir.path(), false);
        QTRY_VERIFY(queue.isIdle());
    }
    QVERIFY(decode(readBytes(dir.filePath("cliplist.dat.bak"))).contains(secret));

    SaveQueue queue;
    history.prepend(QStringLiteral("keeps the thread busy"));
    queue.save(withHistory(history), dir.path(), false);
    history.removeAll(secret);
    queue.save(withHistory(history), dir.path(), true);  // waits, then is overtaken
    history.prepend(QStringLiteral("after the deletion"));
    queue.save(withHistory(history), dir.path(), false);
    QTRY_VERIFY_WITH_TIMEOUT(queue.isIdle(), 30000);
    QCOMPARE(loadHistory(dir.path()), history);
    for (const QString &name : fileNames(dir.path())) {
        if (name.startsWith(QLatin1String("cliplist")))
            QVERIFY2(!decode(readBytes(dir.filePath(name))).contains(secret), qPrintable(name));
    }
}

void TstSaveQueue::damagedMainNeverBecomesBackup()
{
    // The save thread knows the file it wrote last; a main file changed by
    // anyone else since is checked again, and a damaged one is not rotated
    // over the good backup.
    QTemporaryDir dir;
    SaveQueue queue;
    queue.save(withHistory({ "one" }), dir.path(), false);
    queue.save(withHistory({ "two", "one" }), dir.path(), false);
    QTRY_VERIFY(queue.isIdle());
    QCOMPARE(decode(readBytes(dir.filePath("cliplist.dat.bak"))), QStringList { "one" });

    const QByteArray good = readBytes(dir.filePath("cliplist.dat"));
    QByteArray damaged = good;
    damaged.replace(damaged.size() - 6, 6, "\xff\xfe\xfd\xfc\xfb\xfa");
    QVERIFY(writeBytes(dir.filePath("cliplist.dat"), damaged));
    queue.save(withHistory({ "three", "two", "one" }), dir.path(), false);
    QTRY_VERIFY(queue.isIdle());
    QCOMPARE(decode(readBytes(dir.filePath("cliplist.dat"))), (QStringList { "three", "two", "one" }));
    QCOMPARE(decode(readBytes(dir.filePath("cliplist.dat.bak"))), QStringList { "one" });

    // A good main written by someone else is rotated as before.
    QVERIFY(writeBytes(dir.filePath("cliplist.dat"), plainFile({ "theirs" })));
    queue.save(withHistory({ "four" }), dir.path(), false);
    QTRY_VERIFY(queue.isIdle());
    QCOMPARE(decode(readBytes(dir.filePath("cliplist.dat.bak"))), QStringList { "theirs" });
}

void TstSaveQueue::failureNamesTheFile()
{
    QTemporaryDir dir;
    // A directory where the settings file belongs cannot be replaced.
    QVERIFY(QDir(dir.path()).mkdir("quillet.ini"));
    SaveQueue queue;
    QSignalSpy failed(&queue, &SaveQueue::failed);
    queue.save(withHistory({ "kept in memory" }), dir.path(), false);
    QTRY_VERIFY(queue.isIdle());
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().at(0).toString(), dir.filePath("quillet.ini"));
    QVERIFY(!failed.first().at(1).toString().isEmpty());
    // The clip list went first and was written.
    QCOMPARE(loadHistory(dir.path()), QStringList { "kept in memory" });
}

void TstSaveQueue::finishKeepsSaveInFlight()
{
    QTemporaryDir dir;
    const QStringList history = bigHistory(QStringLiteral("in flight"), 60, 100000);
    {
        SaveQueue queue;
        queue.save(withHistory(history), dir.path(), false);
        QVERIFY(!queue.isIdle());
        QVERIFY(queue.finish());
    }
    QCOMPARE(loadHistory(dir.path()), history);
}

void TstSaveQueue::finishKeepsWaitingSave()
{
    // Quit right after a burst: the newest request, still waiting behind
    // the running save, is written before the thread ends.
    QTemporaryDir dir;
    QStringList history = bigHistory(QStringLiteral("first"), 60, 100000);
    {
        SaveQueue queue;
        queue.save(withHistory(history), dir.path(), false);
        history.prepend(QStringLiteral("the newest"));
        queue.save(withHistory(history), dir.path(), false);
        // Destroyed without any event processing: the destructor finishes.
    }
    QCOMPARE(loadHistory(dir.path()), history);
}

void TstSaveQueue::saveAfterFinishRunsAtOnce()
{
    QTemporaryDir dir;
    SaveQueue queue;
    QVERIFY(queue.finish());
    QSignalSpy finished(&queue, &SaveQueue::finished);
    queue.save(withHistory({ "late" }), dir.path(), false);
    QCOMPARE(finished.size(), 1);
    QVERIFY(queue.isIdle());
    QCOMPARE(loadHistory(dir.path()), QStringList { "late" });
}

QTEST_MAIN(TstSaveQueue)
#include "tst_savequeue.moc"
