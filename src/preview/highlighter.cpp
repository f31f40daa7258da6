#include "highlighter.h"

Highlighter::Highlighter(QTextDocument *parent)
    : QSyntaxHighlighter(parent)
{
}

void Highlighter::addRule(const QString &name, const QString &pattern, const QTextCharFormat &format)
{
    addRule(name, QRegExp(pattern, Qt::CaseSensitive, QRegExp::RegExp), format);
}

void Highlighter::addRule(const QString &name, const QRegExp &expression, const QTextCharFormat &format)
{
    if (expression.pattern().isEmpty()) {
        rules.remove(name);
        return;
    }
    rules.insert(name, HighlightingRule{expression, format});
}

void Highlighter::buildRules(const QStringList &, int)
{
}

void Highlighter::setFindExpression(const QRegExp &expression)
{
    rules.remove(QStringLiteral("zFind_1"));
    addRule(QStringLiteral("zFind_1"), expression, QTextCharFormat());
    rehighlight();
}

void Highlighter::loadKeywordList(const QString &)
{
}

void Highlighter::highlightBlock(const QString &text)
{
    highlightText(text);
}

void Highlighter::highlightText(const QString &)
{
}
