#include "textedit.h"

#include "highlighter.h"

TextEdit::TextEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setCursor(Qt::ArrowCursor);
    highlighter = new Highlighter(document());
    highlighter->loadKeywordList(QString());
}

TextEdit::~TextEdit()
{
    delete highlighter;
}

void TextEdit::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
}
