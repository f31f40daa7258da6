#include <QFontMetrics>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

#include "preview/highlighter.h"
#include "preview/linegroup.h"
#include "preview/linepiece.h"
#include "preview/piececutter.h"
#include "preview/textedit.h"
#include "repeatedtext.h"
#include "settings/appdir.h"
#include "settings/settings.h"

using Mark = TextEdit::Mark;

namespace {
const QString tabMark = QStringLiteral(">");
const QString dashMark = QStringLiteral("-");
const QString spaceMark = QString(QChar(0x25A1));
const QString lineEndMark = QString(QChar(0x2193));
const QString endMark = QString(QChar(0x2190));
const QString pieceMark = QString(QChar(0x21D2));

// The marks as the paint code is described: a cursor stepping one character
// at a time over every block from the first visible one. The line separators
// of a block that groups short lines are line ends.
QVector<Mark> walkedMarks(const TextEdit &edit, const QFont &base)
{
    const Settings *settings = Settings::instance();
    const int vh = edit.viewport()->height();
    const int h = QFontMetrics(settings->textFont).height();
    const int a = h / 5;
    const int b = h / 5 - h / 10;
    QFont f0(base), f2(base), f5(base);
    if (base.pointSize() - 2 > 0)
        f2.setPointSize(base.pointSize() - 2);
    if (base.pointSize() - 5 > 0)
        f5.setPointSize(base.pointSize() - 5);

    QVector<Mark> marks;
    QTextCursor cursor = edit.textCursor();
    cursor.movePosition(QTextCursor::End);
    const int end = cursor.position();
    bool stop = false;
    for (QTextBlock block = edit.topBlock(); !stop && block.isValid(); block = block.next()) {
        const bool grouped = LineGroup::of(block);
        cursor.setPosition(block.position());
        while (!cursor.atBlockEnd()) {
            const QChar c = block.text().at(cursor.positionInBlock());
            if (settings->tabcr && c == QChar(0x0009)) {
                const QRect r = edit.cursorRect(cursor);
                if (r.top() >= vh) {
                    stop = true;
                    break;
                }
                marks.append({ tabMark, f5, QPointF(r.left() + a - 1, r.bottom() - a) });
                marks.append({ dashMark, f2, QPointF(r.left(), r.bottom() - b) });
            } else if (settings->zenspc && c == QChar(0x3000)) {
                const QRect r = edit.cursorRect(cursor);
                if (r.top() >= vh) {
                    stop = true;
                    break;
                }
                marks.append({ spaceMark, f0, QPointF(r.left(), r.bottom() - 2) });
            } else if (grouped && c == QChar(QChar::LineSeparator)) {
                const QRect r = edit.cursorRect(cursor);
                if (r.top() >= vh) {
                    stop = true;
                    break;
                }
                marks.append({ lineEndMark, f2, QPointF(r.left(), r.bottom() - 2) });
            }
            cursor.movePosition(QTextCursor::NextCharacter);
        }
        if (stop || cursor.position() == end)
            break;
        const QRect r = edit.cursorRect(cursor);
        if (r.top() >= vh)
            break;
        // A piece of a longer line ends in a piece break, not a line end.
        const LinePiece *piece = LinePiece::of(block);
        const QString glyph = piece && piece->continued ? pieceMark : lineEndMark;
        marks.append({ glyph, f2, QPointF(r.left(), r.bottom() - 2) });
    }
    cursor.movePosition(QTextCursor::End);
    const QRect r = edit.cursorRect(cursor);
    marks.append({ endMark, f2, QPointF(r.left(), r.bottom() - 2) });
    return marks;
}

QString describe(const QVector<Mark> &marks)
{
    QStringList parts;
    for (const Mark &mark : marks)
        parts << QStringLiteral("%1@%2,%3/%4")
                     .arg(mark.glyph)
                     .arg(mark.origin.x())
                     .arg(mark.origin.y())
                     .arg(mark.font.pointSize());
    return parts.join(QLatin1Char(' '));
}

QTextCursor cursorAt(const TextEdit &edit, int position)
{
    QTextCursor cursor(edit.document());
    cursor.setPosition(position);
    return cursor;
}

// The entry as the document's joined text gives it: each line break a line
// feed.
QString withLineFeeds(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QChar c : { QChar(0x000d), QChar(0x2029), QChar(0xfdd0), QChar(0xfdd1) })
        text.replace(c, QLatin1Char('\n'));
    return text;
}

// One letter per character: the foreground colour that covers it.
QString colourCodes(const QTextBlock &block)
{
    QString codes(block.length() - 1, QLatin1Char('.'));
    for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
        const QChar code = range.format.hasProperty(QTextFormat::ForegroundBrush)
            ? QChar(QLatin1Char(char('a' + range.format.foreground().color().red() % 26)))
            : QChar(QLatin1Char('.'));
        for (int i = range.start; i < range.start + range.length && i < codes.size(); ++i)
            codes[i] = code;
    }
    return codes;
}

