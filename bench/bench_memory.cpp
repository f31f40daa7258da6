// Memory: resident memory (VmRSS) of the program after start-up with 500
// entries of 1 KB and of 100 KB, and after 1,000 captures of 1 KB texts
// offered on the clipboard. Needs an X11 display with a tray host.
#include "x11probe.h"

#include <QCoreApplication>

namespace {
// Resident memory once the program has docked its icon and idled a while.
void afterStart(const BenchOptions &options, const QStringList &history, const QString &sizes)
{
    X11Probe probe;
    Samples samples;
    if (probe.ok() && probe.prepare(history)) {
        const int runs = options.smoke ? 1 : 3;
        for (int i = 0; i < runs; ++i) {
            double docked = 0;
            if (!probe.launch() || !probe.waitDocked(10000, &docked)) {
                probe.stop();
                break;
            }
            probe.pause(500);
            samples.add(probe.residentKb() / 1024.0);
            probe.stop();
        }
    }
    samples.print(QStringLiteral("resident memory after start-up"), sizes, QStringLiteral("MB"));
}

void afterCaptures(int captures)
{
    X11Probe probe;
    Samples samples;
    double docked = 0;
    if (probe.ok() && probe.prepare(QStringList()) && probe.launch() && probe.waitDocked(5000, &docked)) {
        probe.pause(200);
        int taken = 0;
        for (int i = 0; i < captures; ++i) {
            if (probe.offerClipboard(makeEntry(i, 1024).toUtf8(), 2000))
                ++taken;
            probe.pause(2);  // the program writes its files after reading
        }
        probe.pause(500);
        if (taken == captures)
            samples.add(probe.residentKb() / 1024.0);
    }
    probe.stop();
    samples.print(QStringLiteral("resident memory after captures"),
        QStringLiteral("%1 captures of 1 KB").arg(captures), QStringLiteral("MB"));
}
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const BenchOptions options = BenchOptions::parse(argc, argv);
    if (options.smoke) {
        afterStart(options, makeHistory(10, 100), QStringLiteral("10 x 100 B"));
        afterCaptures(10);
        return 0;
    }
    afterStart(options, QStringList(), QStringLiteral("empty history"));
    afterStart(options, makeHistory(500, 1024), QStringLiteral("500 x 1 KB"));
    afterStart(options, makeHistory(500, 100 * 1024), QStringLiteral("500 x 100 KB"));
    afterCaptures(1000);
    return 0;
}
