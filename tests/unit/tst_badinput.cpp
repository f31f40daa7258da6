// Hostile or broken input: damaged clip list files, unusual clipboard texts,
// bad keyword lists, files and directories the program may not touch, and a
// disk that fills up during a save. Each has a clear outcome and loses
// nothing.

#include "persisthelpers.h"
#include "popupfixture.h"

#include "popup/inputdialog.h"
#include "popup/inputtablemodel.h"
#include "preview/highlighter.h"
#include "preview/textedit.h"
#include "settings/cliplistcodec.h"
#include "settings/cliplistfile.h"
#include "settings/safefilewriter.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextDocumentLayout>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextStream>
#include <QtTest>

#ifndef __has_feature
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
// AddressSanitizer makes every byte several times dearer.
const int bigTextBytes = 8 << 20;
#else
const int bigTextBytes = 100 << 20;
#endif

using namespace persist;

namespace {
const QStringList realEntries { "newest", "日本語の行\nと二行目", "  padded  ", "x", "tab\there",
    "oldest entry" };
const QStringList backupEntries { "backup one", "backup two" };

// The same entries with one holding a NUL, so that the file is framed.
QStringList framedEntries()
{
    QStringList entries = realEntries;
    entries[2] = QStringLiteral("with a NUL") + QChar(0) + QStringLiteral("inside");
    return entries;
}

bool isPrefixOf(const QStringList &part, const QStringList &whole)
{
    return part.size() <= whole.size() && whole.mid(0, part.size()) == part;
}

QByteArray noise(QRandomGenerator &random, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(random.bounded(256));
    return bytes;
}

// A document laid out as the preview lays out its own.
class PlainDocument : public QTextDocument
{
public:
    PlainDocument() { setDocumentLayout(new QPlainTextDocumentLayout(this)); }
};

const QColor keywordColor(1, 2, 3);
const QColor valueColor(10, 11, 12);

// One letter per character of a block: 'k' keyword, 'v' value, '.' none.
QString colourCodes(const QTextBlock &block)
{
    QString codes(block.length() - 1, QLatin1Char('.'));
    for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
        const QColor color = range.format.foreground().color();
        const QChar code = color == keywordColor ? QLatin1Char('k')
            : color == valueColor                ? QLatin1Char('v')
                                                 : QLatin1Char('?');
        for (int i = range.start; i < range.start + range.length && i < codes.size(); ++i)
            codes[i] = code;
    }
    return codes;
}

// Every file in `directory` and its bytes.
QMap<QString, QByteArray> snapshot(const QString &directory)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : fileNames(directory))
        files[name] = readBytes(directory + QLatin1Char('/') + name);
    return files;
}

// Swallows the debug line of every settings save.
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg && message.startsWith(QLatin1String("WriteUtf8Bom")))
        return;
    QTextStream(stderr) << qFormatLogMessage(type, context, message) << '\n';
}
}  // namespace

class TstBadInput : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *dir = nullptr;
    QString path(const QString &name) const { return dir->path() + QLatin1Char('/') + name; }
    QStringList loaded(int histmax = 500) const
    {
        QStringList history;
        ClipListFile(dir->path() + QLatin1Char('/')).load(histmax, &history);
        return history;
    }
    static Settings *reloaded()
    {
        Settings *settings = Settings::instance();
        *settings = Settings();
        settings->load();
        return settings;
    }

