// Filter: from a key press in the filter box (or a click on the case box)
// until the filter has settled and is painted: the search has ended, the
// list holds exactly the entries the plain substring search finds, the
// count label says so, row 0 is current and the preview's lines in view
// have their colours. Each turn of the event loop meanwhile is timed; the
// longest one is the stall the user could feel.
#include "benchcommon.h"

#include "popup/inputdialog.h"
#include "popup/inputtablemodel.h"
#include "popup/lineedit.h"
#include "popup/textmatcher.h"
#include "preview/highlighter.h"
#include "preview/textedit.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QTableView>
#include <QTest>

#include <cstdio>

namespace {
struct Timing
{
    double settleMs = 0;
    // Without the turn that paints the settled popup.
    double unpaintedMs = 0;
    double stallMs = 0;
};

class FilterBench
{
public:
    FilterBench(InputDialog &dialog)
        : lineEdit(dialog.findChild<LineEdit *>(QStringLiteral("lineEdit")))
        , caseBox(dialog.findChild<QCheckBox *>(QStringLiteral("chkCase")))
        , dialog(dialog)
        , count(dialog.findChild<QLabel *>(QStringLiteral("lblCount")))
        , table(dialog.findChild<QTableView *>(QStringLiteral("tableView")))
        , preview(dialog.findChild<TextEdit *>(QStringLiteral("plainTextEdit")))
    { }

    // Empties the box, sets the case box, types `typed` and lets all of it
    // settle, untimed.
    void prepare(bool ignoreCase, const QString &typed)
    {
        lineEdit->clear();
        caseBox->setChecked(ignoreCase);
        drain();
        for (const QChar c : typed) {
            QTest::keyClicks(lineEdit, QString(c));
            drain();
        }
    }

    // Does `action` and times it and every following turn of the event loop
    // until the popup shows the plain search's result, and the turn that
    // paints it.
    template <typename Action> Timing timeUntilSettled(Action action)
    {
        Timing timing;
        const double start = nowMs();
        action();
        timing.stallMs = nowMs() - start;
        QAbstractEventDispatcher *dispatcher = QCoreApplication::instance()->eventDispatcher();
        auto turn = [&]() {
            const double turnStart = nowMs();
            QCoreApplication::sendPostedEvents();
            dispatcher->processEvents(QEventLoop::AllEvents);
            timing.stallMs = qMax(timing.stallMs, nowMs() - turnStart);
        };
        bool done = settled();
        while (!done && nowMs() - start < 20000) {
            turn();
            done = settled();
        }
        timing.unpaintedMs = nowMs() - start;
        turn();  // paints what has settled
        timing.settleMs = nowMs() - start;
        if (!done)
            std::fprintf(stderr, "bench_filter: the filter did not settle\n");
        drain();
        return timing;
    }

    // The rows the plain algorithm lists for `prefix` in case mode `mode`.
    void expectPlainResult(const QString &prefix, Qt::CaseSensitivity mode)
    {
        const QStringList &history = dialog.history();
        expected.clear();
        for (int i = 0; i < history.size(); ++i) {
            if (prefix.isEmpty() || history.at(i).indexOf(prefix, 0, mode) >= 0)
                expected.append(i);
        }
    }

    LineEdit *lineEdit;
    QCheckBox *caseBox;

private:
    bool settled() const
    {
        if (dialog.isFiltering())
            return false;
        const InputTableModel *model = dialog.tableModel();
        if (model->rowCount() != expected.size() || model->rowMap() != expected)
            return false;
        if (count->text() != QStringLiteral("%1/%2").arg(expected.size()).arg(dialog.history().size()))
            return false;
        if (!expected.isEmpty() && table->currentIndex().row() != 0)
            return false;
        return preview->isViewColoured();
    }

    // Processes events until the preview has all of its text and colours
    // and nothing else is left to do.
    void drain()
    {
        const double start = nowMs();
        QAbstractEventDispatcher *dispatcher = QCoreApplication::instance()->eventDispatcher();
        while (nowMs() - start < 20000) {
            QCoreApplication::sendPostedEvents();
            if (dispatcher->processEvents(QEventLoop::AllEvents))
                continue;
            if (!preview->isLoading() && preview->highlighter->pendingLines() == 0)
                break;
        }
    }

