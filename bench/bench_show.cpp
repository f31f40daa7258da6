// Showing the popup: from show() to the popup painted with row 0 current and
// its entry in the preview, with an ordinary history and with a 10 MB entry
// in it (newest, so it is previewed, or second, so only listed), and with a
// one-line entry of 4 MB or 16 MB newest; for those, also the longest stall
// of the event loop from the show until the preview has settled.
#include "benchcommon.h"

#include "popup/inputdialog.h"

#include <QApplication>
#include <QEventLoop>
#include <QPixmap>
#include <QTimer>

#include <algorithm>

namespace {
void measure(BenchEnv &env, const BenchOptions &options, const QStringList &history, const QString &sizes)
{
    env.resetSettings(history);
    InputDialog dialog;
    auto showOnce = [&]() {
        dialog.hide();
        settle();
        const double start = nowMs();
        dialog.show();
        const QPixmap painted = dialog.grab();  // everything painted once
        const double elapsed = nowMs() - start;
        settle();
        return painted.isNull() ? -1.0 : elapsed;
    };
    Samples::repeated(options, showOnce).print(QStringLiteral("show popup"), sizes);
}

// The longest stall from the show (the first one after the popup is built,
// then later ones) until a second of idling has passed.
Stall longestStall(InputDialog &dialog)
{
    dialog.hide();
    settle();
    QEventLoop loop;
    StallMeter meter;
    QTimer::singleShot(10, &dialog, [&dialog]() { dialog.show(); });
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    meter.start();
    loop.exec();
    return meter.stop();
}

void measureStall(
    BenchEnv &env, const BenchOptions &options, const QStringList &history, const QString &sizes)
{
    env.resetSettings(history);
    InputDialog dialog;
    printStalls(options, QStringLiteral("longest stall, show popup"), sizes,
        [&dialog] { return longestStall(dialog); });
}
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const BenchOptions options = BenchOptions::parse(argc, argv);
    BenchEnv env;
    if (options.smoke) {
        measure(env, options, makeHistory(10, 100), QStringLiteral("10 x 100 B"));
        measureStall(env, options, makeHistory(10, 100), QStringLiteral("10 x 100 B"));
        return 0;
    }
    const int kb = 1024;
    const int mb = 1024 * 1024;
    QStringList history = makeHistory(499, kb, 1);
    measure(env, options, history, QStringLiteral("500 x 1 KB"));
    measure(env, options, QStringList(makeEntry(0, 10 * mb)) + history,
        QStringLiteral("500 x 1 KB, 10 MB entry newest"));
    measure(env, options,
        QStringList(makeEntry(0, kb)) + QStringList(makeEntry(500, 10 * mb)) + history.mid(1),
        QStringLiteral("500 x 1 KB, 10 MB entry second"));
    for (int entry : { 4 * mb, 16 * mb }) {
        const QStringList withLine = QStringList(makeOneLineEntry(0, entry)) + history;
        const QString sizes = QStringLiteral("500 x 1 KB, one line of %1 newest").arg(sizeName(entry));
        measure(env, options, withLine, sizes);
        measureStall(env, options, withLine, sizes);
    }
    return 0;
}
