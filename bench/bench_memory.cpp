// Memory: resident memory (VmRSS) and proportional set (Pss, from
// /proc/PID/smaps_rollup) of the program after start-up, after its first
// show, and after 1,000 captures of 1 KB texts offered on the clipboard,
// with 500 entries of 1 KB (and, after start-up, with none and with 500 of
// 100 KB). Needs an X11 display with a tray host.
#include "x11probe.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
struct Memory
{
    Samples resident;
    Samples proportional;

    void take(const X11Probe &probe)
    {
        resident.add(probe.residentKb() / 1024.0);
        proportional.add(probe.proportionalKb() / 1024.0);
    }
    void print(const QString &when, const QString &sizes) const
    {
        resident.print(QStringLiteral("resident memory ") + when, sizes, QStringLiteral("MB"));
        proportional.print(QStringLiteral("proportional memory ") + when, sizes, QStringLiteral("MB"));
    }
};

bool startIdle(X11Probe &probe, const QStringList &history)
{
    double docked = 0;
    if (!probe.prepare(history) || !probe.launch() || !probe.waitDocked(10000, &docked))
        return false;
    // Idle, past the popup's prepared first show.
    probe.pause(2000);
    return true;
}

void afterStart(const BenchOptions &options, const QStringList &history, const QString &sizes)
{
    X11Probe probe;
    Memory memory;
    const int runs = options.smoke ? 1 : 3;
    for (int i = 0; probe.ok() && i < runs; ++i) {
        if (!startIdle(probe, history)) {
            probe.stop();
            break;
        }
        memory.take(probe);
        probe.stop();
    }
    memory.print(QStringLiteral("after start-up"), sizes);
}

// One program: idle after start-up, then shown once by the hot key, then
// after `captures` captures.
void afterShowAndCaptures(const QStringList &history, const QString &sizes, int captures)
{
    X11Probe probe;
    Memory shown;
    Memory captured;
    if (probe.ok() && startIdle(probe, history)) {
        probe.focusOwnWindow();
        probe.pause(100);
        probe.doubleTap();
        double at = 0;
        if (probe.waitPopupFocused("Input Dialog", 5000, &at)) {
            probe.pause(300);
            probe.dismissPopup(2000);
            probe.pause(1000);
            shown.take(probe);
            int taken = 0;
            for (int i = 0; i < captures; ++i) {
                if (probe.offerClipboard(makeEntry(100000 + i, 1024).toUtf8(), 2000))
                    ++taken;
                probe.pause(2);
            }
            probe.pause(1000);
            if (taken == captures)
                captured.take(probe);
            else
                std::fprintf(stderr, "bench_memory: %d of %d captures read\n", taken, captures);
        } else {
            std::fprintf(stderr, "bench_memory: the hot key brought up no popup\n");
        }
    }
    probe.stop();
    shown.print(QStringLiteral("after the first show"), sizes);
    captured.print(
        QStringLiteral("after captures"), QStringLiteral("%1, %2 captures of 1 KB").arg(sizes).arg(captures));
}
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const BenchOptions options = BenchOptions::parse(argc, argv);
    if (options.smoke) {
        afterStart(options, makeHistory(10, 100), QStringLiteral("10 x 100 B"));
        afterShowAndCaptures(makeHistory(10, 100), QStringLiteral("10 x 100 B"), 10);
        return 0;
    }
    afterStart(options, QStringList(), QStringLiteral("empty history"));
    afterStart(options, makeHistory(500, 1024), QStringLiteral("500 x 1 KB"));
    afterStart(options, makeHistory(500, 100 * 1024), QStringLiteral("500 x 100 KB"));
    afterShowAndCaptures(makeHistory(500, 1024), QStringLiteral("500 x 1 KB"), 1000);
    return 0;
}