// The colours of the document, line by line: pieces joined, groups split.
QStringList lineCodes(const QTextDocument &document)
{
    QStringList lines { QString() };
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString codes = colourCodes(block);
        if (LineGroup::of(block)) {
            const QString text = block.text();
            for (int i = 0; i < text.size(); ++i) {
                if (text.at(i) == QChar(QChar::LineSeparator))
                    lines << QString();
                else
                    lines.last() += codes.at(i);
            }
        } else {
            lines.last() += codes;
        }
        const LinePiece *piece = LinePiece::of(block);
        if (!piece || !piece->continued)
            lines << QString();
    }
    lines.removeLast();
    return lines;
}

// The marks that can be seen: marks above the view or left or right of it
// may be left out.
QVector<Mark> inView(const QVector<Mark> &marks, int width)
{
    QVector<Mark> shown;
    for (const Mark &mark : marks)
        if (mark.origin.x() >= 0 && mark.origin.x() <= width && mark.origin.y() >= 0)
            shown.append(mark);
    return shown;
}

// Exposes what copying and dragging from the preview take.
class CopyingEdit : public TextEdit
{
public:
    using TextEdit::createMimeDataFromSelection;
};
}  // namespace

class TestTextEdit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void construction();
    void emptyDocument();
    void lineEnds_data();
    void lineEnds();
    void tabAndSpaceMarks_data();
    void tabAndSpaceMarks();
    void smallFontsKeepTheirSize_data();
    void smallFontsKeepTheirSize();
    void longTextStopsBelowTheView();
    void sameMarksAsACharacterWalk_data();
    void sameMarksAsACharacterWalk();
    void paintsWithoutTrouble();
    void longTextComesInSlices_data();
    void longTextComesInSlices();
    void newTextStopsTheOldLoad();
    void longLinesInPieces_data();
    void longLinesInPieces();
    void pieceMarksAsInTheWholeLine_data();
    void pieceMarksAsInTheWholeLine();
    void pieceBreakMarkIsDrawn();
    void piecesGetTheColoursOfTheirLine_data();
    void piecesGetTheColoursOfTheirLine();
    void copyJoinsThePieces();
    void sharedBlocksColourEachLine_data();
    void sharedBlocksColourEachLine();
    void linesInViewColouredFirst();
    void closedWhileALineIsSearched();

private:
    TextEdit *makeEdit(const QString &text);
    void writeKeywordList(const QByteArray &content);
    // Colours told apart by colourCodes(): b keywords, c literals, d values,
    // e comments, f the find expression.
    static void useCodedColours();
    // Shows `text` in a new edit with `find` and waits until all of it is in
    // and coloured.
    bool showSettled(const QString &text, const QRegExp &find);
    // The line colours of `text` set at once and coloured in one pass.
    static QStringList wholeCodes(const QString &text, const QRegExp &find);
    QTemporaryDir *dir = nullptr;
    TextEdit *edit = nullptr;
    QFont base;
};

void TestTextEdit::init()
{
    dir = new QTemporaryDir;
    QVERIFY(dir->isValid());
    AppDir::setOverride(dir->path());
    Settings *settings = Settings::instance();
    *settings = Settings();
    settings->tabcr = true;
    settings->zenspc = true;
    settings->ctrlcolor = QColor(0x77, 0x77, 0xbb);
    settings->textFont = QFont(QStringLiteral("IPAGothic"), 14);
    base = QFont(QStringLiteral("IPAGothic"), 14);
}

void TestTextEdit::cleanup()
{
    delete edit;
    edit = nullptr;
    AppDir::setOverride(QString());
    delete dir;
    dir = nullptr;
}

TextEdit *TestTextEdit::makeEdit(const QString &text)
{
    edit = new TextEdit;
    edit->setFont(base);
    edit->resize(300, 200);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setPlainText(text);
    edit->show();
    if (!QTest::qWaitForWindowExposed(edit))
        return nullptr;
    return edit;
}

void TestTextEdit::writeKeywordList(const QByteArray &content)
{
    QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("list")));
    QFile file(dir->path() + QStringLiteral("/list/.lst"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), qint64(content.size()));
}

void TestTextEdit::useCodedColours()
{
    Settings *settings = Settings::instance();
    settings->reservecolor = QColor(1, 0, 0);
    settings->reteralcolor = QColor(2, 0, 0);
    settings->valuecolor = QColor(3, 0, 0);
    settings->commentcolor = QColor(4, 0, 0);
    settings->findcolor = QColor(5, 0, 0);
}

bool TestTextEdit::showSettled(const QString &text, const QRegExp &find)
{
    if (!makeEdit(QString()))
        return false;
    edit->highlighter->setFindExpression(find, false);
    edit->showText(text);
    return QTest::qWaitFor([this] { return !edit->isLoading(); }, 30000)
        && QTest::qWaitFor([this] { return edit->highlighter->pendingLines() == 0; }, 30000);
}

QStringList TestTextEdit::wholeCodes(const QString &text, const QRegExp &find)
{
    TextEdit whole;
    whole.highlighter->setWorkBudget(-1);
    whole.highlighter->setFindExpression(find, false);
    whole.setPlainText(text);
    return lineCodes(*whole.document());
}

