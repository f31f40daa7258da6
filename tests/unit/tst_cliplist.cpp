#include "persisthelpers.h"

#include "settings/cliplistcodec.h"
#include "settings/cliplistfile.h"
#include "settings/compressedblock.h"
#include "settings/safefilewriter.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace persist;

class TstClipList : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *dir = nullptr;
    QString prefix() const { return dir->path() + QLatin1Char('/'); }
    QString mainPath() const { return prefix() + QStringLiteral("cliplist.dat"); }
    QString backupPath() const { return prefix() + QStringLiteral("cliplist.dat.bak"); }
    QStringList loaded(int histmax = 500) const
    {
        QStringList history;
        ClipListFile(prefix()).load(histmax, &history);
        return history;
    }
    bool save(const QStringList &history, bool purge = false) const
    {
        QString path, error;
        return ClipListFile(prefix()).save(history, purge, &path, &error);
    }

private slots:
    void init()
    {
        dir = new QTemporaryDir;
        QVERIFY(dir->isValid());
        SafeFileWriter::setFailAfterBytes(-1);
    }
    void cleanup()
    {
        SafeFileWriter::setFailAfterBytes(-1);
        delete dir;
        dir = nullptr;
    }

    void byteExample()
    {
        QVERIFY(save({ QStringLiteral("abc"), QStringLiteral("x y") }));
        const QByteArray bytes = readBytes(mainPath());
        QCOMPARE(bytes.left(4), QByteArray("\x00\x00\x00\x0a", 4));
        QCOMPARE(bytes.at(4), '\x78');  // zlib stream header
        QCOMPARE(qUncompress(bytes), QByteArray("abc<>x y<>"));
        QCOMPARE(bytes, qCompress(QByteArray("abc<>x y<>"), 1));
        QCOMPARE(loaded(), (QStringList { QStringLiteral("abc"), QStringLiteral("x y") }));
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("histmax");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("five entries, histmax 3")
            << QByteArray("a<>b<>c<>d<>e<>") << 3 << QStringList { "a", "b", "c" };
        QTest::newRow("histmax 0, first piece kept") << QByteArray("a<>b<>") << 0 << QStringList { "a" };
        QTest::newRow("histmax 0, first piece blank") << QByteArray(" <>b<>") << 0 << QStringList();
        QTest::newRow("negative histmax") << QByteArray("a<>b<>") << -4 << QStringList { "a" };
        QTest::newRow("blank piece dropped") << QByteArray("a<>  <>b<>") << 500 << QStringList { "a", "b" };
        QTest::newRow("blank piece not counted")
            << QByteArray("a<>\t\n<>b<>c<>") << 2 << QStringList { "a", "b" };
        QTest::newRow("untrimmed, duplicates kept")
            << QByteArray("  a \n<>x<>x<>") << 500 << QStringList { "  a \n", "x", "x" };
        QTest::newRow("no trailing mark") << QByteArray("a<>b") << 500 << QStringList { "a", "b" };
        QTest::newRow("text ends at NUL") << QByteArray("a<>b<>\0c<>", 10) << 500 << QStringList { "a", "b" };
        QTest::newRow("utf-8") << QByteArray("IPAゴシック<>é<>") << 500 << QStringList { "IPAゴシック", "é" };
        QTest::newRow("empty payload") << QByteArray() << 500 << QStringList();
    }
    void load()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, histmax);
        QFETCH(QStringList, expected);
        QVERIFY(writeBytes(mainPath(), qCompress(payload, 1)));
        QCOMPARE(loaded(histmax), expected);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<bool>("plain");
        QTest::newRow("plain") << QStringList { "  spaced  ", "line\nbreak\ttab", "IPAゴシック 😀" } << true;
        QTest::newRow("angle brackets apart") << QStringList { "a<", ">b", "<", ">", "><" } << true;
        QTest::newRow("sql") << QStringList { "newer", "a <> b", "older" } << false;
        QTest::newRow("only a mark") << QStringList { "<>", "x" } << false;
        QTest::newRow("nul") << QStringList { "first", QString("nu") + QChar(0) + "l", "last" } << false;
        QTest::newRow("mark and nul")
            << QStringList { QString("<>") + QChar(0), QString(QChar(0)) + " x", "ok<><>" } << false;
    }
    void roundTrip()
    {
        QFETCH(QStringList, history);
        QFETCH(bool, plain);
        QVERIFY(save(history));
        QCOMPARE(loaded(), history);
        const QByteArray bytes = readBytes(mainPath());
        if (plain) {
            QCOMPARE(bytes, plainFile(history));
        } else {
            // A reader of the plain layout sees no entries, not broken ones.
            QVERIFY(plainText(bytes).isEmpty());
            QVERIFY(qUncompress(bytes).startsWith('\0'));
        }
    }

    void framedHonoursHistmax()
    {
        QVERIFY(save({ "a <> b", "  ", "c", "d" }));
        QCOMPARE(loaded(2), (QStringList { "a <> b", "c" }));
        QCOMPARE(loaded(0), (QStringList { "a <> b" }));
    }

    void backupSequence()
    {
        const QStringList first { "one" }, second { "two", "one" }, third { "three", "two", "one" };
        QVERIFY(save(first));
        QCOMPARE(fileNames(dir->path()), QStringList { "cliplist.dat" });
        QCOMPARE(readBytes(mainPath()), plainFile(first));
        QVERIFY(save(second));
        QCOMPARE(fileNames(dir->path()), (QStringList { "cliplist.dat", "cliplist.dat.bak" }));
        QCOMPARE(readBytes(mainPath()), plainFile(second));
        QCOMPARE(readBytes(backupPath()), plainFile(first));
        QVERIFY(save(third));
        QCOMPARE(fileNames(dir->path()), (QStringList { "cliplist.dat", "cliplist.dat.bak" }));
        QCOMPARE(readBytes(mainPath()), plainFile(third));
        QCOMPARE(readBytes(backupPath()), plainFile(second));
    }

    void emptyHistoryTouchesNothing_data()
    {
        QTest::addColumn<bool>("purge");
        QTest::newRow("save") << false;
        QTest::newRow("purging save") << true;
    }
    void emptyHistoryTouchesNothing()
    {
        QFETCH(bool, purge);
        QVERIFY(writeBytes(mainPath(), plainFile({ "p" })));
        QVERIFY(writeBytes(backupPath(), QByteArray("not even a clip list")));
        QVERIFY(save({}, purge));
        QCOMPARE(readBytes(mainPath()), plainFile({ "p" }));
        QCOMPARE(readBytes(backupPath()), QByteArray("not even a clip list"));
        QCOMPARE(fileNames(dir->path()), (QStringList { "cliplist.dat", "cliplist.dat.bak" }));
    }

    void unreadableMainFallsBack_data()
    {
        const QByteArray good = plainFile({ "a", "b", "c", "d" });
        QTest::addColumn<bool>("mainExists");
        QTest::addColumn<QByteArray>("main");
        QTest::newRow("missing") << false << QByteArray();
        QTest::newRow("zero length") << true << QByteArray();
        QTest::newRow("garbage") << true << QByteArray("this is no zlib stream at all");
        QTest::newRow("cut off") << true << good.left(good.size() - 3);
        QTest::newRow("short") << true << QByteArray("\x00\x00", 2);
        QTest::newRow("header only") << true << QByteArray("\x00\x00\x01\x00", 4);
        QTest::newRow("flipped byte") << true << QByteArray(good).replace(8, 1, "\xff");
        // A framed payload whose last entry claims more bytes than follow.
        QTest::newRow("broken frame")
            << true << qCompress(QByteArray("\0QLCL\x01\x00\x00\x00\x09short", 15), 1);
    }
    void unreadableMainFallsBack()
    {
        QFETCH(bool, mainExists);
        QFETCH(QByteArray, main);
        if (mainExists)
            QVERIFY(writeBytes(mainPath(), main));
        QVERIFY(writeBytes(backupPath(), plainFile({ "p", "q <> r" })));
        QCOMPARE(loaded(), (QStringList { "p", "q ", " r" }));
        QFile::remove(backupPath());
        QCOMPARE(loaded(), QStringList());
    }

    void damagedMainIsNotRotated()
    {
        const QByteArray damaged("definitely damaged");
        QVERIFY(writeBytes(mainPath(), damaged));
        QVERIFY(writeBytes(backupPath(), plainFile({ "p", "q" })));
        QStringList history = loaded();
        QCOMPARE(history, (QStringList { "p", "q" }));

        // The backup holds what was loaded: the save must keep it.
        history.prepend("new");
        QVERIFY(save(history));
        QCOMPARE(loaded(), (QStringList { "new", "p", "q" }));
        QCOMPARE(readBytes(backupPath()), plainFile({ "p", "q" }));
        history.prepend("newer");
        QVERIFY(save(history));
        QCOMPARE(readBytes(mainPath()), plainFile({ "newer", "new", "p", "q" }));
        QCOMPARE(readBytes(backupPath()), plainFile({ "new", "p", "q" }));
    }

    void hugeHeaderIsOnlyAHint()
    {
        // A header claiming 4 GiB over a stream of five bytes.
        QByteArray bytes = qCompress(QByteArray("abc<>"), 1);
        bytes.replace(0, 4, QByteArray("\xff\xff\xff\xff", 4));
        QVERIFY(writeBytes(mainPath(), bytes));
        QCOMPARE(loaded(), QStringList { "abc" });
        // A header claiming 2 GiB over garbage: damaged, the backup is read.
        QVERIFY(writeBytes(mainPath(), QByteArray("\x7f\xff\xff\xff", 4) + QByteArray(64, 'x')));
        QVERIFY(writeBytes(backupPath(), plainFile({ "b" })));
        QCOMPARE(loaded(), QStringList { "b" });
    }

    void purgeLeavesNoOlderCopy_data()
    {
        QTest::addColumn<bool>("backupExists");
        QTest::newRow("with backup") << true;
        QTest::newRow("without backup") << false;
    }
    void purgeLeavesNoOlderCopy()
    {
        QFETCH(bool, backupExists);
        QVERIFY(writeBytes(mainPath(), plainFile({ "keep", "secret", "other" })));
        if (backupExists)
            QVERIFY(writeBytes(backupPath(), plainFile({ "secret", "other", "old" })));
        // Left over by a save that was killed half-way.
        QVERIFY(writeBytes(SafeFileWriter::temporaryPath(mainPath()), plainFile({ "secret" })));
        QVERIFY(writeBytes(SafeFileWriter::temporaryPath(backupPath()), plainFile({ "secret" })));

        const QStringList history { "keep", "other" };
        QVERIFY(save(history, true));
        QStringList expectedFiles { "cliplist.dat" };
        if (backupExists)
            expectedFiles << "cliplist.dat.bak";
        QCOMPARE(fileNames(dir->path()), expectedFiles);
        for (const QString &name : expectedFiles) {
            const QByteArray bytes = readBytes(prefix() + name);
            QCOMPARE(bytes, plainFile(history));
            QVERIFY(!qUncompress(bytes).contains("secret"));
        }
        QCOMPARE(loaded(), history);
    }

