// Kills a process that saves over and over, at random moments, hundreds of
// times, and checks after every kill that the files still load to the
// history of the last finished save or of the save that was cut short. The
// kill is SIGKILL on Linux and TerminateProcess on Windows: neither lets the
// process do anything more.

#include "persisthelpers.h"

#include "background/savequeue.h"
#include "settings/appdir.h"
#include "settings/settings.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cstdio>

using namespace persist;

namespace {
QByteArray fingerprint(const QStringList &history)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << history;
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(16);
}

QStringList loadFrom(const QString &directory)
{
    *Settings::instance() = Settings();
    AppDir::setOverride(directory);
    Settings::instance()->load();
    AppDir::setOverride(QString());
    return Settings::instance()->history;
}

void say(const QByteArray &line)
{
    // Flushed at once: the parent must see every line written before the kill.
    const QByteArray out = line + '\n';
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
}

// Child: saves forever, reporting the fingerprint of each history before and
// after its save. Most saves add an entry (some holding "<>" or NUL, which
// takes the framed layout); some delete one and purge the older copies.
int saveLoop(const QString &directory, quint32 seed)
{
    AppDir::setOverride(directory);
    Settings *s = Settings::instance();
    s->load();
    QRandomGenerator random(seed);
    say("ready " + fingerprint(s->history));
    for (int i = 0;; ++i) {
        bool purge = false;
        if (!s->history.isEmpty() && random.bounded(10) == 0) {
            s->history.removeAt(random.bounded(s->history.size()));
            purge = true;
        } else {
            QString entry = QStringLiteral("run %1 save %2 ").arg(seed).arg(i);
            entry += QString(random.bounded(4000), QLatin1Char('a' + char(random.bounded(26))));
            if (random.bounded(8) == 0)
                entry += QStringLiteral(" a <> b ");
            if (random.bounded(16) == 0)
                entry += QChar(0);
            s->history.prepend(entry);
            while (s->history.size() > 40)
                s->history.removeLast();
        }
        if (s->history.isEmpty())
            continue;
        s->size = QSize(600 + i % 100, 400);
        const QByteArray print = fingerprint(s->history);
        say("begin " + print);
        s->save(purge);
        say("done " + print);
    }
}

// Child: the same through the save thread, as the popup saves: a request
// after every change, several while one save runs (only the newest waiting
// one is written). Reports "request SEQUENCE FINGERPRINT" for each request
// and "done SEQUENCE" for each save that ended.
int queueLoop(const QString &directory, quint32 seed)
{
    AppDir::setOverride(directory);
    Settings *s = Settings::instance();
    s->load();
    QRandomGenerator random(seed);
    SaveQueue queue;
    QObject::connect(&queue, &SaveQueue::finished,
        [](quint64 sequence, const SaveOutcome &) { say("done " + QByteArray::number(sequence)); });
    say("ready " + fingerprint(s->history));
    int i = 0;
    QTimer step;
    QObject::connect(&step, &QTimer::timeout, [&] {
        bool purge = false;
        if (s->history.size() > 1 && random.bounded(10) == 0) {
            s->history.removeAt(random.bounded(s->history.size()));
            purge = true;
        } else {
            QString entry = QStringLiteral("queue %1 save %2 ").arg(seed).arg(i++);
            entry += QString(random.bounded(4000), QLatin1Char('a' + char(random.bounded(26))));
            s->history.prepend(entry);
            while (s->history.size() > 40)
                s->history.removeLast();
        }
        const QByteArray print = fingerprint(s->history);
        const quint64 sequence = queue.save(*s, directory, purge);
        say("request " + QByteArray::number(sequence) + ' ' + print);
    });
    step.start(random.bounded(3));
    return QCoreApplication::exec();
}
}  // namespace

