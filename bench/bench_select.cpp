// Selecting an entry: from a row change to the preview shown and coloured on
// screen (the preview and the list painted at once), for one entry of each
// size and shape; the time until the lines in view have their colours after
// a row change or a new find expression; then the longest stall of the event
// loop while such an entry is selected, shown, scrolled through both ways
// and re-wrapped.
#include "benchcommon.h"

#include "popup/inputdialog.h"
#include "popup/inputtablemodel.h"
#include "preview/highlighter.h"
#include "preview/textedit.h"
#include "settings/settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {
const int kb = 1024;
const int mb = 1024 * 1024;

struct Popup
{
    InputDialog dialog;
    QTableView *table = nullptr;
    TextEdit *preview = nullptr;
    QCheckBox *wrap = nullptr;

    Popup()
    {
        dialog.show();
        settle();
        table = dialog.findChild<QTableView *>(QStringLiteral("tableView"));
        preview = dialog.findChild<TextEdit *>(QStringLiteral("plainTextEdit"));
        wrap = dialog.findChild<QCheckBox *>(QStringLiteral("chkLineWrap"));
    }

    void select(int row) { table->setCurrentIndex(dialog.tableModel()->index(row, 0)); }
    void paint()
    {
        table->viewport()->repaint();
        preview->viewport()->repaint();
    }
};

// Entries of `chars` characters in the shapes that are hard on a text view:
// one line without any break, long lines, lines full of tabs or of
// full-width spaces, right-to-left text and characters beyond the BMP.
QString repeatedTo(const QString &unit, int chars)
{
    QString text;
    text.reserve(chars + unit.size());
    while (text.size() < chars)
        text += unit;
    text.truncate(chars);
    if (text.at(chars - 1).isHighSurrogate())
        text[chars - 1] = QLatin1Char('x');
    return text;
}

QString linesOf(int lineLength, int chars)
{
    QString text = makeOneLineEntry(7, chars);
    for (int at = lineLength; at < chars; at += lineLength + 1)
        text[at] = QLatin1Char('\n');
    return text;
}

struct Shape
{
    QString name;
    int chars;
    std::function<QString(int)> make;
};

QVector<Shape> shapes()
{
    return {
        { QStringLiteral("lines of 100 K"), 16 * mb, [](int chars) { return linesOf(100 * 1000, chars); } },
        { QStringLiteral("lines of 60"), 16 * mb, [](int chars) { return linesOf(60, chars); } },
        { QStringLiteral("lines of 1"), 16 * mb,
            [](int chars) { return repeatedTo(QStringLiteral("a\n"), chars); } },
        { QStringLiteral("one line of tabs"), 4 * mb,
            [](int chars) { return repeatedTo(QStringLiteral("key\tvalue\t\t"), chars); } },
        { QStringLiteral("one line, CJK and full-width spaces"), 4 * mb,
            [](int chars) {
                return repeatedTo(QStringLiteral("日本語の文章\u3000全角の空白\u3000"), chars);
            } },
        { QStringLiteral("one line, right-to-left"), 4 * mb,
            [](int chars) { return repeatedTo(QStringLiteral("שלום עולם\tمرحبا بالعالم 42 "), chars); } },
        { QStringLiteral("one line, surrogate pairs"), 4 * mb,
            [](int chars) {
                return repeatedTo(QStringLiteral("\U0001F600 \U0002000B\U0001F4A9\t"), chars);
            } },
    };
}

// `--only TEXT` runs only the measures whose "measure | sizes" holds TEXT.
QString onlyFilter;

bool wanted(const QString &measure, const QString &sizes)
{
    return onlyFilter.isEmpty() || (measure + QStringLiteral(" | ") + sizes).contains(onlyFilter);
}

QString charsName(int chars)
{
    return chars % mb == 0 ? QStringLiteral("%1 Mi chars").arg(chars / mb) : sizeName(chars);
}

// Row 0 holds a small entry, row 1 the entry measured.
QStringList historyWith(const QString &entry)
{
    return { makeEntry(0, 100), entry };
}

// Milliseconds from selecting row 1 (row 0 selected and settled before)
// until `shown` has returned; -1 when it failed.
double timeSelect(Popup &popup, const std::function<bool()> &shown)
{
    popup.select(0);
    settle();
    const double start = nowMs();
    popup.select(1);
    return shown() ? nowMs() - start : -1.0;
}

void measureSelect(BenchEnv &env, const BenchOptions &options, const QString &entry, const QString &sizes)
{
    if (!wanted(QStringLiteral("select entry"), sizes))
        return;
    env.resetSettings(historyWith(entry));
    Popup popup;
    auto selectOnce = [&]() {
        return timeSelect(popup, [&popup] {
            popup.paint();
            return true;
        });
    };
    Samples::repeated(options, selectOnce).print(QStringLiteral("select entry"), sizes);
}