void TestTextEdit::construction()
{
    // With a keyword list present the editor colours from the start.
    writeKeywordList("int\n");

    QPointer<TextEdit> made = new TextEdit;
    edit = made;
    QVERIFY(edit->highlighter);
    QCOMPARE(edit->highlighter->document(), edit->document());
    QVERIFY(edit->highlighter->ruleSet().contains(QStringLiteral("KeyWord_0")));
    QCOMPARE(edit->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(edit->viewport()->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(!edit->isReadOnly());

    QPointer<Highlighter> highlighter = edit->highlighter;
    delete edit;
    edit = nullptr;
    QVERIFY(highlighter.isNull());
}

void TestTextEdit::emptyDocument()
{
    QVERIFY(makeEdit(QString()));
    const QVector<Mark> marks = edit->marks(base);
    QCOMPARE(marks.size(), 1);
    const QRect r = edit->cursorRect(cursorAt(*edit, 0));
    QCOMPARE(marks.at(0).glyph, endMark);
    QCOMPARE(marks.at(0).origin, QPointF(r.left(), r.bottom() - 2));
    QCOMPARE(marks.at(0).font.pointSize(), 12);
}

void TestTextEdit::lineEnds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("lineEnds");
    QTest::addColumn<int>("end");

    QTest::newRow("two lines") << QStringLiteral("ab\ncd") << QList<int> { 2 } << 5;
    QTest::newRow("ends with a line break") << QStringLiteral("ab\n") << QList<int> { 2 } << 3;
    QTest::newRow("empty lines") << QStringLiteral("\n\nx") << QList<int> { 0, 1 } << 3;
    QTest::newRow("ordinary spaces get nothing") << QStringLiteral("a b") << QList<int>() << 3;
    QTest::newRow("carriage return breaks the line") << QStringLiteral("a\rb") << QList<int> { 1 } << 3;
}

void TestTextEdit::lineEnds()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, lineEnds);
    QFETCH(int, end);

    QVERIFY(makeEdit(text));
    const QVector<Mark> marks = edit->marks(base);
    QCOMPARE(marks.size(), lineEnds.size() + 1);
    for (int i = 0; i < lineEnds.size(); ++i) {
        const QRect r = edit->cursorRect(cursorAt(*edit, lineEnds.at(i)));
        QCOMPARE(marks.at(i).glyph, lineEndMark);
        QCOMPARE(marks.at(i).origin, QPointF(r.left(), r.bottom() - 2));
        QCOMPARE(marks.at(i).font.pointSize(), 12);
    }
    const QRect r = edit->cursorRect(cursorAt(*edit, end));
    QCOMPARE(marks.last().glyph, endMark);
    QCOMPARE(marks.last().origin, QPointF(r.left(), r.bottom() - 2));
}

void TestTextEdit::tabAndSpaceMarks_data()
{
    QTest::addColumn<bool>("tabcr");
    QTest::addColumn<bool>("zenspc");
    QTest::addColumn<QString>("expected");

    // Positions in "a\tb　c": the tab at 1, the full-width space at 3.
    QTest::newRow("both on") << true << true << "tab1 space3 end";
    QTest::newRow("tabs off") << false << true << "space3 end";
    QTest::newRow("full-width spaces off") << true << false << "tab1 end";
    QTest::newRow("both off") << false << false << "end";
}

void TestTextEdit::tabAndSpaceMarks()
{
    QFETCH(bool, tabcr);
    QFETCH(bool, zenspc);
    QFETCH(QString, expected);
    Settings::instance()->tabcr = tabcr;
    Settings::instance()->zenspc = zenspc;
    QVERIFY(makeEdit(QStringLiteral("a\tb\u3000c")));

    const int h = QFontMetrics(Settings::instance()->textFont).height();
    const int a = h / 5;
    const int b = h / 5 - h / 10;
    QVector<Mark> want;
    for (const QString &item : expected.split(QLatin1Char(' '))) {
        if (item == QLatin1String("tab1")) {
            const QRect r = edit->cursorRect(cursorAt(*edit, 1));
            QFont f5(base), f2(base);
            f5.setPointSize(9);
            f2.setPointSize(12);
            want.append({ tabMark, f5, QPointF(r.left() + a - 1, r.bottom() - a) });
            want.append({ dashMark, f2, QPointF(r.left(), r.bottom() - b) });
        } else if (item == QLatin1String("space3")) {
            const QRect r = edit->cursorRect(cursorAt(*edit, 3));
            want.append({ spaceMark, base, QPointF(r.left(), r.bottom() - 2) });
        } else {
            const QRect r = edit->cursorRect(cursorAt(*edit, 5));
            QFont f2(base);
            f2.setPointSize(12);
            want.append({ endMark, f2, QPointF(r.left(), r.bottom() - 2) });
        }
    }
    QCOMPARE(describe(edit->marks(base)), describe(want));
    // The offsets come from the configured text font, not the editor's.
    QVERIFY(a > 0);
}

void TestTextEdit::smallFontsKeepTheirSize_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("size2");
    QTest::addColumn<int>("size5");
    QTest::newRow("14") << 14 << 12 << 9;
    QTest::newRow("6") << 6 << 4 << 1;
    QTest::newRow("5") << 5 << 3 << 5;
    QTest::newRow("2") << 2 << 2 << 2;
}