#ifdef Q_OS_UNIX
    void filesArePrivate()
    {
        QVERIFY(save({ "one" }));
        QCOMPARE(mode(mainPath()), 0600);
        QVERIFY(chmodPath(mainPath(), 0644));
        QVERIFY(save({ "two", "one" }));
        QCOMPARE(mode(mainPath()), 0600);
        QCOMPARE(mode(backupPath()), 0600);
        QVERIFY(chmodPath(backupPath(), 0644));
        QVERIFY(save({ "three" }, true));
        QCOMPARE(mode(mainPath()), 0600);
        QCOMPARE(mode(backupPath()), 0600);
    }
#endif

    void fullDiskLeavesFilesAsTheyWere_data()
    {
        QTest::addColumn<qint64>("failAfter");
        QTest::addColumn<bool>("purge");
        for (const qint64 n : { 0, 1, 10, 40 }) {
            QTest::addRow("after %lld bytes", n) << n << false;
            QTest::addRow("after %lld bytes, purging", n) << n << true;
        }
    }
    void fullDiskLeavesFilesAsTheyWere()
    {
        QFETCH(qint64, failAfter);
        QFETCH(bool, purge);
        const QByteArray main = plainFile({ "previous", "older" });
        const QByteArray backup = plainFile({ "older", "oldest" });
        QVERIFY(writeBytes(mainPath(), main));
        QVERIFY(writeBytes(backupPath(), backup));
        // A new history whose file is longer than 40 bytes.
        QStringList history;
        for (int i = 0; i < 20; ++i)
            history << QStringLiteral("entry %1 of a history that does not fit").arg(i);

        SafeFileWriter::setFailAfterBytes(failAfter);
        QString failedPath, error;
        QVERIFY(!ClipListFile(prefix()).save(history, purge, &failedPath, &error));
        SafeFileWriter::setFailAfterBytes(-1);
        QVERIFY(failedPath.startsWith(mainPath()));
        QCOMPARE(error, QStringLiteral("No space left on device"));
        QCOMPARE(readBytes(mainPath()), main);
        QCOMPARE(readBytes(backupPath()), backup);
        QCOMPARE(fileNames(dir->path()), (QStringList { "cliplist.dat", "cliplist.dat.bak" }));

        QVERIFY(save(history, purge));
        QCOMPARE(loaded(), history);
    }
};

QTEST_MAIN(TstClipList)
#include "tst_cliplist.moc"
