#include "textedit.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include "highlighter.h"
#include "linegroup.h"
#include "linepiece.h"
#include "settings/settings.h"

const QChar TextEdit::pieceBreakMark(0x21D2);
const QChar TextEdit::lineEndMark(0x2193);
const QChar TextEdit::endMark(0x2190);

namespace {
const QChar tabChar(0x0009);
const QChar fullWidthSpace(0x3000);
const QChar lineSeparator(QChar::LineSeparator);

// `base` made `smaller` points smaller; a size Qt would refuse keeps the
// base size.
QFont smallerFont(const QFont &base, int smaller)
{
    QFont font(base);
    const int size = base.pointSize() - smaller;
    if (size > 0)
        font.setPointSize(size);
    return font;
}
}  // namespace

TextEdit::TextEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setCursor(Qt::ArrowCursor);
    // The text area is the viewport, which the base class gives an I-beam.
    viewport()->setCursor(Qt::ArrowCursor);
    highlighter = new Highlighter(document());
    highlighter->setViewColourer([this]() { colourView(); });
    highlighter->loadKeywordList(QString());
    nextSlice.setSingleShot(true);
    nextSlice.setInterval(0);
    connect(&nextSlice, &QTimer::timeout, this, &TextEdit::appendSlices);
}

void TextEdit::showText(const QString &text)
{
    nextSlice.stop();
    int shown = qMin(text.size(), maxShownLength);
    if (shown < text.size() && text.at(shown - 1).isHighSurrogate())
        --shown;
    cutShort = shown < text.size();
    entry = cutShort ? text.left(shown) : text;
    ++entrySerial;
    cutter = PieceCutter(entry);

    QVector<QPair<int, PieceCutter::Unit>> marked;
    const QString part = takeUnits(firstPartLength, 0, marked);
    // While the text comes in, the scroll range need not end exactly at its
    // last page: working that out lays out the last page after each part.
    if (isLoading())
        setCenterOnScroll(true);
    // The lines wait for their colours until the pieces are known; those in
    // view get them first.
    highlighter->setHeld(true);
    setPlainText(part);
    highlighter->setHeld(false);
    markBlocks(0, marked);
    loadedCharacters = document()->characterCount();
    if (isLoading())
        nextSlice.start();
    else
        stopLoading();
    colourView();
}

// The text of the units that come next, about `length` characters of the
// entry (at least one unit), for the document, which holds `blocks` blocks
// before them: a piece of a line is followed by a paragraph separator, which
// breaks the block, a group's lines are joined by line separators, and
// `marked` gets each piece and group with its index among the units taken.
QString TextEdit::takeUnits(int length, int blocks, QVector<QPair<int, PieceCutter::Unit>> &marked)
{
    QString part;
    const int from = cutter.at();
    // Lines go in as they are, in runs; only pieces and groups differ.
    int runStart = from;
    for (int index = 0; !cutter.atEnd() && (index == 0 || cutter.at() - from < length); ++index) {
        const PieceCutter::Unit unit = cutter.next(blocks + index >= singleLines);
        if (!unit.isPiece() && !unit.isGroup())
            continue;
        marked.append(qMakePair(index, unit));
        if (unit.continued) {
            part += entry.midRef(runStart, unit.end - runStart);
            part += QChar(QChar::ParagraphSeparator);
            runStart = unit.next;
        } else if (unit.isGroup()) {
            part += entry.midRef(runStart, unit.start - runStart);
            part += PieceCutter::groupText(entry, unit.start, unit.end);
            runStart = unit.end;
        }
    }
    if (runStart == 0 && cutter.at() == entry.size())
        return entry;
    part += entry.midRef(runStart, cutter.at() - runStart);
    return part;
}

// Tells the highlighter, the marks and copying which of the blocks from
// `firstBlock` on show pieces of longer lines or groups of short ones.
void TextEdit::markBlocks(int firstBlock, const QVector<QPair<int, PieceCutter::Unit>> &marked)
{
    for (const auto &item : marked) {
        QTextBlock block = document()->findBlockByNumber(firstBlock + item.first);
        const PieceCutter::Unit &unit = item.second;
        if (unit.isGroup()) {
            block.setUserData(new LineGroup(entry, unit.start, unit.end, block.length() - 1));
        } else {
            block.setUserData(new LinePiece(entry, entrySerial, unit.lineStart, unit.start - unit.lineStart,
                unit.end - unit.start, unit.continued));
        }
    }
}

void TextEdit::stopLoading()
{
    nextSlice.stop();
    cutter = PieceCutter();
    setCenterOnScroll(false);
}

