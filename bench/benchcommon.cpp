#include "benchcommon.h"

#include <QTimer>

#include "settings/appdir.h"
#include "settings/settings.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

BenchOptions BenchOptions::parse(int argc, char **argv)
{
    BenchOptions options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--smoke") == 0) {
            options.smoke = true;
            options.runs = 1;
        } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            options.runs = std::max(1, std::atoi(argv[++i]));
        }
    }
    return options;
}

int BenchOptions::repeatsFor(double firstMs) const
{
    if (smoke)
        return 1;
    const int fit = firstMs > 0 ? int(budget * 1000.0 / firstMs) : runs;
    return std::max(3, std::min(runs, fit));
}

double nowMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return double(clock.nsecsElapsed()) / 1e6;
}

double threadCpuMs()
{
#ifdef Q_OS_WIN
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user))
        return nowMs();
    const auto ticks
        = [](const FILETIME &time) { return (quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime; };
    return double(ticks(kernel) + ticks(user)) / 1e4;
#else
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
#endif
}

double Samples::percentile(double p) const
{
    if (values.isEmpty())
        return 0;
    QVector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    // Nearest rank.
    const int rank = std::min(sorted.size() - 1, std::max(0, int(p * (sorted.size() - 1) + 0.5)));
    return sorted.at(rank);
}

double Samples::median() const
{
    if (values.isEmpty())
        return 0;
    QVector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const int n = sorted.size();
    return n % 2 ? sorted.at(n / 2) : (sorted.at(n / 2 - 1) + sorted.at(n / 2)) / 2;
}

double Samples::min() const
{
    return values.isEmpty() ? 0 : *std::min_element(values.begin(), values.end());
}

double Samples::max() const
{
    return values.isEmpty() ? 0 : *std::max_element(values.begin(), values.end());
}

Samples Samples::repeated(const BenchOptions &options, const std::function<double()> &once)
{
    const int runs = options.repeatsFor(once());
    Samples samples;
    for (int i = 0; i < runs; ++i)
        samples.add(once());
    return samples;
}

void Samples::print(const QString &measure, const QString &sizes, const QString &unit) const
{
    if (values.isEmpty()) {
        std::printf("RESULT %s | %s | - | - | - | - | - | 0 | %s\n", qPrintable(measure), qPrintable(sizes),
            qPrintable(unit));
        std::fflush(stdout);
        return;
    }
    std::printf("RESULT %s | %s | %.2f | %.2f | %.2f | %.2f | %.2f | %d | %s\n", qPrintable(measure),
        qPrintable(sizes), median(), percentile(0.1), percentile(0.9), min(), max(), count(),
        qPrintable(unit));
    std::fflush(stdout);
}

QString sizeName(int bytes)
{
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
    if (bytes >= 1024 && bytes % 1024 == 0)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 B").arg(bytes);
}

QString makeEntry(int index, int bytes)
{
    QString text;
    text.reserve(bytes + 128);
    text += QStringLiteral("entry %1\n").arg(index);
    unsigned state = 2166136261u ^ unsigned(index);
    int line = 0;
    while (text.size() < bytes) {
        state = state * 1664525u + 1013904223u;
        const unsigned value = state >> 8;
        switch (line % 4) {
        case 0:
            text += QStringLiteral("\tif (item_%1 == \"key%2\") { total += 0x%3; }\t// step %4\n")
                        .arg(value % 97)
                        .arg(value % 1013)
                        .arg(value % 4096, 0, 16)
                        .arg(line);
            break;
        case 1:
            text += QStringLiteral("\t\treturn value_%1 * %2 + 'c' - false;\n")
                        .arg(value % 31)
                        .arg(value % 1000);
            break;
        case 2:
            text += QStringLiteral("メモ\u3000%1: the quick brown fox jumps over the lazy dog\n")
                        .arg(value % 100000);
            break;
        default:
            text += QStringLiteral("{\"name\": \"alpha%1\", \"count\": %2, \"ok\": true}\n")
                        .arg(value % 523)
                        .arg(value % 65536);
            break;
        }
        ++line;
    }
    text.truncate(bytes);
    return text;
}