private slots:
    void initTestCase() { qInstallMessageHandler(quietHandler); }
    void init()
    {
        dir = new QTemporaryDir;
        QVERIFY(dir->isValid());
        AppDir::setOverride(dir->path());
        *Settings::instance() = Settings();
        SafeFileWriter::setFailAfterBytes(-1);
    }
    void cleanup()
    {
        SafeFileWriter::setFailAfterBytes(-1);
        AppDir::setOverride(QString());
        delete dir;
        dir = nullptr;
    }

    // ------------------------------------------------------------ clip list

    void truncatedAtEveryByte_data()
    {
        QTest::addColumn<bool>("framed");
        QTest::addColumn<bool>("withBackup");
        QTest::newRow("plain") << false << false;
        QTest::newRow("plain, backup") << false << true;
        QTest::newRow("framed") << true << false;
        QTest::newRow("framed, backup") << true << true;
    }
    void truncatedAtEveryByte()
    {
        QFETCH(bool, framed);
        QFETCH(bool, withBackup);
        const QStringList entries = framed ? framedEntries() : realEntries;
        const QByteArray whole = ClipListCodec::encode(entries);
        QCOMPARE(whole.mid(4).isEmpty(), false);
        if (withBackup)
            QVERIFY(writeBytes(path("cliplist.dat.bak"), ClipListCodec::encode(backupEntries)));
        for (int cut = 0; cut < whole.size(); ++cut) {
            QVERIFY(writeBytes(path("cliplist.dat"), whole.left(cut)));
            const QStringList history = loaded();
            if (withBackup)
                QVERIFY2(history == backupEntries, qPrintable(QString::number(cut)));
            else
                QVERIFY2(isPrefixOf(history, entries), qPrintable(QString::number(cut)));
        }
        QVERIFY(writeBytes(path("cliplist.dat"), whole));
        QCOMPARE(loaded(), entries);
    }

    void randomBytes_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<quint32>("seed");
        const QStringList kinds { "noise", "zlib stream of noise", "framed noise", "compressed noise" };
        for (const QString &kind : kinds) {
            for (quint32 seed = 1; seed <= 6; ++seed) {
                const QByteArray name = QStringLiteral("%1, seed %2").arg(kind).arg(seed).toLatin1();
                QTest::newRow(name.constData()) << kind << seed;
            }
        }
    }
    void randomBytes()
    {
        QFETCH(QString, kind);
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        const int size = 1 + random.bounded(4096);
        QByteArray bytes;
        if (kind == "noise") {
            bytes = noise(random, size);
        } else if (kind == "zlib stream of noise") {
            // A header, a valid zlib stream header, then noise.
            bytes = QByteArray("\x00\x00\x10\x00\x78\x01", 6) + noise(random, size);
        } else if (kind == "framed noise") {
            bytes = qCompress(QByteArray("\0QLCL\x01", 6) + noise(random, size), 1);
        } else {
            bytes = qCompress(noise(random, size), 1);
        }
        QVERIFY(writeBytes(path("cliplist.dat"), bytes));

        // Without a backup: whatever comes out is a history the program can use.
        for (const int histmax : { 500, 3 }) {
            const QStringList history = loaded(histmax);
            QVERIFY(history.size() <= histmax);
            for (const QString &entry : history) {
                QVERIFY(!entry.trimmed().isEmpty());
                QVERIFY(!entry.contains(QLatin1String("<>")));
            }
            if (kind != "compressed noise")
                QCOMPARE(history, QStringList());
        }
        // With a backup, a damaged file gives way to it.
        QVERIFY(writeBytes(path("cliplist.dat.bak"), ClipListCodec::encode(backupEntries)));
        if (kind != "compressed noise")
            QCOMPARE(loaded(), backupEntries);

        // The next save keeps the backup and puts a sound file in place.
        const QStringList history = loaded() == backupEntries ? backupEntries : QStringList { "fresh" };
        QString failedPath, error;
        QVERIFY(ClipListFile(dir->path() + "/")
                    .save(QStringList { "new" } + history, false, &failedPath, &error));
        QCOMPARE(loaded(), QStringList { "new" } + history);
    }

    void claimsBeyondTheLimits_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("sparseSize");
        // A framed entry whose length claims 4 GiB.
        QTest::newRow("framed length of 4 GiB") << qCompress(QByteArray("\0QLCL\x01\xff\xff\xff\xff"
                                                                        "abc",
                                                                 13),
            1) << qint64(0);
        QTest::newRow("second framed length of 2 GiB") << qCompress(QByteArray("\0QLCL\x01\x00\x00\x00\x01"
                                                                               "a\x7f\xff\xff\xff"
                                                                               "b",
                                                                        16),
            1) << qint64(0);
        // A file above the size the program reads (sparse: it costs no disk).
        QTest::newRow("file of 600 MB") << ClipListCodec::encode({ "a" }) << qint64(600) * 1024 * 1024;
    }
    void claimsBeyondTheLimits()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, sparseSize);
        QVERIFY(writeBytes(path("cliplist.dat"), bytes));
        if (sparseSize > 0)
            QVERIFY(QFile::resize(path("cliplist.dat"), sparseSize));
        QCOMPARE(loaded(), QStringList());
        QVERIFY(writeBytes(path("cliplist.dat.bak"), ClipListCodec::encode(backupEntries)));
        QCOMPARE(loaded(), backupEntries);
    }

    // ------------------------------------------------------------ capture

    void capturedTextSurvivesARestart_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");  // null: taken as it is

        QByteArray big;
        big.reserve(bigTextBytes);
        for (int line = 0; big.size() < bigTextBytes; ++line)
            big += "line " + QByteArray::number(line) + " of a very large copy\n";
        big.truncate(bigTextBytes);
        QTest::newRow("large text") << QString::fromLatin1(big) << QString();
        big.clear();

        const QString nul = QStringLiteral("before") + QChar(0) + QStringLiteral("<>after") + QChar(0);
        QTest::newRow("NUL characters") << nul << QString();
        QTest::newRow("only NUL and spaces") << QString(QChar(0)) + QStringLiteral("  ") << QString();

        // Lone halves of surrogate pairs cannot be written as UTF-8: they
        // become U+FFFD; a whole pair stays.
        const QChar high(0xd83d), low(0xde00), replacement(0xfffd);
        QTest::newRow("unpaired surrogates")
            << QStringLiteral("a") + high + QStringLiteral("b") + low + QStringLiteral("c") + high + low + low
            << QStringLiteral("a") + replacement + QStringLiteral("b") + replacement + QStringLiteral("c")
                + high + low + replacement;

        QString lines;
        for (int i = 0; i < 100000; ++i)
            lines += QStringLiteral("l%1\n").arg(i % 7);
        QTest::newRow("100000 short lines") << lines << QString();
    }
    void capturedTextSurvivesARestart()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        if (expected.isNull())
            expected = text;
        {
            PopupFixture fixture;
            AppDir::setOverride(dir->path());
            PopupFixture::resetSettings({ "older" });
            InputDialog dialog;
            QGuiApplication::clipboard()->setText(text);
            QTRY_VERIFY(dialog.history().size() == 2);
            QVERIFY(dialog.history().first() == expected);
            QVERIFY(Settings::instance()->history == dialog.history());
            // The popup shows the start of the entry in its list and preview.
            dialog.show();
            const auto *table = dialog.findChild<QAbstractItemView *>(QStringLiteral("tableView"));
            const auto *preview = dialog.findChild<TextEdit *>(QStringLiteral("plainTextEdit"));
            QVERIFY(table && preview);
            const QString row = table->model()->index(0, 0).data().toString();
            const int limit = dialog.tableModel()->rowTextLimit();
            QVERIFY(limit <= InputTableModel::listTextLimit);
            QCOMPARE(row, InputTableModel::listText(expected, limit));
            QTRY_VERIFY(!preview->toPlainText().isEmpty());
            QVERIFY(preview->toPlainText().size() <= TextEdit::maxShownLength);
            QVERIFY(expected.startsWith(preview->toPlainText()));
            QGuiApplication::clipboard()->clear();
        }
        AppDir::setOverride(dir->path());
        QCOMPARE(fileNames(dir->path()), (QStringList { "cliplist.dat", "quillet.ini" }));
        const QStringList history = reloaded()->history;
        QCOMPARE(history.size(), 2);
        QVERIFY(history.first() == expected);
        QCOMPARE(history.last(), QStringLiteral("older"));
    }

    // ------------------------------------------------------------ keyword list

    void keywordList_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("colours");

        QByteArray many;
        for (int i = 0; i < 10000; ++i)
            many += "kw" + QByteArray::number(i) + "\n";
        many += "int\n";
        QTest::newRow("10000 lines") << many << "kw0 int kw9999 42 kw10000"
                                     << "kkk.kkk.kkkkkk.vv........";

        QTest::newRow("invalid expressions")
            << QByteArray("##NOTWORD##\n(unclosed\na{3,1}\n\\\n[\nint\n") << "int (unclosed a{3,1} \\ [ 7"
            << "kkk.............v.v......v";

        QTest::newRow("nested repetition")
            << QByteArray("##NOTWORD##\n(a+)+$\nint\n")
            << QString(Highlighter::maxColouredLength - 3, QLatin1Char('a')) + QStringLiteral("b 1")
            << QString(Highlighter::maxColouredLength - 1, QLatin1Char('.')) + QStringLiteral("v");
        QTest::newRow("overlapping alternatives")
            << QByteArray("##NOTWORD##\n(a|aa)*c\nint\n")
            << QString(Highlighter::maxColouredLength + 500, QLatin1Char('a')) + QStringLiteral(" int")
            << QString(Highlighter::maxColouredLength + 504, QLatin1Char('.'));
        QTest::newRow("overlapping alternatives, short line")
            << QByteArray("##NOTWORD##\n(a|aa)*c\n(x+x+)+y\nint\n")
            << QString(60, QLatin1Char('a')) + " int 5 " + QString(37, QLatin1Char('x'))
            << QString(61, QLatin1Char('.')) + "kkk.v" + QString(38, QLatin1Char('.'));
    }
    void keywordList()
    {
        QFETCH(QByteArray, list);
        QFETCH(QString, text);
        QFETCH(QString, colours);
        Settings::instance()->reservecolor = keywordColor;
        Settings::instance()->valuecolor = valueColor;
        QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("list")));
        QVERIFY(writeBytes(path("list/.lst"), list));

        PlainDocument document;
        auto *highlighter = new Highlighter(&document);
        highlighter->loadKeywordList(QString());
        QCoreApplication::processEvents();
        document.setPlainText(QStringLiteral("int 42\n") + text);
        QTRY_COMPARE(highlighter->pendingLines(), 0);
        QCOMPARE(colourCodes(document.firstBlock()), QStringLiteral("kkk.vv"));
        QCOMPARE(colourCodes(document.lastBlock()), colours);
    }

    // ------------------------------------------------------------ full disk

    // Every byte count the disk may take before it is full: the files are
    // as they were, or whole and new.
    void fullDiskAcrossTheSettingsFile()
    {
        Settings *s = reloaded();
        s->history = QStringList { "one" };
        s->save();
        s->history.prepend("two");
        s->save();
        const QMap<QString, QByteArray> before = snapshot(dir->path());
        QCOMPARE(before.keys(), (QStringList { "cliplist.dat", "cliplist.dat.bak", "quillet.ini" }));

        // What the next save writes when the disk has room.
        s->history.prepend("three");
        s->size = QSize(321, 123);
        s->textFont.setFamily(QStringLiteral("日本語の書体"));
        const Settings next = *s;
        s->save();
        const QMap<QString, QByteArray> after = snapshot(dir->path());
        const qint64 clipListSize = after.value("cliplist.dat").size();
        const qint64 iniSize = after.value("quillet.ini").size();
        QVERIFY(after.value("quillet.ini") != before.value("quillet.ini"));

        QList<qint64> spares { -clipListSize, -1, 0, 1, 3, iniSize / 2, iniSize - 1, iniSize, iniSize + 1 };
        for (qint64 spare = 7; spare < iniSize; spare += 61)
            spares << spare;
        for (const qint64 spare : spares) {
            for (auto file = before.cbegin(); file != before.cend(); ++file)
                QVERIFY(writeBytes(path(file.key()), file.value()));
            *Settings::instance() = next;
            SafeFileWriter::setFailAfterBytes(clipListSize + spare);
            Settings::instance()->save();
            SafeFileWriter::setFailAfterBytes(-1);
            const QString row = QStringLiteral("spare %1").arg(spare);
            QCOMPARE(fileNames(dir->path()), before.keys());
            const QMap<QString, QByteArray> now = snapshot(dir->path());
            const bool clipListSaved = spare >= 0;
            const bool iniSaved = spare >= iniSize;
            QVERIFY2(now.value("quillet.ini") == (iniSaved ? after : before).value("quillet.ini"),
                qPrintable(row));
            QVERIFY2(now.value("cliplist.dat") == (clipListSaved ? after : before).value("cliplist.dat"),
                qPrintable(row));
            QVERIFY2(
                now.value("cliplist.dat.bak") == (clipListSaved ? after : before).value("cliplist.dat.bak"),
                qPrintable(row));
        }
    }

    // ------------------------------------------------------------ access