class TstSaveCrash : public QObject
{
    Q_OBJECT

private slots:
    void killedSavesLoseNothing_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("saves one after another") << "save-loop";
        QTest::newRow("saves through the save thread") << "queue-loop";
    }

    void killedSavesLoseNothing()
    {
        QFETCH(QString, mode);
        const int rounds = qEnvironmentVariableIsSet("QUILLET_KILL_ROUNDS")
            ? qEnvironmentVariableIntValue("QUILLET_KILL_ROUNDS")
            : 200;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        qInfo("kill test seed %u", seed);

        int interrupted = 0, lost = 0, finishedSaves = 0;
        QByteArray expected = fingerprint(QStringList());
        QElapsedTimer clock;
        clock.start();
        // Slow builds (sanitizers, Wine) do fewer rounds rather than time out.
#ifdef Q_OS_WIN
        const qint64 budgetMs = 20000;  // a process start costs a second under Wine
        const int fewestRounds = qMin(rounds, 25);
#else
        const qint64 budgetMs = 40000;
        const int fewestRounds = qMin(rounds, 40);
#endif
        int round = 0;
        for (; round < rounds && (round < fewestRounds || clock.elapsed() < budgetMs); ++round) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                { "--child", mode, dir.path(), QString::number(random.generate()) });
            QByteArray out;
            while (!out.contains('\n') && child.waitForReadyRead(10000))
                out += child.readAllStandardOutput();
            QVERIFY2(out.startsWith("ready " + expected), out.constData());

            QThread::usleep(random.bounded(120000));
            child.kill();
            QVERIFY(child.waitForFinished(10000));
            out += child.readAllStandardOutput();

            // What the files may hold: the history of the last save that
            // ended, or of one asked for since (the one being written).
            QByteArray lastDone = expected;
            QList<QPair<quint64, QByteArray>> pending;  // requests not yet ended
            for (const QByteArray &line : out.split('\n')) {
                const QList<QByteArray> words = line.trimmed().split(' ');  // Windows ends lines with CR LF
                if (words.value(0) == "begin") {
                    pending = { qMakePair(quint64(0), words.value(1)) };
                } else if (words.value(0) == "request" && words.size() == 3) {
                    pending.append(qMakePair(words.at(1).toULongLong(), words.at(2)));
                } else if (words.value(0) == "done" && mode == "save-loop") {
                    lastDone = words.value(1);
                    pending.clear();
                    ++finishedSaves;
                } else if (words.value(0) == "done") {
                    // That request is on disk; those before it are overtaken.
                    const quint64 sequence = words.value(1).toULongLong();
                    while (!pending.isEmpty() && pending.first().first <= sequence) {
                        if (pending.first().first == sequence)
                            lastDone = pending.first().second;
                        pending.removeFirst();
                    }
                    ++finishedSaves;
                }
            }
            QList<QByteArray> acceptable { lastDone };
            for (const auto &request : qAsConst(pending))
                acceptable << request.second;
            const QByteArray inProgress = pending.isEmpty() ? QByteArray() : pending.last().second;
            if (qEnvironmentVariableIsSet("QUILLET_KILL_DEBUG"))
                qInfo("%s", out.constData());
            if (!inProgress.isEmpty())
                ++interrupted;

            const QStringList history = loadFrom(dir.path());
            const QByteArray loaded = fingerprint(history);
            if (!acceptable.contains(loaded)) {
                ++lost;
                qWarning("round %d: loaded %s (%d entries), expected %s or %s", round, loaded.constData(),
                    int(history.size()), lastDone.constData(), inProgress.constData());
            }
            QVERIFY(Settings::instance()->size.isValid());
            expected = loaded;
        }
        qInfo("kill test: %d rounds in %lld ms, %d saves finished, %d saves interrupted, %d histories lost",
            round, clock.elapsed(), finishedSaves, interrupted, lost);
        qInfo("files left: %s", qPrintable(fileNames(dir.path()).join(QLatin1Char(' '))));
        QCOMPARE(lost, 0);
        // The kills must really land inside saves for the test to mean much.
        QVERIFY(interrupted >= round / 2);
    }
};

int main(int argc, char **argv)
{
    if (argc == 5 && qstrcmp(argv[1], "--child") == 0 && qstrcmp(argv[2], "save-loop") == 0) {
        QCoreApplication app(argc, argv);
        return saveLoop(QString::fromLocal8Bit(argv[3]), QByteArray(argv[4]).toUInt());
    }
    if (argc == 5 && qstrcmp(argv[1], "--child") == 0 && qstrcmp(argv[2], "queue-loop") == 0) {
        QCoreApplication app(argc, argv);
        return queueLoop(QString::fromLocal8Bit(argv[3]), QByteArray(argv[4]).toUInt());
    }
    QTEST_MAIN_IMPL(TstSaveCrash)
}

#include "tst_savecrash.moc"