// Runs events until the lines in view have their final colours; returns
// false when that takes more than ten seconds.
bool waitViewColoured(TextEdit *preview)
{
    const double start = nowMs();
    while (!preview->isViewColoured()) {
        if (nowMs() - start > 10000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    return true;
}

// From a row change, or from a new find expression with the entry shown, to
// the lines in view coloured and painted.
void measureViewColoured(
    BenchEnv &env, const BenchOptions &options, const QString &entry, const QString &sizes)
{
    if (!wanted(QStringLiteral("lines in view coloured"), sizes))
        return;
    env.resetSettings(historyWith(entry));
    Popup popup;
    auto selectOnce = [&]() {
        return timeSelect(popup, [&popup] {
            if (!waitViewColoured(popup.preview))
                return false;
            popup.preview->viewport()->repaint();
            return true;
        });
    };
    Samples::repeated(options, selectOnce)
        .print(QStringLiteral("select entry, lines in view coloured"), sizes);

    int key = 0;
    auto findOnce = [&]() {
        settle();
        const QString pattern = QString(QLatin1Char(key++ % 2 ? 'e' : 't'));
        const double start = nowMs();
        popup.preview->highlighter->setFindExpression(QRegExp(pattern, Qt::CaseInsensitive));
        if (!waitViewColoured(popup.preview))
            return -1.0;
        popup.preview->viewport()->repaint();
        return nowMs() - start;
    };
    Samples::repeated(options, findOnce)
        .print(QStringLiteral("new find expression, lines in view coloured"), sizes);
}

// Runs the event loop while row 1 is selected, the preview scrolled page by
// page, to the end, back, to the middle and sideways, its wrap mode switched
// twice, and row 0 and row 1 selected again; returns the longest stall.
Stall longestStall(Popup &popup)
{
    popup.select(0);
    settle();
    QEventLoop loop;
    StallMeter meter;
    QScrollBar *bar = popup.preview->verticalScrollBar();
    QScrollBar *sideways = popup.preview->horizontalScrollBar();
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
            sideways->triggerAction(QAbstractSlider::SliderToMaximum);
            break;
        case 12:
            sideways->setValue(sideways->maximum() / 2);
            break;
        case 13:
            sideways->triggerAction(QAbstractSlider::SliderToMinimum);
            break;
        case 14:
            bar->triggerAction(QAbstractSlider::SliderToMinimum);
            break;
        case 15:
        case 16:
            popup.wrap->click();
            break;
        case 17:
            popup.select(0);
            break;
        case 18:
            popup.select(1);
            break;
        default:
            if (step > 70)  // idle a while: slices of deferred work show here
                loop.quit();
            break;
        }
    });
    meter.start();
    scroller.start();
    loop.exec();
    scroller.stop();
    return meter.stop();
}

void measureStall(
    BenchEnv &env, const BenchOptions &options, const QString &entry, const QString &sizes, bool wrap)
{
    const QString measure = wrap ? QStringLiteral("longest stall, selected and scrolled, wrapped")
                                 : QStringLiteral("longest stall, selected and scrolled");
    if (!wanted(measure, sizes))
        return;
    env.resetSettings(historyWith(entry));
    Settings::instance()->linewrap = wrap;
    Popup popup;
    printStalls(options, measure, sizes, [&popup] { return longestStall(popup); });
}
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const BenchOptions options = BenchOptions::parse(argc, argv);
    for (int i = 1; i + 1 < argc; ++i) {
        if (QLatin1String(argv[i]) == QLatin1String("--only"))
            onlyFilter = QString::fromLocal8Bit(argv[i + 1]);
    }
    BenchEnv env;
    if (options.smoke) {
        measureSelect(env, options, makeEntry(1, 100), sizeName(100));
        measureViewColoured(env, options, makeEntry(1, 100), sizeName(100));
        measureStall(env, options, makeEntry(1, 100), sizeName(100), false);
        measureStall(env, options, makeOneLineEntry(1, 64 * kb), QStringLiteral("one line of 64 KB"), true);
        return 0;
    }
    for (int entry : { 100, 10 * kb, mb, 10 * mb })
        measureSelect(env, options, makeEntry(1, entry), sizeName(entry));
    for (int entry : { 4 * mb, 16 * mb })
        measureSelect(
            env, options, makeOneLineEntry(1, entry), QStringLiteral("one line of ") + sizeName(entry));

    measureViewColoured(env, options, makeEntry(1, 10 * kb), QStringLiteral("10 KB, 250 lines"));
    measureViewColoured(env, options, makeOneLineEntry(1, 4 * mb), QStringLiteral("one line of 4 MB"));

    for (bool wrap : { false, true }) {
        for (int entry : { mb, 10 * mb })
            measureStall(env, options, makeEntry(1, entry), sizeName(entry), wrap);
        for (int entry : { 4 * mb, 16 * mb })
            measureStall(env, options, makeOneLineEntry(1, entry),
                QStringLiteral("one line of ") + sizeName(entry), wrap);
        for (const Shape &shape : shapes())
            measureStall(env, options, shape.make(shape.chars),
                shape.name + QStringLiteral(", ") + charsName(shape.chars), wrap);
    }
    return 0;
}
