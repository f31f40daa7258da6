// Start-up: from the process start to the tray icon docked by the tray host,
// with an empty history and with 500 entries of 1 KB, warm cache (one
// unmeasured start first). Needs an X11 display with a tray host.
#include "x11probe.h"

#include <QCoreApplication>

namespace {
void measure(const BenchOptions &options, const QStringList &history, const QString &sizes)
{
    X11Probe probe;
    Samples samples;
    if (probe.ok() && probe.prepare(history)) {
        const int runs = options.smoke ? 1 : options.runs;
        for (int i = -1; i < runs; ++i) {
            double docked = 0;
            const bool ok = probe.launch() && probe.waitDocked(5000, &docked);
            if (ok && i >= 0)
                samples.add(docked - probe.startMs());
            probe.stop();
            if (!ok)
                break;
        }
    }
    samples.print(QStringLiteral("start-up to tray icon"), sizes);
}
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const BenchOptions options = BenchOptions::parse(argc, argv);
    measure(options, QStringList(), QStringLiteral("empty history"));
    if (!options.smoke)
        measure(options, makeHistory(500, 1024), QStringLiteral("500 x 1 KB"));
    return 0;
}
