// Hot key to popup: from the XTEST release of the second Right Ctrl tap to
// the popup mapped and holding the keyboard focus, measured from outside
// the program; the first show after start-up apart from the later ones.
// Each case runs without a window manager and then under openbox (when it
// is installed): on a quiet desktop, and with a hung clipboard owner that
// takes the clipboard again right before every tap, so that the program's
// clipboard read is waiting for it at that moment. Without a window manager
// also right after a capture: the program has just read a new text (1 KB,
// 1 MB or 10 MB) and its save thread is writing the history when the keys
// come. Needs an X11 display with a tray host and no window manager of its
// own.
#include "x11probe.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
// Taps at least this many times for a median.
constexpr int minimumTaps = 20;

// How long after the hung owner took the clipboard the tap comes: the
// program's read has asked by then and waits (for 2 s) for an answer.
constexpr double hungLeadMs = 100;

enum class Load { Quiet, HungOwner, AfterCapture };

void measure(X11Probe &probe, const BenchOptions &options, const QStringList &history, const QString &sizes,
    Load load, int captureBytes = 0)
{
    Samples first;
    Samples later;
    double docked = 0;
    const bool hungOwner = load == Load::HungOwner;
    const QString label = hungOwner ? QStringLiteral(", hung clipboard owner")
        : load == Load::AfterCapture
        ? QStringLiteral(" right after a capture of %1").arg(sizeName(captureBytes))
        : QString();
    if (probe.prepare(history) && probe.launch() && probe.waitDocked(10000, &docked)) {
        probe.pause(300);
        const int runs = options.smoke ? 1 : qMax(options.runs, minimumTaps) + 1;
        for (int i = 0; i < runs; ++i) {
            probe.focusOwnWindow();
            probe.pause(100);
            if (hungOwner) {
                if (!probe.hangClipboard()) {
                    std::fprintf(stderr, "bench_hotkey: could not take the clipboard\n");
                    break;
                }
                probe.pause(hungLeadMs);
            }
            if (load == Load::AfterCapture
                && !probe.offerClipboard(makeEntry(1000 + i, captureBytes).toUtf8(), 10000)) {
                std::fprintf(stderr, "bench_hotkey: the program did not read the offered text\n");
                break;
            }
            const double release = probe.doubleTap();
            double shown = 0;
            if (!probe.waitPopupFocused("Input Dialog", 5000, &shown)) {
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
    probe.releaseClipboard();
    first.print(QStringLiteral("hot key to popup, first show") + label, sizes);
    if (!options.smoke)
        later.print(QStringLiteral("hot key to popup") + label, sizes);
}

void measureDesktop(X11Probe &probe, const BenchOptions &options, const QString &desktop)
{
    if (options.smoke) {
        measure(probe, options, makeHistory(10, 100), QStringLiteral("10 x 100 B") + desktop, Load::Quiet);
        measure(
            probe, options, makeHistory(10, 100), QStringLiteral("10 x 100 B") + desktop, Load::HungOwner);
        return;
    }
    const QStringList history = makeHistory(500, 1024, 1);
    const QString sizes = QStringLiteral("500 x 1 KB") + desktop;
    measure(probe, options, history, sizes, Load::Quiet);
    measure(probe, options, history, sizes, Load::HungOwner);
    measure(probe, options, QStringList(makeEntry(0, 10 * 1024 * 1024)) + history.mid(1),
        QStringLiteral("500 x 1 KB, 10 MB entry newest") + desktop, Load::Quiet);
}

void measureAfterCaptures(X11Probe &probe, const BenchOptions &options)
{
    const int kb = 1024;
    const int mb = 1024 * 1024;
    const QString desktop = QStringLiteral(", no window manager");
    measure(probe, options, makeHistory(500, kb, 1), QStringLiteral("500 x 1 KB") + desktop,
        Load::AfterCapture, kb);
    measure(probe, options, makeHistory(500, 10 * kb, 1), QStringLiteral("500 x 10 KB") + desktop,
        Load::AfterCapture, 10 * kb);
    measure(probe, options, makeHistory(100, mb, 1), QStringLiteral("100 x 1 MB") + desktop,
        Load::AfterCapture, mb);
    measure(probe, options, makeHistory(500, kb, 1), QStringLiteral("500 x 1 KB") + desktop,
        Load::AfterCapture, 10 * mb);
}
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const BenchOptions options = BenchOptions::parse(argc, argv);
    X11Probe probe;
    if (!probe.ok())
        return 1;
    measureDesktop(probe, options, QStringLiteral(", no window manager"));
    if (options.smoke)
        return 0;
    measureAfterCaptures(probe, options);
    if (!probe.startWindowManager(5000)) {
        std::fprintf(stderr, "bench_hotkey: openbox did not start; measured without a window manager only\n");
        return 0;
    }
    measureDesktop(probe, options, QStringLiteral(", openbox"));
    probe.stopWindowManager();
    return 0;
}