QString makeOneLineEntry(int index, int bytes)
{
    QString text;
    text.reserve(bytes + 128);
    text += QStringLiteral("{\"entry\":%1,\"items\":[").arg(index);
    unsigned state = 2166136261u ^ unsigned(index);
    while (text.size() < bytes) {
        state = state * 1664525u + 1013904223u;
        const unsigned value = state >> 8;
        text += QStringLiteral("{\"name\":\"alpha%1\",\"count\":%2,\"ok\":%3,\"tag\":\"x%4\"},")
                    .arg(value % 523)
                    .arg(value % 65536)
                    .arg(value % 2 ? QStringLiteral("true") : QStringLiteral("false"))
                    .arg(value % 4096, 0, 16);
    }
    text.truncate(bytes);
    return text;
}

QStringList makeHistory(int count, int bytes, int firstIndex)
{
    QStringList history;
    history.reserve(count);
    for (int i = 0; i < count; ++i)
        history.append(makeEntry(firstIndex + i, bytes));
    return history;
}

namespace {
// A keyword list such as a user keeps beside the program: C-like keywords
// matched as words, and "//" comments.
const char keywordList[] = "if\nelse\nfor\nwhile\nreturn\nint\nconst\nstatic\nclass\nstruct\n"
                           "##NOTWORD##\nSingleLineComment=//.*\n";
}  // namespace

void writeKeywordList(const QString &appDir)
{
    QDir(appDir).mkpath(QStringLiteral("list"));
    QFile list(appDir + QStringLiteral("/list/.lst"));
    if (list.open(QIODevice::WriteOnly))
        list.write(keywordList);
}

BenchEnv::BenchEnv()
{
    Q_INIT_RESOURCE(quillet);
    Platform::setInstance(&platform);
    AppDir::setOverride(dir.path());
    writeKeywordList(dir.path());
}

BenchEnv::~BenchEnv()
{
    AppDir::setOverride(QString());
    Platform::setInstance(nullptr);
}

void BenchEnv::resetSettings(const QStringList &history, int histmax)
{
    Settings *settings = Settings::instance();
    *settings = Settings();
    settings->load();  // no files yet: the program's defaults
    settings->history = history;
    settings->histmax = histmax;
}

void settle()
{
    QCoreApplication::sendPostedEvents();
    for (int pass = 0; pass < 50; ++pass) {
        if (!QCoreApplication::instance()->eventDispatcher()->processEvents(QEventLoop::AllEvents))
            break;
        QCoreApplication::sendPostedEvents();
    }
}

StallMeter::StallMeter()
    : ticker(new QTimer)
{
    ticker->setInterval(1);
    ticker->setTimerType(Qt::PreciseTimer);
    QObject::connect(ticker, &QTimer::timeout, [this] { turn(); });
}

void StallMeter::turn()
{
    const double now = nowMs();
    const double nowCpu = threadCpuMs();
    longest.wall = qMax(longest.wall, now - last);
    longest.cpu = qMax(longest.cpu, nowCpu - lastCpu);
    last = now;
    lastCpu = nowCpu;
}

StallMeter::~StallMeter()
{
    delete ticker;
}

void StallMeter::start()
{
    longest = Stall();
    last = nowMs();
    lastCpu = threadCpuMs();
    ticker->start();
}

Stall StallMeter::stop()
{
    ticker->stop();
    turn();
    return longest;
}

void printStalls(const BenchOptions &options, const QString &measure, const QString &sizes,
    const std::function<Stall()> &once)
{
    const int runs = options.smoke ? 1 : std::min(options.runs, 5);
    Samples wall;
    Samples cpu;
    for (int i = 0; i < runs; ++i) {
        const Stall stall = once();
        wall.add(stall.wall);
        cpu.add(stall.cpu);
    }
    wall.print(measure, sizes);
    cpu.print(measure + QStringLiteral(", GUI thread CPU"), sizes);
}

bool runUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    // Wakes the loop now and then, so that a condition met without an event
    // is seen too; otherwise the loop sleeps and leaves the processor to
    // the threads being measured.
    QTimer wake;
    wake.start(20);
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}
