#include "textedit.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include "highlighter.h"
#include "settings/settings.h"

namespace {
const QChar tabChar(0x0009);
const QChar fullWidthSpace(0x3000);

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
    pendingText = shown < text.size() ? text.left(shown) : text;
    loadedUpTo = cutAfterLine(0, firstPartLength);
    setPlainText(loadedUpTo == text.size() ? text : text.left(loadedUpTo));
    loadedCharacters = document()->characterCount();
    if (isLoading())
        nextSlice.start();
    else
        pendingText.clear();
}

// Where a part of `length` characters starting at `from` ends: after the
// first line end at or past that length. A line so long that no line end
// follows soon is taken whole: appending to a line lays all of it out again.
int TextEdit::cutAfterLine(int from, int length) const
{
    const int size = pendingText.size();
    if (size - from <= length)
        return size;
    const int lineEnd = pendingText.indexOf(QLatin1Char('\n'), from + length - 1);
    if (lineEnd < 0 || lineEnd - from > 64 * length)
        return size;
    return lineEnd + 1;
}

void TextEdit::appendSlices()
{
    // Something else replaced the text meanwhile: the rest is not ours to add.
    if (document()->characterCount() != loadedCharacters) {
        pendingText.clear();
        loadedUpTo = 0;
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const bool undo = document()->isUndoRedoEnabled();
    document()->setUndoRedoEnabled(false);
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    // A few pieces per turn of the event loop, as many as fit in 10 ms.
    do {
        const int cut = cutAfterLine(loadedUpTo, sliceLength);
        end.insertText(pendingText.mid(loadedUpTo, cut - loadedUpTo));
        loadedUpTo = cut;
    } while (isLoading() && clock.elapsed() < 10);
    document()->setUndoRedoEnabled(undo);
    loadedCharacters = document()->characterCount();
    if (isLoading()) {
        nextSlice.start();
    } else {
        pendingText.clear();
        loadedUpTo = 0;
        viewport()->update();
    }
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
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    const int endPosition = cursor.position();

    // Only tabs, full-width spaces and block ends get marks, so each block's
    // text is searched for those characters instead of stepping a cursor
    // over every character. A character counts only where a cursor stepping
    // one character at a time would stop (a grapheme boundary).
    bool scanning = true;
    for (QTextBlock block = firstVisibleBlock(); scanning && block.isValid(); block = block.next()) {
        const QString text = block.text();
        const QTextLayout *layout = block.layout();
        const QChar *chars = text.constData();
        // Each mark's place costs a pass over its line. A long unwrapped
        // line only has its marks within the view's width looked up: the
        // ones before its left edge or past its right edge cannot be seen.
        const bool sideways = !text.isEmpty() && horizontalClipping(block);
        int from = 0;
        if (sideways && horizontalScrollBar()->value() > 0) {
            const QRect line = blockBoundingGeometry(block).translated(contentOffset()).toRect();
            from = qMax(0, cursorForPosition(QPoint(0, line.top() + 1)).position() - block.position() - 1);
        }
        bool pastRightEdge = false;
        for (int i = from; i < text.length(); ++i) {
            const bool tab = tabMarks && chars[i] == tabChar;
            const bool space = !tab && spaceMarks && chars[i] == fullWidthSpace;
            if (!tab && !space)
                continue;
            if (i > 0 && layout && !layout->isValidCursorPosition(i))
                continue;
            cursor.setPosition(block.position() + i);
            const QRect r = cursorRect(cursor);
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
            } else {
                result.append({ QString(QChar(0x25A1)), f0, QPointF(r.left(), r.bottom() - 2) });
            }
        }
        if (!scanning)
            break;
        const int blockEnd = block.position() + text.length();
        if (blockEnd == endPosition)
            break;
        if (pastRightEdge)
            continue;
        cursor.setPosition(blockEnd);
        const QRect r = cursorRect(cursor);
        if (r.top() >= viewHeight)
            break;
        result.append({ QString(QChar(0x2193)), f2, QPointF(r.left(), r.bottom() - 2) });
    }

    if (isLoading())
        return result;
    cursor.movePosition(QTextCursor::End);
    const QRect r = cursorRect(cursor);
    result.append({ QString(QChar(0x2190)), f2, QPointF(r.left(), r.bottom() - 2) });
    return result;
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
    QPlainTextEdit::paintEvent(event);

    QPainter painter(viewport());
    const QVector<Mark> list = marks(painter.font());
    painter.setPen(Settings::instance()->ctrlcolor);
    for (const Mark &mark : list) {
        painter.setFont(mark.font);
        painter.drawText(mark.origin, mark.glyph);
    }
}