void TestTextEdit::smallFontsKeepTheirSize()
{
    QFETCH(int, size);
    QFETCH(int, size2);
    QFETCH(int, size5);
    QVERIFY(makeEdit(QStringLiteral("\t")));
    QFont font(base);
    font.setPointSize(size);
    const QVector<Mark> marks = edit->marks(font);
    QCOMPARE(marks.size(), 3);
    QCOMPARE(marks.at(0).font.pointSize(), size5);
    QCOMPARE(marks.at(1).font.pointSize(), size2);
    QCOMPARE(marks.at(2).font.pointSize(), size2);
}

void TestTextEdit::longTextStopsBelowTheView()
{
    QStringList lines;
    for (int i = 0; i < 400; ++i)
        lines << QStringLiteral("x\ty\u3000%1").arg(i);
    QVERIFY(makeEdit(lines.join(QLatin1Char('\n'))));
    const int vh = edit->viewport()->height();

    const QVector<Mark> marks = edit->marks(base);
    QVERIFY(marks.size() > 4);
    QVERIFY(marks.size() < 4 * 20);
    for (int i = 0; i + 1 < marks.size(); ++i)
        QVERIFY2(marks.at(i).origin.y() < vh + QFontMetrics(base).height(), qPrintable(describe(marks)));
    // Every line whose marks start inside the view has all of them; the
    // first line below the view has none.
    int lineEnds = 0;
    for (const Mark &mark : marks)
        lineEnds += mark.glyph == lineEndMark;
    const QTextBlock firstBelow = edit->document()->findBlockByNumber(lineEnds + 1);
    QVERIFY(edit->cursorRect(cursorAt(*edit, firstBelow.position() + 1)).top() >= vh
        || edit->cursorRect(cursorAt(*edit, firstBelow.position() - 1)).top() >= vh);
    // The end mark is still there, below the view.
    const QRect r = edit->cursorRect(cursorAt(*edit, edit->document()->characterCount() - 1));
    QCOMPARE(marks.last().glyph, endMark);
    QCOMPARE(marks.last().origin, QPointF(r.left(), r.bottom() - 2));
    QVERIFY(r.top() >= vh);

    // Scrolled to the middle the scan starts at the first visible line.
    edit->verticalScrollBar()->setValue(200);
    QCOMPARE(edit->topBlock().blockNumber(), 200);
    const QVector<Mark> scrolled = edit->marks(base);
    QCOMPARE(describe(scrolled), describe(walkedMarks(*edit, base)));
    QVERIFY(scrolled.size() > 4);
}

void TestTextEdit::sameMarksAsACharacterWalk_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<int>("scroll");
    QTest::addColumn<int>("sideways");

    QTest::newRow("plain") << QStringLiteral("a\tb\u3000c\n\td\n\u3000") << false << 0 << 0;
    QTest::newRow("surrogate pairs") << QStringLiteral("\U0001F600\t\U0001F600\u3000\n\U0001F600") << false
                                     << 0 << 0;
    QTest::newRow("combining marks") << QStringLiteral("e\u0301\te\u0301\u3000\u0301\n") << false << 0 << 0;
    QTest::newRow("prepended sign") << QStringLiteral("\u0600\u3000x\t\u0600\tz") << false << 0 << 0;
    QTest::newRow("CR and others") << QStringLiteral("a\r\tb\u00a0\u2003c\n") << false << 0 << 0;
    QString longLine;
    for (int i = 0; i < 300; ++i)
        longLine += QStringLiteral("word\t\u3000");
    QTest::newRow("wrapped long line") << longLine << true << 0 << 0;
    QTest::newRow("long line unwrapped") << longLine << false << 0 << 0;
    QTest::newRow("long line scrolled sideways") << longLine << false << 0 << 3000;
    QTest::newRow("long lines scrolled both ways")
        << QString(longLine + QLatin1Char('\n')).repeated(40) << false << 12 << 5000;
    // A line separator breaks the line inside a block, wrapped or not.
    const QString separated = longLine + QChar(QChar::LineSeparator) + QStringLiteral("\tnext\u3000")
        + QChar(QChar::LineSeparator) + longLine + QStringLiteral("\n\tafter\u3000");
    QTest::newRow("line separators, long lines") << separated << false << 0 << 0;
    QTest::newRow("line separators, scrolled sideways") << separated << false << 0 << 3000;
    QTest::newRow("line separators, wrapped") << separated << true << 0 << 0;
    const QString shortFirst = QStringLiteral("\tshort\u3000") + QChar(QChar::LineSeparator) + longLine
        + QChar(QChar::LineSeparator) + QStringLiteral("\u3000tail\t\n\tafter");
    QTest::newRow("line separators, short line first") << shortFirst << false << 0 << 0;
    QTest::newRow("line separators, short line first, sideways") << shortFirst << false << 0 << 200;
    QString many;
    for (int i = 0; i < 200; ++i)
        many += QStringLiteral("\t%1\u3000\n").arg(i);
    QTest::newRow("many lines") << many << false << 0 << 0;
    QTest::newRow("many lines scrolled") << many << false << 120 << 0;
    QTest::newRow("scrolled to the end") << many << false << 100000 << 0;
}

