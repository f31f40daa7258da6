#ifndef BENCHCOMMON_H
#define BENCHCOMMON_H

#include "platform/fakeplatform.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include <functional>

class QTimer;

// Command line of every benchmark: `--smoke` runs once at the smallest
// size, `--runs N` caps the repetitions of each measure.
struct BenchOptions
{
    bool smoke = false;
    int runs = 15;
    // Wall-clock budget of one measure in seconds: big sizes stop early.
    double budget = 4.0;

    static BenchOptions parse(int argc, char **argv);
    // How many times to repeat a measure whose single run took `firstMs`.
    int repeatsFor(double firstMs) const;
};

// Milliseconds since an arbitrary fixed point, sub-microsecond resolution.
double nowMs();
// Milliseconds of processor time the calling thread has used: stalls
// measured with it leave out the time other processes took the processor.
double threadCpuMs();

// Samples of one measure and their summary line.
class Samples
{
public:
    void add(double value) { values.append(value); }
    int count() const { return values.size(); }
    double median() const;
    double percentile(double p) const;
    double min() const;
    double max() const;
    // Prints "RESULT measure | sizes | median | p10 | p90 | min | max | runs | unit".
    void print(
        const QString &measure, const QString &sizes, const QString &unit = QStringLiteral("ms")) const;

    // Runs `once` as often as `options` allow for what its first run took;
    // the first run is left out (it warms caches up).
    static Samples repeated(const BenchOptions &options, const std::function<double()> &once);

private:
    QVector<double> values;
};

// "100 B", "10 KB", "1 MB" for a size in bytes.
QString sizeName(int bytes);

// A history entry of `bytes` characters (ASCII, so as many bytes in UTF-8):
// lines of code-like text with tabs, quoted literals, numbers, comments and
// now and then a full-width space, started by a line that makes it unique.
QString makeEntry(int index, int bytes);
// A history entry of `bytes` characters on one line, as a minified JSON
// document or a base64 blob comes: no line break at all.
QString makeOneLineEntry(int index, int bytes);
// `count` distinct entries of `bytes` each, newest first.
QStringList makeHistory(int count, int bytes, int firstIndex = 0);

// Writes the keyword list the benchmarks colour with into `appDir`/list.
void writeKeywordList(const QString &appDir);

// A temporary application directory with a keyword list, the fake platform
// layer and the settings record at the program's defaults.
class BenchEnv
{
public:
    BenchEnv();
    ~BenchEnv();
    BenchEnv(const BenchEnv &) = delete;
    BenchEnv &operator=(const BenchEnv &) = delete;

    QString path() const { return dir.path(); }
    // Resets the settings record to the defaults with `history`.
    void resetSettings(const QStringList &history, int histmax = 500);

private:
    FakePlatform platform;
    QTemporaryDir dir;
};

// Processes events until one pass handles none (bounded).
void settle();

// A longest stall in milliseconds: in wall-clock time, and in processor
// time of the GUI thread, which leaves out the time other processes of a
// busy machine took.
struct Stall
{
    double wall = 0;
    double cpu = 0;
};

// The longest stall of the event loop over a stretch of work: a precise
// 1 ms timer fires whenever the loop is free, and the longest gap between
// two of its turns (or between start() and the first turn, or the last turn
// and stop()) is the longest time the program could not answer anything,
// to within a millisecond (the figure errs on the high side).
class StallMeter
{
public:
    StallMeter();
    ~StallMeter();
    StallMeter(const StallMeter &) = delete;
    StallMeter &operator=(const StallMeter &) = delete;

    void start();
    Stall stop();

private:
    void turn();

    QTimer *ticker;
    double last = 0;
    double lastCpu = 0;
    Stall longest;
};

// Runs `once` (which returns its longest stall) up to five times and prints
// the wall-clock and the processor-time figures of `measure`.
void printStalls(const BenchOptions &options, const QString &measure, const QString &sizes,
    const std::function<Stall()> &once);

// Runs the event loop until `done()` is true or `timeoutMs` passed; false
// on time-out.
bool runUntil(const std::function<bool()> &done, int timeoutMs = 60000);

#endif  // BENCHCOMMON_H
