#include "persisthelpers.h"

#include "settings/safefilewriter.h"
#include "settings/settings.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace persist;

class TstWriteUtf8Bom : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *dir = nullptr;
    QString filePath() const { return dir->path() + QStringLiteral("/text.ini"); }
    void expectDebugLine()
    {
        QTest::ignoreMessage(
            QtDebugMsg, qPrintable(QStringLiteral("WriteUtf8Bom \"%1\" write with BOM").arg(filePath())));
    }

private slots:
    void init()
    {
        dir = new QTemporaryDir;
        QVERIFY(dir->isValid());
    }
    void cleanup()
    {
        SafeFileWriter::setFailAfterBytes(-1);
        delete dir;
        dir = nullptr;
    }

    void rewrite_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("LF") << true << QByteArray("a\nb\n")
                            << QByteArray("\xef\xbb\xbf"
                                          "a\r\nb\r\n");
        QTest::newRow("mark stays single") << true
                                           << QByteArray("\xef\xbb\xbf"
                                                         "a\n")
                                           << QByteArray("\xef\xbb\xbf"
                                                         "a\r\n");
        QTest::newRow("CR LF") << true << QByteArray("a\r\nb\r\n")
                               << QByteArray("\xef\xbb\xbf"
                                             "a\r\r\nb\r\r\n");
        QTest::newRow("lone CR kept") << true << QByteArray("a\rb")
                                      << QByteArray("\xef\xbb\xbf"
                                                    "a\rb");
        QTest::newRow("non-ASCII") << true << QByteArray("font=IPAゴシック\n")
                                   << QByteArray("\xef\xbb\xbf"
                                                 "font=IPAゴシック\r\n");
        QTest::newRow("empty file") << true << QByteArray() << QByteArray();
        QTest::newRow("missing file") << false << QByteArray() << QByteArray();
    }
    void rewrite()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        if (exists)
            QVERIFY(writeBytes(filePath(), before));
        expectDebugLine();
        Settings::WriteUtf8Bom(filePath());
        QVERIFY(QFile::exists(filePath()));
        QCOMPARE(readBytes(filePath()), after);
        QCOMPARE(fileNames(dir->path()), QStringList { "text.ini" });
    }

    void fullDiskLeavesFileAsItWas_data()
    {
        QTest::addColumn<qint64>("failAfter");
        QTest::newRow("nothing written") << qint64(0);
        QTest::newRow("mark written") << qint64(3);
        QTest::newRow("half written") << qint64(8);
    }
    void fullDiskLeavesFileAsItWas()
    {
        QFETCH(qint64, failAfter);
        const QByteArray before("[General]\nsize=@Size(700 500)\n");
        QVERIFY(writeBytes(filePath(), before));
        SafeFileWriter::setFailAfterBytes(failAfter);
        Settings::WriteUtf8Bom(filePath());  // no debug line: nothing was written
        SafeFileWriter::setFailAfterBytes(-1);
        QCOMPARE(readBytes(filePath()), before);
        QCOMPARE(fileNames(dir->path()), QStringList { "text.ini" });
    }

#ifdef Q_OS_UNIX
    void permissionsKept()
    {
        QVERIFY(writeBytes(filePath(), "a\n"));
        QVERIFY(chmodPath(filePath(), 0640));
        expectDebugLine();
        Settings::WriteUtf8Bom(filePath());
        QCOMPARE(mode(filePath()), 0640);
    }

    // A file that can be written but not read would be emptied by a blind
    // rewrite; the child (which cannot read it) must leave it alone.
    void unreadableFileUntouched()
    {
        const QByteArray before("secret\nsettings\n");
        QVERIFY(writeBytes(filePath(), before));
        QVERIFY(chmodPath(filePath(), 0200));
        QVERIFY(handToChild(filePath()));
        QVERIFY(handToChild(dir->path()));
        const ChildResult child = runChild({ "rewrite", filePath() });
        QCOMPARE(child.crashed, false);
        QCOMPARE(child.exitCode, 0);
        QVERIFY2(!child.err.contains("write with BOM"), child.err.constData());
        QCOMPARE(readBytes(filePath()), before);
        QCOMPARE(fileNames(dir->path()), QStringList { "text.ini" });
    }
#endif
};

#ifdef Q_OS_UNIX
static int childMain(int argc, char **argv)
{
    if (argc < 4 || !dropPrivileges())
        return 2;
    // Make sure the test is meaningful: the child really cannot read it.
    QFile probe(QString::fromLocal8Bit(argv[3]));
    if (probe.open(QIODevice::ReadOnly))
        return 3;
    Settings::WriteUtf8Bom(QString::fromLocal8Bit(argv[3]));
    return 0;
}
#endif

int main(int argc, char **argv)
{
#ifdef Q_OS_UNIX
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return childMain(argc, argv);
#endif
    QTEST_MAIN_IMPL(TstWriteUtf8Bom)
}

#include "tst_writeutf8bom.moc"