void TestTextEdit::sameMarksAsACharacterWalk()
{
    QFETCH(QString, text);
    QFETCH(bool, wrap);
    QFETCH(int, scroll);
    QFETCH(int, sideways);
    QVERIFY(makeEdit(text));
    edit->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    edit->verticalScrollBar()->setValue(scroll);
    edit->horizontalScrollBar()->setValue(sideways);
    QCOMPARE(edit->horizontalScrollBar()->value(), sideways);
    // Marks outside the view may be left out; all that can be seen are there.
    const int width = edit->viewport()->width();
    const auto visible = [width](const QVector<Mark> &marks) { return inView(marks, width); };
    const QVector<Mark> marks = edit->marks(base);
    QCOMPARE(describe(visible(marks)), describe(visible(walkedMarks(*edit, base))));
    QVERIFY(!visible(marks).isEmpty());
    QCOMPARE(marks.last().glyph, endMark);
}

void TestTextEdit::paintsWithoutTrouble()
{
    QVERIFY(makeEdit(QStringLiteral("int\tx =\u30001;\n")));
    const QImage image = edit->grab().toImage();
    QVERIFY(!image.isNull());
    // The marks are drawn in the mark colour.
    bool markColourSeen = false;
    const QColor markColour = Settings::instance()->ctrlcolor;
    for (int y = 0; y < image.height() && !markColourSeen; ++y)
        for (int x = 0; x < image.width() && !markColourSeen; ++x)
            markColourSeen = QColor(image.pixel(x, y)) == markColour;
    QVERIFY(markColourSeen);
}

void TestTextEdit::longTextComesInSlices_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sliced");
    QString lines;
    for (int i = 0; lines.size() < 12 * TextEdit::firstPartLength; ++i)
        lines += QStringLiteral("\tline %1\u3000int x;\r\n").arg(i);
    QTest::newRow("short") << QStringLiteral("a\tb\n\u3000c") << false;
    QTest::newRow("many CR LF lines") << lines << true;
    QTest::newRow("no final line end") << lines + QStringLiteral("last") << true;
    QTest::newRow("only line ends") << QString(3 * TextEdit::firstPartLength, QLatin1Char('\n')) << true;
}

// A long text ends up exactly as if it had been set at once: same text,
// same lines, same marks, same colours; the end mark waits for the end.
void TestTextEdit::longTextComesInSlices()
{
    QFETCH(QString, text);
    QFETCH(bool, sliced);
    // Keywords and a find rule, so that there are colours to compare.
    writeKeywordList("SingleLineComment=//.*$\nint\n");
    useCodedColours();
    const QRegExp find(QStringLiteral("line 1[0-9]*"));
    QVERIFY(makeEdit(QString()));
    edit->highlighter->setFindExpression(find, false);
    edit->showText(text);
    QCOMPARE(edit->isLoading(), sliced);
    if (sliced) {
        QVERIFY(edit->document()->characterCount() < text.size());
        QVERIFY(edit->document()->characterCount() > TextEdit::firstPartLength / 2);
        const QVector<Mark> early = edit->marks(base);
        QVERIFY(early.isEmpty() || early.last().glyph != endMark);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!edit->isLoading(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(edit->highlighter->pendingLines(), 0, 30000);
    QCOMPARE(edit->toPlainText(), QTextDocument(text).toPlainText());

    QCOMPARE(edit->joinedText(), withLineFeeds(text));

    TextEdit whole;
    whole.setFont(base);
    whole.resize(edit->size());
    whole.setLineWrapMode(QPlainTextEdit::NoWrap);
    whole.highlighter->setWorkBudget(-1);
    whole.highlighter->setFindExpression(find, false);
    whole.setPlainText(text);
    const QString wholeColours = lineCodes(*whole.document()).join(QString());
    QCOMPARE(wholeColours.contains(QLatin1Char('b')), text.contains(QStringLiteral("int")));  // keyword
    QCOMPARE(wholeColours.contains(QLatin1Char('f')), text.contains(QStringLiteral("line 1")));  // found
    // The first lines have a block each, as in the whole text; past them
    // short lines share blocks.
    const int lines = whole.document()->blockCount();
    for (int n = 0; n < qMin(lines, TextEdit::singleLines); n += 97)
        QCOMPARE(
            edit->document()->findBlockByNumber(n).text(), whole.document()->findBlockByNumber(n).text());
    if (lines > 2 * TextEdit::singleLines)
        QVERIFY(edit->document()->blockCount() < TextEdit::singleLines + lines / 8);
    else
        QCOMPARE(edit->document()->blockCount(), lines);
    QCOMPARE(lineCodes(*edit->document()), lineCodes(*whole.document()));
    QCOMPARE(describe(edit->marks(base)), describe(walkedMarks(*edit, base)));
    QCOMPARE(edit->marks(base).last().glyph, endMark);
    // Marks in the shared blocks too.
    edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum() - 3);
    const QVector<Mark> last = inView(edit->marks(base), edit->viewport()->width());
    QVERIFY(last.size() > 2);
    QCOMPARE(describe(last), describe(inView(walkedMarks(*edit, base), edit->viewport()->width())));
}

void TestTextEdit::newTextStopsTheOldLoad()
{
    QString lines;
    for (int i = 0; lines.size() < 4 * TextEdit::firstPartLength; ++i)
        lines += QStringLiteral("old %1\n").arg(i);
    QVERIFY(makeEdit(QString()));
    edit->showText(lines);
    QVERIFY(edit->isLoading());
    edit->showText(QStringLiteral("new"));
    QVERIFY(!edit->isLoading());
    QTest::qWait(50);
    QCOMPARE(edit->toPlainText(), QStringLiteral("new"));
    // A text set by other means is not appended to either.
    edit->showText(lines);
    edit->setPlainText(QStringLiteral("other"));
    QTest::qWait(50);
    QCOMPARE(edit->toPlainText(), QStringLiteral("other"));
}

void TestTextEdit::longLinesInPieces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wrap");

    const int length = 12 * PieceCutter::maxPieceCost;
    const QVector<QPair<const char *, QString>> shapes {
        { "one line",
            repeated(QStringLiteral("{\"name\":\"alpha\",\"count\":12,\"ok\":true},"), 50 * length) },
        { "CJK and full-width spaces",
            repeated(QStringLiteral("日本語の文章\u3000全角の空白\u3000"), length) },
        { "tabs", repeated(QStringLiteral("key\tvalue\t\t"), length) },
        { "right-to-left", repeated(QStringLiteral("שלום עולם\tمرحبا بالعالم 42 "), length) },
        { "surrogate pairs", repeated(QStringLiteral("\U0001F600 \U0002000B\U0001F4A9\t"), length) },
        { "long lines between short ones",
            QStringLiteral("short\r\n") + repeated(QStringLiteral("word\u3000"), length)
                + QStringLiteral("\rmid\n") + repeated(QStringLiteral("x\ty "), length)
                + QStringLiteral("\u2029end\n") },
    };
    for (const auto &shape : shapes) {
        QTest::addRow("%s, unwrapped", shape.first) << shape.second << false;
        QTest::addRow("%s, wrapped", shape.first) << shape.second << true;
    }
}

