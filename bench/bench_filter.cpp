// Filter key press: one character typed into the filter box to the list
// rebuilt, the count label written, row 0 current and the preview coloured
// and painted (events processed until none is left).
#include "benchcommon.h"

#include "popup/inputdialog.h"
#include "popup/lineedit.h"

#include <QApplication>
#include <QLabel>
#include <QTableView>
#include <QTest>

#include <cstdio>

namespace {
void measure(BenchEnv &env, const BenchOptions &options, int historySize, int entryBytes)
{
    env.resetSettings(makeHistory(historySize, entryBytes), historySize);
    InputDialog dialog;
    dialog.show();
    settle();
    auto *lineEdit = dialog.findChild<LineEdit *>(QStringLiteral("lineEdit"));
    auto *count = dialog.findChild<QLabel *>(QStringLiteral("lblCount"));
    auto *table = dialog.findChild<QTableView *>(QStringLiteral("tableView"));
    auto typeOne = [&]() {
        lineEdit->clear();
        settle();
        const double start = nowMs();
        QTest::keyClick(lineEdit, Qt::Key_E, Qt::NoModifier);
        settle();
        return nowMs() - start;
    };
    const double first = typeOne();
    if (!table->currentIndex().isValid() || count->text().isEmpty())
        std::fprintf(stderr, "bench_filter: the filter did not select row 0\n");
    const int runs = options.repeatsFor(first);
    Samples samples;
    for (int i = 0; i < runs; ++i)
        samples.add(typeOne());
    samples.print(QStringLiteral("filter key press"),
        QStringLiteral("%1 x %2").arg(historySize).arg(sizeName(entryBytes)));
}
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const BenchOptions options = BenchOptions::parse(argc, argv);
    BenchEnv env;
    if (options.smoke) {
        measure(env, options, 10, 100);
        return 0;
    }
    for (int entry : { 100, 10 * 1024, 1024 * 1024 }) {
        for (int history : { 10, 100, 500 }) {
            if (entry >= 1024 * 1024 && history > 100)
                continue;  // half a gigabyte of text: no clipboard history holds that
            measure(env, options, history, entry);
        }
    }
    return 0;
}
