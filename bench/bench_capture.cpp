// A capture, as the user meets it: the longest stall of the event loop from
// the clipboard reader's hand-over of a new text until the save thread has
// written both files (the popup must answer the hot key all the while), and
// the time until both files are on disk.
#include "benchcommon.h"

#include "background/savequeue.h"
#include "popup/inputdialog.h"

#include <QApplication>

namespace {
struct Case
{
    int history;
    int entry;
};

void measure(BenchEnv &env, const BenchOptions &options, const Case &size, int capturedBytes)
{
    env.resetSettings(makeHistory(size.history, size.entry, 100000), size.history);
    InputDialog dialog;
    StallMeter meter;
    struct Figures
    {
        double stall;
        double toDisk;
    };
    auto captureOne = [&](int index) {
        // The reader thread's work (reading and decoding the text) is not
        // the GUI thread's: the snapshot arrives made.
        ClipboardSnapshot snapshot;
        snapshot.text = makeEntry(index, capturedBytes);
        snapshot.formats = QStringList { QStringLiteral("text/plain") };
        settle();
        meter.start();
        const double start = nowMs();
        dialog.onClipboardChanged(snapshot);
        bool saved = false;
        QObject::connect(dialog.saveQueue(), &SaveQueue::idle, &dialog, [&saved] { saved = true; });
        if (!runUntil([&] { return saved && dialog.history().value(0) == snapshot.text; }))
            qFatal("the capture was not saved");
        const double toDisk = nowMs() - start;
        QObject::disconnect(dialog.saveQueue(), &SaveQueue::idle, &dialog, nullptr);
        return Figures { meter.stop().wall, toDisk };
    };
    // The first save creates the files; later ones also rotate the backup.
    const Figures first = captureOne(1);
    const int runs = options.repeatsFor(first.toDisk);
    Samples stalls;
    Samples toDisk;
    for (int i = 0; i < runs; ++i) {
        const Figures figures = captureOne(2 + i);
        stalls.add(figures.stall);
        toDisk.add(figures.toDisk);
    }
    const QString sizes = capturedBytes == size.entry
        ? QStringLiteral("%1 x %2").arg(size.history).arg(sizeName(size.entry))
        : QStringLiteral("%1 x %2, new entry %3")
              .arg(size.history)
              .arg(sizeName(size.entry))
              .arg(sizeName(capturedBytes));
    stalls.print(QStringLiteral("capture, longest stall"), sizes);
    toDisk.print(QStringLiteral("capture to disk (background)"), sizes);
}
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const BenchOptions options = BenchOptions::parse(argc, argv);
    BenchEnv env;
    if (options.smoke) {
        measure(env, options, { 10, 100 }, 100);
        return 0;
    }
    const int kb = 1024;
    const int mb = 1024 * 1024;
    const QVector<Case> cases = { { 10, 100 }, { 500, 100 }, { 500, kb }, { 100, 10 * kb }, { 500, 10 * kb },
        { 10, mb }, { 100, mb } };
    for (const Case &size : cases)
        measure(env, options, size, size.entry);
    // A huge copy landing in an ordinary history.
    measure(env, options, { 500, kb }, 10 * mb);
    return 0;
}
