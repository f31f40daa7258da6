// Showing the popup: from show() to the popup painted with row 0 current and
// its entry in the preview, with an ordinary history and with a 10 MB entry
// in it (newest, so it is previewed, or second, so only listed).
#include "benchcommon.h"

#include "popup/inputdialog.h"

#include <QApplication>
#include <QPixmap>

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
    const double first = showOnce();
    const int runs = options.repeatsFor(first);
    Samples samples;
    for (int i = 0; i < runs; ++i)
        samples.add(showOnce());
    samples.print(QStringLiteral("show popup"), sizes);
}
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const BenchOptions options = BenchOptions::parse(argc, argv);
    BenchEnv env;
    if (options.smoke) {
        measure(env, options, makeHistory(10, 100), QStringLiteral("10 x 100 B"));
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
    return 0;
}