// A line too long to lay out in time is shown in pieces, one per block:
// joined they give the entry back, and each piece break has a mark of its
// own where the piece ends.
void TestTextEdit::longLinesInPieces()
{
    QFETCH(QString, text);
    QFETCH(bool, wrap);
    QVERIFY(makeEdit(QString()));
    edit->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    edit->showText(text);
    QTRY_VERIFY_WITH_TIMEOUT(!edit->isLoading(), 60000);
    QCOMPARE(edit->joinedText(), withLineFeeds(text));

    int pieces = 0;
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
        int cost = 0;
        for (const QChar c : block.text())
            cost += PieceCutter::cost(c);
        QVERIFY(cost <= PieceCutter::maxPieceCost);
        if (const LinePiece *piece = LinePiece::of(block)) {
            QCOMPARE(block.text(), text.mid(piece->lineStart + piece->offset, piece->length));
            pieces += piece->continued;
        }
    }
    QVERIFY(pieces >= 10);

    const int width = edit->viewport()->width();
    const auto visible = [width](const QVector<Mark> &marks) { return inView(marks, width); };
    const auto pieceMarks = [](const QVector<Mark> &marks) {
        return std::count_if(
            marks.begin(), marks.end(), [](const Mark &mark) { return mark.glyph == pieceMark; });
    };
    // In view at the top, at the end of the first block, in the middle and,
    // unwrapped, at the right end of the first pieces.
    QScrollBar *down = edit->verticalScrollBar();
    QScrollBar *across = edit->horizontalScrollBar();
    const int firstBlockEnd = qMax(0, edit->document()->firstBlock().layout()->lineCount() - 1);
    // And at the last line of the first piece that goes on, whatever the
    // font makes of the lines above it.
    int firstBreak = 0;
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
        const LinePiece *piece = LinePiece::of(block);
        if (piece && piece->continued) {
            firstBreak = block.firstLineNumber() + qMax(0, block.lineCount() - 1);
            break;
        }
    }
    bool seenPieceMark = false;
    for (const int vertical : { 0, firstBlockEnd, firstBreak, down->maximum() / 2 }) {
        for (const int sideways : { 0, across->maximum() }) {
            down->setValue(vertical);
            across->setValue(sideways);
            const QVector<Mark> marks = edit->marks(base);
            QCOMPARE(describe(visible(marks)), describe(visible(walkedMarks(*edit, base))));
            seenPieceMark = seenPieceMark || pieceMarks(visible(marks)) > 0;
        }
    }
    QVERIFY(seenPieceMark);
}

void TestTextEdit::pieceMarksAsInTheWholeLine_data()
{
    QTest::addColumn<QString>("line");
    const int length = 6 * PieceCutter::maxPieceCost;
    QTest::newRow("tabs and full-width spaces") << repeated(QStringLiteral("a\t\u3000b"), length);
    QTest::newRow("prepended signs") << repeated(QStringLiteral("\u0600\u3000x\t\u0600\t"), length);
    QTest::newRow("combining marks") << repeated(QStringLiteral("e\u0301\t\u3000\u0301\u0302"), length);
    QTest::newRow("surrogate pairs") << repeated(QStringLiteral("\U0001F600\t\U0002000B\u3000"), length);
    QTest::newRow("right-to-left") << repeated(QStringLiteral("\u05e9\u05dc\t\u0645\u3000"), length);
}

