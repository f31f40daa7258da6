// Capture to disk: from the clipboard's change signal to both files written
// (InputDialog::dataChanged, which lists all entries and saves the settings
// file and the clip list file with its backup).
#include "benchcommon.h"

#include "popup/inputdialog.h"

#include <QApplication>
#include <QClipboard>

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
    auto captureOne = [&](int index) {
        // Only the capture is timed, not the clipboard write that causes it.
        const QString text = makeEntry(index, capturedBytes);
        ClipboardSnapshot snapshot;
        snapshot.text = text;
        snapshot.formats = QStringList { QStringLiteral("text/plain") };
        const double start = nowMs();
        dialog.onClipboardChanged(snapshot);
        dialog.dataChanged();
        return nowMs() - start;
    };
    // The first save creates the files; later ones also rotate the backup.
    const double first = captureOne(1);
    const int runs = options.repeatsFor(first);
    Samples samples;
    for (int i = 0; i < runs; ++i)
        samples.add(captureOne(2 + i));
    const QString sizes = capturedBytes == size.entry
        ? QStringLiteral("%1 x %2").arg(size.history).arg(sizeName(size.entry))
        : QStringLiteral("%1 x %2, new entry %3")
              .arg(size.history)
              .arg(sizeName(size.entry))
              .arg(sizeName(capturedBytes));
    samples.print(QStringLiteral("capture to disk"), sizes);
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
    const QVector<Case> cases = { { 10, 100 }, { 100, 100 }, { 500, 100 }, { 500, kb }, { 10, 10 * kb },
        { 100, 10 * kb }, { 500, 10 * kb }, { 10, mb }, { 100, mb } };
    for (const Case &size : cases)
        measure(env, options, size, size.entry);
    // A huge copy landing in an ordinary history.
    measure(env, options, { 500, kb }, 10 * mb);
    return 0;
}
