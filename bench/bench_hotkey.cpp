// Hot key to popup: from the XTEST release of the second Right Ctrl tap to
// the popup mapped and holding the keyboard focus; the first show after
// start-up apart from the later ones. Needs an X11 display with a tray host.
#include "x11probe.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
void measure(const BenchOptions &options, const QStringList &history, const QString &sizes)
{
    X11Probe probe;
    Samples first;
    Samples later;
    double docked = 0;
    if (probe.ok() && probe.prepare(history) && probe.launch() && probe.waitDocked(10000, &docked)) {
        probe.pause(300);
        const int runs = options.smoke ? 1 : options.runs + 1;
        for (int i = 0; i < runs; ++i) {
            probe.focusOwnWindow();
            probe.pause(100);
            const double release = probe.doubleTap();
            double shown = 0;
            if (!probe.waitPopupFocused("Input Dialog", 3000, &shown)) {
                std::fprintf(stderr, "bench_hotkey: no popup took the focus after the double tap\n");
                break;
            }
            (i == 0 ? first : later).add(shown - release);
            probe.pause(50);
            probe.dismissPopup(2000);
            probe.pause(100);
        }
    }
    probe.stop();
    first.print(QStringLiteral("hot key to popup, first show"), sizes);
    if (!options.smoke)
        later.print(QStringLiteral("hot key to popup"), sizes);
}
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const BenchOptions options = BenchOptions::parse(argc, argv);
    if (options.smoke) {
        measure(options, makeHistory(10, 100), QStringLiteral("10 x 100 B"));
        return 0;
    }
    const QStringList history = makeHistory(500, 1024, 1);
    measure(options, history, QStringLiteral("500 x 1 KB"));
    measure(options, QStringList(makeEntry(0, 10 * 1024 * 1024)) + history.mid(1),
        QStringLiteral("500 x 1 KB, 10 MB entry newest"));
    return 0;
}