// Whether a tab or full-width space gets a mark depends on where the
// characters around it start: in a piece it is as in the whole line.
void TestTextEdit::pieceMarksAsInTheWholeLine()
{
    QFETCH(QString, line);
    QVERIFY(makeEdit(QString()));
    edit->showText(line);
    QTRY_VERIFY_WITH_TIMEOUT(!edit->isLoading(), 30000);
    QTextLayout whole(line, base);
    int checked = 0;
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
        const LinePiece *piece = LinePiece::of(block);
        QVERIFY(piece);
        const QString text = block.text();
        for (int i = 0; i < text.size(); ++i) {
            if (text.at(i) != QChar(0x0009) && text.at(i) != QChar(0x3000))
                continue;
            const bool inPiece = i == 0 || block.layout()->isValidCursorPosition(i);
            const int at = piece->offset + i;
            const bool inLine = at == 0 || whole.isValidCursorPosition(at);
            QVERIFY2(
                inPiece == inLine, qPrintable(QStringLiteral("%1 at %2").arg(block.blockNumber()).arg(i)));
            ++checked;
        }
    }
    QVERIFY(checked > 100);
    QVERIFY(edit->document()->blockCount() > 3);
}

void TestTextEdit::pieceBreakMarkIsDrawn()
{
    Settings::instance()->tabcr = false;
    Settings::instance()->zenspc = false;
    QVERIFY(makeEdit(QString()));
    edit->showText(QString(3 * PieceCutter::maxPieceCost, QLatin1Char('x')));
    QTRY_VERIFY(!edit->isLoading());
    QCOMPARE(edit->document()->blockCount(), 3);
    // Scrolled so that the end of the first piece is in view.
    const QRect end = edit->cursorRect(cursorAt(*edit, PieceCutter::maxPieceCost));
    edit->horizontalScrollBar()->setValue(end.left() - 100);
    const QVector<Mark> marks = edit->marks(base);
    QCOMPARE(marks.size(), 3);
    const Mark mark = marks.first();
    QCOMPARE(mark.glyph, pieceMark);
    QVERIFY(mark.glyph != lineEndMark);
    const QRect r = edit->cursorRect(cursorAt(*edit, PieceCutter::maxPieceCost));
    QCOMPARE(mark.origin, QPointF(r.left(), r.bottom() - 2));

    // Drawn in the mark colour, and nowhere else on that row.
    const QImage image = edit->viewport()->grab().toImage();
    const QColor markColour = Settings::instance()->ctrlcolor;
    const int width = QFontMetrics(mark.font).horizontalAdvance(mark.glyph);
    int atMark = 0;
    int elsewhere = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (QColor(image.pixel(x, y)) != markColour)
                continue;
            if (x >= r.left() - 1 && x <= r.left() + width + 1)
                ++atMark;
            else
                ++elsewhere;
        }
    }
    QVERIFY(atMark > 0);
    QCOMPARE(elsewhere, 0);
}

void TestTextEdit::piecesGetTheColoursOfTheirLine_data()
{
    QTest::addColumn<QString>("find");
    QTest::newRow("keywords and literals") << QString();
    QTest::newRow("find rule") << QStringLiteral("v1[0-9]*|\"[^\"]*7\"");
    QTest::newRow("find rule with an end and a lookahead") << QStringLiteral("0x(?=1)|;$");
}

// Pieces have the colours of their whole line: that of a line searched on
// the GUI thread and that of a line searched by the worker.
void TestTextEdit::piecesGetTheColoursOfTheirLine()
{
    QFETCH(QString, find);
    writeKeywordList("SingleLineComment=//.*$\nint\nreturn\n");
    useCodedColours();

    QString code;
    for (int i = 0; code.size() < 3 * Highlighter::maxLocalLineLength; ++i)
        code += QStringLiteral("int v%1 = \"a %1 b\"; return 0x%2; // c'%1' ").arg(i).arg(i, 0, 16);
    const QString text = QStringLiteral("int a = 1;\n") + code.left(Highlighter::maxLocalLineLength / 2)
        + QStringLiteral("\nreturn \"x\";\n") + code + QStringLiteral("\n// end;");
    const QRegExp expression(find, Qt::CaseSensitive, QRegExp::RegExp);

    QVERIFY(showSettled(text, expression));
    QVERIFY(edit->document()->blockCount() > 10);
    const QStringList expected = wholeCodes(text, expression);
    QCOMPARE(expected.size(), 5);
    for (const QChar code : QStringLiteral("bcde"))
        QVERIFY(expected.at(3).contains(code));
    QCOMPARE(expected.at(3).contains(QLatin1Char('f')), !find.isEmpty());
    QCOMPARE(lineCodes(*edit->document()), expected);
}