void TextEdit::appendSlices()
{
    // Something else replaced the text meanwhile: the rest is not ours to add.
    if (document()->characterCount() != loadedCharacters) {
        stopLoading();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const bool undo = document()->isUndoRedoEnabled();
    document()->setUndoRedoEnabled(false);
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    // A few parts per turn of the event loop, as many as fit in 8 ms (the
    // highlighter's slice and a paint may follow in the same turn). Each
    // part goes into the empty block after the last line break.
    do {
        const int firstBlock = document()->blockCount() - 1;
        QVector<QPair<int, PieceCutter::Unit>> marked;
        const QString part = takeUnits(sliceLength, firstBlock, marked);
        highlighter->setHeld(true);
        end.insertText(part);
        highlighter->setHeld(false);
        markBlocks(firstBlock, marked);
    } while (isLoading() && clock.elapsed() < 8);
    document()->setUndoRedoEnabled(undo);
    loadedCharacters = document()->characterCount();
    if (isLoading()) {
        nextSlice.start();
    } else {
        stopLoading();
        viewport()->update();
    }
    colourView();
}

// Colours the lines in view that wait for their colours, top down, as far as
// this turn's work budget allows (the highlighter's next slice goes on).
// Each is coloured before it is laid out, so that it is laid out once.
//
// The lines in view also keep their shaped glyphs while they are in view:
// Qt throws them away after each layout and each paint, and shaping a line
// again for the paint and again for its marks costs more than the paint.
void TextEdit::colourView()
{
    const int viewHeight = viewport()->height();
    const QPointF offset = contentOffset();
    QVector<int> inView;
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        block.layout()->setCacheEnabled(true);
        inView.append(block.blockNumber());
        if (!highlighter->colourBlock(block))
            break;
        if (blockBoundingGeometry(block).translated(offset).top() >= viewHeight)
            break;
    }
    // Blocks are numbered afresh after edits: dropping the glyphs of some
    // other block than the one that kept them does no harm.
    for (const int number : qAsConst(shapedBlocks)) {
        const QTextBlock block = document()->findBlockByNumber(number);
        if (block.isValid() && !inView.contains(number))
            dropShapes(block.layout());
    }
    shapedBlocks = inView;
}

// Lets `layout` throw its shaped glyphs away now: a paint outside all of its
// lines is the one way Qt offers to do so at once.
void TextEdit::dropShapes(QTextLayout *layout)
{
    layout->setCacheEnabled(false);
    static QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    layout->draw(&painter, QPointF(), {}, QRectF(0, -1e6, 1, 1));
}

bool TextEdit::isViewColoured() const
{
    const int viewHeight = viewport()->height();
    const QPointF offset = contentOffset();
    QTextBlock block = firstVisibleBlock();
    for (; block.isValid(); block = block.next()) {
        if (blockBoundingGeometry(block).translated(offset).top() >= viewHeight)
            return true;
        if (highlighter->isPending(block))
            return false;
    }
    // The text ends within the view: the rest of it has yet to come in.
    return !isLoading();
}

QString TextEdit::joinedText() const
{
    return joined(0, document()->characterCount() - 1);
}

QMimeData *TextEdit::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    auto *data = new QMimeData;
    data->setText(joined(cursor.selectionStart(), cursor.selectionEnd()));
    return data;
}

// The document's text from position `from` to `to`, with a line feed for
// each line end (a group's line separators included) and nothing for a
// piece break.
QString TextEdit::joined(int from, int to) const
{
    QString text;
    for (QTextBlock block = document()->findBlock(from); block.isValid(); block = block.next()) {
        const int blockEnd = block.position() + block.length() - 1;
        const int start = qMax(from, block.position()) - block.position();
        const int end = qMin(to, blockEnd) - block.position();
        if (end > start) {
            QString part = block.text().mid(start, end - start);
            if (LineGroup::of(block))
                part.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
            text += part;
        }
        if (to <= blockEnd)
            break;
        const LinePiece *piece = LinePiece::of(block);
        if (!piece || !piece->continued)
            text += QLatin1Char('\n');
    }
    return text;
}

TextEdit::~TextEdit()
{
    delete highlighter;
    highlighter = nullptr;
}

