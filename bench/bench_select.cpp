// Selecting an entry: from a row change to the preview shown and coloured on
// screen (the preview and the list painted at once), for one entry of each
// size; then the longest stall of the event loop while such an entry is
// selected, shown and scrolled through.
#include "benchcommon.h"

#include "popup/inputdialog.h"
#include "popup/inputtablemodel.h"
#include "preview/textedit.h"

#include <QApplication>
#include <QEventLoop>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {
struct Popup
{
    InputDialog dialog;
    QTableView *table = nullptr;
    TextEdit *preview = nullptr;

    Popup()
    {
        dialog.show();
        settle();
        table = dialog.findChild<QTableView *>(QStringLiteral("tableView"));
        preview = dialog.findChild<TextEdit *>(QStringLiteral("plainTextEdit"));
    }

    void select(int row) { table->setCurrentIndex(dialog.tableModel()->index(row, 0)); }
    void paint()
    {
        table->viewport()->repaint();
        preview->viewport()->repaint();
    }
};

// Row 0 holds a small entry, row 1 the entry measured.
QStringList historyWith(int entryBytes)
{
    return { makeEntry(0, 100), makeEntry(1, entryBytes) };
}

void measureSelect(BenchEnv &env, const BenchOptions &options, int entryBytes)
{
    env.resetSettings(historyWith(entryBytes));
    Popup popup;
    auto selectOnce = [&]() {
        popup.select(0);
        settle();
        const double start = nowMs();
        popup.select(1);
        popup.paint();
        return nowMs() - start;
    };
    const double first = selectOnce();
    const int runs = options.repeatsFor(first);
    Samples samples;
    for (int i = 0; i < runs; ++i)
        samples.add(selectOnce());
    samples.print(QStringLiteral("select entry"), sizeName(entryBytes));
}

// Runs the event loop while row 1 is selected and the preview scrolled
// page by page, to the end, back and to the middle; returns the longest gap
// between two turns of a 1 ms ticker, that is the longest stall.
double longestStall(Popup &popup)
{
    popup.select(0);
    settle();
    QEventLoop loop;
    QVector<double> ticks;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&]() { ticks.append(nowMs()); });

    QScrollBar *bar = popup.preview->verticalScrollBar();
    int step = 0;
    QTimer scroller;
    scroller.setInterval(25);
    QObject::connect(&scroller, &QTimer::timeout, [&]() {
        switch (step++) {
        case 0:
            popup.select(1);
            break;
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
            bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
            break;
        case 6:
            bar->triggerAction(QAbstractSlider::SliderToMaximum);
            break;
        case 7:
        case 8:
        case 9:
            bar->triggerAction(QAbstractSlider::SliderPageStepSub);
            break;
        case 10:
            bar->setValue(bar->maximum() / 2);
            break;
        case 11:
            bar->triggerAction(QAbstractSlider::SliderToMinimum);
            break;
        default:
            if (step > 60)  // idle a while: slices of deferred work show here
                loop.quit();
            break;
        }
    });
    ticker.start();
    scroller.start();
    ticks.append(nowMs());
    loop.exec();
    ticker.stop();
    scroller.stop();
    double worst = 0;
    for (int i = 1; i < ticks.size(); ++i)
        worst = std::max(worst, ticks.at(i) - ticks.at(i - 1));
    return worst;
}

void measureStall(BenchEnv &env, const BenchOptions &options, int entryBytes)
{
    env.resetSettings(historyWith(entryBytes));
    Popup popup;
    const int runs = options.smoke ? 1 : std::min(options.runs, 5);
    Samples samples;
    for (int i = 0; i < runs; ++i)
        samples.add(longestStall(popup));
    samples.print(QStringLiteral("longest stall, selected and scrolled"), sizeName(entryBytes));
}
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const BenchOptions options = BenchOptions::parse(argc, argv);
    BenchEnv env;
    if (options.smoke) {
        measureSelect(env, options, 100);
        measureStall(env, options, 100);
        return 0;
    }
    for (int entry : { 100, 10 * 1024, 1024 * 1024, 10 * 1024 * 1024 })
        measureSelect(env, options, entry);
    for (int entry : { 1024 * 1024, 10 * 1024 * 1024 })
        measureStall(env, options, entry);
    return 0;
}