void TestTextEdit::copyJoinsThePieces()
{
    const QString first = repeated(QStringLiteral("alpha beta "), 5 * PieceCutter::maxPieceCost);
    const QString second = repeated(QStringLiteral("日本語\u3000"), 5 * PieceCutter::maxPieceCost);
    const QString text
        = QStringLiteral("head\n") + first + QStringLiteral("\nmid\n") + second + QStringLiteral("\ntail");
    auto *copying = new CopyingEdit;
    edit = copying;
    edit->resize(300, 200);
    edit->show();
    edit->showText(text);
    QTRY_VERIFY(!edit->isLoading());

    // Document positions of entry positions: a piece break takes a position
    // in the document and none in the entry.
    const auto documentPosition = [this](int entryPosition) {
        int entryAt = 0;
        for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
            const int length = block.length() - 1;
            if (entryPosition <= entryAt + length)
                return block.position() + entryPosition - entryAt;
            const LinePiece *piece = LinePiece::of(block);
            entryAt += length + (piece && piece->continued ? 0 : 1);
        }
        return -1;
    };
    const QVector<QPair<int, int>> ranges { { 0, text.size() }, { 2, 4000 }, { 100, text.size() - 3 },
        { 5 + first.size() - 10, 5 + first.size() + 10 }, { 5, 5 + first.size() } };
    for (const auto &range : ranges) {
        QTextCursor cursor(edit->document());
        cursor.setPosition(documentPosition(range.first));
        cursor.setPosition(documentPosition(range.second), QTextCursor::KeepAnchor);
        edit->setTextCursor(cursor);
        QScopedPointer<QMimeData> data(copying->createMimeDataFromSelection());
        QCOMPARE(data->text(), text.mid(range.first, range.second - range.first));
    }
    QVERIFY(edit->document()->blockCount() > 10);
}

void TestTextEdit::sharedBlocksColourEachLine_data()
{
    QTest::addColumn<QString>("find");
    QTest::newRow("keywords and literals") << QString();
    QTest::newRow("ends and starts of lines") << QStringLiteral("a$|^b|\\d$");
    QTest::newRow("empty matches") << QStringLiteral("x*");
}

// Past the first lines, short lines share blocks; each is still coloured on
// its own: a literal, `$` or `^` never reaches into the next line.
void TestTextEdit::sharedBlocksColourEachLine()
{
    QFETCH(QString, find);
    writeKeywordList("SingleLineComment=//.*$\nint\n");
    useCodedColours();

    QString text;
    for (int i = 0; i < 3 * TextEdit::singleLines; ++i)
        text += QStringLiteral("int say \"a\nb\" %1 // c\r\n").arg(i % 10);
    const QRegExp expression(find, Qt::CaseSensitive, QRegExp::RegExp);
    QVERIFY(showSettled(text, expression));
    int shared = 0;
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next())
        shared += LineGroup::of(block) != nullptr;
    QVERIFY(shared > 5);

    const QStringList expected = wholeCodes(text, expression);
    QCOMPARE(expected.size(), 6 * TextEdit::singleLines + 1);
    // A keyword, a value and a comment, and no literal: each quote stands
    // alone on its line.
    QVERIFY(expected.at(0).contains(QLatin1Char('b')));
    QVERIFY(expected.at(1).contains(QLatin1Char('d')) && expected.at(1).contains(QLatin1Char('e')));
    QVERIFY(!expected.join(QString()).contains(QLatin1Char('c')));
    QCOMPARE(lineCodes(*edit->document()), expected);
}

// A new text, and a new find expression, colour the lines in view before
// the others: what the user sees settles at once.
void TestTextEdit::linesInViewColouredFirst()
{
    QStringList lines;
    for (int i = 0; i < 250; ++i)
        lines << QStringLiteral("\tif (x == \"%1\") return %1;").arg(i);
    Settings::instance()->findcolor = QColor(5, 0, 0);
    QVERIFY(makeEdit(QString()));
    // Time enough for the view even in a slow build on a busy machine.
    edit->highlighter->setWorkBudget(1000);
    edit->showText(lines.join(QLatin1Char('\n')));
    QVERIFY(edit->isViewColoured());
    QVERIFY(edit->highlighter->pendingLines() > 200);
    QTRY_COMPARE(edit->highlighter->pendingLines(), 0);

    edit->highlighter->setFindExpression(QRegExp(QStringLiteral("if")));
    QVERIFY(edit->isViewColoured());
    QVERIFY(edit->highlighter->pendingLines() > 200);
    QVERIFY(colourCodes(edit->topBlock())
                .contains(QLatin1Char('a' + Settings::instance()->findcolor.red() % 26)));
    QTRY_COMPARE(edit->highlighter->pendingLines(), 0);
}

// Closing the preview while the line matcher still searches a long line
// neither waits for the search nor lets its late answer reach anything.
void TestTextEdit::closedWhileALineIsSearched()
{
    writeKeywordList("SingleLineComment=//.*$\nint\nreturn\n");
    QString line;
    while (line.size() < 2 * 1024 * 1024)
        line += QStringLiteral("int v = 1; return 0x1f; ");
    for (int round = 0; round < 3; ++round) {
        QVERIFY(makeEdit(QString()));
        // Never matches: the search goes through the whole line.
        edit->highlighter->setFindExpression(QRegExp(QStringLiteral("v[0-9]+x")), false);
        edit->showText(line);
        // The lines in view ask the matcher at once; its search of the whole
        // line takes longer than this.
        QTest::qWait(30);
        QVERIFY(edit->highlighter->pendingLines() > 0);
        QElapsedTimer closing;
        closing.start();
        delete edit;
        edit = nullptr;
        QVERIFY2(closing.elapsed() < 2000, qPrintable(QString::number(closing.elapsed())));
        QTest::qWait(100);
    }
    // For comparison: left alone, the same search ends with every line coloured.
    QVERIFY(showSettled(line, QRegExp(QStringLiteral("v[0-9]+x"))));
}

QTEST_MAIN(TestTextEdit)
#include "tst_textedit.moc"