    InputDialog &dialog;
    QLabel *count;
    QTableView *table;
    TextEdit *preview;
    QVector<int> expected;
};

// One measure: `setUp(run)` leaves the box ready, `action(run)` is timed;
// then the filter is `prefix(run)` in case mode `mode`.
template <typename SetUp, typename Action, typename Prefix>
void measure(FilterBench &bench, const BenchOptions &options, const QString &name, const QString &sizes,
    SetUp setUp, Action action, Prefix prefix, Qt::CaseSensitivity mode)
{
    auto once = [&](int run) {
        setUp(run);
        bench.expectPlainResult(prefix(run), mode);
        return bench.timeUntilSettled([&]() { action(run); });
    };
    Samples settle;
    Samples unpainted;
    Samples stall;
    auto add = [&](const Timing &timing) {
        settle.add(timing.settleMs);
        unpainted.add(timing.unpaintedMs);
        stall.add(timing.stallMs);
        return timing.settleMs;
    };
    const int runs = options.repeatsFor(add(once(0)) + 100);
    for (int run = 1; run < runs; ++run)
        add(once(run));
    settle.print(name, sizes);
    unpainted.print(name + QStringLiteral(", before painting"), sizes);
    stall.print(name + QStringLiteral(", longest stall"), sizes);
}

// Characters no benchmark entry holds, one per run, so that no run finds
// the answer of an earlier one.
QString absent(int run)
{
    static const QString characters = QStringLiteral("#$%@!~`|?<>^&[]\\");
    return characters.at(run % characters.size());
}

void measureSize(BenchEnv &env, const BenchOptions &options, int historySize, int entryBytes)
{
    env.resetSettings(makeHistory(historySize, entryBytes), historySize);
    InputDialog dialog;
    dialog.show();
    settle();
    FilterBench bench(dialog);
    const QString sizes = QStringLiteral("%1 x %2").arg(historySize).arg(sizeName(entryBytes));
    const QString foxJumps = QStringLiteral("Fox jumps");

    // Every entry starts with "entry": row 0 is found at once.
    measure(
        bench, options, QStringLiteral("filter key press"), sizes,
        [&](int) { bench.prepare(true, QString()); },
        [&](int) { QTest::keyClick(bench.lineEdit, Qt::Key_E); }, [](int) { return QStringLiteral("e"); },
        Qt::CaseInsensitive);
    // No entry holds the character: every entry is searched to its end.
    measure(
        bench, options, QStringLiteral("filter key press, no match"), sizes,
        [&](int) { bench.prepare(true, QString()); },
        [&](int run) { QTest::keyClicks(bench.lineEdit, absent(run)); }, absent, Qt::CaseInsensitive);
    // Typed with the case kept, then the case box is turned on: nothing
    // found before narrows the search, and the text almost matches on
    // every fourth line.
    measure(
        bench, options, QStringLiteral("filter case box on, 10 characters, no match"), sizes,
        [&](int run) { bench.prepare(false, foxJumps + absent(run)); },
        [&](int) { QTest::mouseClick(bench.caseBox, Qt::LeftButton); },
        [&](int run) { return foxJumps + absent(run); }, Qt::CaseInsensitive);
    // Backspace after typing a text that matches nothing.
    measure(
        bench, options, QStringLiteral("filter Backspace"), sizes,
        [&](int) { bench.prepare(true, QStringLiteral("lazy dogs")); },
        [&](int) { QTest::keyClick(bench.lineEdit, Qt::Key_Backspace); },
        [](int) { return QStringLiteral("lazy dog"); }, Qt::CaseInsensitive);
}
}  // namespace

// The filter's text search alone against QString::indexOf, the plain
// algorithm's, over all of a history: one pass, the matcher made included.
void measureSearch(const BenchOptions &options, int historySize, int entryBytes)
{
    const QStringList history = makeHistory(historySize, entryBytes);
    const QString sizes = QStringLiteral("%1 x %2").arg(historySize).arg(sizeName(entryBytes));
    struct Search
    {
        QString needle;
        Qt::CaseSensitivity mode;
    };
    const QVector<Search> searches = { { QStringLiteral("#"), Qt::CaseInsensitive },
        { QStringLiteral("zq#"), Qt::CaseInsensitive }, { QStringLiteral("Fox jumps!"), Qt::CaseInsensitive },
        { QStringLiteral("zq#"), Qt::CaseSensitive } };
    for (const Search &search : searches) {
        const QString name = QStringLiteral("\"%1\", case %2")
                                 .arg(search.needle,
                                     search.mode == Qt::CaseInsensitive ? QStringLiteral("ignored")
                                                                        : QStringLiteral("kept"));
        Samples qt;
        Samples matcher;
        int qtFound = 0;
        int matcherFound = 0;
        const int runs = options.smoke ? 1 : options.runs;
        for (int run = 0; run < runs; ++run) {
            double start = nowMs();
            qtFound = 0;
            for (const QString &entry : history)
                qtFound += entry.indexOf(search.needle, 0, search.mode) >= 0;
            qt.add(nowMs() - start);
            start = nowMs();
            const TextMatcher textMatcher(search.needle, search.mode);
            matcherFound = 0;
            for (const QString &entry : history)
                matcherFound += textMatcher.matches(entry);
            matcher.add(nowMs() - start);
        }
        if (qtFound != matcherFound)
            std::fprintf(stderr, "bench_filter: the search differs from QString::indexOf\n");
        qt.print(QStringLiteral("search, QString::indexOf, ") + name, sizes);
        matcher.print(QStringLiteral("search, TextMatcher, ") + name, sizes);
    }
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const BenchOptions options = BenchOptions::parse(argc, argv);
    BenchEnv env;
    if (options.smoke) {
        measureSearch(options, 10, 100);
        measureSize(env, options, 10, 100);
        return 0;
    }
    measureSearch(options, 500, 10 * 1024);
    for (int entry : { 100, 10 * 1024, 1024 * 1024 }) {
        for (int history : { 10, 100, 500 }) {
            if (entry >= 1024 * 1024 && history > 100)
                continue;  // half a gigabyte of text: no clipboard history holds that
            measureSize(env, options, history, entry);
        }
    }
    return 0;
}
