#include "textedit.h"

#include <QFontMetrics>
#include <QPainter>
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
        for (int i = 0; i < text.length(); ++i) {
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
        cursor.setPosition(blockEnd);
        const QRect r = cursorRect(cursor);
        if (r.top() >= viewHeight)
            break;
        result.append({ QString(QChar(0x2193)), f2, QPointF(r.left(), r.bottom() - 2) });
    }

    cursor.movePosition(QTextCursor::End);
    const QRect r = cursorRect(cursor);
    result.append({ QString(QChar(0x2190)), f2, QPointF(r.left(), r.bottom() - 2) });
    return result;
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

void TextEdit::showText(const QString &text)
{
    int length = qMin(text.size(), maxShownLength);
    // Never end on the first half of a surrogate pair.
    if (length < text.size() && length > 0 && text.at(length - 1).isHighSurrogate())
        --length;
    setPlainText(length < text.size() ? text.left(length) : text);
}