QVector<TextEdit::Mark> TextEdit::marks(const QFont &baseFont) const
{
    const Settings *settings = Settings::instance();
    const bool tabMarks = settings->tabcr;
    const bool spaceMarks = settings->zenspc;
    const int viewHeight = viewport()->height();
    const int viewWidth = viewport()->width();
    const int h = QFontMetrics(settings->textFont).height();
    const int a = h / 5;
    const int b = h / 5 - h / 10;
    const QFont f0(baseFont);
    const QFont f2 = smallerFont(baseFont, 2);
    const QFont f5 = smallerFont(baseFont, 5);

    QVector<Mark> result;
    // Only tabs, full-width spaces and line ends get marks, so each block's
    // text is searched for those characters instead of stepping a cursor
    // over every character. A character counts only where a cursor stepping
    // one character at a time would stop (a grapheme boundary). The scan
    // goes line by line through a block (a wrapped one, or a group of short
    // lines), skipping the lines above the view.
    bool scanning = true;
    for (QTextBlock block = firstVisibleBlock(); scanning && block.isValid(); block = block.next()) {
        const QString text = block.text();
        const CaretPlace place(*this, block);
        const QTextLayout *layout = block.layout();
        const QChar *chars = text.constData();
        const bool grouped = LineGroup::of(block);
        // Each mark's place costs a pass over the items of its line (each
        // tab is one). A long unwrapped line only has its marks within the
        // view's width looked up: the ones before its left edge or past its
        // right edge cannot be seen.
        const bool sideways = !text.isEmpty() && horizontalClipping(block);
        const bool scrolled = sideways && horizontalScrollBar()->value() > 0;
        bool pastRightEdge = false;
        for (int l = 0; scanning && l < layout->lineCount(); ++l) {
            const QTextLine line = layout->lineAt(l);
            if (place.bottom(line) < 0)
                continue;
            const int end = line.textStart() + line.textLength();
            const int from = scrolled ? qMax(line.textStart(), place.leftEdge(line) - 1) : line.textStart();
            pastRightEdge = false;
            for (int i = from; i < end; ++i) {
                const bool tab = tabMarks && chars[i] == tabChar;
                const bool space = !tab && spaceMarks && chars[i] == fullWidthSpace;
                const bool lineEnd = grouped && chars[i] == lineSeparator;
                if (!tab && !space && !lineEnd)
                    continue;
                if (i > 0 && !layout->isValidCursorPosition(i))
                    continue;
                const QRect r = place.at(i);
                if (r.top() >= viewHeight) {
                    scanning = false;
                    break;
                }
                if (sideways && r.left() > viewWidth) {
                    pastRightEdge = true;
                    break;
                }
                if (tab) {
                    result.append({ QStringLiteral(">"), f5, QPointF(r.left() + a - 1, r.bottom() - a) });
                    result.append({ QStringLiteral("-"), f2, QPointF(r.left(), r.bottom() - b) });
                } else if (space) {
                    result.append({ QString(QChar(0x25A1)), f0, QPointF(r.left(), r.bottom() - 2) });
                } else {
                    result.append({ QString(lineEndMark), f2, QPointF(r.left(), r.bottom() - 2) });
                }
            }
        }
        if (!scanning)
            break;
        if (!block.next().isValid())
            break;
        if (pastRightEdge)
            continue;
        const QRect r = place.at(text.length());
        if (r.top() >= viewHeight)
            break;
        // A piece break is no line end of the entry: it gets a mark of its own.
        const LinePiece *piece = LinePiece::of(block);
        const QChar glyph = piece && piece->continued ? pieceBreakMark : lineEndMark;
        result.append({ QString(glyph), f2, QPointF(r.left(), r.bottom() - 2) });
    }

    if (isLoading())
        return result;
    const QTextBlock last = document()->lastBlock();
    const QRect r = CaretPlace(*this, last).at(last.length() - 1);
    // The entry goes on past the end of a text cut short.
    const bool ours = document()->characterCount() == loadedCharacters;
    const QChar glyph = cutShort && ours ? pieceBreakMark : endMark;
    result.append({ QString(glyph), f2, QPointF(r.left(), r.bottom() - 2) });
    return result;
}

TextEdit::CaretPlace::CaretPlace(const TextEdit &edit, const QTextBlock &block)
    : layout(block.layout())
{
    // As QPlainTextEdit::cursorRect() computes it, without a text cursor:
    // setting a cursor's position costs a pass over the line by itself.
    const QRectF geometry = edit.blockBoundingGeometry(block);
    corner = geometry.topLeft();
    const QPointF offset = edit.contentOffset();
    shift = QPoint(int(offset.x()), int(offset.y()));
    bool ok = false;
    width = edit.document()->documentLayout()->property("cursorWidth").toInt(&ok);
    if (!ok)
        width = 1;
}

int TextEdit::CaretPlace::bottom(const QTextLine &line) const
{
    return int(corner.y() + line.y() + line.height()) + shift.y();
}

// The position at the left edge of the view in `line`.
int TextEdit::CaretPlace::leftEdge(const QTextLine &line) const
{
    return line.xToCursor(-corner.x() - shift.x());
}

QRect TextEdit::CaretPlace::at(int position) const
{
    const QTextLine line = layout->lineForTextPosition(position);
    const QRectF r = line.isValid()
        ? QRectF(corner.x() + line.cursorToX(position), corner.y() + line.y(), width, line.height())
        : QRectF(corner.x(), corner.y(), width, 10);
    return r.toRect().translated(shift);
}

// Whether the marks of `block` lie left to right on one line, so that the
// ones outside the view's width can be skipped: an unwrapped block of some
// length with no right-to-left text in it.
bool TextEdit::horizontalClipping(const QTextBlock &block) const
{
    const QString text = block.text();
    if (lineWrapMode() != NoWrap || text.size() < 256)
        return false;
    for (const QChar c : text) {
        switch (c.direction()) {
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirRLI:
            return false;
        default:
            break;
        }
    }
    return true;
}

void TextEdit::paintEvent(QPaintEvent *event)
{
    // What is about to be shown gets its colours first.
    colourView();
    QPlainTextEdit::paintEvent(event);

    QPainter painter(viewport());
    const QVector<Mark> list = marks(painter.font());
    painter.setPen(Settings::instance()->ctrlcolor);
    for (const Mark &mark : list) {
        painter.setFont(mark.font);
        painter.drawText(mark.origin, mark.glyph);
    }
}