#ifdef Q_OS_UNIX
    // A child process (without root's rights) loads, takes two entries with
    // a save after each and prints its history.
    void withoutAccess_data()
    {
        QTest::addColumn<QString>("target");  // a file name, or "." for the directory
        QTest::addColumn<int>("mode");  // -1: make it a directory
        QTest::addColumn<QStringList>("onDisk");  // what the child can load
        QTest::addColumn<bool>("saves");

        const QStringList all { "newest on disk", "kept", "older" };
        const QStringList previous { "kept", "older" };
        QTest::newRow("settings file read-only") << "quillet.ini" << 0400 << all << true;
        QTest::newRow("clip list read-only") << "cliplist.dat" << 0400 << all << true;
        QTest::newRow("clip list unreadable") << "cliplist.dat" << 0200 << previous << false;
        QTest::newRow("clip list is a directory") << "cliplist.dat" << -1 << previous << false;
        QTest::newRow("backup unreadable") << "cliplist.dat.bak" << 0200 << all << true;
        QTest::newRow("settings file is a directory") << "quillet.ini" << -1 << all << false;
        QTest::newRow("directory not listable") << "." << 0300 << all << true;
        QTest::newRow("directory closed") << "." << 0000 << QStringList() << false;
    }
    void withoutAccess()
    {
        QFETCH(QString, target);
        QFETCH(int, mode);
        QFETCH(QStringList, onDisk);
        QFETCH(bool, saves);

        QVERIFY(writeBytes(path("quillet.ini"), "[General]\nhistmax=50\n[mine]\nkey=precious\n"));
        Settings *s = reloaded();
        QCOMPARE(s->histmax, 50);
        for (const char *entry : { "older", "kept", "newest on disk" }) {
            s->history.prepend(QLatin1String(entry));
            s->save();
        }
        const QString targetPath = target == "." ? dir->path() : path(target);
        if (mode < 0) {
            QVERIFY(QFile::remove(targetPath));
            QVERIFY(QDir(dir->path()).mkdir(target));
            QVERIFY(writeBytes(targetPath + "/inside", "mine"));
        }
        const QMap<QString, QByteArray> before = snapshot(dir->path());
        for (const QString &name : before.keys())
            QVERIFY(handToChild(path(name)));
        QVERIFY(handToChild(dir->path()));
        if (mode >= 0)
            QVERIFY(chmodPath(targetPath, mode));

        const ChildResult child = runChild({ "capture-twice", dir->path() });
        QVERIFY(chmodPath(dir->path(), 0700));
        if (mode >= 0)
            QVERIFY(chmodPath(targetPath, target == "." ? 0700 : 0600));
        QCOMPARE(child.crashed, false);
        QCOMPARE(child.exitCode, 0);

        const QStringList history = QStringList { "second", "first" } + onDisk;
        QCOMPARE(QString::fromUtf8(child.out).split('\n', Qt::SkipEmptyParts), history);
        QStringList messages;
        for (const QString &line : QString::fromLocal8Bit(child.err).split('\n', Qt::SkipEmptyParts)) {
            if (line.startsWith(QLatin1String("quillet:")))
                messages << line;
        }
        if (saves) {
            QCOMPARE(messages, QStringList());
            QCOMPARE(reloaded()->history, history);
            QVERIFY(readBytes(path("quillet.ini")).contains("key=precious"));
        } else {
            QCOMPARE(messages.size(), 1);
            QVERIFY2(messages.first().startsWith("quillet: cannot save to " + dir->path() + "/"),
                qPrintable(messages.first()));
            // What could not be saved is the file that was left alone; the
            // others may have been saved.
            const QMap<QString, QByteArray> now = snapshot(dir->path());
            if (target != "quillet.ini") {
                QCOMPARE(now.value("cliplist.dat"), before.value("cliplist.dat"));
                QCOMPARE(now.value("cliplist.dat.bak"), before.value("cliplist.dat.bak"));
            }
            if (target != "cliplist.dat")
                QCOMPARE(now.value("quillet.ini"), before.value("quillet.ini"));
            if (mode < 0)
                QCOMPARE(readBytes(targetPath + "/inside"), QByteArray("mine"));
            QCOMPARE(now.keys(), before.keys());
        }
    }
#endif
};

int main(int argc, char **argv)
{
#ifdef Q_OS_UNIX
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return unprivilegedSaveChild(argc, argv);
#endif
    QTEST_MAIN_IMPL(TstBadInput)
}

#include "tst_badinput.moc"
